// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/SpectrumMath.h"
#include "analysis/Fourier.h"
#include "analysis/SAGlobal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using namespace duv;

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Equal to the bit, NaN included.
bool Same(double a, double b)
{
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
         (std::isnan(a) && std::isnan(b));
}

// A double whose exponent is spread evenly over [lo, hi] and whose mantissa
// is random: every binade gets as many values as any other.
double LogUniform(std::mt19937_64& gen, int lo, int hi)
{
  std::uniform_int_distribution<int> exponent(lo, hi);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  return std::ldexp(mantissa(gen), exponent(gen));
}

// A frame of 16-bit samples through the transform: the values the frame
// path really sees.
std::vector<double> TransformedFrame(int n, unsigned seed, std::vector<double>& im)
{
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0, 40);
  std::vector<double> re(std::size_t(n), 0.0);
  im.assign(std::size_t(n), 0.0);
  for (int i = 0; i < n; ++i)
    re[std::size_t(i)] =
        std::round(9000 * std::sin(i * 0.071) + 2500 * std::sin(i * 1.37) + noise(gen));
  TFastFourier().ForwardTransform(re.data(), im.data(), n);
  return re;
}

} // namespace

// Guards the fast magnitudes: every one equals the long-double magnitude to the bit.
TEST(SpectrumMath, MagnitudesMatchLongDouble)
{
  std::mt19937_64 gen(21);
  std::vector<double> re, im;
  // Odd values: zeros of both signs, one part zero, exact Pythagorean
  // triples and powers of two, the ends of the double range, NaN.
  const double odd[] = {0.0,    -0.0,  1.0,   3.0,    4.0, -5.0, 0x1p-1074, 0x1p-1022,
                        1e-160, 1e160, 1e300, -1e300, Inf, -Inf, NaN,       0.5};
  for (double a : odd)
    for (double b : odd) {
      re.push_back(a);
      im.push_back(b);
    }
  // Bins of real frames, and values across the whole range, from near
  // each other and far apart.
  for (int n = 256; n <= 32768; n *= 2) {
    std::vector<double> frameIm;
    const std::vector<double> frameRe = TransformedFrame(n, unsigned(n), frameIm);
    re.insert(re.end(), frameRe.begin(), frameRe.end());
    im.insert(im.end(), frameIm.begin(), frameIm.end());
  }
  std::uniform_int_distribution<int> sign(0, 1);
  while (re.size() < 1500000) {
    const double a = LogUniform(gen, -40, 40) * (sign(gen) ? 1 : -1);
    const int spread = re.size() % 3 == 0 ? 60 : 3;
    re.push_back(a);
    im.push_back(a * LogUniform(gen, -spread, spread) * (sign(gen) ? 1 : -1));
  }
  for (int i = 0; i < 20000; ++i) { // the far ends, where the fast route stands aside
    re.push_back(LogUniform(gen, -1074, 1023));
    im.push_back(LogUniform(gen, -1074, 1023));
  }

  const int count = int(re.size());
  std::vector<double> mag(re.size());
  for (int n : {1, 2, 256, 16384, 100}) { // 100: no power of two, so no exact division
    for (int start = 0; start + n <= count; start += n) {
      Magnitudes(re.data() + start, im.data() + start, mag.data() + start, n);
      for (int i = start; i < start + n; ++i)
        ASSERT_TRUE(
            Same(mag[std::size_t(i)], PlainMagnitude(re[std::size_t(i)], im[std::size_t(i)], n)))
            << "re=" << re[std::size_t(i)] << " im=" << im[std::size_t(i)] << " N=" << n;
      if (n != 16384)
        break; // the other counts on the first block only
    }
  }

  // The member the frame path calls gives MagnitudeAndPhase's magnitudes.
  std::vector<double> frameIm, viaPhase(8192), phase(8192), alone(8192);
  const std::vector<double> frameRe = TransformedFrame(16384, 5, frameIm);
  const TFastFourier fft;
  fft.MagnitudeAndPhase(frameRe.data(), frameIm.data(), viaPhase.data(), phase.data(), 8192);
  fft.Magnitude(frameRe.data(), frameIm.data(), alone.data(), 8192);
  EXPECT_EQ(alone, viaPhase);
}

// Guards the fast decibels: every level equals the long-double level to the bit.
TEST(SpectrumMath, DecibelsMatchLongDouble)
{
  std::mt19937_64 gen(22);
  std::vector<double> mag;
  // Zeros, negatives, the ends of the range, NaN; powers of two (the
  // reference among them) and their neighbours; round levels.
  for (double v : {0.0, -0.0, -1.0, 0x1p-1074, 0x1p-1022, 0x1p1000, 0x1p1001,
                   std::numeric_limits<double>::max(), Inf, -Inf, NaN})
    mag.push_back(v);
  for (int e = -1074; e <= 1023; ++e) {
    const double p = std::ldexp(1.0, e);
    mag.insert(mag.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, Inf)});
  }
  for (int tenth = -2000; tenth <= 400; ++tenth) {
    const double m = 32768 * std::pow(10.0, tenth / 200.0);
    mag.insert(mag.end(), {m, std::nextafter(m, 0.0), std::nextafter(m, Inf)});
  }
  // Magnitudes of real frames, and values spread over every binade.
  for (int n = 256; n <= 32768; n *= 2) {
    std::vector<double> im;
    const std::vector<double> re = TransformedFrame(n, 7u * unsigned(n), im);
    std::vector<double> m(std::size_t(n / 2));
    Magnitudes(re.data(), im.data(), m.data(), n / 2);
    mag.insert(mag.end(), m.begin(), m.end());
  }
  while (mag.size() < 2000000)
    mag.push_back(mag.size() % 4 == 0 ? LogUniform(gen, -1022, 1023) : LogUniform(gen, -30, 40));

  std::vector<double> dB(mag.size());
  for (int bits : {16, 8, 24, 32, 1, 64, 0, 65, -7}) { // the last three take the plain way
    const int count = bits == 16 ? int(mag.size()) : 200000;
    Decibels(mag.data(), dB.data(), count, bits);
    for (int i = 0; i < count; ++i)
      ASSERT_TRUE(Same(dB[std::size_t(i)], PlainDecibels(mag[std::size_t(i)], bits)))
          << "m=" << mag[std::size_t(i)] << " bits=" << bits;
  }
}

// Guards the frame path: levels, DC read-out and magnitudes equal the long-double path's.
TEST(SpectrumMath, FrameMatchesLongDoublePath)
{
  std::mt19937 gen(23);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (int n = 256; n <= 32768; n *= 2) {
    for (int signal = 0; signal < 5; ++signal) {
      for (int bits : {8, 16}) {
        TAnalysis a;
        std::vector<double> re(static_cast<std::size_t>(n)), im(re.size(), 0.0);
        for (int i = 0; i < n; ++i) {
          const double x = signal == 0   ? double(sample(gen))                   // noise
                           : signal == 1 ? std::round(20000 * std::sin(i * 0.3)) // a tone
                           : signal == 2 ? (i == 0 ? 1.0 : 0.0)                  // an impulse
                           : signal == 3 ? 128.0                                 // 8-bit rest
                                         : ((i / 50) % 2 ? 32767.0 : -32768.0);  // a square
          re[std::size_t(i)] = bits == 8 ? std::fmod(std::fabs(x), 256) : x;
        }
        const TFastFourier fft;
        fft.ForwardTransform(re.data(), im.data(), n);
        TSpectrumFrame frame;
        a.ComputeSpectrum(re.data(), im.data(), {44100, n, bits}, frame);

        const int h = n / 2;
        std::vector<double> mag(static_cast<std::size_t>(h)), phase(mag.size());
        fft.MagnitudeAndPhase(re.data(), im.data(), mag.data(), phase.data(), h);
        EXPECT_TRUE(std::equal(mag.begin(), mag.end(), frame.Magnitude.begin()));
        EXPECT_TRUE(Same(frame.DCOffset, mag[0]));
        for (int k = 1; k < h; ++k) {
          double v = PlainDecibels(mag[std::size_t(k)], bits);
          if (!(v >= DecibelFloor(bits)))
            v = DecibelFloor(bits);
          ASSERT_TRUE(Same(frame.Y[std::size_t(k - 1)], v)) << "N=" << n << " k=" << k;
          ASSERT_TRUE(Same(frame.SpectrumLine[std::size_t(k - 1)], v));
        }
      }
    }
  }
}
