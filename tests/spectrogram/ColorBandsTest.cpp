// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/ColorBands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace duv;

namespace {
TColor Rgb(int r, int g, int b)
{
  return MakeColor(r, g, b);
}

std::vector<int> Positions(const TColorBands& bands)
{
  std::vector<int> p;
  for (int k = 0; k < bands.EdgeCount(); ++k)
    p.push_back(bands.Edge(k).Position);
  return p;
}

// 33 evenly spaced edges on 0 .. -96 dB: edge k stands for -3k dB.
double NaN()
{
  return std::numeric_limits<double>::quiet_NaN();
}

TColorBands Temp32()
{
  TColorBands bands;
  bands.LoadColorTable(TColorCount::dc32);
  bands.ResetSpacing();
  bands.SetRange(0, -96);
  return bands;
}
} // namespace

// Guards even spacing (truncating division, last edge exactly at the bottom)
// and the values that follow positions and ranges.
TEST(ColorBands, SpacingAndValues)
{
  TColorBands bands;
  EXPECT_EQ(bands.EdgeCount(), 13);
  EXPECT_EQ(Positions(bands), (std::vector<int>{0, 8333, 16666, 25000, 33333, 41666, 50000, 58333,
                                                66666, 75000, 83333, 91666, 100000}));
  EXPECT_DOUBLE_EQ(bands.Edge(1).Value, 100000 - 8333); // default range 100000 .. 0
  bands.SetRange(0, -96);
  EXPECT_NEAR(bands.Edge(1).Value, -7.99968, 1e-9);
  EXPECT_DOUBLE_EQ(bands.ValueAtPosition(50000), -48);

  // Loading a bigger table keeps positions in use and gives new edges values.
  bands.LoadColorTable(TColorCount::dc30);
  EXPECT_EQ(bands.EdgeCount(), 30);
  EXPECT_EQ(bands.Edge(1).Position, 8333);
  EXPECT_EQ(bands.Edge(1).Color, Rgb(255, 255, 255));
  EXPECT_DOUBLE_EQ(bands.Edge(20).Value, bands.ValueAtPosition(bands.Edge(20).Position));

  // Partial spreading leaves both ends in place.
  TColorBands s = Temp32();
  s.SetEdgePosition(4, 40000, 1000);
  s.SpreadEdges(-5, 4); // first clamped to 0
  EXPECT_EQ(s.Edge(0).Position, 0);
  EXPECT_EQ(s.Edge(2).Position, 20000);
  EXPECT_EQ(s.Edge(4).Position, 40000);
  s.SpreadEdges(4, 99); // last clamped to 32
  EXPECT_EQ(s.Edge(32).Position, 100000);
  EXPECT_EQ(s.Edge(18).Position, 40000 + 14 * 60000 / 28);
}

// Guards the band search: edge values belong to the band above, values
// outside every band are black, NaN finds no band.
TEST(ColorBands, BandSearch)
{
  const TColorBands bands = Temp32();
  EXPECT_DOUBLE_EQ(bands.Edge(5).Value, -15);
  EXPECT_EQ(bands.BandOf(-3), 1);
  EXPECT_EQ(bands.BandOf(-4.5), 2);
  EXPECT_EQ(bands.BandOf(0), 1);
  EXPECT_EQ(bands.BandOf(-96), 32);
  EXPECT_EQ(bands.ColorOf(-4.5), Rgb(255, 224, 0));
  EXPECT_EQ(bands.ColorOf(0.5), clBlack);
  EXPECT_EQ(bands.ColorOf(-97), clBlack);
  EXPECT_EQ(bands.BandOf(std::numeric_limits<double>::quiet_NaN()), -1);
  EXPECT_EQ(bands.BandOf(-std::numeric_limits<double>::infinity()), -1);
}

// Guards the pixel hit tests: one-pixel tolerance on edges, the end edges
// only when allowed, nothing when not adjustable, bands by their rows.
TEST(ColorBands, HitTests)
{
  TColorBands bands; // 13 edges
  const int h = 120; // edge k at row 10k
  EXPECT_EQ(bands.EdgeY(3, h), 30);
  EXPECT_EQ(bands.EdgeAt(30, h, true, true), 3);
  EXPECT_EQ(bands.EdgeAt(31, h, true, true), 3);
  EXPECT_EQ(bands.EdgeAt(29, h, true, true), 3);
  EXPECT_EQ(bands.EdgeAt(32, h, true, true), -1);
  EXPECT_EQ(bands.EdgeAt(0, h, true, true), 0);
  EXPECT_EQ(bands.EdgeAt(0, h, true, false), -1);
  EXPECT_EQ(bands.EdgeAt(120, h, true, false), -1);
  EXPECT_EQ(bands.EdgeAt(119, h, true, true), 12);
  EXPECT_EQ(bands.EdgeAt(30, h, false, true), -1);
  EXPECT_EQ(bands.BandAt(35, h), 4);
  EXPECT_EQ(bands.BandAt(30, h), 3); // an edge row belongs to the band above
  EXPECT_EQ(bands.BandAt(0, h), 1);
  EXPECT_EQ(bands.BandAt(121, h), -1);
  EXPECT_EQ(bands.BandAt(-1, h), -1);
}

// Guards edge moves: the push gap of two pixels, neighbours pushed in both
// directions and piled up at the ends, values by value and out-of-range edges.
TEST(ColorBands, MovingEdges)
{
  TColorBands bands;    // 13 edges at k * 8333
  const int gap = 1482; // a bar 135 pixels high: 2 * round(740.74)
  bands.SetEdgePosition(3, 50000, 135);
  EXPECT_EQ(bands.Edge(3).Position, 50000);
  EXPECT_EQ(bands.Edge(4).Position, 50000 + gap);
  EXPECT_EQ(bands.Edge(5).Position, 50000 + 2 * gap);
  EXPECT_EQ(bands.Edge(6).Position, 50000 + 3 * gap);
  EXPECT_EQ(bands.Edge(7).Position, 58333); // already far enough below, left alone
  EXPECT_EQ(bands.Edge(2).Position, 16666);
  EXPECT_DOUBLE_EQ(bands.Edge(4).Value, bands.ValueAtPosition(50000 + gap));

  TColorBands up;
  up.SetEdgePosition(11, -500, 135); // unclamped itself, pushes all above to 0
  EXPECT_EQ(up.Edge(11).Position, -500);
  for (int k = 0; k < 11; ++k)
    EXPECT_EQ(up.Edge(k).Position, 0) << k;
  EXPECT_EQ(up.Edge(12).Position, 100000);

  TColorBands down;
  down.SetEdgePosition(1, 99990, 135);
  EXPECT_EQ(down.Edge(2).Position, 100000);
  EXPECT_EQ(down.Edge(12).Position, 100000);

  TColorBands byValue;
  byValue.SetRange(0, -96);
  byValue.SetEdgeValue(1, -8, 135); // round(8 / 96 * 100000) = 8333
  EXPECT_EQ(byValue.Edge(1).Position, 8333);
  byValue.SetEdgeValue(2, -16, 135);
  EXPECT_EQ(byValue.Edge(2).Position, 16667);
  const auto before = Positions(byValue);
  byValue.SetEdgeValue(-1, -50, 135);
  byValue.SetEdgeValue(13, -50, 135);
  byValue.SetEdgeValue(3, 1e300, 0); // absurd value on a bar without height
  EXPECT_EQ(Positions(byValue)[4], before[4]);
  EXPECT_EQ(byValue.Edge(0).Position, 0);
}

// Guards the gradients: the RGB step of 1/m, the HSV step of 1/n, the
// too-short no-ops, clamping and reversed pairs.
TEST(ColorBands, Gradients)
{
  auto redToBlue = [] {
    TColorBands b;
    b.SetEdgeColor(1, Rgb(255, 0, 0));
    b.SetEdgeColor(4, Rgb(0, 0, 255));
    return b;
  };
  TColorBands rgb = redToBlue();
  rgb.ColorGradient(1, 4);
  EXPECT_EQ(rgb.Edge(2).Color, Rgb(191, 0, 64));
  EXPECT_EQ(rgb.Edge(3).Color, Rgb(128, 0, 128));
  EXPECT_EQ(rgb.Edge(4).Color, Rgb(0, 0, 255));

  TColorBands reversed = redToBlue();
  reversed.ColorGradient(4, 1);
  EXPECT_EQ(reversed.Edge(2).Color, Rgb(191, 0, 64));

  TColorBands hsv = redToBlue();
  hsv.HueGradient(1, 4);
  EXPECT_EQ(hsv.Edge(2).Color, Rgb(170, 255, 0));
  EXPECT_EQ(hsv.Edge(3).Color, Rgb(0, 255, 170));

  TColorBands shortHue = redToBlue();
  shortHue.SetEdgeColor(3, Rgb(0, 0, 255));
  shortHue.HueGradient(1, 3);
  EXPECT_EQ(shortHue.Edge(2).Color, DepthColorTable(TColorCount::dc12)[2]);
  shortHue.ColorGradient(1, 3); // a + (b - a) / 3
  EXPECT_EQ(shortHue.Edge(2).Color, Rgb(170, 0, 85));
  shortHue.SetEdgeColor(2, clWhite);
  shortHue.ColorGradient(2, 3);
  EXPECT_EQ(shortHue.Edge(2).Color, clWhite);

  // The dialog's whole-bar call is clamped to bands 1 .. 12.
  TColorBands whole = redToBlue();
  whole.SetEdgeColor(12, Rgb(0, 0, 255));
  whole.ColorGradient(0, whole.EdgeCount());
  EXPECT_EQ(whole.Edge(0).Color, clBlack);
  EXPECT_EQ(whole.Edge(1).Color, Rgb(255, 0, 0));
  EXPECT_EQ(whole.Edge(12).Color, Rgb(0, 0, 255));
  EXPECT_EQ(whole.Edge(6).Color, Rgb(Round(255 * (1 - 5 / 12.0)), 0, Round(255 * 5 / 12.0)));

  // Indices far outside the table never reach colours beyond it.
  TColorBands wild = redToBlue();
  wild.ColorGradient(5, -40);
  wild.HueGradient(1000, -1000);
  EXPECT_EQ(wild.Edge(0).Color, clBlack);
}

// Guards the per-line colour search: for every value it gives the plain search's colour.
TEST(ColorBands, LookupMatchesPlainSearch)
{
  constexpr double inf = std::numeric_limits<double>::infinity();
  std::mt19937 gen(11);
  int checked = 0;
  auto probe = [&](TColorBands bands, const std::string& what) {
    // A colour of its own for every band, so that a wrong band shows.
    for (int k = 0; k < bands.EdgeCount(); ++k)
      bands.SetEdgeColor(k, Rgb(10 + k, 20 + 3 * k, 200 - k));
    std::vector<double> values = {0.0,
                                  -0.0,
                                  inf,
                                  -inf,
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::max(),
                                  -std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::denorm_min()};
    double lo = 0, hi = 0;
    for (int k = 0; k < bands.EdgeCount(); ++k) {
      const double v = bands.Edge(k).Value;
      values.insert(values.end(), {v, std::nextafter(v, inf), std::nextafter(v, -inf)});
      if (std::isfinite(v)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    }
    std::uniform_real_distribution<double> near(lo - 10, hi + 10);
    for (int i = 0; i < 3000; ++i)
      values.push_back(near(gen));
    const TBandLookup lookup(bands);
    for (double v : values) {
      ASSERT_EQ(lookup.ColorOf(v), bands.ColorOf(v)) << what << " v=" << v;
      ++checked;
    }
  };
  for (TColorCount count : {TColorCount::dc12, TColorCount::dc20, TColorCount::dc24,
                            TColorCount::dc30, TColorCount::dc32}) {
    TColorBands bands;
    bands.LoadColorTable(count);
    bands.ResetSpacing();
    const std::string table = "table " + std::to_string(bands.EdgeCount());
    // Ranges as set up, inverted, empty, unbounded and undefined.
    for (const auto& [top, bottom] : std::vector<std::pair<double, double>>{
             {0, -96}, {0, -48}, {-96, 0}, {100000, 0}, {-20, -20}, {inf, -inf}, {NaN(), 0}}) {
      bands.SetRange(top, bottom);
      probe(bands, table + " range " + std::to_string(top) + ".." + std::to_string(bottom));
    }
    // Edges dragged about, now and then beyond the ends of the bar, which
    // piles them up or puts them out of order.
    std::uniform_int_distribution<int> edge(0, bands.EdgeCount() - 1);
    std::uniform_int_distribution<int> position(-20000, 120000);
    for (int move = 0; move < 40; ++move) {
      bands.SetEdgePosition(edge(gen), position(gen), 135);
      for (const auto& [top, bottom] : {std::pair{0.0, -96.0}, std::pair{-96.0, 0.0}}) {
        bands.SetRange(top, bottom);
        probe(bands, table + " move " + std::to_string(move));
      }
    }
  }
  EXPECT_GT(checked, 1000000);
}

// Guards the perceptual tables: 33 entries like the temperature table, black
// above the top, and a lightness that falls steadily from the loudest band
// to the quietest, which is what makes them readable without colour vision.
TEST(DepthColors, PerceptualTablesFallEvenlyInLightness)
{
  for (TColorCount c : {TColorCount::dcViridis, TColorCount::dcMagma}) {
    const auto t = DepthColorTable(c);
    ASSERT_EQ(t.size(), 33u);
    EXPECT_EQ(t[0], MakeColor(0, 0, 0));
    const auto luma = [](TColor x) {
      return 0.2126 * RedOf(x) + 0.7152 * GreenOf(x) + 0.0722 * BlueOf(x);
    };
    double step = 0;
    for (std::size_t k = 2; k < t.size(); ++k) {
      EXPECT_LT(luma(t[k]), luma(t[k - 1])) << int(c) << " band " << k;
      step = std::max(step, luma(t[k - 1]) - luma(t[k]));
    }
    // No jump of more than a fifth of the whole range between two bands.
    EXPECT_LT(step, 0.2 * (luma(t[1]) - luma(t[32])));
  }
}
