// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/Graphbox.h"
#include "GraphTestSupport.h"
#include "support/UiSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace duv;
using namespace duv::test;

namespace {
bool HasColor(const QImage& img, QRgb c, QRect area = {})
{
  if (area.isNull())
    area = img.rect();
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (img.pixel(x, y) == c)
        return true;
  return false;
}
} // namespace

// Guards construction defaults: a bare graph shows the demonstration bars on 0..75 axes.
TEST(Graphbox, NewGraphShowsDemonstrationBars)
{
  TGraphBox g;
  EXPECT_EQ(g.width(), 90);
  EXPECT_EQ(g.GraphType(), gtHorzBar);
  EXPECT_EQ(g.XAxis().Lines(), 3);
  EXPECT_EQ(g.YAxis().Max(), 75);
  EXPECT_TRUE(g.XAxis().ShowLabels());
  EXPECT_EQ(g.PointCount(), 4);
  EXPECT_EQ(g.BevelOuter(), bvLowered);
  EXPECT_EQ(g.GraphBorder(), 20);

  g.resize(300, 300);
  const QImage img = Grab(g);
  // The blue point (50, 50, size 5) is a bar from X 0 to 50 around Y 50.
  const QPoint mid = g.ValueToPixel(25, 50);
  EXPECT_EQ(img.pixel(mid), Rgb(clBlue));
  EXPECT_EQ(img.pixel(g.ValueToPixel(30, 40)), Rgb(clWhite));

  g.SetDefaultData(false);
  EXPECT_EQ(g.PointCount(), 0);
}

// Guards the plot rectangle of the program's oscilloscope and spectrum graphs.
TEST(Graphbox, PlotRectangles)
{
  TGraphBox left;
  SetupWindowLeftGraph(left);
  const QImage img = Grab(left);
  const int l = std::max(QFontMetrics(left.font()).horizontalAdvance("256"),
                         QFontMetrics(left.font()).horizontalAdvance("0"));
  EXPECT_EQ(left.PlotLeft(), l + 1 + 6);
  EXPECT_EQ(left.PlotRight(), 488);
  EXPECT_EQ(left.PlotTop(), 20);
  EXPECT_EQ(left.PlotBottom(), 84);
  EXPECT_EQ(img.pixel(488, 50), Rgb(clBlack)); // right frame line
  EXPECT_EQ(img.pixel(489, 50), Rgb(clWhite));
  EXPECT_EQ(img.pixel(300, 20), Rgb(clBlack)); // top frame line
  // The boxed title sits centred in the top margin.
  EXPECT_TRUE(HasColor(img, Rgb(clBlack), QRect(200, 0, 100, 18)));

  TGraphBox spectrumGraph;
  SetupWindowSpectrumGraph(spectrumGraph);
  const QImage s = Grab(spectrumGraph);
  const QFontMetrics fm(spectrumGraph.font());
  const int ls = std::max(fm.horizontalAdvance("-60"), fm.horizontalAdvance("20"));
  EXPECT_EQ(spectrumGraph.PlotLeft(), ls + 9);
  EXPECT_EQ(spectrumGraph.PlotRight(), 483);
  EXPECT_EQ(spectrumGraph.PlotTop(), 25);
  EXPECT_EQ(spectrumGraph.PlotBottom(), 162);
  EXPECT_EQ(s.pixel(483, 100), Rgb(spectrumGraph.GridColor()));
  EXPECT_EQ(s.pixel(484, 100), Rgb(clBlack));

  spectrumGraph.YAxis().SetShowLabels(false);
  Grab(spectrumGraph);
  EXPECT_EQ(spectrumGraph.PlotLeft(), 25);
  EXPECT_EQ(spectrumGraph.PlotRight(), 475);
}

// Guards the grid and label placement of a linear axis, and LabelModulo: grid
// lines on the pixels of the worked example, and each label's ink where the
// layout puts it (the layout's numbers are checked in AxisMathTest).
TEST(Graphbox, LinearAxisGridAndLabels)
{
  TGraphBox g;
  g.resize(440, 200);
  g.SetBevelOuter(bvNone);
  g.SetGraphType(gtLine);
  g.SetDefaultData(false);
  g.YAxis().SetShowLabels(false);
  g.SetXRange(4, 0, 512);
  QImage img = Grab(g);
  ASSERT_EQ(g.PlotLeft(), 20);
  ASSERT_EQ(g.PlotWidth(), 400);
  for (int x : {120, 220, 320, 420}) {
    EXPECT_EQ(img.pixel(x, 100), Rgb(clBlack)) << x;
    EXPECT_EQ(img.pixel(x - 1, 100), Rgb(clWhite)) << x;
  }
  const QFontMetrics fm(g.font());
  // Between the plot and the black frame of the white panel.
  const int bandTop = g.PlotBottom() + 2;
  auto labels = InkClusters(img, bandTop, 198, Rgb(clWhite));
  const char* texts[] = {"0", "128", "256", "384", "512"};
  ASSERT_EQ(labels.size(), 5u);
  for (int k = 0; k <= 4; ++k) {
    const int line = 20 + 100 * k;
    const int x = g.Layout().XTicks[std::size_t(k)].LabelAt.x();
    EXPECT_EQ(g.Layout().XTicks[std::size_t(k)].Label, texts[k]);
    EXPECT_LT(x, line - fm.horizontalAdvance(texts[k]) / 2) << texts[k]; // more than half left
    EXPECT_GE(labels[k].Left, x - 1) << texts[k];
    EXPECT_LE(labels[k].Left, x + 3) << texts[k];
    EXPECT_LE(labels[k].Right, x + fm.horizontalAdvance(texts[k]) + 1) << texts[k];
  }

  g.SetXRange(8, 0, 512);
  g.XAxis().SetLabelModulo(2);
  img = Grab(g);
  for (int i = 1; i <= 8; ++i)
    EXPECT_EQ(img.pixel(20 + 50 * i, 100), Rgb(clBlack)) << i;
  labels = InkClusters(img, bandTop, 198, Rgb(clWhite));
  ASSERT_EQ(labels.size(), 5u);
  for (int k = 0; k <= 4; ++k) {
    const int line = 20 + 100 * k; // labels 0, 2, 4, 6, 8 of eight divisions
    EXPECT_LT(labels[k].Left, line) << k;
    EXPECT_GT(labels[k].Right, line - 2) << k;
  }
}

// Guards the logarithmic axis: decade grid and labels, no edge label, minor
// lines on request, and the lowered exponent labels.
TEST(Graphbox, LogAxisTicksAndLabels)
{
  TGraphBox g;
  g.resize(440, 200);
  g.SetBevelOuter(bvNone);
  g.SetGraphType(gtLine);
  g.SetDefaultData(false);
  g.YAxis().SetShowLabels(false);
  g.XAxis().SetLog(true);
  g.XAxis().SetMin(21.5);
  g.XAxis().SetMax(22050);
  QImage img = Grab(g);
  ASSERT_EQ(g.PlotLeft(), 20);
  ASSERT_EQ(g.PlotWidth(), 400);
  // Columns 20 + trunc((log10 v - log10 21.5) * 400 / (log10 22050 - log10 21.5)).
  const int col30 = 39;
  const int col100 = 108;
  const int col1000 = 241;
  const int col10000 = 374;
  for (int x : {col100, col1000, col10000})
    EXPECT_EQ(img.pixel(x, 100), Rgb(clBlack)) << x;
  bool minorInk = false;
  for (int y = g.PlotTop() + 1; y < g.PlotTop() + 50; ++y) // above the first Y grid line
    minorInk |= img.pixel(col30, y) != Rgb(clWhite);
  EXPECT_FALSE(minorInk);

  const int bandTop = g.PlotBottom() + 2;
  const auto labels = InkClusters(img, bandTop, 198, Rgb(clWhite));
  ASSERT_EQ(labels.size(), 3u); // "100", "1000", "10000"; nothing at the left edge
  EXPECT_NEAR(labels[0].Left, col100, 2);
  EXPECT_NEAR(labels[1].Left, col1000, 2);
  EXPECT_NEAR(labels[2].Left, col10000, 2);
  const int plainTop = InkTop(img, labels[1].Left, labels[1].Left + 1, bandTop, 198, Rgb(clWhite));

  g.XAxis().SetMinorLines(true);
  g.XAxis().SetExponentLabels(true);
  img = Grab(g);
  minorInk = false;
  for (int y = g.PlotTop() + 1; y < g.PlotTop() + 50; ++y) // above the first Y grid line
    minorInk |= img.pixel(col30, y) != Rgb(clWhite);
  EXPECT_TRUE(minorInk);
  const int h = QFontMetrics(g.font()).height();
  // The first inked column of the "10" under the decade 1000.
  int l = col1000;
  for (const Cluster& c : InkClusters(img, bandTop, 198, Rgb(clWhite)))
    if (std::abs(c.Left - col1000) <= 2)
      l = c.Left;
  const int expTop = InkTop(img, l, l + 1, bandTop, 198, Rgb(clWhite));
  EXPECT_NEAR(expTop - plainTop, 0.4 * h, 1); // "10" sits 40 % of a line lower
  // The raised "3" reaches above the "10".
  const int raisedTop = InkTop(img, l, l + QFontMetrics(g.font()).horizontalAdvance("103"),
                               g.PlotBottom() + 1, 198, Rgb(clWhite));
  EXPECT_LT(raisedTop, expTop);
}

// Guards the bar rectangles and the marker series (filled circles, no lines).
TEST(Graphbox, BarsAndMarkers)
{
  TGraphBox g;
  SetupPlainGraph(g, 300, 300, gtVertBar);
  g.SetXRange(1, 0, 20);
  g.YAxis().SetLines(1);
  g.YAxis().SetMax(10);
  g.AddPoint(0, clBlue, 10, 5, 2);
  QImage img = Grab(g);
  const QPoint a = g.ValueToPixel(9, 5);
  const QPoint b = g.ValueToPixel(11, 0);
  const int midY = (a.y() + b.y()) / 2;
  EXPECT_EQ(img.pixel(a.x(), midY), Rgb(clBlack)); // outline in GridColor
  EXPECT_EQ(img.pixel(a.x() + 1, midY), Rgb(clBlue));
  EXPECT_EQ(img.pixel(b.x() - 2, midY), Rgb(clBlue));
  EXPECT_EQ(img.pixel(b.x() - 1, midY), Rgb(clBlack));
  EXPECT_EQ(img.pixel(b.x(), midY), Rgb(clWhite)); // right edge exclusive
  EXPECT_EQ(img.pixel(a.x() + 3, a.y()), Rgb(clBlack));
  EXPECT_EQ(img.pixel(a.x() + 3, a.y() - 1), Rgb(clWhite));

  g.SetDefaultData(false);
  g.Clear();
  g.SetGraphType(gtLine);
  g.AddPoint(-1, clLime, 5, 5, 4);
  g.AddPoint(-1, clLime, 15, 5, 4);
  img = Grab(g);
  const QPoint c = g.ValueToPixel(5, 5);
  EXPECT_EQ(img.pixel(c), Rgb(clLime));
  EXPECT_EQ(img.pixel(c.x() - 4, c.y()), Rgb(clBlack));      // outline at radius 4
  EXPECT_EQ(img.pixel(g.ValueToPixel(10, 5)), Rgb(clWhite)); // no connecting line
}

// Guards thinning: 60000 points on a 500-pixel graph draw every third, from the third.
TEST(Graphbox, ThinningDrawsEveryThirdPoint)
{
  TGraphBox g;
  SetupPlainGraph(g, 500, 200, gtLine);
  g.XAxis().SetShowLabels(false);
  g.YAxis().SetShowLabels(false);
  g.SetXRange(1, 0, 60000);
  g.YAxis().SetLines(1);
  g.YAxis().SetMax(100);
  g.BeginUpdate();
  for (int i = 0; i < 60000; ++i)
    g.AddPoint(0, clRed, i, i % 3 == 2 ? 10 : 90, 1);
  g.EndUpdate();
  const QImage img = Grab(g);
  // A plot from row 20 to row 180: 1.6 pixels per unit.
  ASSERT_EQ(g.PlotBottom(), 180);
  ASSERT_EQ(g.PlotHeight(), 160);
  const int row10 = 180 - 16;
  const int row90 = 180 - 144;
  EXPECT_TRUE(HasColor(img, Rgb(clRed), QRect(20, row10, 460, 1)));
  EXPECT_FALSE(HasColor(img, Rgb(clRed), QRect(20, row90, 460, 1)));
}

// Guards DrawLastPixel: the end pixel of a line is painted only with it.
TEST(Graphbox, DrawLastPixelPaintsEndPixel)
{
  TGraphBox g;
  SetupPlainGraph(g, 200, 120, gtLine);
  g.YAxis().SetShowLabels(false);
  g.SetXRange(1, 0, 100);
  g.YAxis().SetLines(1);
  g.YAxis().SetMax(100);
  g.AddPoint(0, clRed, 10, 50, 1);
  g.AddPoint(0, clRed, 60, 50, 1);
  g.AddPoint(0, clRed, 60, 50, 1);
  QImage img = Grab(g);
  // The plot 20..180 x 20..100 maps (60, 50) to (20 + 96, 100 - 40).
  ASSERT_EQ(g.PlotLeft(), 20);
  ASSERT_EQ(g.PlotBottom(), 100);
  const QPoint end(116, 60);
  EXPECT_EQ(img.pixel(end.x() - 1, end.y()), Rgb(clRed));
  EXPECT_EQ(img.pixel(end), Rgb(clWhite));
  g.SetDrawLastPixel(true);
  img = Grab(g);
  EXPECT_EQ(img.pixel(end), Rgb(clRed));
  EXPECT_EQ(img.pixel(end.x() + 1, end.y()), Rgb(clWhite)); // the pen stayed at the end
}

// Guards the mouse mapping of a painted graph against its plot rectangle, linear and log.
TEST(Graphbox, MappingRoundTrip)
{
  TGraphBox g;
  SetupWindowLeftGraph(g);
  Grab(g);
  double x = -1;
  double y = -1;
  g.PixelToValue(g.PlotLeft(), g.PlotBottom(), x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(g.ValueToPixel(0, 0), QPoint(g.PlotLeft(), g.PlotBottom()));
  for (int px = g.PlotLeft(); px <= g.PlotRight(); px += 7) {
    g.PixelToValue(px, 40, x, y);
    EXPECT_EQ(g.ValueToPixel(x, y), QPoint(px, 40));
  }
  g.PixelToValue(g.PlotRight(), g.PlotTop(), x, y);
  EXPECT_NEAR(x, 512, 1e-9);
  EXPECT_NEAR(y, 256, 1e-9);

  TGraphBox s;
  SetupWindowSpectrumGraph(s);
  s.XAxis().SetLog(true);
  s.XAxis().SetMin(21.5);
  s.XAxis().SetMax(22050);
  Grab(s);
  s.PixelToValue(s.PlotLeft(), s.PlotBottom(), x, y);
  EXPECT_NEAR(x, 21.5, 1e-9);
  EXPECT_NEAR(y, -60, 1e-9);
  s.PixelToValue(s.PlotRight(), s.PlotBottom(), x, y);
  EXPECT_NEAR(x, 22050, 1e-6);
  EXPECT_EQ(s.ValueToPixel(21.5, -60), QPoint(s.PlotLeft(), s.PlotBottom()));
}

// Guards the mapping of a graph that has never painted: the layout follows
// every setter and resize (even one that sends no event to a hidden widget),
// not the first paint.
TEST(Graphbox, PixelToValueBeforeFirstPaint)
{
  TGraphBox g;
  g.resize(502, 104);
  g.SetBevelOuter(bvNone);
  g.SetDefaultData(false);
  g.YAxis().SetShowLabels(false); // the plot is 20..482 x 20..84 in any font
  g.SetXRange(4, 0, 512);
  g.YAxis().SetLines(2);
  g.YAxis().SetMax(256);
  double x = -1;
  double y = -1;
  g.PixelToValue(20, 84, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  g.PixelToValue(482, 20, x, y);
  EXPECT_EQ(x, 512);
  EXPECT_EQ(y, 256);
  g.PixelToValue(251, 52, x, y);
  EXPECT_EQ(x, 256);
  EXPECT_EQ(y, 128);
  EXPECT_EQ(g.ValueToPixel(256, 128), QPoint(251, 52));

  g.resize(302, 104); // hidden: no resize event arrives
  g.PixelToValue(282, 20, x, y);
  EXPECT_EQ(x, 512);
  EXPECT_EQ(y, 256);
  g.XAxis().SetLog(true);
  g.XAxis().SetMin(10);
  g.XAxis().SetMax(10000);
  g.PixelToValue(20, 84, x, y);
  EXPECT_NEAR(x, 10, 1e-12);
  g.PixelToValue(282, 84, x, y);
  EXPECT_NEAR(x, 10000, 1e-9);
  g.SetGraphBorder(30);
  EXPECT_EQ(g.PlotTop(), 30);
  EXPECT_EQ(g.PlotRight(), 272);
  EXPECT_TRUE(g.Snapshot().isNull()); // nothing was ever drawn
}

namespace {
// The repaints a graph asked for since the last call.
struct RepaintCounter
{
  const TGraphBox& G;
  int Seen = G.RepaintRequests();
  int operator()()
  {
    const int d = G.RepaintRequests() - Seen;
    Seen = G.RepaintRequests();
    return d;
  }
};
} // namespace

// Guards the setter rule: a setter given the value it holds asks for no repaint.
TEST(Graphbox, UnchangedValuesRequestNoRepaint)
{
  TGraphBox g;
  RepaintCounter requested{g};
  g.XAxis().SetMin(0);
  g.Title().SetCaption("");
  g.SetGridColor(clBlack);
  g.SetGraphType(gtHorzBar);
  g.SetDecimals1(0);
  EXPECT_EQ(requested(), 0);
}

// Guards the setter rule: each changed value asks for one repaint, through the
// axis and title notifications too (captions compare case-sensitively).
TEST(Graphbox, EachChangeRequestsOneRepaint)
{
  TGraphBox g;
  RepaintCounter requested{g};
  g.XAxis().SetMin(1);
  EXPECT_EQ(requested(), 1);
  g.Title().SetCaption("a");
  g.Title().SetCaption("A"); // case matters
  EXPECT_EQ(requested(), 2);
}

// Guards SetYRange: the worked fit of -48 .. 10 in steps of 20, and no repaint
// when called again with the same values.
TEST(Graphbox, SetYRangeRepaintsOnlyOnChange)
{
  TGraphBox g;
  RepaintCounter requested{g};
  g.SetYRange(-48, 10, 20);
  EXPECT_EQ(g.YAxis().Min(), -60);
  EXPECT_EQ(g.YAxis().Max(), 20);
  EXPECT_EQ(g.YAxis().Lines(), 4);
  EXPECT_GT(requested(), 0);
  g.SetYRange(-48, 10, 20);
  EXPECT_EQ(requested(), 0);
}

// Guards the update bracket: points added inside it ask for nothing, its end
// for one repaint (even without a start); Clear always asks, even while
// updating or when already empty.
TEST(Graphbox, UpdateBracketRepaintsOnce)
{
  TGraphBox g;
  RepaintCounter requested{g};
  g.BeginUpdate();
  g.Clear();
  EXPECT_EQ(requested(), 1); // Clear repaints even while updating
  for (int i = 0; i < 100; ++i)
    g.AddPoint(0, clRed, i, i, 1);
  EXPECT_EQ(requested(), 0);
  g.EndUpdate();
  EXPECT_EQ(requested(), 1);
  g.EndUpdate(); // without BeginUpdate still repaints
  EXPECT_EQ(requested(), 1);
  g.AddPoint(0, clRed, 1, 1, 1);
  EXPECT_EQ(requested(), 1);
  g.Clear();
  g.Clear(); // on an empty graph too
  EXPECT_EQ(requested(), 2);
}

// Guards the series range: a point of a series outside -1024..1024 is not stored.
TEST(Graphbox, OutOfRangeSeriesIsIgnored)
{
  TGraphBox g;
  g.SetDefaultData(false);
  g.AddPoint(2000, clRed, 1, 1, 1);
  g.AddPoint(-1025, clRed, 1, 1, 1);
  EXPECT_EQ(g.PointCount(), 0);
  EXPECT_EQ(g.SeriesCount(2000), 0);
}

namespace {
// Draws one scene either through AddPoint or through the bulk sample series.
QImage DrawScene(bool bulk, TGraphType type, int samples)
{
  TGraphBox g;
  SetupWindowLeftGraph(g);
  g.SetGraphType(type);
  g.SetXRange(4, 0, samples);
  g.YAxis().SetMin(-32768);
  g.YAxis().SetMax(32768);
  auto data = std::make_shared<std::vector<std::int16_t>>(std::size_t(samples));
  for (int i = 0; i < samples; ++i)
    (*data)[std::size_t(i)] = std::int16_t(20000 * std::sin(i * 0.01) + (i * 7919) % 3000);
  g.BeginUpdate();
  g.Clear();
  g.AddPoint(0, clBlue, 0, 0, 1); // explicit points before and after the series
  g.AddPoint(-3, clLime, samples / 2.0, 0, 3);
  // A second series over the head of the samples; never longer than they are.
  const int head = std::min(samples, 500);
  if (bulk) {
    g.AddSamples(0, clRed, data, 1.0);
    g.AddSamples(2, clBlue, std::span<const std::int16_t>(data->data(), std::size_t(head)), 1.0);
  } else {
    for (int i = 0; i < samples; ++i)
      g.AddPoint(0, clRed, i, (*data)[std::size_t(i)], 1.0);
    for (int i = 0; i < head; ++i)
      g.AddPoint(2, clBlue, i, (*data)[std::size_t(i)], 1.0);
  }
  g.AddPoint(0, clBlue, samples, 0, 1);
  g.EndUpdate();
  EXPECT_EQ(g.SeriesCount(0), samples + 2);
  if (bulk) {
    EXPECT_EQ(g.Points().size(), 3u); // no record per sample
  }
  return Grab(g);
}
} // namespace

// Guards the bulk sample series: it must draw exactly as AddPoint per sample,
// with and without thinning, and as bars.
TEST(Graphbox, SampleSeriesDrawsLikeAddPoint)
{
  for (int samples : {400, 32768, 77777}) {
    const QImage a = DrawScene(false, gtLine, samples);
    const QImage b = DrawScene(true, gtLine, samples);
    EXPECT_TRUE(a == b) << samples;
  }
  EXPECT_TRUE(DrawScene(false, gtVertBar, 3000) == DrawScene(true, gtVertBar, 3000));
}

// Guards copy and overlays: the copied picture includes what OnPaint drew, the
// snapshot does not, and RestoreImage wipes overlays drawn after a paint.
TEST(Graphbox, CopySnapshotAndOverlays)
{
  TGraphBox g;
  SetupWindowLeftGraph(g);
  g.AddPoint(0, clRed, 0, 100, 1);
  g.AddPoint(0, clRed, 512, 100, 1);
  const QRgb marker = Rgb(clBlue);
  bool drawMarker = true;
  g.OnPaint = [&](TGraphBox* sender) {
    if (!drawMarker)
      return;
    sender->MoveToValue(300, sender->YAxis().Min());
    sender->LineToValue(clBlue, 300, sender->YAxis().Max());
  };
  QImage screen = Grab(g);
  EXPECT_TRUE(HasColor(screen, marker));
  EXPECT_FALSE(HasColor(g.Snapshot().convertToFormat(QImage::Format_RGB32), marker));
  EXPECT_TRUE(HasColor(screen, Rgb(clRed)));

  const QImage copy = g.CopyImage();
  EXPECT_EQ(copy.size(), g.InnerRect().size());
  EXPECT_TRUE(HasColor(copy, marker));
  EXPECT_TRUE(HasColor(copy, Rgb(clRed)));
  g.CopyToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), copy.size());

  // Overlays drawn outside a paint appear at once and RestoreImage wipes them.
  drawMarker = false;
  g.Invalidate();
  screen = Grab(g);
  EXPECT_FALSE(HasColor(screen, marker));
  g.MoveToValue(100, 0);
  g.LineToValue(clBlue, 100, 256);
  EXPECT_TRUE(HasColor(Grab(g), marker));
  g.RestoreImage();
  EXPECT_TRUE(Grab(g) == screen);

  TGraphBox s;
  SetupWindowSpectrumGraph(s);
  EXPECT_EQ(s.CopyImage().size(), QSize(498, 185)); // less the one-pixel bevel
}

// Guards printing: a vector PDF page; a printer that fails throws for the
// user to see; a cancelled file dialog prints nothing and is no error.
TEST(Graphbox, PrintToPdf)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TGraphBox g;
  SetupWindowSpectrumGraph(g);
  for (int i = 1; i < 500; ++i)
    g.AddPoint(0, clLime, i, -50 + (i % 40), 1);

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QString path = dir.filePath("direct.pdf");
  printer.setOutputFileName(path);
  ASSERT_NO_THROW(g.PrintTo(printer));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray pdf = f.readAll();
  EXPECT_TRUE(pdf.startsWith("%PDF"));
  EXPECT_FALSE(pdf.contains("/Subtype /Image")); // drawn as vectors, not a bitmap

  QPrinter broken(QPrinter::HighResolution);
  broken.setOutputFormat(QPrinter::PdfFormat);
  broken.setOutputFileName(dir.filePath("no such folder/graph.pdf"));
  EXPECT_THROW(g.PrintTo(broken), std::runtime_error);

  if (!QPrinterInfo::availablePrinters().isEmpty())
    GTEST_SKIP() << "a printer is installed; the PDF fallback is not taken";
  const QString asked = dir.filePath("asked.pdf");
  int asks = 0;
  g.AskPdfFileName = [&](QWidget*) {
    ++asks;
    return QString();
  };
  EXPECT_NO_THROW(g.Print());
  EXPECT_EQ(asks, 1);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // only direct.pdf
  g.AskPdfFileName = [&](QWidget*) { return asked; };
  EXPECT_NO_THROW(g.Print());
  EXPECT_GT(QFile(asked).size(), 0);
}

// Guards the mouse read-out on a scaled screen: the peak under the mouse names
// the same value as on a plain screen (run once plain and once at scale 2).
TEST(HiDpi, PeakReadout)
{
  TGraphBox g;
  SetupWindowSpectrumGraph(g);
  g.SetXRange(8, 0, 512);
  for (int i = 0; i < 512; ++i)
    g.AddPoint(0, clLime, i, i == 300 ? 10 : -55, 1);
  double readX = -1;
  double readY = -1;
  QObject::connect(&g, &TCustomGraph::OnMouseMove,
                   [&](TCustomGraph* sender, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
                     static_cast<TGraphBox*>(sender)->PixelToValue(x, y, readX, readY);
                   });
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  const qreal dpr = g.devicePixelRatioF();
  if (qEnvironmentVariableIsSet("DUV_EXPECT_DPR")) {
    ASSERT_EQ(dpr, qEnvironmentVariable("DUV_EXPECT_DPR").toDouble());
  }
  const QImage img = Grab(g);
  ASSERT_EQ(img.width(), qRound(g.width() * dpr));
  // The peak: the topmost pixel of the trace, found in device pixels.
  QPoint peak(-1, img.height());
  for (int y = 0; y < img.height() && peak.x() < 0; ++y)
    for (int x = qRound(g.PlotLeft() * dpr); x < qRound(g.PlotRight() * dpr); ++x)
      if (img.pixel(x, y) == Rgb(clLime)) {
        peak = QPoint(x, y);
        break;
      }
  ASSERT_GE(peak.x(), 0);
  const QPoint logical(int(peak.x() / dpr), int(peak.y() / dpr));
  QTest::mouseMove(&g, logical);
  QApplication::processEvents();
  EXPECT_NEAR(readX, 300, 1 / g.Mapping().XScale + 1e-9);
  EXPECT_NEAR(readY, 10, 1 / g.Mapping().YScale + 1e-9);
  // Exactly what a plain screen's mapping names for that logical pixel.
  double plainX = 0;
  double plainY = 0;
  g.PixelToValue(g.PlotLeft() + int(std::trunc(300 * g.Mapping().XScale)), logical.y(), plainX,
                 plainY);
  EXPECT_EQ(readX, plainX);
}

// Guards the redraw of a live trace, which puts back only the background the
// last trace covered: every frame must show what a fresh graph shows, also
// after drawings the canvas cannot follow (a marker, a wide pen) and after an
// overlay (run plain and at scale 2).
TEST(HiDpi, LiveFramesDrawLikeFreshGraphs)
{
  const struct
  {
    double Amplitude, Cycles, Size;
    bool Marker, Overlay;
  } frames[] = {
      {30000, 3, 1, false, false}, {2000, 7, 1, false, false},  {0, 1, 1, true, false},
      {12000, 5, 1, false, false}, {32767, 9, 1, false, true},  {500, 2, 1, false, false},
      {25000, 1, 3, false, false}, {20000, 4, 1, false, false}, {9000, 6, 1, false, false}};
  const auto draw = [](TGraphBox& g, const auto& f) {
    std::vector<std::int16_t> v(256);
    for (std::size_t i = 0; i < v.size(); ++i)
      v[i] = std::int16_t(f.Amplitude * std::sin(2 * M_PI * f.Cycles * double(i) / 256));
    g.BeginUpdate();
    g.Clear();
    g.AddSamples(0, clRed, std::span<const std::int16_t>(v), f.Size);
    if (f.Marker)
      g.AddPoint(-3, clLime, 128, 0, 3);
    g.EndUpdate();
  };
  TGraphBox live;
  SetupWindowLeftGraph(live);
  live.SetXRange(4, 0, 255);
  for (std::size_t n = 0; n < std::size(frames); ++n) {
    draw(live, frames[n]);
    const QImage shown = Grab(live);
    if (frames[n].Overlay) { // drawn outside a paint, then wiped
      live.MoveToValue(100, -30000);
      live.LineToValue(clBlue, 120, 30000);
      live.RestoreImage();
    }
    // The frame and grid after a wide pen keep its width once, by design.
    if (n > 0 && frames[n - 1].Size > 1)
      continue;
    TGraphBox fresh;
    SetupWindowLeftGraph(fresh);
    fresh.SetXRange(4, 0, 255);
    draw(fresh, frames[n]);
    EXPECT_TRUE(shown == Grab(fresh)) << "frame " << n;
  }
}
