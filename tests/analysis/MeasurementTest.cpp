// SPDX-License-Identifier: GPL-3.0-or-later
// Measurement maths: window functions, refined peaks with notes and cents,
// and the averaged and held traces.
#include "analysis/SAGlobal.h"
#include "analysis/SpectrumPeaks.h"
#include "analysis/TraceHold.h"
#include "analysis/WindowFunctions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <sstream>
#include <vector>

using namespace duv;

namespace {

constexpr double Rate = 44100;
constexpr double FullScale = 32768; // a 16-bit frame's reference

// The spectrum of a tone at `bin` (fractional) of amplitude Amp (1 is full
// scale) through a window, as the program computes it.
struct Frame
{
  TAnalysis a;
  TSpectrumFrame f;
  Frame(int n, TWindowKind w, double bin, double amp = 1.0, double phase = 0.3)
  {
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
      x[std::size_t(i)] = amp * FullScale * std::cos(2 * std::numbers::pi * bin * i / n + phase);
    a.Analyze(x, {Rate, n, 16, 1, 0, w}, f);
  }
  double Level(int k) const { return f.Y[std::size_t(k - 1)]; }
  TPeakSpectrum Peaks(TWindowKind w) const
  {
    return {f.Magnitude, f.Format.FreqStep(), FullScale, w};
  }
};

} // namespace

// Guards the coherent-gain correction and the names: a full-scale sine on a
// bin reads 0 dB under every window; each name reads back.
TEST(WindowFunctions, FullScaleSineReadsZeroDecibels)
{
  for (TWindowKind w : AllWindows) {
    const Frame fr(4096, w, 100);
    EXPECT_NEAR(fr.Level(100), 0.0, 0.01) << WindowName(w).toStdString();
    EXPECT_EQ(WindowFromName(WindowName(w)), w);
  }
  EXPECT_FALSE(WindowFromName("triangle").has_value());
  EXPECT_EQ(WindowName(TWindowKind::BlackmanHarris), "blackman-harris");
  EXPECT_EQ(WindowCaption(TWindowKind::FlatTop), "Flat Top");
  // The coefficients are made once per size and shared.
  EXPECT_EQ(WindowCoefficients(TWindowKind::Hann, 512), WindowCoefficients(TWindowKind::Hann, 512));
  EXPECT_EQ(WindowCoefficients(TWindowKind::Hann, 512)->size(), 512u);
}

// Guards each window's leakage: a tone halfway between two bins leaks into
// the bin 20 bins away no more than the window's sidelobes allow.
TEST(WindowFunctions, LeakageStaysUnderTheSidelobes)
{
  const struct
  {
    TWindowKind w;
    double sidelobe;
  } cases[] = {{TWindowKind::Rectangular, -13},  {TWindowKind::Hann, -31},
               {TWindowKind::Hamming, -42},      {TWindowKind::Blackman, -58},
               {TWindowKind::BlackmanHarris, -92}, {TWindowKind::FlatTop, -90}};
  for (const auto& c : cases) {
    const Frame fr(4096, c.w, 300.5, 1.0, 0);
    const double peak = std::max(fr.Level(300), fr.Level(301));
    EXPECT_LE(fr.Level(320) - peak, c.sidelobe) << WindowName(c.w).toStdString();
    EXPECT_LE(fr.Level(280) - peak, c.sidelobe) << WindowName(c.w).toStdString();
  }
}

// Guards the refined peak: a full-scale tone swept across one bin in 50
// steps reads its frequency within 0.005 of a bin and its level within
// 0.02 dB under every window, in a short frame (N = 256, the tone at a
// quarter of the band) and a long one (N = 4096, the tone near 100 bins,
// where the rectangular window's own image at the negative frequency is the
// largest error).
TEST(SpectrumPeaks, SweepAcrossOneBin)
{
  for (TWindowKind w : AllWindows) {
    for (const auto& [n, first] : {std::pair{256, 64}, std::pair{4096, 93}}) {
      double worstBins = 0, worstDb = 0;
      for (int step = 0; step < 50; ++step) {
        const double bin = first + step / 50.0;
        const Frame fr(n, w, bin);
        const auto peak = StrongestPeak(fr.Peaks(w));
        ASSERT_TRUE(peak.has_value());
        worstBins = std::max(worstBins, std::abs(peak->Frequency / fr.f.Format.FreqStep() - bin));
        worstDb = std::max(worstDb, std::abs(peak->Level));
      }
      EXPECT_LE(worstBins, 0.005) << WindowName(w).toStdString() << " " << n;
      EXPECT_LE(worstDb, 0.02) << WindowName(w).toStdString() << " " << n;
    }
  }
}

// Guards notes and cents: the nearest note decides the sign, rounding as the
// note names do, and the read-out's text.
TEST(SpectrumPeaks, NotesAndCents)
{
  const auto nc = [](double f) {
    const TNoteCents n = NoteAndCents(f);
    return n.Note.toStdString() + " " + std::to_string(n.Cents);
  };
  EXPECT_EQ(nc(440), "A - 4 0");
  EXPECT_EQ(nc(446), "A - 4 23");
  EXPECT_EQ(nc(452), "A - 4 47");
  EXPECT_EQ(nc(453.08), "A#/Bb - 4 -49"); // not A + 51
  EXPECT_EQ(nc(10), "Too Low 0");
  TPeak p;
  p.Frequency = 440;
  p.Level = -3;
  p.Note = NoteAndCents(440);
  EXPECT_EQ(PeakText(p), "440.0 Hz  -3.0 dB  A - 4 +0 cents");
  p.Frequency = 453.08;
  p.Note = NoteAndCents(453.08);
  EXPECT_EQ(PeakText(p), "453.1 Hz  -3.0 dB  A#/Bb - 4 -49 cents");
}

// Guards the peak list: local maxima strongest first, neighbouring bins of
// one peak counted once, and nothing found in silence.
TEST(SpectrumPeaks, TwoTonesInOrderOfLevel)
{
  TAnalysis a;
  const int n = 4096;
  std::vector<double> x(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    x[std::size_t(i)] = 0.1 * FullScale * std::sin(2 * std::numbers::pi * 50.3 * i / n) +
                        0.5 * FullScale * std::sin(2 * std::numbers::pi * 700.7 * i / n);
  TSpectrumFrame f;
  a.Analyze(x, {Rate, n, 16, 1, 0, TWindowKind::BlackmanHarris}, f);
  const double step = f.Format.FreqStep();
  const TPeakSpectrum s{f.Magnitude, step, FullScale, TWindowKind::BlackmanHarris};
  const auto peaks = FindPeaks(s, 2);
  ASSERT_EQ(peaks.size(), 2u);
  EXPECT_NEAR(peaks[0].Frequency, 700.7 * step, 0.1 * step);
  EXPECT_NEAR(peaks[0].Level, -6.02, 0.5);
  EXPECT_NEAR(peaks[1].Frequency, 50.3 * step, 0.1 * step);
  EXPECT_NEAR(peaks[1].Level, -20, 0.5);

  const std::vector<double> plateau = {0, 1, 3, 3, 3, 1, 0, 2, 1};
  const auto flat = FindPeaks({plateau, 10, 1, TWindowKind::Rectangular}, 5);
  ASSERT_EQ(flat.size(), 2u);
  EXPECT_GE(flat[0].Frequency, 20); // within the flat top
  EXPECT_LE(flat[0].Frequency, 40);
  EXPECT_NEAR(flat[1].Frequency, 70, 5);
  EXPECT_TRUE(FindPeaks({std::vector<double>(64, 0.0), 10, 1, TWindowKind::Hann}, 5).empty());
}

// Guards the order of the peak list: peaks are picked and ranked by their
// refined levels, not their bins'. A tone half a bin off (raw bins -7.0 dB,
// refined -3.1 dB) comes before one on a bin at -6.0 dB, also when only the
// strongest is asked for.
TEST(SpectrumPeaks, StrongestAfterRefinement)
{
  std::vector<double> m(128);
  for (std::size_t k = 0; k < m.size(); ++k)
    m[k] = 0.5 * std::abs(WindowLobe(TWindowKind::Rectangular, double(k) - 20)) +
           0.7 * std::abs(WindowLobe(TWindowKind::Rectangular, double(k) - 60.5));
  const TPeakSpectrum s{m, 10, 1, TWindowKind::Rectangular};
  const auto two = FindPeaks(s, 2);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_NEAR(two[0].Frequency, 605, 0.1);
  EXPECT_NEAR(two[0].Level, 20 * std::log10(0.7), 0.05);
  EXPECT_NEAR(two[1].Frequency, 200, 0.5);
  const auto one = FindPeaks(s, 1);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_NEAR(one[0].Frequency, 605, 0.1);
}

// Guards the two-bin offset against a ratio no single tone gives: under
// noise (or a second tone beside the first) no refined peak moves more than
// half a bin from its bin, under any window.
TEST(SpectrumPeaks, RefinementStaysWithinHalfABin)
{
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> noise(0.01, 1);
  std::vector<double> m(512);
  for (double& v : m)
    v = noise(gen);
  for (TWindowKind w : AllWindows) {
    const TPeakSpectrum s{m, 1, 1, w};
    for (int k = 1; k + 1 < int(m.size()); ++k) {
      if (m[std::size_t(k)] > m[std::size_t(k - 1)] && m[std::size_t(k)] > m[std::size_t(k + 1)]) {
        ASSERT_LE(std::abs(RefinePeak(s, k).Frequency - k), 0.5)
            << WindowName(w).toStdString() << " bin " << k;
      }
    }
  }
}

// Guards the edge of the list: a peak in the very last bin is listed, at
// that bin.
TEST(SpectrumPeaks, PeakInTheLastBin)
{
  const std::vector<double> m = {0, 0.1, 0.3, 0.2, 0.1, 0.4, 0.9};
  const auto peaks = FindPeaks({m, 10, 1, TWindowKind::Hann}, 5);
  ASSERT_EQ(peaks.size(), 2u);
  EXPECT_EQ(peaks[0].Frequency, 60);
  EXPECT_EQ(peaks[1].Frequency / 10, std::clamp(peaks[1].Frequency / 10, 1.5, 2.5));
}

// Guards the second trace: peak hold keeps a tone's level after it stops
// while the live level falls; the average is taken on power, so alternating
// frames converge to their mean power; a new mode starts over.
TEST(TraceHold, PeakHoldAndPowerAverage)
{
  TTraceHold hold;
  hold.SetMode(TTraceMode::PeakHold);
  hold.Add(std::vector<double>{-96, -6, -96}, -96, 0.01);
  hold.Add(std::vector<double>{-96, -96, -40}, -96, 0.01);
  EXPECT_EQ(hold.Levels(), (std::vector<double>{-96, -6, -40}));

  hold.SetMode(TTraceMode::Average);
  EXPECT_TRUE(hold.Levels().empty());
  hold.SetTimeConstant(0.5);
  for (int i = 0; i < 2000; ++i)
    hold.Add(std::vector<double>{i % 2 ? -10.0 : -20.0, -96}, -96, 0.01);
  // Mean power of 0.1 and 0.01 is 0.055: -12.6 dB, not the -15 dB mean of
  // the decibels.
  EXPECT_NEAR(hold.Levels()[0], 10 * std::log10(0.055), 0.1);
  EXPECT_EQ(hold.Levels()[1], -96);

  hold.SetMode(TTraceMode::Live);
  hold.Add(std::vector<double>{0.0}, -96, 0.01);
  EXPECT_TRUE(hold.Levels().empty());
}
