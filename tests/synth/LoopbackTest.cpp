// SPDX-License-Identifier: GPL-3.0-or-later
// The loopback test's signal and its analysis, on a simulated sound card.
#include "synth/Loopback.h"

#include "synth/SynthWave.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>

using namespace duv;

namespace {

std::vector<double> Quantized(const std::vector<double>& wave)
{
  std::vector<std::int16_t> q(wave.size());
  QuantizeWave16(wave, q.data());
  return {q.begin(), q.end()};
}

// The gain of y[n] = (x[n] + x[n-1]) / 2 in dB, averaged in power over a
// band as a sweep rising exponentially crosses it: evenly in log frequency.
double TwoTapGain(const TBand& b, double rate)
{
  double sum = 0;
  constexpr int steps = 2000;
  for (int i = 0; i < steps; ++i) {
    const double f = b.Low * std::pow(b.High / b.Low, (i + 0.5) / steps);
    const double g = std::cos(std::numbers::pi * f / rate);
    sum += g * g / steps;
  }
  return 10 * std::log10(sum);
}

} // namespace

// Guards the analysis of what came back: the delay found, the sine's figures,
// and the gain at each third octave through a card that averages two
// neighbouring samples (a known, falling response), within 0.1 dB.
TEST(Loopback, SimulatedCard)
{
  TLoopbackSettings s;
  const std::vector<double> played = Quantized(LoopbackSignal(s));
  ASSERT_EQ(std::int64_t(played.size()), s.TotalSamples());
  constexpr int delay = 12345;
  std::vector<double> heard(std::size_t(delay) + played.size() + 4410, 0.0);
  std::mt19937 gen(3);
  std::normal_distribution<double> noise(0, 0.5);
  for (std::size_t i = 0; i < played.size(); ++i)
    heard[delay + i] = (played[i] + (i > 0 ? played[i - 1] : 0)) / 2 + noise(gen);
  const TLoopbackResult r = AnalyseLoopback(s, played, heard);
  EXPECT_NEAR(double(r.Delay), delay, 3);
  EXPECT_NEAR(r.Figures.Frequency, 1000, 0.01);
  EXPECT_NEAR(r.Figures.Level,
              20 * std::log10(0.5) + 20 * std::log10(std::cos(std::numbers::pi * 1000 / 44100)),
              0.01);
  EXPECT_LT(RatioDecibels(r.Figures.THDN), -80);
  ASSERT_EQ(r.Response.size(), 30u); // 20 Hz .. 16 kHz
  EXPECT_EQ(r.Response.front().Band.Nominal, 20);
  EXPECT_EQ(r.Response.back().Band.Nominal, 16000);
  for (const TResponsePoint& p : r.Response)
    EXPECT_NEAR(p.Gain, TwoTapGain(p.Band, s.Rate), 0.1) << p.Band.Nominal;
  EXPECT_GT(r.Spread(), 5);
  const QString report = LoopbackReport(r);
  EXPECT_TRUE(report.contains("\nTHD+N: ")) << report.toStdString();
  EXPECT_TRUE(report.contains("\n1000 ")) << report.toStdString();
}

// Guards the messages: nothing back, and a capture that ends too soon.
TEST(Loopback, NothingOrTooLittleCameBack)
{
  TLoopbackSettings s;
  s.Rate = 48000;
  const std::vector<double> played = Quantized(LoopbackSignal(s));
  EXPECT_THROW(AnalyseLoopback(s, played, std::vector<double>(played.size(), 3.0)),
               std::runtime_error);
  const std::vector<double> cut(played.begin(), played.begin() + std::ptrdiff_t(played.size() / 2));
  try {
    AnalyseLoopback(s, played, cut);
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(QString(e.what()).contains("cut short")) << e.what();
  }
  // At 48 kHz the sweep reaches 21.6 kHz and the 20 kHz band is not whole.
  const TLoopbackResult r = AnalyseLoopback(s, played, played);
  EXPECT_EQ(r.Response.back().Band.Nominal, 16000);
  EXPECT_LT(r.Spread(), 0.01);
}
