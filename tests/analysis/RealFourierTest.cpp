// SPDX-License-Identifier: GPL-3.0-or-later
// The transform of real samples (the batch paths'): its bins against a
// direct DFT and FFTW's r2c, its size check, and the batch windows made from
// its cosine table.
#include "analysis/RealFourier.h"
#include "analysis/WindowFunctions.h"

#include <fftw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <stdexcept>
#include <vector>

using namespace duv;

namespace {

std::vector<double> noise(int n, unsigned seed)
{
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1, 1);
  std::vector<double> v(static_cast<std::size_t>(n));
  for (double& x : v)
    x = d(gen);
  return v;
}

// The largest error of Re, Im against the exact bins, relative to the
// largest exact bin.
double relativeError(const std::vector<std::complex<long double>>& exact,
                     const std::vector<double>& re, const std::vector<double>& im)
{
  long double err = 0, top = 0;
  for (std::size_t k = 0; k < exact.size(); ++k) {
    top = std::max(top, std::abs(exact[k]));
    err = std::max(err, std::abs(exact[k] - std::complex<long double>(re[k], im[k])));
  }
  return double(err / top);
}

} // namespace

// Guards every size path (the direct sum, one level, two levels, the radix-8
// ends, the wide and narrow kernels of this processor): bins 0 .. N/2 of
// noise agree with a long-double DFT up to 4096 points and with FFTW's r2c
// beyond, within 1e-14 of the largest bin, the DC and Nyquist bins are
// real, and the windowed power agrees with the transform of the windowed
// samples.
TEST(RealFourier, MatchesTheDftAtEverySize)
{
  for (int n = 2; n <= 65536; n *= 2) {
    const std::vector<double> x = noise(n, unsigned(n));
    std::vector<double> re(std::size_t(n / 2 + 1), NAN), im(std::size_t(n / 2 + 1), NAN);
    TRealFourier(n).Forward(x.data(), re.data(), im.data());
    std::vector<std::complex<long double>> exact(std::size_t(n / 2 + 1));
    if (n <= 4096) {
      std::vector<std::complex<long double>> root(static_cast<std::size_t>(n));
      for (int t = 0; t < n; ++t)
        root[std::size_t(t)] = std::polar(1.0L, -2 * std::acos(-1.0L) * t / n);
      for (int k = 0; k <= n / 2; ++k)
        for (int t = 0; t < n; ++t)
          exact[std::size_t(k)] +=
              (long double)x[std::size_t(t)] * root[std::size_t((std::int64_t(k) * t) % n)];
    } else {
      std::vector<double> in = x;
      std::vector<fftw_complex> out(std::size_t(n / 2 + 1));
      const fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), out.data(), FFTW_ESTIMATE);
      fftw_execute(plan);
      fftw_destroy_plan(plan);
      for (std::size_t k = 0; k < exact.size(); ++k)
        exact[k] = {out[k][0], out[k][1]};
    }
    EXPECT_LT(relativeError(exact, re, im), 1e-14) << n;
    EXPECT_EQ(im[0], 0) << n;
    EXPECT_EQ(im[std::size_t(n / 2)], 0) << n;

    // The power of the same samples through a window, added to what the
    // sums held: the window is applied on the way, the power is |X|^2.
    const std::vector<double> window = noise(n, unsigned(n + 1));
    std::vector<double> windowed(x), power(std::size_t(n / 2 + 1), 1.0);
    for (std::size_t i = 0; i < windowed.size(); ++i)
      windowed[i] *= window[i];
    TRealFourier fft(n);
    fft.Forward(windowed.data(), re.data(), im.data());
    fft.AddPower(x.data(), window.data(), power.data());
    double top = 0, worst = 0;
    for (std::size_t k = 0; k < power.size(); ++k) {
      const double p = re[k] * re[k] + im[k] * im[k];
      top = std::max(top, p);
      worst = std::max(worst, std::abs(power[k] - 1 - p));
    }
    EXPECT_LT(worst, 1e-13 * top) << n;
  }
}

// Guards the size check: a size that is not a power of two from 2 to
// MaxSize is refused rather than run past the arrays.
TEST(RealFourier, RefusesOtherSizes)
{
  for (int n : {-4, 0, 1, 3, 6, 1000, 2 * TRealFourier::MaxSize})
    EXPECT_THROW(TRealFourier{n}, std::invalid_argument) << n;
  EXPECT_EQ(TRealFourier(TRealFourier::MaxSize).Size(), TRealFourier::MaxSize);
}

// Guards the batch windows, summed in double from the cosine table: within
// 4e-15 (a few units in the last place of coefficients up to 4.6) of the
// long-double coefficients the window uses, for every window and buffer
// size; the table's quarter points are exact.
TEST(RealFourier, BatchWindowsMatchTheWindowsCoefficients)
{
  for (int n = 256; n <= 32768; n *= 2) {
    const std::vector<double>& c = *CosineTable(n);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[std::size_t(n / 4)], 0);
    EXPECT_EQ(c[std::size_t(n / 2)], -1);
    for (TWindowKind w : AllWindows) {
      const std::vector<double>& fast = *WindowTable(w, n);
      const std::vector<double>& exact = *WindowCoefficients(w, n);
      double worst = 0;
      for (int i = 0; i < n; ++i)
        worst = std::max(worst, std::abs(fast[std::size_t(i)] - exact[std::size_t(i)]));
      EXPECT_LT(worst, 4e-15) << WindowName(w).toStdString() << " " << n;
    }
  }
}
