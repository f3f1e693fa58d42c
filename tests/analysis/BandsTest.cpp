// SPDX-License-Identifier: GPL-3.0-or-later
// Octave and third-octave band levels against sums of the exact DFT, and the
// A and C weightings against the standard's table.
#include "analysis/OctaveBands.h"
#include "analysis/Weighting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

using namespace duv;

namespace {

constexpr double Rate = 48000;
constexpr int N = 8192;
constexpr double FullScale = 32768;

// A third octave's exact midband frequency and edges, worked out here from
// the base-10 definition rather than taken from the code under test.
struct Edges
{
  double Low, Centre, High;
};
Edges BandEdges(int Fraction, int Index) // Index: bands from 1 kHz
{
  const double centre = 1000 * std::pow(10.0, 0.3 * Index / Fraction);
  const double half = std::pow(10.0, 0.3 / (2 * Fraction));
  return {centre / half, centre, centre * half};
}

// The band's level in dB against a full-scale sine, from a direct DFT of
// the Hann-windowed samples, in long double: each bin's power spread evenly
// over its width and integrated between the edges.
double ReferenceLevel(const std::vector<double>& x, const Edges& e)
{
  const long double pi = std::numbers::pi_v<long double>;
  std::vector<long double> w(N);
  long double sum = 0, squares = 0;
  for (int n = 0; n < N; ++n) {
    w[std::size_t(n)] = 0.5L - 0.5L * std::cos(2 * pi * n / N);
    sum += w[std::size_t(n)];
    squares += w[std::size_t(n)] * w[std::size_t(n)];
  }
  const long double gain = sum / N, enbw = squares / N / (gain * gain);
  const double step = Rate / N;
  long double power = 0;
  for (int k = int(std::floor(e.Low / step)); k <= int(std::ceil(e.High / step)); ++k) {
    const double from = std::max(e.Low, (k - 0.5) * step), to = std::min(e.High, (k + 0.5) * step);
    if (to <= from || k < 1)
      continue;
    long double re = 0, im = 0;
    for (int n = 0; n < N; ++n) {
      const long double a = 2 * pi * ((static_cast<long long>(k) * n) % N) / N;
      re += x[std::size_t(n)] * w[std::size_t(n)] * std::cos(a);
      im -= x[std::size_t(n)] * w[std::size_t(n)] * std::sin(a);
    }
    const long double amplitude = std::sqrt(re * re + im * im) / (N / 2) / gain;
    power += amplitude * amplitude / (FullScale * FullScale) / enbw * (to - from) / step;
  }
  return double(10 * std::log10(power));
}

// Our band levels of the same samples, through the analysis.
std::vector<double> Levels(const std::vector<double>& x, int Fraction, std::vector<TBand>& bands)
{
  TAnalysis a;
  TSpectrumFrame f;
  a.Analyze(x, {Rate, N, 16, 1, 0, TWindowKind::Hann}, f);
  bands = ResolvedBands(Fraction, f.Format);
  std::vector<double> powers, totals(bands.size(), 0.0), levels;
  BinPowers(f, {}, powers);
  AddBandPowers(powers, f.Format.FreqStep(), bands, totals);
  for (double p : totals)
    levels.push_back(PowerLevel(p, -200));
  return levels;
}

double LevelAt(const std::vector<double>& levels, const std::vector<TBand>& bands, double centre)
{
  for (std::size_t i = 0; i < bands.size(); ++i)
    if (std::abs(bands[i].Centre / centre - 1) < 1e-9)
      return levels[i];
  ADD_FAILURE() << "no band at " << centre;
  return 0;
}

std::vector<double> Tone(double Hz, double Amplitude)
{
  std::vector<double> x(N);
  for (int n = 0; n < N; ++n)
    x[std::size_t(n)] =
        Amplitude * FullScale * std::cos(2 * std::numbers::pi * Hz * n / Rate + 0.4);
  return x;
}

} // namespace

// Guards the band table: nominal names, exact base-10 centres and edges, and
// which bands a frame resolves.
TEST(OctaveBands, Table)
{
  const std::vector<TBand> thirds = StandardBands(3), octaves = StandardBands(1);
  ASSERT_EQ(thirds.size(), 34u);  // 10 Hz .. 20 kHz
  ASSERT_EQ(octaves.size(), 11u); // 16 Hz .. 16 kHz
  const double names[] = {10,   12.5, 16,   20,   25,   31.5, 40,    50,    63,    80,   100,  125,
                          160,  200,  250,  315,  400,  500,  630,   800,   1000,  1250, 1600, 2000,
                          2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};
  for (std::size_t i = 0; i < thirds.size(); ++i) {
    EXPECT_EQ(thirds[i].Nominal, names[i]);
    const Edges e = BandEdges(3, int(i) - 20);
    EXPECT_NEAR(thirds[i].Centre / e.Centre, 1, 1e-12);
    EXPECT_NEAR(thirds[i].Low / e.Low, 1, 1e-12);
    EXPECT_NEAR(thirds[i].High / e.High, 1, 1e-12);
  }
  EXPECT_EQ(octaves.front().Nominal, 16);
  EXPECT_EQ(octaves[1].Nominal, 31.5);
  EXPECT_EQ(octaves.back().Nominal, 16000);
  EXPECT_NEAR(octaves[6].High, 1000 * std::pow(10.0, 0.15), 1e-9);
  EXPECT_EQ(BandName(thirds[31], true), "12.5k");
  EXPECT_EQ(BandName(thirds[5], false), "31.5");
  EXPECT_TRUE(StandardBands(2).empty());
  // At 44.1 kHz and 2048 points (bins 21.5 Hz) the third octaves run from
  // 100 Hz (23 Hz wide) to 16 kHz (20 kHz reaches past 22.05 kHz).
  const std::vector<TBand> shown = ResolvedBands(3, {44100, 2048, 16, 1, 0, {}});
  EXPECT_EQ(shown.front().Nominal, 100);
  EXPECT_EQ(shown.back().Nominal, 16000);
}

// Guards the power sums and the split of edge bins: tones at band centres
// and on band edges, octaves and third octaves, each within 0.1 dB of the
// exact DFT's sum, and a tone on an edge shared out so both bands add up to
// it.
TEST(OctaveBands, TonesAgainstTheExactTransform)
{
  struct Case
  {
    int Fraction, Index; // the band, from 1 kHz
    double Where;        // 0 at the lower edge, 0.5 at the centre, 1 at the upper edge
  };
  const Case cases[] = {{3, 0, 0.5}, {3, -10, 0.5}, {3, 10, 0.5}, {1, 1, 0.5},
                        {3, 0, 1.0}, {3, -7, 0.0},  {1, -2, 1.0}, {3, 9, 1.0}};
  for (const Case& c : cases) {
    const Edges e = BandEdges(c.Fraction, c.Index);
    const double hz = c.Where == 0.5 ? e.Centre : c.Where == 0 ? e.Low : e.High;
    const std::vector<double> x = Tone(hz, 0.5);
    std::vector<TBand> bands;
    const std::vector<double> levels = Levels(x, c.Fraction, bands);
    const double ours = LevelAt(levels, bands, e.Centre);
    EXPECT_NEAR(ours, ReferenceLevel(x, e), 0.1) << hz;
    if (c.Where == 0.5) {
      EXPECT_NEAR(ours, 20 * std::log10(0.5), 0.1) << hz;
    } else {
      // The neighbour across the edge has the rest of the tone.
      const int next = c.Where == 1 ? 1 : -1;
      const Edges n = BandEdges(c.Fraction, c.Index + next);
      const double other = LevelAt(levels, bands, n.Centre);
      EXPECT_NEAR(other, ReferenceLevel(x, n), 0.1) << hz;
      EXPECT_NEAR(10 * std::log10(std::pow(10, ours / 10) + std::pow(10, other / 10)),
                  20 * std::log10(0.5), 0.1)
          << hz;
    }
  }
}

// Guards the bands of a broadband signal: pink noise in four third octaves
// and two octaves within 0.1 dB of the exact DFT's sums.
TEST(OctaveBands, PinkNoiseAgainstTheExactTransform)
{
  // White noise through three first-order low-passes spread over the band:
  // close to -3 dB per octave, which is all that matters here.
  std::mt19937 gen(7);
  std::normal_distribution<double> white(0, 1);
  std::vector<double> x(N);
  double s1 = 0, s2 = 0, s3 = 0;
  for (int n = -4000; n < N; ++n) {
    const double v = white(gen);
    s1 = 0.997 * s1 + 0.03 * v;
    s2 = 0.96 * s2 + 0.1 * v;
    s3 = 0.6 * s3 + 0.3 * v;
    if (n >= 0)
      x[std::size_t(n)] = 3000 * (s1 + s2 + s3 + 0.1 * v);
  }
  std::vector<TBand> thirds, octaves;
  const std::vector<double> t = Levels(x, 3, thirds), o = Levels(x, 1, octaves);
  for (int index : {-10, -3, 0, 9})
    EXPECT_NEAR(LevelAt(t, thirds, BandEdges(3, index).Centre),
                ReferenceLevel(x, BandEdges(3, index)), 0.1)
        << index;
  for (int index : {-3, 3})
    EXPECT_NEAR(LevelAt(o, octaves, BandEdges(1, index).Centre),
                ReferenceLevel(x, BandEdges(1, index)), 0.1)
        << index;
}

// Guards the weighting curves: A and C within 0.1 dB of the standard's table
// at every third-octave centre from 10 Hz to 20 kHz, Z flat, the names.
TEST(Weighting, StandardTable)
{
  const double a[] = {-70.4, -63.4, -56.7, -50.5, -44.7, -39.4, -34.6, -30.2, -26.2,
                      -22.5, -19.1, -16.1, -13.4, -10.9, -8.6,  -6.6,  -4.8,  -3.2,
                      -1.9,  -0.8,  0.0,   0.6,   1.0,   1.2,   1.3,   1.2,   1.0,
                      0.5,   -0.1,  -1.1,  -2.5,  -4.3,  -6.6,  -9.3};
  const double c[] = {-14.3, -11.2, -8.5, -6.2, -4.4, -3.0, -2.0, -1.3, -0.8, -0.5, -0.3, -0.2,
                      -0.1,  0.0,   0.0,  0.0,  0.0,  0.0,  0.0,  0.0,  0.0,  0.0,  -0.1, -0.2,
                      -0.3,  -0.5,  -0.8, -1.3, -2.0, -3.0, -4.4, -6.2, -8.5, -11.2};
  for (int i = 0; i < 34; ++i) {
    const double f = 1000 * std::pow(10.0, (i - 20) / 10.0);
    EXPECT_NEAR(WeightingDecibels(TWeighting::A, f), a[i], 0.1) << f;
    EXPECT_NEAR(WeightingDecibels(TWeighting::C, f), c[i], 0.1) << f;
    EXPECT_EQ(WeightingDecibels(TWeighting::Z, f), 0.0);
  }
  EXPECT_NEAR(WeightingDecibels(TWeighting::A, 1000), 0, 1e-12);
  EXPECT_EQ(WeightingDecibels(TWeighting::A, 0), -INFINITY);
  EXPECT_EQ(WeightingFromName("a"), TWeighting::A);
  EXPECT_EQ(WeightingFromName("Z"), TWeighting::Z);
  EXPECT_FALSE(WeightingFromName("B"));
}
