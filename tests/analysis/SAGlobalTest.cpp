// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/SAGlobal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace duv;

// Guards note numbering, the octave split and the rounding at the boundaries.
TEST(SAGlobal, NoteNames)
{
  EXPECT_EQ(NoteName(440).toStdString(), "A - 4");
  EXPECT_EQ(NoteName(261.63).toStdString(), "C - 4");
  EXPECT_EQ(NoteName(16.352).toStdString(), "C - 0");
  EXPECT_EQ(NoteName(16.351).toStdString(), "Too Low");
  EXPECT_EQ(NoteName(-5).toStdString(), "Too Low");
  EXPECT_EQ(NoteName(std::nan("")).toStdString(), "Too Low");
  EXPECT_EQ(NoteName(16.84).toStdString(), "C#/Db - 0");
  EXPECT_EQ(NoteName(16.83).toStdString(), "C - 0");
  EXPECT_EQ(NoteName(1000).toStdString(), "B - 5");
  EXPECT_EQ(NoteName(22050).toStdString(), "F - 10");
}

// Guards the buffer-size list mapping and its fallback.
TEST(SAGlobal, BufferSizes)
{
  EXPECT_EQ(ComboBufferSize(0), 256);
  EXPECT_EQ(ComboBufferSize(3), 2048);
  EXPECT_EQ(ComboBufferSize(7), 32768);
  EXPECT_EQ(ComboBufferSize(-1), 256);
  EXPECT_EQ(ComboBufferSize(8), 256);
  EXPECT_TRUE(IsBufferSize(4096));
  EXPECT_FALSE(IsBufferSize(1000));
}

// Guards the set-up numbers, including the line count that follows the
// capture's rate and buffer length rather than the analysed frame's.
TEST(SAGlobal, SetupNumbers)
{
  TSpectrumSetup s = ComputeSpectrumSetup(8, 512, 11025, 10, 11025, 512);
  EXPECT_EQ(s.FreqStep, 21.533203125);
  EXPECT_EQ(s.MaxFreq, 5512.5);
  EXPECT_EQ(s.Floor, -48);
  EXPECT_EQ(s.ImageWidth, 256);
  EXPECT_EQ(s.LineCount, 215);

  s = ComputeSpectrumSetup(16, 2048, 44100, 10, 44100, 256);
  EXPECT_EQ(s.FreqStep, 21.533203125);
  EXPECT_EQ(s.MaxFreq, 22050);
  EXPECT_EQ(s.ImageWidth, 1024);
  EXPECT_EQ(s.Floor, -96);
  EXPECT_EQ(s.LineCount, 1722);

  EXPECT_EQ(ComputeSpectrumSetup(16, 32768, 11025, 1, 11025, 32768).LineCount, 0);
}

namespace {
TFrameFormat format(int n, int bits)
{
  TFrameFormat f;
  f.SampleRate = 44100;
  f.Size = n;
  f.Bits = bits;
  return f;
}

void analyze(TAnalysis& a, int n, int bits, double (*sample)(int), TSpectrumFrame& f)
{
  std::vector<double> x(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    x[std::size_t(i)] = sample(i);
  a.Analyze(x, format(n, bits), f);
}
} // namespace

// Guards the decibel reference, the floor (also for silent bins), the DC
// read-out, the layout of the spectrogram line, the frame's own axes and its
// peak.
TEST(SAGlobal, SpectrumConversion)
{
  TAnalysis a;
  TSpectrumFrame f;

  analyze(a, 256, 16, [](int) { return 0.0; }, f);
  EXPECT_EQ(f.DCOffset, 0.0);
  ASSERT_EQ(f.Y.size(), 127u);
  ASSERT_EQ(f.SpectrumLine.size(), 128u);
  for (double v : f.Y)
    EXPECT_EQ(v, -96.0);
  EXPECT_EQ(f.SpectrumLine[126], -96.0);
  EXPECT_EQ(f.SpectrumLine[127], 0.0);
  EXPECT_EQ(f.X[0], 44100.0 / 256);
  EXPECT_EQ(f.X[126], 127 * (44100.0 / 256));
  EXPECT_FALSE(f.Peak); // silence has no peak

  analyze(a, 256, 8, [](int) { return 128.0; }, f);
  EXPECT_NEAR(f.DCOffset, 256.0, 1e-9);
  for (double v : f.Y)
    EXPECT_EQ(v, -48.0);

  analyze(a, 1024, 16, [](int i) { return 16384.0 * std::sin(2 * std::acos(-1.0) * 8 * i / 1024); }, f);
  EXPECT_NEAR(f.Y[7], 20 * std::log10(0.5), 1e-6);
  analyze(a, 1024, 16, [](int i) { return 32767.0 * std::sin(2 * std::acos(-1.0) * 8 * i / 1024); }, f);
  EXPECT_NEAR(f.Y[7], -0.000265, 1e-5);
  EXPECT_EQ(f.Format.Size, 1024);
  ASSERT_TRUE(f.Peak);
  EXPECT_NEAR(f.Peak->Frequency, 8 * 44100.0 / 1024, 0.01);

  // A frame shorter than its size is zero-padded: the tone's level halves.
  std::vector<double> half(512);
  for (int i = 0; i < 512; ++i)
    half[std::size_t(i)] = 32767.0 * std::sin(2 * std::acos(-1.0) * 8 * i / 1024);
  a.Analyze(half, format(1024, 16), f);
  EXPECT_NEAR(f.Y[7], 20 * std::log10(0.5), 0.01);

  // A NaN magnitude lands on the floor too.
  std::vector<double> re(256, 0.0), im(256, 0.0);
  re[5] = std::numeric_limits<double>::quiet_NaN();
  a.ComputeSpectrum(re.data(), im.data(), format(256, 16), f);
  EXPECT_EQ(f.Y[4], -96.0);
}
