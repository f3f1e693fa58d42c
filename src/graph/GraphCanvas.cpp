// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/GraphCanvas.h"

#include "support/UiSupport.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace duv {

TGraphCanvas::TGraphCanvas(QPainter& Painter, TColor FontColor, int PenWidth, QImage* Target)
    : PenWidth(PenWidth), FontColor(FontColor), FPainter(Painter), FTarget(Target)
{
  FPainter.setRenderHint(QPainter::Antialiasing, false);
  FPainter.setRenderHint(QPainter::TextAntialiasing, true);
  FPainter.setBackgroundMode(Qt::TransparentMode);
  // A scaled canvas (HiDPI screen, printer) strokes a one-unit line centred
  // on its coordinate, straddling two pixel cells; half a unit across puts it
  // on the cell it names, as an unscaled canvas does.
  if (FPainter.deviceTransform().type() > QTransform::TxTranslate)
    FStrokeOffset = 0.5;
  // 32-bit images get one-pixel solid lines straight into their pixels, with
  // exact start-painted, end-unpainted segments; on a screen scaled by a
  // whole factor each pixel of the line is a square of that size, as the
  // plain screen's picture scaled up. The toolkit's stroking of a dense trace
  // at such a scale takes a second a paint.
  const QTransform t = FPainter.deviceTransform();
  const bool wholeScale = t.type() == QTransform::TxScale && t.m11() == t.m22() && t.m11() >= 2 &&
                          t.m11() <= 8 && t.m11() == std::floor(t.m11()) && t.dx() == 0 &&
                          t.dy() == 0;
  if (FTarget && FTarget->depth() == 32 && !FTarget->isNull() &&
      (t.type() == QTransform::TxNone || wholeScale)) {
    FDirect = true;
    FScale = wholeScale ? int(t.m11()) : 1;
    FClip = TargetRect();
  }
  const QFontMetrics fm = FPainter.fontMetrics();
  FAscent = fm.ascent();
  FHeight = fm.height();
  FBatch.reserve(1024);
}

TGraphCanvas::~TGraphCanvas()
{
  Flush();
}

namespace {
QPen MakePen(TColor Color, int Width, Qt::PenStyle Style)
{
  // Flat caps leave the end pixel of a one-pixel line unpainted; bevel joins
  // keep a sharp peak of a scaled trace from growing a miter spike.
  // An absurd point size must not make the stroker work for minutes.
  constexpr int widest = 1000;
  return QPen(QBrush(ToQColor(Color)), std::clamp(Width, 1, widest), Style, Qt::FlatCap,
              Qt::BevelJoin);
}
} // namespace

QRect TGraphCanvas::TargetRect() const
{
  return QRect(0, 0, FTarget->width() / FScale, FTarget->height() / FScale);
}

void TGraphCanvas::MergeColumns()
{
  // Within one polyline a vertical segment paints its start pixel and not its
  // end pixel. A run of points on one pixel column therefore paints the span
  // between its lowest and highest point, both included, except an extreme
  // that is only reached by the run's last point. Four points paint the same:
  // the first, the two extremes (in an order that keeps that exception), and
  // the last. Dense traces, with dozens of points per column, shrink several
  // times over.
  QPoint* p = FBatch.data();
  const int n = int(FBatch.size());
  int out = 0;
  const auto push = [&](QPoint q) {
    if (out == 0 || p[out - 1] != q)
      p[out++] = q;
  };
  for (int i = 0; i < n;) {
    int j = i;
    int lo = p[i].y();
    int hi = lo;
    while (j + 1 < n && p[j + 1].x() == p[i].x()) {
      ++j;
      lo = std::min(lo, p[j].y());
      hi = std::max(hi, p[j].y());
    }
    if (j - i < 3) {
      for (int k = i; k <= j; ++k)
        push(p[k]);
      i = j + 1;
      continue;
    }
    const QPoint first = p[i];
    const QPoint last = p[j];
    const int x = first.x();
    // The extreme that the run ends on goes last, so that it stays unpainted
    // unless the run also visited it earlier.
    bool endVisitedBefore = false;
    for (int k = i; k < j && !endVisitedBefore; ++k)
      endVisitedBefore = p[k].y() == last.y();
    int a = lo;
    int b = hi;
    if (last.y() == lo)
      std::swap(a, b); // end on lo: go to hi first
    push(first);
    if (last.y() == a || last.y() == b) {
      if (endVisitedBefore)
        push(QPoint(x, last.y())); // the end value is a start somewhere too
      push(QPoint(x, a));
      push(QPoint(x, b));
    } else {
      push(QPoint(x, a));
      push(QPoint(x, b));
    }
    push(last);
    i = j + 1;
  }
  FBatch.resize(out);
}

void TGraphCanvas::DrawSegment(QPoint A, QPoint B, QRgb Color)
{
  // Start pixel painted, end pixel not; the minor coordinate is the exact
  // line rounded half up, stepped incrementally. Only the part inside the
  // clip is walked, so far-off points cost nothing.
  const qint64 dx = qint64(B.x()) - A.x();
  const qint64 dy = qint64(B.y()) - A.y();
  if (dx == 0 && dy == 0)
    return;
  const int cx0 = FClip.left();
  const int cx1 = FClip.right() + 1;
  const int cy0 = FClip.top();
  const int cy1 = FClip.bottom() + 1;
  uchar* bits = FTarget->bits();
  const qsizetype stride = FTarget->bytesPerLine();
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  const qint64 major = xMajor ? dx : dy;
  const qint64 minor = xMajor ? dy : dx;
  const qint64 len = std::abs(major);
  const int sMajor = major > 0 ? 1 : -1;
  const int a0 = xMajor ? A.x() : A.y(); // major start
  const int b0 = xMajor ? A.y() : A.x(); // minor start
  const int lo = xMajor ? cx0 : cy0;
  const int hi = xMajor ? cx1 : cy1;
  const int mlo = xMajor ? cy0 : cx0;
  const int mhi = xMajor ? cy1 : cx1;
  // Steps t = 0 .. len-1 whose major coordinate a0 + sMajor * t lies in [lo, hi).
  qint64 t0 = 0;
  qint64 t1 = len - 1;
  if (sMajor > 0) {
    t0 = std::max<qint64>(t0, qint64(lo) - a0);
    t1 = std::min<qint64>(t1, qint64(hi) - 1 - a0);
  } else {
    t0 = std::max<qint64>(t0, qint64(a0) - (hi - 1));
    t1 = std::min<qint64>(t1, qint64(a0) - lo);
  }
  if (t0 > t1)
    return;
  // minor(t) = b0 + floor((2 t minor + len) / (2 len))
  const qint64 den = 2 * len;
  const qint64 num = 2 * t0 * minor + len;
  qint64 q = num / den;
  qint64 rem = num % den;
  if (rem < 0) {
    rem += den;
    --q;
  }
  qint64 m = b0 + q;
  qint64 a = a0 + sMajor * t0;
  const qint64 step = 2 * minor;
  for (qint64 t = t0; t <= t1; ++t) {
    if (m >= mlo && m < mhi) {
      const qint64 x = xMajor ? a : m;
      const qint64 y = xMajor ? m : a;
      if (FScale == 1) {
        reinterpret_cast<QRgb*>(bits + y * stride)[x] = Color;
      } else {
        for (int r = 0; r < FScale; ++r)
          std::fill_n(reinterpret_cast<QRgb*>(bits + (y * FScale + r) * stride) + x * FScale,
                      FScale, Color);
      }
    }
    a += sMajor;
    rem += step;
    if (rem >= den) {
      rem -= den;
      ++m;
    } else if (rem < 0) {
      rem += den;
      --m;
    }
  }
}

void TGraphCanvas::Flush()
{
  if (FBatch.size() >= 2) {
    if (FDirect && FBatchWidth <= 1 && FBatchStyle == Qt::SolidLine) {
      MergeColumns();
      const QRgb color = 0xFF000000u | ToQColor(FBatchColor).rgb();
      for (qsizetype i = 1; i < FBatch.size(); ++i)
        DrawSegment(FBatch[i - 1], FBatch[i], color);
    } else {
      // A dense trace stroked by the toolkit (a scaled screen, a printer)
      // costs as many segments as it has points; the same merge keeps the
      // look and leaves a few points a column.
      if (FBatchWidth <= 1 && FBatchStyle == Qt::SolidLine)
        MergeColumns();
      FPainter.setPen(MakePen(FBatchColor, FBatchWidth, FBatchStyle));
      FPainter.translate(FStrokeOffset, FStrokeOffset);
      FPainter.drawPolyline(FBatch.constData(), int(FBatch.size()));
      FPainter.translate(-FStrokeOffset, -FStrokeOffset);
    }
  }
  FBatch.clear();
}

void TGraphCanvas::MoveTo(int X, int Y)
{
  Flush();
  PenPos = QPoint(X, Y);
}

void TGraphCanvas::LineTo(int X, int Y)
{
  if (X == PenPos.x() && Y == PenPos.y())
    return; // a zero-length line paints nothing
  if (!FBatch.isEmpty() &&
      (FBatchColor != PenColor || FBatchWidth != PenWidth || FBatchStyle != PenStyle))
    Flush();
  if (FBatch.isEmpty()) {
    FBatch.append(PenPos);
    FBatchColor = PenColor;
    FBatchWidth = PenWidth;
    FBatchStyle = PenStyle;
  }
  FBatch.append(QPoint(X, Y));
  PenPos = QPoint(X, Y);
}

void TGraphCanvas::Rectangle(int X1, int Y1, int X2, int Y2)
{
  Flush();
  if (X2 < X1)
    std::swap(X1, X2);
  if (Y2 < Y1)
    std::swap(Y1, Y2);
  if (X2 - X1 < 1 || Y2 - Y1 < 1)
    return;
  FPainter.setPen(MakePen(PenColor, PenWidth, PenStyle));
  FPainter.setBrush(BrushClear ? QBrush(Qt::NoBrush) : QBrush(ToQColor(BrushColor)));
  FPainter.translate(FStrokeOffset, FStrokeOffset);
  FPainter.drawRect(QRect(X1, Y1, X2 - X1 - 1, Y2 - Y1 - 1));
  FPainter.translate(-FStrokeOffset, -FStrokeOffset);
}

void TGraphCanvas::Ellipse(int X1, int Y1, int X2, int Y2)
{
  Flush();
  if (X2 < X1)
    std::swap(X1, X2);
  if (Y2 < Y1)
    std::swap(Y1, Y2);
  FPainter.setPen(MakePen(PenColor, PenWidth, PenStyle));
  FPainter.setBrush(BrushClear ? QBrush(Qt::NoBrush) : QBrush(ToQColor(BrushColor)));
  FPainter.translate(FStrokeOffset, FStrokeOffset);
  FPainter.drawEllipse(QRect(X1, Y1, std::max(X2 - X1 - 1, 0), std::max(Y2 - Y1 - 1, 0)));
  FPainter.translate(-FStrokeOffset, -FStrokeOffset);
}

void TGraphCanvas::FrameRect(int X1, int Y1, int X2, int Y2, TColor Color)
{
  Flush();
  const QColor c = ToQColor(Color);
  const int w = X2 - X1;
  const int h = Y2 - Y1;
  if (w <= 0 || h <= 0)
    return;
  FPainter.fillRect(X1, Y1, w, 1, c);
  FPainter.fillRect(X1, Y2 - 1, w, 1, c);
  FPainter.fillRect(X1, Y1, 1, h, c);
  FPainter.fillRect(X2 - 1, Y1, 1, h, c);
}

void TGraphCanvas::FillRect(int X1, int Y1, int X2, int Y2, TColor Color)
{
  Flush();
  if (X2 > X1 && Y2 > Y1)
    FPainter.fillRect(X1, Y1, X2 - X1, Y2 - Y1, ToQColor(Color));
}

void TGraphCanvas::TextOut(int X, int Y, const QString& S)
{
  Flush();
  FPainter.setPen(ToQColor(FontColor));
  FPainter.drawText(QPoint(X, BaselineAlign ? Y : Y + FAscent), S);
  PenPos = QPoint(X + TextWidth(S), Y);
}

void TGraphCanvas::TextOutSuperscript(int X, int Y, const QString& Text)
{
  const int h = TextHeight(Text);
  bool raised = false;
  for (const QChar ch : Text) {
    if (ch == QLatin1Char('^')) {
      raised = true;
      continue;
    }
    const QString s(ch);
    TextOut(X, raised ? Y - h / 2 : Y, s);
    X += TextWidth(s);
  }
}

void TGraphCanvas::TextRect(int X1, int Y1, int X2, int Y2, int X, int Y, const QString& S)
{
  Flush();
  FPainter.save();
  FPainter.setClipRect(QRect(X1, Y1, std::max(X2 - X1, 0), std::max(Y2 - Y1, 0)),
                       Qt::IntersectClip);
  FPainter.setPen(ToQColor(FontColor));
  FPainter.drawText(QPoint(X, BaselineAlign ? Y : Y + FAscent), S);
  FPainter.restore();
}

int TGraphCanvas::TextWidth(const QString& S) const
{
  return FPainter.fontMetrics().horizontalAdvance(S);
}

int TGraphCanvas::TextHeight(const QString&) const
{
  return FHeight;
}

int TGraphCanvas::DigitHeight() const
{
  return FPainter.fontMetrics().capHeight();
}

void TGraphCanvas::SetClipRect(const QRect& R)
{
  Flush();
  FPainter.setClipRect(R);
  if (FDirect)
    FClip = R.intersected(TargetRect());
}

void TGraphCanvas::RemoveClip()
{
  Flush();
  FPainter.setClipping(false);
  if (FDirect)
    FClip = TargetRect();
}

} // namespace duv
