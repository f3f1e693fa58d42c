#include "analysis/SAGlobal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
// capture rate and the shared frame length rather than the arguments.
TEST(SAGlobal, SetupNumbers)
{
  TAnalysis a;
  a.BufferSize = 512;
  TSpectrumSetup s = a.SetupSpectrum(8, 512, 11025, 10, 11025);
  EXPECT_EQ(a.FreqStep, 21.533203125);
  EXPECT_EQ(a.MaxFreq, 5512.5);
  EXPECT_EQ(s.Floor, -48);
  EXPECT_EQ(s.ImageWidth, 256);
  EXPECT_EQ(s.LineCount, 215);

  a.BufferSize = 2048;
  s = a.SetupSpectrum(16, 2048, 44100, 10, 44100);
  EXPECT_EQ(a.FreqStep, 21.533203125);
  EXPECT_EQ(a.MaxFreq, 22050);
  EXPECT_EQ(s.ImageWidth, 1024);
  EXPECT_EQ(s.Floor, -96);

  a.BufferSize = 32768;
  EXPECT_EQ(a.SetupSpectrum(16, 32768, 11025, 1, 11025).LineCount, 0);
}

namespace {
void fillFrame(TAnalysis& a, int n, double (*sample)(int))
{
  a.BufferSize = n;
  for (int i = 0; i < n; ++i) {
    a.RealData[i] = sample(i);
    a.ImagData[i] = 0;
  }
  a.FFT.ForwardTransform(a.RealData.data(), a.ImagData.data(), n);
}
} // namespace

// Guards the decibel reference, the floor (also for silent bins), the DC
// read-out and the layout of the spectrogram line.
TEST(SAGlobal, SpectrumConversion)
{
  TAnalysis a;
  a.SetupSpectrum(16, 256, 44100, 10, 44100);
  TSpectrumFrame f;

  fillFrame(a, 256, [](int) { return 0.0; });
  a.ComputeSpectrum(16, f);
  EXPECT_EQ(f.DCOffset, 0.0);
  ASSERT_EQ(f.Y.size(), 127u);
  ASSERT_EQ(f.SpectrumLine.size(), 128u);
  for (double v : f.Y)
    EXPECT_EQ(v, -96.0);
  EXPECT_EQ(f.SpectrumLine[126], -96.0);
  EXPECT_EQ(f.SpectrumLine[127], 0.0);
  EXPECT_EQ(f.X[0], a.FreqStep);
  EXPECT_EQ(f.X[126], 127 * a.FreqStep);

  fillFrame(a, 256, [](int) { return 128.0; });
  a.ComputeSpectrum(8, f);
  EXPECT_NEAR(f.DCOffset, 256.0, 1e-9);
  for (double v : f.Y)
    EXPECT_EQ(v, -48.0);

  const double pi = std::acos(-1.0);
  fillFrame(a, 1024, [](int i) { return 16384.0 * std::sin(2 * std::acos(-1.0) * 8 * i / 1024); });
  a.ComputeSpectrum(16, f);
  EXPECT_NEAR(f.Y[7], 20 * std::log10(0.5), 1e-6);
  fillFrame(a, 1024, [](int i) { return 32767.0 * std::sin(2 * std::acos(-1.0) * 8 * i / 1024); });
  a.ComputeSpectrum(16, f);
  EXPECT_NEAR(f.Y[7], -0.000265, 1e-5);
  (void)pi;

  // A NaN magnitude lands on the floor too.
  fillFrame(a, 256, [](int) { return 0.0; });
  a.RealData[5] = std::numeric_limits<double>::quiet_NaN();
  a.ComputeSpectrum(16, f);
  EXPECT_EQ(f.Y[4], -96.0);
}
