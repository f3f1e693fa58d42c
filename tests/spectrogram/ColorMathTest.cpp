// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/ColorMath.h"
#include "spectrogram/DepthColors.h"

#include <gtest/gtest.h>

using namespace duv;

namespace {
TColor Rgb(int r, int g, int b)
{
  return MakeColor(r, g, b);
}
} // namespace

// Guards the five tables against a wrong size, a lost entry or swapped channels.
TEST(DepthColors, TablesHoldTheirColours)
{
  EXPECT_EQ(DepthColorTable(TColorCount::dc12).size(), 13u);
  EXPECT_EQ(DepthColorTable(TColorCount::dc20).size(), 20u);
  EXPECT_EQ(DepthColorTable(TColorCount::dc24).size(), 24u);
  EXPECT_EQ(DepthColorTable(TColorCount::dc30).size(), 30u);
  EXPECT_EQ(DepthColorTable(TColorCount::dc32).size(), 33u);
  for (auto c : {TColorCount::dc12, TColorCount::dc20, TColorCount::dc24, TColorCount::dc30,
                 TColorCount::dc32})
    EXPECT_EQ(DepthColorTable(c)[0], clBlack);
  EXPECT_EQ(DepthColorTable(TColorCount::dc12)[1], Rgb(128, 0, 0));
  EXPECT_EQ(DepthColorTable(TColorCount::dc12)[12], Rgb(255, 0, 255));
  EXPECT_EQ(DepthColorTable(TColorCount::dc20)[4], Rgb(191, 128, 191));
  EXPECT_EQ(DepthColorTable(TColorCount::dc20)[19], Rgb(0, 0, 128));
  EXPECT_EQ(DepthColorTable(TColorCount::dc24)[23], Rgb(255, 0, 127));
  EXPECT_EQ(DepthColorTable(TColorCount::dc30)[6], Rgb(208, 64, 208));
  EXPECT_EQ(DepthColorTable(TColorCount::dc30)[29], Rgb(0, 0, 128));
  EXPECT_EQ(DepthColorTable(TColorCount::dc32)[1], Rgb(255, 240, 0));
  EXPECT_EQ(DepthColorTable(TColorCount::dc32)[17], Rgb(240, 0, 0));
  EXPECT_EQ(DepthColorTable(TColorCount::dc32)[32], clBlack);
}

// Guards brightness, contrast and vector rounding (ties to even, clamping).
TEST(ColorMath, BrightnessContrastAndVectors)
{
  EXPECT_EQ(Brightness(Rgb(255, 255, 254)), 254);
  EXPECT_EQ(Brightness(Rgb(49, 50, 52)), 50);
  EXPECT_EQ(ContrastColor(Rgb(127, 128, 0)), Rgb(255, 0, 255));
  EXPECT_EQ(VectorToColor({0.5, 0.75, 0.25}), Rgb(128, 191, 64)); // 127.5 -> 128
  EXPECT_EQ(VectorToColor({-0.5, 1.5, 0}), Rgb(0, 255, 0));
  EXPECT_EQ(VectorToColor(ColorToVector(Rgb(12, 34, 56))), Rgb(12, 34, 56));
}

// Guards the HSV conversion's sextants, black's hue of -1 and grey's zero saturation.
TEST(ColorMath, HsvConversion)
{
  auto expectHsv = [](TColor c, long double h, long double s, long double v) {
    const THSV hsv = ColorToHSV(c);
    EXPECT_NEAR(double(hsv.H), double(h), 1e-12);
    EXPECT_NEAR(double(hsv.S), double(s), 1e-12);
    EXPECT_NEAR(double(hsv.V), double(v), 1e-12);
  };
  expectHsv(Rgb(255, 0, 0), 0, 1, 1);
  expectHsv(Rgb(0, 0, 255), 240, 1, 1);
  expectHsv(Rgb(128, 128, 128), 0, 0, 128 / 255.0L);
  expectHsv(clBlack, -1, 0, 0);
  expectHsv(Rgb(255, 0, 128), 360 - 128 / 255.0L * 60, 1, 1); // negative hue wraps

  EXPECT_EQ(HSVToColor(300, 1, 1), Rgb(255, 0, 255));
  EXPECT_EQ(HSVToColor(80, 1, 1), Rgb(170, 255, 0));
  EXPECT_EQ(HSVToColor(160, 1, 1), Rgb(0, 255, 170));
  EXPECT_EQ(HSVToColor(200, 0, 0.5L), Rgb(128, 128, 128));
  EXPECT_EQ(HSVToColor(-30, 1, 1), Rgb(255, 0, 128)); // negative sextant: (V, p, q)
  // Every table colour survives a round trip.
  for (TColor c : DepthColorTable(TColorCount::dc30))
    EXPECT_EQ(HSVToColor(ColorToHSV(c)), c);
}
