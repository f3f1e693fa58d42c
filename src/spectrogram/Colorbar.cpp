// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/Colorbar.h"

#include "support/UiSupport.h"

#include "spectrogram/CanvasOps.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVector>
#include <cstdint>

namespace duv {

TColorBar::TColorBar(QWidget* parent) : QWidget(parent)
{
  // TColorBands starts on range 100000 .. 0 with the 13-colour table, evenly
  // spaced; band 1 is selected without an event.
  setMouseTracking(true); // the split cursor shows over edges without a button held
}

void TColorBar::SetEdgeColor(int k, TColor color)
{
  if (!FBands.IsEdge(k) || FBands.Edge(k).Color == color)
    return;
  FBands.SetEdgeColor(k, color);
  update();
}

void TColorBar::SetRange(double top, double bottom)
{
  // Always worked out again, since a drag may have moved the edges the values
  // come from; only a new range changes what the labels show.
  const bool changed = top != FBands.TopValue() || bottom != FBands.BottomValue();
  FBands.SetRange(top, bottom);
  if (changed)
    update();
}

void TColorBar::ResetSpacing()
{
  FBands.ResetSpacing();
  update();
}

void TColorBar::SpreadEdges(int first, int last)
{
  FBands.SpreadEdges(first, last);
  update();
}

void TColorBar::LoadColorTable()
{
  FBands.LoadColorTable(FColorCount);
  update();
}

void TColorBar::SetEdgePosition(int k, int position)
{
  FBands.SetEdgePosition(k, position, height());
  update();
}

void TColorBar::SetEdgeValue(int k, double value)
{
  FBands.SetEdgeValue(k, value, height());
  update();
}

void TColorBar::ColorGradient(int first, int last)
{
  FBands.ColorGradient(first, last);
  update();
}

void TColorBar::HueGradient(int first, int last)
{
  FBands.HueGradient(first, last);
  update();
}

void TColorBar::SetSelected(int k)
{
  if (k < 0 || k >= FBands.EdgeCount() || !Assign(FSelected, k))
    return;
  update(); // the marker moves on the next paint
  DoChangeSelect();
}

void TColorBar::SetLabelBars(bool v)
{
  if (Assign(FLabelBars, v))
    update();
}

void TColorBar::SetScaleFactor(double v)
{
  if (Assign(FScaleFactor, v))
    update();
}

void TColorBar::SetDecimals(int v)
{
  if (Assign(FDecimals, v))
    update();
}

void TColorBar::SetColorCount(TColorCount v)
{
  if (!Assign(FColorCount, v))
    return;
  LoadColorTable();
  ResetSpacing();
}

void TColorBar::DoChangeSelect()
{
  Q_EMIT OnChangeSelect(this);
}

void TColorBar::DoChangeSpread()
{
  Q_EMIT OnChangeSpread(this);
}

void TColorBar::DoChangingBar()
{
  const int p = PositionOfY(FDragLineY);
  Q_EMIT OnChangingBar(this, FDragEdge, p, ValueAtPosition(p));
}

int TColorBar::PositionOfY(int y) const
{
  const int h = height();
  if (h <= 0)
    return 0;
  const std::int64_t p = std::int64_t(TColorBands::FullScale) * y / h;
  return int(std::clamp<std::int64_t>(p, INT32_MIN, INT32_MAX));
}

void TColorBar::DrawSelection(QPainter& painter) const
{
  if (FSelected < 1 || FSelected >= FBands.EdgeCount())
    return;
  // Dotted outline of (1, y(k-1) + 1, W - 1, y(k) - 1), every pixel inverted
  // at most once so the marker never cancels itself at the corners.
  const int x1 = 1, x2 = width() - 2;
  const int y1 = EdgeY(FSelected - 1) + 1, y2 = EdgeY(FSelected) - 2;
  if (x2 < x1 || y2 < y1)
    return;
  QVector<QPoint> dots;
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) == 0)
      dots.append(QPoint(x, y));
  };
  for (int x = x1; x <= x2; ++x) {
    dot(x, y1);
    if (y2 != y1)
      dot(x, y2);
  }
  for (int y = y1 + 1; y < y2; ++y) {
    dot(x1, y);
    if (x2 != x1)
      dot(x2, y);
  }
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_NotDestination);
  painter.setPen(QPen(Qt::black, 1));
  painter.drawPoints(dots.constData(), int(dots.size()));
  painter.restore();
}

void TColorBar::PaintTo(QPainter& painter) const
{
  const int w = width(), h = height();
  const int count = FBands.EdgeCount();
  const QFontMetrics metrics(painter.font());
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  for (int k = 0; k <= count; ++k) {
    const int top = k == 0 ? 0 : EdgeY(k - 1);
    const int bottom = k == count ? h : EdgeY(k);
    const TColor brush = k == count ? clBlack : FBands.Edge(k).Color;
    const QColor pen = Brightness(brush) < 50 ? QColor(128, 128, 128) : QColor(Qt::black);
    // Each outline overlaps the bottom row of the band above.
    DrawRectangle(painter, 0, top - 1, w, bottom, pen, ToQColor(brush));
    if (FLabelBars && k > 0 && k < count) {
      const QString text = FormatFixed(FScaleFactor * FBands.Edge(k).Value, FDecimals);
      if (metrics.height() + 1 < bottom - top) {
        painter.setPen(ToQColor(ContrastColor(brush)));
        painter.drawText(QRect(1, top + 1, w - 2, bottom - top - 2),
                         Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
      }
    }
  }
  if (isEnabled())
    DrawSelection(painter);
  painter.restore();
}

void TColorBar::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  PaintTo(painter);
  if (FDragging) {
    // The drag line: one inverted row across the bar.
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    painter.fillRect(QRect(0, FDragLineY, width(), 1), Qt::black);
  }
}

void TColorBar::mousePressEvent(QMouseEvent* event)
{
  const int y = int(event->position().y());
  // A press on an edge row never changes the selection, whatever the
  // button. Only the left button drags the edge: a right press opens the
  // owner's context menu, which takes the release away from the bar.
  const int edge = EdgeAt(y);
  FDragEdge = event->button() == Qt::LeftButton ? edge : -1;
  if (FDragEdge >= 0) {
    FDragging = true;
    FDownY = y;
    FDragLineY = y;
    update();
  } else if (edge < 0) {
    SetSelected(BandAt(y));
  }
  Q_EMIT OnMouseDown(this, event);
}

void TColorBar::mouseMoveEvent(QMouseEvent* event)
{
  const int y = int(event->position().y());
  Q_EMIT OnMouseMove(this, event);
  if (FDragging) {
    FDragLineY = y;
    update();
    DoChangingBar();
  } else {
    setCursor(EdgeAt(y) >= 0 ? Qt::SplitVCursor : Qt::ArrowCursor);
  }
}

void TColorBar::mouseReleaseEvent(QMouseEvent* event)
{
  Q_EMIT OnMouseUp(this, event);
  if (!FDragging || event->button() != Qt::LeftButton)
    return;
  FDragging = false;
  FUpY = int(event->position().y());
  // A release beyond the bar gives a position outside 0..100000, kept as is.
  FBands.SetEdgePosition(FDragEdge, PositionOfY(FUpY), height());
  if (event->modifiers() & Qt::ControlModifier) {
    FBands.SpreadEdges(0, FDragEdge);
    FBands.SpreadEdges(FDragEdge, FBands.EdgeCount() - 1);
  }
  update();
  DoChangeSpread();
}

} // namespace duv
