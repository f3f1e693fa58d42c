// SPDX-License-Identifier: GPL-3.0-or-later
// A graph as the user drives it: paints over the kept background, the mouse
// and the keys, and a dense trace on a scaled screen.
#include "GraphTestSupport.h"
#include "graph/Graphbox.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace duv;
using namespace duv::test;

namespace {
// The area of the paints a widget gets.
struct PaintWatch : QObject
{
  QWidget& W;
  QRect Painted;
  explicit PaintWatch(QWidget& w) : W(w) { W.installEventFilter(this); }
  ~PaintWatch() override { W.removeEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override
  {
    if (e->type() == QEvent::Paint)
      Painted |= static_cast<QPaintEvent*>(e)->rect();
    return false;
  }
};
} // namespace

// Guards the kept background: frame after frame drawn over it, with points
// that move and an overlay the next frame wipes, shows exactly what a whole
// new drawing shows, and only the plot is shown again for a new frame.
TEST(Graphbox, FramesOverTheKeptBackgroundMatchAWholeDrawing)
{
  TGraphBox g;
  SetupWindowSpectrumGraph(g);
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  for (int frame = 0; frame < 4; ++frame) {
    QApplication::processEvents(); // the whole paint asked for below
    g.BeginUpdate();
    g.Clear();
    for (int i = 1; i < 512; ++i)
      g.AddPoint(0, clLime, i, -60 + ((i + 7 * frame) * (frame + 3)) % 81, 1);
    g.EndUpdate();
    if (frame == 1) {
      g.MoveToValue(100, -60);
      g.LineToValue(clRed, 100, 20);
    }
    if (frame == 2) {
      PaintWatch watch(g);
      QApplication::processEvents();
      EXPECT_EQ(watch.Painted, QRect(g.PlotLeft(), g.PlotTop(), g.PlotWidth(), g.PlotHeight() + 1));
    }
    const QImage kept = Grab(g);
    g.Invalidate();
    EXPECT_TRUE(kept == Grab(g)) << frame;
  }
}

namespace {
void Wheel(QWidget& w, QPoint at, int delta, Qt::KeyboardModifiers mods = {})
{
  QWheelEvent e(at, w.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &e);
}

double Span(const TAxisParams& a)
{
  return a.Max() - a.Min();
}
} // namespace

// Guards mouse and keys on a graph: the wheel zooms the X axis about the
// pointer (with Ctrl the Y axis), a drag moves both axes with the picture,
// Shift and a drag zoom to the rectangle, a double-click and Home ask the
// owner for a reset, + - and the arrows act on the graph with the focus, and
// a press that does not move stays one click at its point.
TEST(Graphbox, MouseAndKeysNavigate)
{
  TGraphBox g;
  SetupWindowSpectrumGraph(g);
  g.SetXRange(8, 0, 1000);
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  QList<QPoint> downs;
  int resets = 0;
  QObject::connect(&g, &TCustomGraph::OnMouseDown,
                   [&](TCustomGraph*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
                     downs << QPoint(x, y);
                   });
  QObject::connect(&g, &TGraphBox::OnResetView, [&] { ++resets; });
  const auto valueAt = [&g](QPoint p) {
    double x = 0, y = 0;
    g.PixelToValue(p.x(), p.y(), x, y);
    return QPointF(x, y);
  };

  const QPoint at = g.ValueToPixel(250, -20);
  const QPointF under = valueAt(at);
  Wheel(g, at, 120);
  EXPECT_NEAR(Span(g.XAxis()), 800, 1e-9);
  EXPECT_NEAR(valueAt(at).x(), under.x(), 1e-9);
  EXPECT_EQ(Span(g.YAxis()), 80);
  Wheel(g, at, -240, Qt::ControlModifier); // two notches out on the level axis
  EXPECT_NEAR(Span(g.YAxis()), 125, 1e-9);
  EXPECT_NEAR(valueAt(at).y(), under.y(), 1e-9);

  // The picture follows the pointer: 40 pixels right shows lower values.
  const double xScale = g.Mapping().XScale, yScale = g.Mapping().YScale;
  const double x0 = g.XAxis().Min(), y0 = g.YAxis().Min();
  QTest::mousePress(&g, Qt::LeftButton, {}, at);
  QTest::mouseMove(&g, at + QPoint(20, 10));
  QTest::mouseMove(&g, at + QPoint(40, 20));
  QTest::mouseRelease(&g, Qt::LeftButton, {}, at + QPoint(40, 20));
  EXPECT_NEAR(g.XAxis().Min(), x0 - 40 / xScale, 1e-9);
  EXPECT_NEAR(g.YAxis().Min(), y0 + 20 / yScale, 1e-9);
  EXPECT_TRUE(downs.isEmpty()); // a drag is no click

  const double moved = g.XAxis().Min();
  QTest::mousePress(&g, Qt::LeftButton, {}, at);
  QTest::mouseMove(&g, at + QPoint(3, 2)); // within the drag distance
  QTest::mouseRelease(&g, Qt::LeftButton, {}, at + QPoint(3, 2));
  EXPECT_EQ(downs, QList<QPoint>{at});
  EXPECT_EQ(g.XAxis().Min(), moved);

  const QPoint a(g.PlotLeft() + 50, g.PlotTop() + 20), b(g.PlotLeft() + 150, g.PlotTop() + 80);
  const QPointF va = valueAt(a), vb = valueAt(b);
  QTest::mousePress(&g, Qt::LeftButton, Qt::ShiftModifier, a);
  QTest::mouseMove(&g, b);
  QTest::mouseRelease(&g, Qt::LeftButton, Qt::ShiftModifier, b);
  EXPECT_NEAR(g.XAxis().Min(), va.x(), 1e-9);
  EXPECT_NEAR(g.XAxis().Max(), vb.x(), 1e-9);
  EXPECT_NEAR(g.YAxis().Min(), vb.y(), 1e-9);
  EXPECT_NEAR(g.YAxis().Max(), va.y(), 1e-9);

  QTest::mouseDClick(&g, Qt::LeftButton, {}, at);
  EXPECT_EQ(resets, 1);

  g.SetXRange(8, 0, 1000);
  g.YAxis().SetMin(-60);
  g.YAxis().SetMax(20);
  QTest::keyClick(&g, Qt::Key_Plus);
  EXPECT_NEAR(Span(g.XAxis()), 800, 1e-9);
  QTest::keyClick(&g, Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_NEAR(Span(g.YAxis()), 100, 1e-9);
  const double left = g.XAxis().Min(), low = g.YAxis().Min();
  QTest::keyClick(&g, Qt::Key_Left);
  QTest::keyClick(&g, Qt::Key_Up);
  EXPECT_NEAR(g.XAxis().Min(), left - 80, 1e-9);
  EXPECT_NEAR(g.YAxis().Min(), low + 10, 1e-9);
  QTest::keyClick(&g, Qt::Key_Home);
  EXPECT_EQ(resets, 2);
}

// Guards a dense trace on a screen scaled by a whole factor: drawn pixel by
// pixel as the plain screen's picture scaled up (the toolkit's stroking of
// such a trace took a second a paint), so nothing moves between the two.
TEST(HiDpi, DenseTraceIsThePlainPictureScaledUp)
{
  TGraphBox g;
  SetupWindowLeftGraph(g);
  g.XAxis().SetShowLabels(false);
  g.YAxis().SetShowLabels(false);
  g.Title().SetShowCaption(false);
  const std::size_t n = 132300;
  auto samples = std::make_shared<std::vector<std::int16_t>>(n);
  for (std::size_t i = 0; i < n; ++i)
    (*samples)[i] = std::int16_t(16000 * std::sin(double(i) * 0.0627) + 8000 * std::sin(i * 0.3));
  g.YAxis().SetMin(-32768);
  g.YAxis().SetMax(32768);
  g.SetXRange(4, 0, double(n));
  g.AddSamples(0, clRed, samples, 1.0);
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  const int s = qRound(g.devicePixelRatioF());
  const QImage screen = Grab(g);
  const QImage plain = g.CopyImage().convertToFormat(QImage::Format_RGB32); // drawn unscaled
  int differ = 0;
  for (int y = g.PlotTop(); y <= g.PlotBottom(); ++y)
    for (int x = g.PlotLeft(); x <= g.PlotRight(); ++x)
      for (int d = 0; d < s * s; ++d)
        differ += screen.pixel(x * s + d % s, y * s + d / s) != plain.pixel(x, y);
  EXPECT_EQ(differ, 0);
}
