// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Fourier.h"

#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

using namespace duv;

namespace {

const long double Pi = std::acos(-1.0L);

struct Signal
{
  std::vector<double> re, im;
};

Signal randomSignal(int n, unsigned seed)
{
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1.0, 1.0);
  Signal s{std::vector<double>(n), std::vector<double>(n)};
  for (int i = 0; i < n; ++i) {
    s.re[i] = d(gen);
    s.im[i] = d(gen);
  }
  return s;
}

// Largest error against a direct DFT in long double, relative to the largest
// magnitude of the exact result.
double relativeErrorAgainstDft(const Signal& in, const Signal& out, bool inverse)
{
  const int n = int(in.re.size());
  long double maxErr = 0, maxMag = 0;
  for (int k = 0; k < n; ++k) {
    long double sr = 0, si = 0;
    for (int t = 0; t < n; ++t) {
      const long double a = (inverse ? 2 : -2) * Pi * ((static_cast<long long>(k) * t) % n) / n;
      const long double c = std::cos(a), s = std::sin(a);
      sr += in.re[t] * c - in.im[t] * s;
      si += in.re[t] * s + in.im[t] * c;
    }
    maxMag = std::max(maxMag, std::hypot(sr, si));
    maxErr = std::max(maxErr, std::hypot(sr - out.re[k], si - out.im[k]));
  }
  return double(maxErr / maxMag);
}

// The transform as its plain stage/k/position loops, fresh sines for every
// (stage, k): the reference the fast code must match to the bit.
void plainTransform(double* re, double* im, int n, bool inverse)
{
  int j = 0;
  for (int i = 1; i < n; ++i) {
    int m = n;
    do
      m /= 2;
    while (m + j > n - 1);
    j = j % m + m;
    if (j > i) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }
  for (int L = 1; L < n; L *= 2) {
    const int S = 2 * L;
    for (int k = 0; k < L; ++k) {
      const long long m = (inverse ? 1 : -1) * static_cast<long long>(k) * (n / S);
      const double wr = double(-std::sin(((m - n / 4) * 6.283185308L) / n));
      const double wi = double(std::sin((m * 6.283185308L) / n));
      for (int i = k; i < n - 1; i += S) {
        const int jj = i + L;
        const double tr = wr * re[jj] - wi * im[jj];
        const double ti = wr * im[jj] + wi * re[jj];
        re[jj] = re[i] - tr;
        im[jj] = im[i] - ti;
        re[i] = re[i] + tr;
        im[i] = im[i] + ti;
      }
    }
  }
}

} // namespace

// The ten-digit angle constant puts the twiddles off by about 1e-10, which
// accumulates to a few 1e-9 of the largest bin; a real fault is far larger.
constexpr double Tolerance = 5e-9;

// Guards the butterflies, the bit reversal and the twiddle signs of both
// directions against an exact DFT at every size from 4 up.
TEST(Fourier, MatchesDirectDft)
{
  TFastFourier fft;
  for (int n = 4; n <= 2048; n *= 2) {
    for (bool inverse : {false, true}) {
      const Signal in = randomSignal(n, unsigned(n));
      Signal out = in;
      fft.Transform(out.re.data(), out.im.data(), n, inverse);
      EXPECT_LT(relativeErrorAgainstDft(in, out, inverse), Tolerance) << "N=" << n << " inv=" << inverse;
    }
  }
}

// Guards the large frame sizes, where a direct DFT is too slow, against FFTW.
TEST(Fourier, MatchesReferenceTransformAtLargeSizes)
{
  TFastFourier fft;
  for (int n : {4096, 8192, 16384, 32768}) {
    Signal s = randomSignal(n, 7u + unsigned(n));
    std::vector<fftw_complex> buf(n);
    for (int i = 0; i < n; ++i) {
      buf[i][0] = s.re[i];
      buf[i][1] = s.im[i];
    }
    fftw_plan p = fftw_plan_dft_1d(n, buf.data(), buf.data(), FFTW_FORWARD, FFTW_ESTIMATE);
    fftw_execute(p);
    fftw_destroy_plan(p);
    fft.ForwardTransform(s.re.data(), s.im.data(), n);
    double maxErr = 0, maxMag = 0;
    for (int i = 0; i < n; ++i) {
      maxMag = std::max(maxMag, std::hypot(buf[i][0], buf[i][1]));
      maxErr = std::max(maxErr, std::hypot(buf[i][0] - s.re[i], buf[i][1] - s.im[i]));
    }
    EXPECT_LT(maxErr / maxMag, Tolerance) << "N=" << n;
  }
}

// Guards the worked values: constant, impulse, cosine, and the round trip.
TEST(Fourier, KnownSignals)
{
  TFastFourier fft;
  const int n = 256;
  std::vector<double> re(n, 3.0), im(n, 0.0), mag(n / 2), ph(n / 2);
  fft.ForwardTransform(re.data(), im.data(), n);
  EXPECT_NEAR(re[0], n * 3.0, 1e-9);
  for (int k = 1; k < n; ++k)
    EXPECT_NEAR(std::hypot(re[k], im[k]), 0.0, 1e-9) << k;
  fft.MagnitudeAndPhase(re.data(), im.data(), mag.data(), ph.data(), n / 2);
  EXPECT_NEAR(mag[0], 6.0, 1e-12);

  std::fill(re.begin(), re.end(), 0.0);
  std::fill(im.begin(), im.end(), 0.0);
  re[0] = 1.0;
  fft.ForwardTransform(re.data(), im.data(), n);
  for (int k = 0; k < n; ++k) {
    EXPECT_EQ(re[k], 1.0) << k;
    EXPECT_EQ(im[k], 0.0) << k;
  }

  const int f = 10;
  for (int t = 0; t < n; ++t) {
    re[t] = double(std::cos(2 * Pi * f * t / n));
    im[t] = 0;
  }
  const std::vector<double> original = re;
  fft.ForwardTransform(re.data(), im.data(), n);
  EXPECT_NEAR(re[f], n / 2.0, 1e-7);
  EXPECT_NEAR(re[n - f], n / 2.0, 1e-7);
  std::vector<double> re2 = re, im2 = im;
  fft.MagnitudeAndPhase(re.data(), im.data(), mag.data(), ph.data(), n / 2);
  EXPECT_NEAR(mag[f], 1.0, 1e-9);
  EXPECT_NEAR(mag[f + 1], 0.0, 1e-9);

  fft.Transform(re2.data(), im2.data(), n, true);
  for (int t = 0; t < n; ++t) {
    EXPECT_NEAR(re2[t] / n, original[t], 1e-9);
    EXPECT_NEAR(im2[t] / n, 0.0, 1e-9);
  }
}

// Guards the phase conventions at the axes, where a plain atan2 would differ.
TEST(Fourier, PhaseRules)
{
  TFastFourier fft;
  const double re[5] = {0.0, 0.0, 0.0, -2.0, 1.0};
  const double im[5] = {3.0, -3.0, 0.0, 0.0, 1.0};
  double mag[5], ph[5];
  fft.MagnitudeAndPhase(re, im, mag, ph, 5);
  const double pi = double(Pi);
  EXPECT_DOUBLE_EQ(ph[0], pi / 2);
  EXPECT_DOUBLE_EQ(ph[1], -pi / 2);
  EXPECT_EQ(ph[2], 0.0);
  EXPECT_DOUBLE_EQ(ph[3], pi);
  EXPECT_DOUBLE_EQ(ph[4], pi / 4);
  EXPECT_DOUBLE_EQ(mag[3], 2.0 / 5);
  EXPECT_DOUBLE_EQ(mag[4], std::sqrt(2.0) / 5);
}

// Guards the cached twiddles and the block-ordered butterflies: they must give
// bit for bit what the plain stage/k/position loops with fresh sines give.
TEST(Fourier, BitIdenticalToPlainLoopOrder)
{
  TFastFourier fft;
  for (int n : {4, 8, 256, 4096, 32768}) {
    for (bool inverse : {false, true}) {
      Signal a = randomSignal(n, 99u + unsigned(n));
      Signal b = a;
      fft.Transform(a.re.data(), a.im.data(), n, inverse);
      plainTransform(b.re.data(), b.im.data(), n, inverse);
      ASSERT_EQ(a.re, b.re) << "N=" << n;
      ASSERT_EQ(a.im, b.im) << "N=" << n;
    }
  }
}

// Guards the size check against overruns and against twiddles cached for a bad size.
TEST(Fourier, RejectsSizesThatAreNotPowersOfTwo)
{
  // Unchecked, a size that is no power of two ran the butterflies past the
  // arrays' ends and cached its tables in a power of two's slot, which that
  // power of two was then served.
  TFastFourier fft;
  // Room beyond every N below, so that an unchecked transform cannot corrupt
  // the test itself.
  std::vector<double> re(3 * 65536, 1.0), im(3 * 65536, 0.0);
  for (int n : {-4, 0, 1, 3, 6, 12, 24, 96, 1000, 3 * 1024, 65536, 131072}) {
    EXPECT_THROW(fft.Transform(re.data(), im.data(), n, false), std::invalid_argument) << n;
    EXPECT_THROW(fft.ForwardTransform(re.data(), im.data(), n), std::invalid_argument) << n;
  }
  try {
    fft.ForwardTransform(re.data(), im.data(), 6);
    ADD_FAILURE() << "no exception for N = 6";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Fourier transform size 6 is not a power of two from 2 to 32768");
  }
  // The sizes that share a slot with the rejected ones still get their own tables.
  for (int n = 2; n <= 32768; n *= 2) {
    Signal a = randomSignal(n, 5u + unsigned(n));
    Signal b = a;
    fft.ForwardTransform(a.re.data(), a.im.data(), n);
    plainTransform(b.re.data(), b.im.data(), n, false);
    ASSERT_EQ(a.re, b.re) << "N=" << n;
    ASSERT_EQ(a.im, b.im) << "N=" << n;
  }
}
