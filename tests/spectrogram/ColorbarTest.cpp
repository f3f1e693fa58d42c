// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/Colorbar.h"
#include "support/UiSupport.h"

#include <QPainter>
#include <QtTest/QTest>
#include <gtest/gtest.h>

using namespace duv;

namespace {
QImage Render(const TColorBar& bar)
{
  QImage image(bar.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  bar.PaintTo(painter);
  return image;
}

QRgb Rgb(int r, int g, int b)
{
  return qRgb(r, g, b);
}
QRgb Inverted(QRgb c)
{
  return qRgb(255 - qRed(c), 255 - qGreen(c), 255 - qBlue(c));
}

// 13 edges on a 16 x 120 bar: edges on rows 0, 9, 19, 30, 39, 49, 60 ...
struct BarFixture
{
  TColorBar bar;
  int selects = 0, spreads = 0, changing = 0;
  int lastIndex = -1, lastBottom = 0;
  double lastDepth = 0;
  BarFixture()
  {
    bar.resize(16, 120);
    QObject::connect(&bar, &TColorBar::OnChangeSelect, [this](QObject* s) {
      EXPECT_EQ(s, &bar);
      ++selects;
    });
    QObject::connect(&bar, &TColorBar::OnChangeSpread, [this](QObject*) { ++spreads; });
    QObject::connect(&bar, &TColorBar::OnChangingBar,
                     [this](QObject*, int index, int bottom, double depth) {
                       ++changing;
                       lastIndex = index, lastBottom = bottom, lastDepth = depth;
                     });
  }
};
} // namespace

// Guards band painting: fills, overlapping outlines with grey pens on dark
// bands, the grey bottom row and the inverted dotted selection marker.
TEST(ColorBar, PaintsBandsAndSelection)
{
  BarFixture f;
  QImage img = Render(f.bar);
  EXPECT_EQ(img.pixel(8, 5), Rgb(128, 0, 0));     // band 1 inside
  EXPECT_EQ(img.pixel(0, 5), Rgb(128, 128, 128)); // dark band: grey outline
  EXPECT_EQ(img.pixel(8, 8), Rgb(0, 0, 0));       // band 2's black outline over band 1
  EXPECT_EQ(img.pixel(8, 9), Rgb(255, 0, 0));
  EXPECT_EQ(img.pixel(8, 18), Rgb(0, 0, 0));
  EXPECT_EQ(img.pixel(8, 19), Rgb(255, 255, 0));
  EXPECT_EQ(img.pixel(8, 119), Rgb(128, 128, 128)); // strip below the last edge
  // Band 1 is selected: marker dots on (1, 1) .. (14, 7), every pixel once.
  EXPECT_EQ(img.pixel(1, 1), Inverted(qRgb(128, 0, 0)));
  EXPECT_EQ(img.pixel(2, 1), Rgb(128, 0, 0));
  EXPECT_EQ(img.pixel(13, 7), Inverted(qRgb(128, 0, 0)));
  EXPECT_EQ(img.pixel(14, 7), Rgb(128, 0, 0));
  EXPECT_EQ(img.pixel(1, 7), Inverted(qRgb(128, 0, 0)));
  EXPECT_EQ(img.pixel(3, 8), Rgb(0, 0, 0)); // the outline row below is untouched

  f.bar.setEnabled(false); // no marker on a disabled bar
  EXPECT_EQ(Render(f.bar).pixel(1, 1), Rgb(128, 0, 0));
  f.bar.setEnabled(true);

  // After a switch to a smaller table the selection may lie beyond the last
  // band: no marker is drawn and nothing is read past the table.
  f.bar.SetColorCount(TColorCount::dc32);
  f.bar.SetSelected(30);
  f.bar.SetColorCount(TColorCount::dc12);
  EXPECT_EQ(f.bar.Selected(), 30);
  img = Render(f.bar);
  EXPECT_EQ(img.pixel(1, 1), Rgb(128, 0, 0));
  f.bar.SetSelected(30); // the same index is no new selection
  EXPECT_EQ(f.selects, 1);
}

// Guards band labels: shown in the contrast colour where they fit, left out
// where the band is lower than the text.
TEST(ColorBar, LabelsOnlyWhereTheyFit)
{
  TColorBar bar;
  bar.resize(40, 120);
  bar.SetRange(0, -96);
  bar.SetLabelBars(true);
  auto countContrast = [&bar] {
    const QImage img = Render(bar);
    int n = 0;
    for (int y = 1; y < 9; ++y)
      for (int x = 1; x < 39; ++x)
        n += img.pixel(x, y) == qRgb(0, 255, 255); // contrast of (128, 0, 0)
    return n;
  };
  EXPECT_EQ(countContrast(), 0); // 10-pixel bands are too low for text
  bar.resize(40, 1200);
  const QImage img = Render(bar);
  int n = 0;
  for (int y = 1; y < 99; ++y)
    for (int x = 1; x < 39; ++x)
      n += img.pixel(x, y) == qRgb(0, 255, 255);
  EXPECT_GT(n, 0);
}

// Guards the mouse rules: a band press selects once, an edge press (or one
// pixel off) grabs the edge without selecting, the ends and a locked bar.
TEST(ColorBar, PressSelectsOrGrabs)
{
  BarFixture f;
  QTest::mousePress(&f.bar, Qt::LeftButton, {}, QPoint(8, 35));
  QTest::mouseRelease(&f.bar, Qt::LeftButton, {}, QPoint(8, 35));
  EXPECT_EQ(f.bar.Selected(), 4);
  EXPECT_EQ(f.selects, 1);
  EXPECT_EQ(f.spreads, 0);

  for (int y : {30, 31, 29}) {
    QTest::mousePress(&f.bar, Qt::LeftButton, {}, QPoint(8, y));
    EXPECT_TRUE(f.bar.EdgeDragging()) << y;
    EXPECT_EQ(f.bar.DragEdge(), 3);
    QTest::mouseRelease(&f.bar, Qt::LeftButton, {}, QPoint(8, 30));
  }
  EXPECT_EQ(f.bar.Selected(), 4);
  EXPECT_EQ(f.selects, 1);
  EXPECT_EQ(f.spreads, 3);

  // A right press selects a band but never starts an edge drag (its release
  // goes to the menu); on an edge row it changes nothing at all, or the
  // settings dialog would snap the edges of a band the user never picked.
  QTest::mousePress(&f.bar, Qt::RightButton, {}, QPoint(8, 45));
  EXPECT_FALSE(f.bar.EdgeDragging());
  EXPECT_EQ(f.bar.Selected(), 5);
  QTest::mouseRelease(&f.bar, Qt::RightButton, {}, QPoint(8, 45));
  for (int y : {49, 30}) {
    QTest::mousePress(&f.bar, Qt::RightButton, {}, QPoint(8, y));
    EXPECT_FALSE(f.bar.EdgeDragging());
    EXPECT_EQ(f.bar.Selected(), 5) << y;
    QTest::mouseRelease(&f.bar, Qt::RightButton, {}, QPoint(8, y));
  }

  f.bar.SetAdjustEnds(false);
  QTest::mousePress(&f.bar, Qt::LeftButton, {}, QPoint(8, 0));
  EXPECT_FALSE(f.bar.EdgeDragging());
  EXPECT_EQ(f.bar.Selected(), 1);
  QTest::mouseRelease(&f.bar, Qt::LeftButton, {}, QPoint(8, 0));

  f.bar.SetAdjustable(false);
  QTest::mousePress(&f.bar, Qt::LeftButton, {}, QPoint(8, 60));
  EXPECT_FALSE(f.bar.EdgeDragging());
  EXPECT_EQ(f.bar.Selected(), 6);
  QTest::mouseRelease(&f.bar, Qt::LeftButton, {}, QPoint(8, 60));
}

// Guards edge dragging: the inverted drag line, OnChangingBar's position and
// value, the move only at release (unclamped), and Ctrl's even re-spacing.
TEST(ColorBar, DragsEdges)
{
  BarFixture f;
  f.bar.SetRange(0, -96);
  const QImage before = Render(f.bar);
  QTest::mousePress(&f.bar, Qt::LeftButton, {}, QPoint(8, 30));
  QTest::mouseMove(&f.bar, QPoint(8, 55));
  EXPECT_EQ(f.changing, 1);
  EXPECT_EQ(f.lastIndex, 3);
  EXPECT_EQ(f.lastBottom, 45833);
  EXPECT_DOUBLE_EQ(f.lastDepth, f.bar.ValueAtPosition(45833));
  EXPECT_EQ(f.bar.Edge(3).Position, 25000); // not moved while dragging
  const QImage dragging = f.bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(dragging.pixel(8, 55), Inverted(before.pixel(8, 55)));
  EXPECT_EQ(dragging.pixel(8, 54), before.pixel(8, 54));
  QTest::mouseRelease(&f.bar, Qt::LeftButton, {}, QPoint(8, 55));
  EXPECT_EQ(f.bar.Edge(3).Position, 45833);
  EXPECT_EQ(f.bar.Edge(4).Position, 45833 + 2 * 833); // pushed: gap of two pixels
  EXPECT_EQ(f.spreads, 1);
  EXPECT_EQ(f.bar.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(8, 54),
            Render(f.bar).pixel(8, 54));

  // Released above the bar: the edge takes the negative position.
  QTest::mousePress(&f.bar, Qt::LeftButton, {}, QPoint(8, 10));
  QTest::mouseRelease(&f.bar, Qt::LeftButton, {}, QPoint(8, -12));
  EXPECT_EQ(f.bar.Edge(1).Position, -10000);
  EXPECT_EQ(f.bar.Edge(0).Position, 0);

  // Ctrl-drag of edge 4 to row 80 spreads 1..3 and 5..11 evenly.
  f.bar.ResetSpacing();
  QTest::mousePress(&f.bar, Qt::LeftButton, {}, QPoint(8, 40));
  QTest::mouseRelease(&f.bar, Qt::LeftButton, Qt::ControlModifier, QPoint(8, 80));
  const int p4 = 66666;
  EXPECT_EQ(f.bar.Edge(4).Position, p4);
  for (int k = 1; k < 4; ++k)
    EXPECT_EQ(f.bar.Edge(k).Position, k * p4 / 4) << k;
  for (int k = 5; k < 12; ++k)
    EXPECT_EQ(f.bar.Edge(k).Position, p4 + (k - 4) * (100000 - p4) / 8) << k;
}
