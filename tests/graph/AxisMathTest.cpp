#include "graph/AxisMath.h"
#include "support/DSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace duv;

// Guards the Y-range rounding of the spectrum set-up (floors -48 and -96 dB).
TEST(AxisMath, FitRangeRoundsToWholeSteps)
{
  const auto check = [](double mn, double mx, double step, double emn, double emx, int lines) {
    const TFittedRange r = FitRange(mn, mx, step);
    EXPECT_EQ(r.Min, emn) << mn << " " << mx;
    EXPECT_EQ(r.Max, emx) << mn << " " << mx;
    EXPECT_EQ(r.Lines, lines) << mn << " " << mx;
  };
  check(-48, 10, 20, -60, 20, 4);
  check(-96, 10, 20, -100, 20, 6);
  check(-40, 10, 20, -40, 20, 3);
  check(5, 40, 20, 0, 40, 2);      // positive Min rounds down, whole Max stays
  check(-48, -5, 20, -60, -20, 2); // a negative Max moves away from zero
  // A zero step must not fill the axis with NaN.
  const TFittedRange z = FitRange(-48, 10, 0);
  EXPECT_EQ(z.Min, -48);
  EXPECT_EQ(z.Max, 10);
  EXPECT_FALSE(std::isnan(FitRange(-48, 10, std::nan("")).Max));
}

// Guards the label arithmetic: offset before multiplier, signed wrap at Cycle.
TEST(AxisMath, AxisValue)
{
  EXPECT_DOUBLE_EQ(AxisValue(10, 0.5, 2, 0), 6);
  EXPECT_NEAR(AxisValue(400, 1, 0, 360), 40, 1e-9);
  EXPECT_NEAR(AxisValue(-400, 1, 0, 360), -40, 1e-9);
}

// Guards the logarithmic tick walk: edge tick skipped, decades flagged, and no
// endless loop on ranges that cannot be ticked.
TEST(AxisMath, LogTicks)
{
  std::vector<double> ticks;
  std::vector<double> decades;
  ForEachLogTick(21.5, 22050, [&](int m, int e, bool decade) {
    ticks.push_back(LogTickValue(m, e));
    if (decade)
      decades.push_back(LogTickValue(m, e));
  });
  ASSERT_FALSE(ticks.empty());
  EXPECT_EQ(ticks.front(), 30);
  EXPECT_EQ(ticks.back(), 20000);
  EXPECT_EQ(decades, (std::vector<double>{100, 1000, 10000}));
  EXPECT_EQ(ticks.size(), 7u + 9 + 9 + 2);

  // Always at least once, even on an empty range.
  int calls = 0;
  ForEachLogTick(100, 100, [&](int m, int e, bool) {
    ++calls;
    EXPECT_EQ(LogTickValue(m, e), 200);
  });
  EXPECT_EQ(calls, 1);

  calls = 0;
  const double inf = std::numeric_limits<double>::infinity();
  ForEachLogTick(1, std::nan(""), [&](int, int, bool) { ++calls; });
  ForEachLogTick(0, 100, [&](int, int, bool) { ++calls; });
  ForEachLogTick(std::nan(""), 100, [&](int, int, bool) { ++calls; });
  EXPECT_EQ(calls, 0);
  ForEachLogTick(1, inf, [&](int, int, bool) { ++calls; });
  EXPECT_GT(calls, 0);
  EXPECT_LT(calls, 4000);
}

// Guards the zoom and pan arithmetic of the view buttons.
TEST(AxisMath, ZoomAndPan)
{
  TAxisRange r = ZoomedRange({0, 2047}, 0.9);
  EXPECT_NEAR(r.Min, 102.35, 1e-9);
  EXPECT_NEAR(r.Max, 1944.65, 1e-9);
  r = ZoomedRange(r, 1.1);
  EXPECT_NEAR(r.Min, 10.235, 1e-9);
  EXPECT_NEAR(r.Max, 2036.765, 1e-9);

  r = ZoomedRange({21.5, 22050}, 0.9);
  EXPECT_NEAR(r.Min, 1122.925, 1e-9);
  EXPECT_NEAR(r.Max, 20948.575, 1e-9);
  r = ZoomedRange({1, 100}, 1.1);
  EXPECT_NEAR(r.Min, -3.95, 1e-12);
  EXPECT_NEAR(r.Max, 104.95, 1e-12);

  r = ZoomedRange({5, 5}, 0.9); // zero span stays put
  EXPECT_EQ(r.Min, 5);
  EXPECT_EQ(r.Max, 5);
  EXPECT_EQ(PanDelta({5, 5}, 0.1), 0);

  EXPECT_NEAR(PanDelta({0, 512}, 0.1), 51.2, 1e-12);
  EXPECT_NEAR(PanDelta({51.2, 563.2}, -0.1), -51.2, 1e-12);
}

// Guards the pixel mapping: origin, rounding vs truncation, log axes and the
// round trip the mouse read-out relies on.
TEST(AxisMath, PixelMapping)
{
  TPlotMapping m;
  m.OriginX = 27;
  m.OriginY = 84;
  m.XScale = 461.0 / 512;
  m.YScale = 64.0 / 256;
  m.XStart = 0;
  m.YStart = 0;
  double x = 0;
  double y = 0;
  m.PixelToValue(27, 84, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  int px = 0;
  int py = 0;
  for (int p = 27; p < 488; ++p) {
    m.PixelToValue(p, 84 - (p % 64), x, y);
    m.ValueToPixel(x, y, px, py);
    EXPECT_EQ(px, p);
    EXPECT_EQ(py, 84 - (p % 64));
  }
  // Lines truncate where markers round.
  m.ValueToPixel(100.9 / m.XScale, 0, px, py);
  EXPECT_EQ(px, 27 + 101);
  m.ValueToPlot(100.9 / m.XScale, 0, px, py);
  EXPECT_EQ(px, 100);

  TPlotMapping l;
  l.XLog = true;
  l.OriginX = 10;
  l.XStart = std::log10(21.5);
  l.XScale = 400 / (std::log10(22050.0) - std::log10(21.5));
  l.PixelToValue(10, 0, x, y);
  EXPECT_NEAR(x, 21.5, 1e-9);
  l.ValueToPixel(22050, 1, px, py);
  EXPECT_EQ(px, 410);
  l.ValueToPixel(-5, 1, px, py); // non-positive values count as 1
  int px1 = 0;
  l.ValueToPixel(1, 1, px1, py);
  EXPECT_EQ(px, px1);
  // Far-off values stay inside int instead of overflowing.
  m.ValueToPixel(1e300, -1e300, px, py);
  EXPECT_GT(px, 0);
  EXPECT_GT(py, 0);
}

// Guards line-end extension and the thinning step (and a zero-width graph).
TEST(AxisMath, LineEndAndThinning)
{
  int x = 10;
  int y = 0;
  ExtendLineEnd(0, 0, x, y);
  EXPECT_EQ(x, 11);
  EXPECT_EQ(y, 0);
  x = -3, y = -3;
  ExtendLineEnd(0, 0, x, y);
  EXPECT_EQ(x, -4);
  EXPECT_EQ(y, -4);
  x = 1, y = 5;
  ExtendLineEnd(0, 0, x, y);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, 6);
  x = 0, y = 0;
  ExtendLineEnd(0, 0, x, y);
  EXPECT_EQ(x, 0);

  EXPECT_EQ(ThinningStep(60000, 500), 3);
  EXPECT_EQ(ThinningStep(32768, 502), 2);
  EXPECT_EQ(ThinningStep(16383, 500), 1);
  EXPECT_EQ(ThinningStep(1000, 0), 21);
}

// Guards the print placement: top-left, aspect kept, wide pictures fill the width.
TEST(AxisMath, PrintPlacement)
{
  int w = 0;
  int h = 0;
  PrintPlacement(4800, 6600, 498, 185, w, h); // the spectrum graph less its bevel
  EXPECT_EQ(w, 4800);
  EXPECT_EQ(h, MulDiv(4800, 185, 498));
  PrintPlacement(4800, 6600, 300, 300, w, h); // a square one fills the height
  EXPECT_EQ(w, 6600);
  EXPECT_EQ(h, 6600);
  PrintPlacement(4800, 6600, 100, 400, w, h);
  EXPECT_EQ(w, 1650);
  EXPECT_EQ(h, 6600);
}
