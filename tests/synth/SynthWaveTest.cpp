// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/SynthWave.h"

#include "analysis/SAGlobal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace duv;

namespace {

TSynthParams defaults(int n = 2048, int rate = 11025)
{
  TSynthParams p;
  p.FrameLength = n;
  p.Rate = rate;
  return p;
}

// Frequency of the strongest bin of a stretch, by the program's own FFT.
double peakHz(const std::vector<double>& wave, int start, int n, int rate)
{
  TFastFourier fft;
  std::vector<double> re(wave.begin() + start, wave.begin() + start + n), im(n, 0.0);
  fft.ForwardTransform(re.data(), im.data(), n);
  int best = 1;
  for (int k = 1; k < n / 2; ++k)
    if (std::hypot(re[k], im[k]) > std::hypot(re[best], im[best]))
      best = k;
  return double(best) * rate / n;
}

} // namespace

// Guards the base wave's formula and the quantization of both widths.
TEST(SynthWave, SineAndQuantization)
{
  const std::vector<double> w = GenerateWave(defaults());
  ASSERT_EQ(w.size(), 2048u);
  for (int i : {0, 1, 100, 2047})
    EXPECT_NEAR(w[i], std::sin(2 * std::numbers::pi * 500 * i / 11025), 1e-12);
  std::vector<std::uint8_t> b8(w.size());
  QuantizeWave8(w, b8.data());
  EXPECT_EQ(b8[0], 127);
  EXPECT_EQ(*std::max_element(b8.begin(), b8.end()), 254);
  EXPECT_EQ(*std::min_element(b8.begin(), b8.end()), 0);
  EXPECT_NEAR(peakHz(w, 0, 2048, 11025), 500, 11025.0 / 2048);

  std::vector<std::int16_t> b16(4);
  QuantizeWave16({-1.0, 1.0, 2.0, 0.5}, b16.data());
  EXPECT_EQ(b16, (std::vector<std::int16_t>{-32767, 32767, 32767, 16384}));
  QuantizeWave8({-1.0, 0.0, 1.0, 3.0, -3.0}, b8.data());
  EXPECT_EQ(std::vector<int>(b8.begin(), b8.begin() + 5), (std::vector<int>{0, 127, 254, 255, 0}));
}

// Guards the square wave's sign rule, amplitude and bias.
TEST(SynthWave, SquareAmplitudeBias)
{
  TSynthParams p = defaults();
  p.Square = true;
  p.Amp = 2;
  p.DCBias = 0.5;
  const std::vector<double> w = GenerateWave(p);
  EXPECT_EQ(w[0], -1.5); // the zero sine at sample 0 counts as negative
  EXPECT_EQ(w[1], 2.5);
  for (double v : w)
    EXPECT_TRUE(v == 2.5 || v == -1.5);
}

// Guards the sweep: it starts at Freq, ends at EndFreq (not at twice
// EndFreq minus Freq), and "End Freq" does nothing without "Sweep".
TEST(SynthWave, SweepEndsAtEndFrequency)
{
  TSynthParams p = defaults(32768, 44100);
  p.Freq = 1000;
  p.EndFreq = 5000;
  p.Sweep = true;
  const std::vector<double> w = GenerateWave(p);
  EXPECT_NEAR(peakHz(w, 0, 1024, 44100), 1000, 150);
  EXPECT_NEAR(peakHz(w, 32768 - 1024, 1024, 44100), 5000 - 60, 150);
  // A short frame pins the phase sample by sample: the instantaneous
  // frequency of sample i is Freq + i * Step, so the phase is the sum over
  // the samples before it, W * (Freq * i + Step * i * (i - 1) / 2).
  TSynthParams s = defaults(256, 11025);
  s.Freq = 500;
  s.EndFreq = 3000;
  s.Sweep = true;
  const std::vector<double> shortSweep = GenerateWave(s);
  const double step = (3000.0 - 500.0) / 256, radPerHz = 2 * std::numbers::pi / 11025;
  for (int i : {1, 2, 3, 50, 128, 255})
    EXPECT_NEAR(shortSweep[i], std::sin(radPerHz * (500.0 * i + step * i * (i - 1) / 2.0)), 1e-9) << "sample " << i;
  p.Sweep = false;
  const std::vector<double> flat = GenerateWave(p);
  EXPECT_NEAR(peakHz(flat, 32768 - 1024, 1024, 44100), 1000, 50);
}

// Guards the three modulations and the rule that they count in cycles per
// frame whatever the rate.
TEST(SynthWave, Modulation)
{
  EXPECT_EQ(SelectedModulation(false, 2), 0);
  EXPECT_EQ(SelectedModulation(true, 0), 1);
  EXPECT_EQ(SelectedModulation(true, 1), 2);
  EXPECT_EQ(SelectedModulation(true, 2), 3);
  EXPECT_EQ(SelectedModulation(true, -1), 1);
  EXPECT_TRUE(SelectedShape(1));
  EXPECT_FALSE(SelectedShape(0));
  EXPECT_FALSE(SelectedShape(-1));

  const double pi = std::numbers::pi;
  TSynthParams p = defaults(1024, 44100);
  p.Amp = 0; // leaves only the modulator when adding
  p.ModKind = 1;
  std::vector<double> w = GenerateWave(p);
  for (int i : {0, 128, 256, 700})
    EXPECT_NEAR(w[i], std::sin(2 * pi * 2 * i / 1024), 1e-12);

  p = defaults(1024, 44100);
  p.DCBias = 0.5;
  p.ModKind = 2;
  p.ModAmp = 2;
  w = GenerateWave(p);
  for (int i : {3, 200, 999}) {
    const double base = std::sin(2 * pi * 500 * i / 44100) + 0.5;
    EXPECT_NEAR(w[i], 2 * std::sin(2 * pi * 2 * i / 1024) * base, 1e-12);
  }

  p = defaults(1024, 44100);
  p.ModKind = 3;
  p.ModAmp = 0;
  p.Square = true; // ignored by FM
  p.DCBias = 3;    // ignored too
  w = GenerateWave(p);
  for (int i : {1, 77, 500})
    EXPECT_NEAR(w[i], std::sin(2 * pi * 500 * i / 1024), 1e-9);
}

// Guards degenerate frames: nothing, not a crash.
TEST(SynthWave, EmptyFrame)
{
  EXPECT_TRUE(GenerateWave(defaults(0)).empty());
  EXPECT_TRUE(GenerateWave(defaults(-5)).empty());
}
