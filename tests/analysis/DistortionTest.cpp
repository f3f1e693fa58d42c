// SPDX-License-Identifier: GPL-3.0-or-later
// Distortion and noise figures of sines with known harmonics and noise.
#include "analysis/Distortion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace duv;

namespace {

constexpr double Rate = 44100;
constexpr double FullScale = 32768;

struct Signal
{
  std::vector<double> x;
  double noise = 0; // mean square of the noise added
};

// A sine at Hz of amplitude Amp (1 is full scale) with harmonics (their
// amplitudes relative to the fundamental's, from the 2nd) and Gaussian noise
// of standard deviation Sigma (in samples).
Signal Make(double Hz, double Amp, std::vector<double> Harmonics, double Sigma, int N = 32768)
{
  Signal s;
  s.x.resize(std::size_t(N));
  std::mt19937 gen(11);
  std::normal_distribution<double> white(0, Sigma > 0 ? Sigma : 1);
  for (int n = 0; n < N; ++n) {
    const double t = 2 * std::numbers::pi * Hz * n / Rate;
    double v = std::sin(t + 0.2);
    for (std::size_t h = 0; h < Harmonics.size(); ++h)
      v += Harmonics[h] * std::sin((h + 2) * t + 0.7 * h);
    const double e = Sigma > 0 ? white(gen) : 0.0;
    s.noise += e * e / N;
    s.x[std::size_t(n)] = Amp * FullScale * v + e;
  }
  return s;
}

double Decibels(double PowerRatio)
{
  return 10 * std::log10(PowerRatio);
}

} // namespace

// Guards THD: a sine between bins with 1 % second and 0.5 % third harmonics
// reads 1.118 % within 0.01 points, its frequency and level exactly, at
// several frequencies and frame lengths; harmonics beyond half the rate are
// not counted.
TEST(Distortion, KnownHarmonics)
{
  TDistortionMeter meter;
  struct Case
  {
    double Hz;
    int N;
    int Harmonics; // up to the 10th, with their lobes below half the rate
  };
  for (const Case c :
       {Case{997.3, 32768, 9}, Case{61.7, 32768, 9}, Case{5123.4, 4096, 3}, Case{1000, 1024, 9}}) {
    const Signal s = Make(c.Hz, 0.5, {0.01, 0.005}, 0, c.N);
    const auto m = meter.Measure(s.x, Rate, 16);
    ASSERT_TRUE(m) << c.Hz;
    EXPECT_NEAR(Percent(m->THD), 100 * std::sqrt(0.01 * 0.01 + 0.005 * 0.005), 0.01) << c.Hz;
    EXPECT_NEAR(m->Frequency, c.Hz, 1e-3 * Rate / c.N) << c.Hz;
    EXPECT_NEAR(m->Level, 20 * std::log10(0.5), 0.01) << c.Hz;
    EXPECT_EQ(m->Harmonics, c.Harmonics);
  }
  const auto high = meter.Measure(Make(15000, 0.5, {0.01}, 0).x, Rate, 16);
  ASSERT_TRUE(high);
  EXPECT_EQ(high->Harmonics, 0);
  EXPECT_EQ(high->THD, 0);
}

// Guards THD+N, SNR and SINAD against the noise and harmonics put in: within
// 0.2 dB at several noise levels and frame lengths; at 6 dB SNR SINAD's
// (S+N+D)/(N+D) is 1 dB from S/(N+D), which above 30 dB cannot be told apart.
TEST(Distortion, KnownNoise)
{
  TDistortionMeter meter;
  for (const double sigma : {3.0, 30.0, 300.0, 6000.0})
    for (const int n : {32768, 8192}) {
      const Signal s = Make(1234.5, 0.5, {0.001}, sigma, n);
      const auto m = meter.Measure(s.x, Rate, 16);
      ASSERT_TRUE(m) << sigma;
      const double signal = 0.5 * FullScale * 0.5 * FullScale / 2;
      const double harmonic = signal * 0.001 * 0.001;
      EXPECT_NEAR(m->SNR, Decibels(signal / s.noise), 0.2) << sigma << " " << n;
      EXPECT_NEAR(RatioDecibels(m->THDN), Decibels((harmonic + s.noise) / signal), 0.2) << sigma;
      EXPECT_NEAR(m->SINAD, Decibels((signal + harmonic + s.noise) / (harmonic + s.noise)), 0.2)
          << sigma;
    }
}

// Guards the refusals: too few samples, silence and noise alone give no
// figures; the report lines have their names and units.
TEST(Distortion, NoToneAndReport)
{
  TDistortionMeter meter;
  EXPECT_FALSE(meter.Measure(std::vector<double>(200, 0.0), Rate, 16));
  EXPECT_FALSE(meter.Measure(std::vector<double>(4096, 0.0), Rate, 16));
  EXPECT_FALSE(meter.Measure(Make(1000, 0, {}, 100).x, Rate, 16));

  TDistortion d;
  d.Frequency = 1000;
  d.Level = -6.0206;
  d.THD = 0.01118;
  d.THDN = 0.0000123;
  d.SNR = 98.2;
  d.SINAD = 98.1;
  const QStringList lines = DistortionLines(d, "dB");
  EXPECT_EQ(lines, QStringList({"Frequency: 1000.000 Hz", "Level: -6.02 dB", "THD: 1.118 %",
                                "THD: -39.03 dB", "THD+N: 0.001230 %", "THD+N: -98.20 dB",
                                "SNR: 98.20 dB", "SINAD: 98.10 dB"}));
}
