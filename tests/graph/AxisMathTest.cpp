// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/AxisMath.h"
#include "graph/AxisParams.h"
#include "support/DSupport.h"

#include <QLocale>
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

// Guards the zoom limits: a thousand zoom-ins stop at the least span instead
// of collapsing the axis, zoom-outs stop at the largest, a span already past
// a limit is never pushed further, and at the pointer the value under it
// stays put on a linear and a logarithmic axis.
TEST(AxisMath, ZoomStopsAtItsLimits)
{
  TAxisLimits lim;
  lim.MinSpan = 4;
  lim.MaxSpan = 20470;
  TAxisRange r{0, 2047};
  for (int i = 0; i < 1000; ++i)
    r = ZoomedRange(r, 0.9, lim);
  EXPECT_NEAR(r.Max - r.Min, 4, 1e-9);
  EXPECT_NEAR(r.Min + r.Max, 2047, 1e-6);
  for (int i = 0; i < 1000; ++i)
    r = ZoomedRange(r, 1.1, lim);
  EXPECT_NEAR(r.Max - r.Min, 20470, 1e-6);
  EXPECT_EQ(ZoomedRange({0, 2}, 0.9, lim).Max, 2);
  EXPECT_NEAR(ZoomedRange({0, 2}, 1.1, lim).Max, 2.1, 1e-12);
  EXPECT_NEAR(ZoomedRange({0, 2047}, 0.9, TAxisLimits{}).Min, 102.35, 1e-9);

  for (bool log : {false, true}) {
    SCOPED_TRACE(log);
    TAxisView a;
    a.Range = {20, 20000};
    a.Log = log;
    a.Start = 50;
    a.Length = 400;
    a.Limits.MinSpan = 10;
    a.Limits.MaxSpan = 199800;
    const double under = ValueAtPixel(a, 150);
    EXPECT_NEAR(PixelOfValue(a, under), 150, 1e-9);
    for (int i = 0; i < 500; ++i) {
      a.Range = ZoomAtPixel(a, 150, 0.5);
      EXPECT_NEAR(ValueAtPixel(a, 150), under, under * 1e-9);
    }
    EXPECT_NEAR(a.Range.Max - a.Range.Min, 10, 1e-6);
    for (int i = 0; i < 500; ++i)
      a.Range = ZoomAtPixel(a, 150, 2);
    EXPECT_NEAR(a.Range.Max - a.Range.Min, 199800, 1e-3);
    EXPECT_NEAR(ValueAtPixel(a, 150), under, under * 1e-9);
    EXPECT_TRUE(!log || a.Range.Min > 0);
    a.Range = {100, 105}; // narrower than allowed already: not widened by zooming in
    EXPECT_EQ(ZoomAtPixel(a, 150, 0.5).Max, 105);
  }
}

// Guards drag and rectangle: the picture follows the pointer (an upward axis
// too), bounded data keeps its ends inside, a rectangle of a few pixels
// widens to the least span, and a log axis spans its decades.
TEST(AxisMath, PanAndRectangle)
{
  TAxisView y;
  y.Range = {0, 1000};
  y.Start = 300;
  y.Length = -200;
  const TAxisRange up = PanByPixels(y, -20); // dragged 20 pixels up
  EXPECT_NEAR(up.Min, -100, 1e-9);
  EXPECT_NEAR(up.Max, 900, 1e-9);

  TAxisView x;
  x.Range = {0, 500};
  x.Length = 200;
  x.Limits.Lowest = 0;
  x.Limits.Highest = 1000;
  x.Limits.MinSpan = 10;
  const TAxisRange far = PanByPixels(x, -400); // far right, stopped at the end
  EXPECT_EQ(far.Min, 500);
  EXPECT_EQ(far.Max, 1000);
  EXPECT_EQ(PanByPixels(x, 50).Min, 0);

  const TAxisRange narrow = RangeBetweenPixels(x, 100, 101); // 2.5 wide
  EXPECT_NEAR(narrow.Min, 246.25, 1e-9);
  EXPECT_NEAR(narrow.Max, 256.25, 1e-9);
  const TAxisRange wide = RangeBetweenPixels(x, 120, 40);
  EXPECT_NEAR(wide.Min, 100, 1e-9);
  EXPECT_NEAR(wide.Max, 300, 1e-9);

  TAxisView l;
  l.Range = {10, 10000};
  l.Log = true;
  l.Length = 300;
  const TAxisRange decade = RangeBetweenPixels(l, 200, 100);
  EXPECT_NEAR(decade.Min, 100, 1e-9);
  EXPECT_NEAR(decade.Max, 1000, 1e-9);
}

// Guards the spectrogram's column mapping: the whole linear range samples as
// the integer stretch does, a zoomed view shows its part (none past the
// data), and on a log scale a pixel shows the column of the frequency at its
// centre.
TEST(AxisMath, PlotColumns)
{
  using V = std::vector<int>;
  EXPECT_EQ(PlotColumns({0, 800}, false, 4, {0, 800}, 8), (V{1, 3, 5, 7}));
  EXPECT_EQ(PlotColumns({200, 400}, false, 4, {0, 800}, 8), (V{2, 2, 3, 3}));
  EXPECT_EQ(PlotColumns({600, 1000}, false, 4, {0, 800}, 8), (V{6, 7, -1, -1}));
  // Centres at 10^1.5, 10^2.5 and 10^3.5 Hz, 100 Hz a column.
  EXPECT_EQ(PlotColumns({10, 10000}, true, 3, {0, 10000}, 100), (V{0, 3, 31}));
  EXPECT_EQ(PlotColumns({0, 100}, true, 2, {0, 100}, 10), (V{-1, -1})); // no log scale to 0
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

namespace {
// Text as the design font measures it on average: 6 pixels a character and
// 13 a line, so that every expected pixel below can be worked by hand.
struct FixedMeasure : TTextMeasure
{
  int CharWidth = 6;
  int Width(const QString& Text) const override { return CharWidth * int(Text.size()); }
  int Height() const override { return 13; }
};

struct GraphSettings
{
  TGraphFrame Frame;
  TAxisParams X;
  TAxisParams Y;
  TGraphTitle Title;
  GraphSettings(int Width, int Height, int Border)
  {
    Frame.Width = Width;
    Frame.Height = Height;
    Frame.Border = Border;
    for (TAxisParams* a : {&X, &Y})
      a->SetShowLabels(true);
  }
  TGraphLayout Layout(const TTextMeasure& Labels) const
  {
    return ComputeGraphLayout(Frame, X, Y, Title, FixedMeasure(), Labels);
  }
  TGraphLayout Layout() const { return Layout(FixedMeasure()); }
};

void SetLinear(TAxisParams& Axis, int Lines, double Min, double Max)
{
  Axis.SetLines(Lines);
  Axis.SetMin(Min);
  Axis.SetMax(Max);
}

void SetLog(TAxisParams& Axis, double Min, double Max)
{
  Axis.SetLog(true);
  Axis.SetMin(Min);
  Axis.SetMax(Max);
}

// One expected tick: its pixel, whether it draws a grid line, and its label
// (none when Label is null) with the point the label is drawn at.
struct TickRow
{
  int Pixel;
  bool Grid;
  const char* Label;
  QPoint At;
};

void ExpectTicks(const std::vector<TAxisTick>& Ticks, const std::vector<TickRow>& Rows)
{
  ASSERT_EQ(Ticks.size(), Rows.size());
  for (std::size_t i = 0; i < Rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Ticks[i].Pixel, Rows[i].Pixel);
    EXPECT_EQ(Ticks[i].Grid, Rows[i].Grid);
    EXPECT_EQ(Ticks[i].Labelled, Rows[i].Label != nullptr);
    if (Rows[i].Label && Ticks[i].Labelled) {
      EXPECT_EQ(Ticks[i].Label, QString::fromLatin1(Rows[i].Label));
      EXPECT_EQ(Ticks[i].LabelAt, Rows[i].At);
    }
  }
}

// Labels in the C locale: "-60", "0.5", whatever the machine's settings.
class GraphLayout : public ::testing::Test
{
protected:
  void SetUp() override
  {
    FSaved = QLocale();
    QLocale::setDefault(QLocale::c());
  }
  void TearDown() override { QLocale::setDefault(FSaved); }

private:
  QLocale FSaved;
};
} // namespace

// Guards the oscilloscope graph's layout: the left margin from the wider Y
// label, the X labels shifted left by 65 % of their width (rounding ties to
// even, so the label of a tick at 231.5 is placed from 256, its line at 257),
// baselines on the Y grid lines, and the title centred in the top border.
TEST_F(GraphLayout, OscilloscopeGraph)
{
  GraphSettings s(502, 104, 20);
  SetLinear(s.X, 4, 0, 512);
  SetLinear(s.Y, 2, 0, 256);
  s.Title.SetCaption("Left Channel");
  s.Title.SetShowCaption(true);
  s.Title.SetBoxed(true);
  const TGraphLayout L = s.Layout();
  // "256" is 18 pixels wide: 18 + bevel 1 + border 0 + 20 div 3.
  EXPECT_EQ(L.PlotLeft, 25);
  EXPECT_EQ(L.PlotRight, 488);
  EXPECT_EQ(L.PlotTop, 20);
  EXPECT_EQ(L.PlotBottom, 84);
  EXPECT_EQ(L.PlotWidth, 463);
  EXPECT_EQ(L.PlotHeight, 64);
  EXPECT_EQ(L.Mapping.OriginX, 25);
  EXPECT_EQ(L.Mapping.OriginY, 84);
  EXPECT_DOUBLE_EQ(L.Mapping.XScale, 463.0 / 512);
  EXPECT_DOUBLE_EQ(L.Mapping.YScale, 0.25);
  ExpectTicks(L.XTicks, {{0, false, "0", {21, 85}},
                         {116, true, "128", {129, 85}},
                         {232, true, "256", {244, 85}},
                         {347, true, "384", {360, 85}},
                         {463, true, "512", {476, 85}}});
  ExpectTicks(L.YTicks,
              {{0, true, "0", {17, 84}}, {32, true, "128", {5, 52}}, {64, true, "256", {5, 20}}});
  EXPECT_TRUE(L.ShowTitle);
  EXPECT_TRUE(L.TitleBoxed);
  EXPECT_EQ(L.TitleRect, QRect(215, 3, 72, 13));
}

// Guards a linear X axis 0 .. 512 with 4 lines on a 400-pixel plot (grid at
// 100, 200, 300 and 400 right of the origin), and LabelModulo 2 with 8
// lines: labels at divisions 0, 2, 4, 6 and 8, grid lines at all eight.
TEST_F(GraphLayout, LinearXAxisAndLabelModulo)
{
  GraphSettings s(440, 200, 20);
  s.Y.SetShowLabels(false);
  SetLinear(s.X, 4, 0, 512);
  SetLinear(s.Y, 1, 0, 1);
  TGraphLayout L = s.Layout();
  EXPECT_EQ(L.PlotLeft, 20); // no Y labels: the border alone
  EXPECT_EQ(L.PlotRight, 420);
  ExpectTicks(L.XTicks, {{0, false, "0", {16, 181}},
                         {100, true, "128", {108, 181}},
                         {200, true, "256", {208, 181}},
                         {300, true, "384", {308, 181}},
                         {400, true, "512", {408, 181}}});
  ExpectTicks(L.YTicks, {{0, true, nullptr, {}}, {160, true, nullptr, {}}});

  s.X.SetLines(8);
  s.X.SetLabelModulo(2);
  L = s.Layout();
  ExpectTicks(L.XTicks, {{0, false, "0", {16, 181}},
                         {50, true, nullptr, {}},
                         {100, true, "128", {108, 181}},
                         {150, true, nullptr, {}},
                         {200, true, "256", {208, 181}},
                         {250, true, nullptr, {}},
                         {300, true, "384", {308, 181}},
                         {350, true, nullptr, {}},
                         {400, true, "512", {408, 181}}});
}

// Guards the spectrum graph's Y axis: the margin from "-60", grid rows
// rounded ties to even, each label ending 2 pixels left of the plot with its
// baseline on its own rounding of its row; and the margins without Y labels.
TEST_F(GraphLayout, SpectrumGraphYAxis)
{
  GraphSettings s(500, 187, 25);
  SetLinear(s.X, 8, 1, 512);
  SetLinear(s.Y, 4, -60, 20);
  TGraphLayout L = s.Layout();
  EXPECT_EQ(L.PlotLeft, 27); // 18 + 1 + 25 div 3
  EXPECT_EQ(L.PlotRight, 483);
  EXPECT_EQ(L.PlotTop, 25);
  EXPECT_EQ(L.PlotBottom, 162);
  ExpectTicks(L.YTicks, {{0, true, "-60", {7, 162}},
                         {34, true, "-40", {7, 128}},
                         {68, true, "-20", {7, 94}},
                         {103, true, "0", {19, 59}},
                         {137, true, "20", {13, 25}}});
  EXPECT_EQ(L.XTicks.back().Pixel, 456);

  // A plot 138 pixels high divides into steps of 34.5: the lines round k *
  // 34.5 (to 34 and 104, rows 129 and 59), the labels 163 - k * 34.5 (to 128
  // and 60), each to even.
  s.Frame.Height = 188;
  L = s.Layout();
  ExpectTicks(L.YTicks, {{0, true, "-60", {7, 163}},
                         {34, true, "-40", {7, 128}},
                         {69, true, "-20", {7, 94}},
                         {104, true, "0", {19, 60}},
                         {138, true, "20", {13, 25}}});

  s.Y.SetShowLabels(false);
  L = s.Layout();
  EXPECT_EQ(L.PlotLeft, 25);
  EXPECT_EQ(L.PlotRight, 475);
}

// Guards the logarithmic X axis 21.5 .. 22050 on a 400-pixel plot: decades
// 100, 1000 and 10000 labelled from their grid line and nothing at the left
// edge; minor ticks from 30 to 20000 only on request, dotted, their digit
// shifted like a linear label; "10^3" lowered by 40 % of a line.
TEST_F(GraphLayout, LogXAxis)
{
  GraphSettings s(440, 200, 20);
  s.Y.SetShowLabels(false);
  SetLinear(s.Y, 1, 0, 1);
  SetLog(s.X, 21.5, 22050);
  TGraphLayout L = s.Layout();
  EXPECT_TRUE(L.Mapping.XLog);
  EXPECT_DOUBLE_EQ(L.Mapping.XStart, std::log10(21.5));
  ExpectTicks(L.XTicks, {{88, true, "100", {108, 181}},
                         {221, true, "1000", {241, 181}},
                         {354, true, "10000", {374, 181}}});
  for (const TAxisTick& t : L.XTicks)
    EXPECT_TRUE(t.Major && t.Superscript);

  s.X.SetMinorLines(true);
  L = s.Layout();
  ASSERT_EQ(L.XTicks.size(), 7u + 9 + 9 + 2);
  EXPECT_EQ(L.XTicks.front().Value, 30);
  EXPECT_EQ(L.XTicks.front().Pixel, 19);
  EXPECT_FALSE(L.XTicks.front().Major);
  EXPECT_FALSE(L.XTicks.front().Labelled);
  EXPECT_EQ(L.XTicks.back().Value, 20000);
  EXPECT_EQ(L.XTicks.back().Pixel, 394);

  s.X.SetMinorLabels(true);
  s.X.SetExponentLabels(true);
  L = s.Layout();
  EXPECT_EQ(L.XTicks[0].Label, "3");
  EXPECT_EQ(L.XTicks[0].LabelAt, QPoint(35, 181)); // 20 + 19 - 4
  const TAxisTick& thousand = L.XTicks[7 + 9];
  EXPECT_EQ(thousand.Value, 1000);
  EXPECT_EQ(thousand.Label, "10^3");
  EXPECT_EQ(thousand.LabelAt, QPoint(241, 186));
}

// Guards the logarithmic Y axis 1 .. 1000 on a 100-pixel plot: decade labels
// end 2 pixels left of the plot on their grid line, minor digits half a line
// lower and without a grid line unless asked for.
TEST_F(GraphLayout, LogYAxis)
{
  GraphSettings s(200, 140, 20);
  s.X.SetShowLabels(false);
  SetLinear(s.X, 1, 0, 1);
  SetLog(s.Y, 1, 1000);
  s.Y.SetMinorLabels(true);
  const TGraphLayout L = s.Layout();
  EXPECT_EQ(L.PlotLeft, 31); // "1000" is 24 wide
  EXPECT_EQ(L.PlotBottom, 120);
  ASSERT_EQ(L.YTicks.size(), 8u + 9 + 9);
  ExpectTicks({L.YTicks[0], L.YTicks[8], L.YTicks[9], L.YTicks[17], L.YTicks[25]},
              {{10, false, "2", {23, 116}},
               {33, true, "10", {17, 87}},
               {43, false, "2", {23, 83}},
               {66, true, "100", {11, 54}},
               {98, false, "9", {23, 28}}});
}

// Guards the title positions in the top border, and labels relative to the
// start of the range, which also size the left margin.
TEST_F(GraphLayout, TitleAndRelativeLabels)
{
  GraphSettings s(300, 100, 20);
  SetLinear(s.X, 2, 100, 612);
  SetLinear(s.Y, 1, 1000, 1010);
  s.Title.SetCaption("Spectrum");
  s.Title.SetShowCaption(true);
  TGraphLayout L = s.Layout();
  EXPECT_FALSE(L.TitleBoxed);
  EXPECT_EQ(L.PlotLeft, 31); // "1010": 24 + 1 + 6
  EXPECT_EQ(L.TitleRect, QRect(126, 3, 48, 13));
  s.Title.SetPosition(tpLeft);
  EXPECT_EQ(s.Layout().TitleRect.left(), 33);
  s.Title.SetPosition(tpRight);
  EXPECT_EQ(s.Layout().TitleRect.left(), 286 - 48 - 2);

  s.Frame.XRelativeLabels = true;
  s.Frame.YRelativeLabels = true;
  L = s.Layout();
  EXPECT_EQ(L.PlotLeft, 19); // "10": 12 + 1 + 6
  EXPECT_EQ(L.XTicks[0].Label, "0");
  EXPECT_EQ(L.XTicks[2].Label, "512");
  EXPECT_EQ(L.XTicks[2].Value, 612); // the tick itself stays an axis value
  EXPECT_EQ(L.YTicks[1].Label, "10");
}

// Guards the ends of every linear axis: whatever the plot size and number of
// lines, the first tick sits on the origin and the last exactly on the far
// edge of the plot, with the ticks in order between them.
TEST_F(GraphLayout, LinearEndTicksFallOnTheAxisEnds)
{
  for (int w = 60; w <= 700; w += 37) {
    for (int lines = 1; lines <= 13; ++lines) {
      GraphSettings s(w, w / 2 + 45, 20);
      SetLinear(s.X, lines, -3.5, 1234.25);
      SetLinear(s.Y, lines, 0.1, 0.7);
      const TGraphLayout L = s.Layout();
      SCOPED_TRACE(testing::Message() << w << " " << lines);
      for (const auto* ticks : {&L.XTicks, &L.YTicks}) {
        ASSERT_EQ(ticks->size(), std::size_t(lines) + 1);
        EXPECT_EQ(ticks->front().Pixel, 0);
        for (std::size_t k = 1; k < ticks->size(); ++k)
          EXPECT_LE((*ticks)[k - 1].Pixel, (*ticks)[k].Pixel);
      }
      EXPECT_EQ(L.XTicks.back().Pixel, L.PlotWidth);
      EXPECT_EQ(L.YTicks.back().Pixel, L.PlotHeight);
      EXPECT_FALSE(L.XTicks.front().Grid); // the frame is there
      EXPECT_TRUE(L.YTicks.front().Grid);
    }
  }
}

// Guards the logarithmic ticks over many ranges: strictly above Min and in
// order, below Max and inside the plot (a range with no tick inside still
// gets the one above it), decades alone solid, and every grid line where the
// mapping puts its value.
TEST_F(GraphLayout, LogTicksStayInsideThePlot)
{
  for (double mn : {0.003, 1.0, 7.5, 21.5, 100.0}) {
    for (double decades : {0.02, 0.3, 1.0, 2.5, 6.0}) {
      const double mx = mn * std::pow(10.0, decades);
      GraphSettings s(500, 300, 20);
      SetLog(s.X, mn, mx);
      SetLog(s.Y, mn, mx);
      s.X.SetMinorLines(true);
      s.Y.SetMinorLines(true);
      const TGraphLayout L = s.Layout();
      SCOPED_TRACE(testing::Message() << mn << " " << mx);
      for (const auto* ticks : {&L.XTicks, &L.YTicks}) {
        const int extent = ticks == &L.XTicks ? L.PlotWidth : L.PlotHeight;
        ASSERT_FALSE(ticks->empty());
        double last = mn;
        for (const TAxisTick& t : *ticks) {
          EXPECT_GT(t.Value, last);
          last = t.Value;
          if (ticks->size() > 1) {
            EXPECT_LT(t.Value, mx);
            EXPECT_GE(t.Pixel, 0);
            EXPECT_LE(t.Pixel, extent);
          }
          const double e = std::floor(std::log10(t.Value) + 1e-9);
          EXPECT_EQ(t.Major, std::abs(t.Value / std::pow(10.0, e) - 1) < 1e-9) << t.Value;
        }
      }
      for (const TAxisTick& t : L.XTicks) {
        int px = 0;
        int py = 0;
        L.Mapping.ValueToPlot(t.Value, mn, px, py);
        EXPECT_EQ(px, t.Pixel) << t.Value;
      }
    }
  }
}

// Guards copies and prints: the font of the canvas they draw on moves the
// labels and the title but never the plot, the mapping or the grid.
TEST_F(GraphLayout, LabelFontMovesOnlyLabels)
{
  GraphSettings s(502, 104, 20);
  SetLinear(s.X, 4, 0, 512);
  SetLinear(s.Y, 2, 0, 256);
  s.Title.SetCaption("Left Channel");
  s.Title.SetShowCaption(true);
  FixedMeasure wide;
  wide.CharWidth = 9;
  const TGraphLayout a = s.Layout();
  const TGraphLayout b = s.Layout(wide);
  EXPECT_EQ(a.PlotLeft, b.PlotLeft);
  EXPECT_EQ(a.PlotRight, b.PlotRight);
  EXPECT_EQ(a.Mapping.XScale, b.Mapping.XScale);
  EXPECT_EQ(a.Mapping.YScale, b.Mapping.YScale);
  ASSERT_EQ(a.XTicks.size(), b.XTicks.size());
  for (std::size_t k = 0; k < a.XTicks.size(); ++k)
    EXPECT_EQ(a.XTicks[k].Pixel, b.XTicks[k].Pixel);
  EXPECT_EQ(b.XTicks[1].LabelAt.x(), 141 - MulDiv(27, 65, 100));
  EXPECT_EQ(b.TitleRect, QRect(197, 3, 108, 13));
}
