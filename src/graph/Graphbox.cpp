#include "graph/Graphbox.h"

#include "support/UiSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace duv {

// ---------------------------------------------------------------- TAxisParams

void TAxisParams::Changed(bool LogFixUp)
{
  if (LogFixUp && FLog) {
    if (!(FMax > 0))
      FMax = 1.0;
    if (!(FMin > 0))
      FMin = 1.0;
  }
  if (OnChange)
    OnChange(this);
}

void TAxisParams::SetExponentLabels(bool Value)
{
  if (Assign(FExponentLabels, Value))
    Changed(false);
}

void TAxisParams::SetLog(bool Value)
{
  if (Assign(FLog, Value))
    Changed(true);
}

void TAxisParams::SetMinorLabels(bool Value)
{
  if (Assign(FMinorLabels, Value))
    Changed(false);
}

void TAxisParams::SetMinorLines(bool Value)
{
  if (Assign(FMinorLines, Value))
    Changed(false);
}

void TAxisParams::SetMin(double Value)
{
  if (Assign(FMin, Value))
    Changed(true);
}

void TAxisParams::SetMax(double Value)
{
  if (Assign(FMax, Value))
    Changed(true);
}

void TAxisParams::SetMultiplier(double Value)
{
  if (Assign(FMultiplier, Value))
    Changed(false);
}

void TAxisParams::SetOffset(double Value)
{
  if (Assign(FOffset, Value))
    Changed(false);
}

void TAxisParams::SetLines(int Value)
{
  if (Assign(FLines, Value))
    Changed(false);
}

void TAxisParams::SetShowLabels(bool Value)
{
  if (Assign(FShowLabels, Value))
    Changed(false);
}

void TAxisParams::SetUnits(const QString& Value)
{
  if (Assign(FUnits, Value))
    Changed(false);
}

void TAxisParams::SetCycle(double Value)
{
  if (Assign(FCycle, Value))
    Changed(false);
}

void TAxisParams::SetLabelModulo(int Value)
{
  if (Assign(FLabelModulo, std::max(Value, 1))) // every label index is taken modulo it
    Changed(false);
}

// ---------------------------------------------------------------- TGraphTitle

void TGraphTitle::SetCaption(const QString& Value)
{
  if (Assign(FCaption, Value)) // case-sensitive for the caption
    Changed();
}

void TGraphTitle::SetShowCaption(bool Value)
{
  if (Assign(FShowCaption, Value))
    Changed();
}

void TGraphTitle::SetBoxed(bool Value)
{
  if (Assign(FBoxed, Value))
    Changed();
}

void TGraphTitle::SetPosition(TTitlePosition Value)
{
  if (Assign(FPosition, Value))
    Changed();
}

// --------------------------------------------------------------- TGraphCanvas

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
  // Unscaled 32-bit images get one-pixel solid lines straight into their
  // pixels, with exact start-painted, end-unpainted segments.
  if (FTarget && FPainter.deviceTransform().type() == QTransform::TxNone &&
      FTarget->depth() == 32 && !FTarget->isNull()) {
    FDirect = true;
    FClip = FTarget->rect();
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
      reinterpret_cast<QRgb*>(bits + y * stride)[x] = Color;
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

void TGraphCanvas::SetClipRect(const QRect& R)
{
  Flush();
  FPainter.setClipRect(R);
  if (FDirect)
    FClip = R.intersected(FTarget->rect());
}

void TGraphCanvas::RemoveClip()
{
  Flush();
  FPainter.setClipping(false);
  if (FDirect)
    FClip = FTarget->rect();
}

// --------------------------------------------------------------- TCustomGraph

TCustomGraph::TCustomGraph(QWidget* Parent) : QWidget(Parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  resize(90, 90);
  AskPdfFileName = [](QWidget* parent) { return duv::AskPdfFileName(parent, "graph.pdf"); };
}

TCustomGraph::~TCustomGraph() = default;

void TCustomGraph::SetGridColor(TColor Value)
{
  if (Assign(FGridColor, Value))
    Invalidate();
}

void TCustomGraph::SetGraphBorder(int Value)
{
  if (Assign(FGraphBorder, Value))
    Invalidate();
}

void TCustomGraph::SetDecimals1(int Value)
{
  if (Assign(FDecimals1, Value))
    Invalidate();
}

void TCustomGraph::SetDecimals2(int Value)
{
  if (Assign(FDecimals2, Value))
    Invalidate();
}

void TCustomGraph::SetDrawLastPixel(bool Value)
{
  if (Assign(FDrawLastPixel, Value))
    Invalidate();
}

void TCustomGraph::SetColor(TColor Value)
{
  if (Assign(FColor, Value))
    Invalidate();
}

void TCustomGraph::SetFontColor(TColor Value)
{
  if (Assign(FFontColor, Value))
    Invalidate();
}

void TCustomGraph::SetBevelOuter(TBevelCut Value)
{
  if (Assign(FBevelOuter, Value))
    Invalidate();
}

void TCustomGraph::SetBevelInner(TBevelCut Value)
{
  if (Assign(FBevelInner, Value))
    Invalidate();
}

void TCustomGraph::SetBevelWidth(int Value)
{
  if (Assign(FBevelWidth, Value))
    Invalidate();
}

void TCustomGraph::SetBorderWidth(int Value)
{
  if (Assign(FBorderWidth, Value))
    Invalidate();
}

void TCustomGraph::Invalidate()
{
  ++FRepaintRequests;
  FNeedRender = true;
  update();
}

void TCustomGraph::EndUpdate()
{
  FUpdating = false;
  Invalidate();
}

void TCustomGraph::Clear()
{
  // The vectors keep their capacity: a live graph refills them every frame.
  FPoints.clear();
  FCaptions.clear();
  FRuns.clear();
  FBlocks.clear();
  FSeriesCounts.fill(0);
  FPointCount = 0;
  Invalidate();
}

std::int64_t TCustomGraph::SeriesCount(int Series) const
{
  if (Series < MinSeries || Series > MaxSeries)
    return 0;
  return FSeriesCounts[std::size_t(Series - MinSeries)];
}

void TCustomGraph::AddPoint(int Series, const QString& Caption, double X, double Y, double Size,
                            TColor Color)
{
  if (Series < MinSeries || Series > MaxSeries)
    return;
  ++FSeriesCounts[std::size_t(Series - MinSeries)];
  std::int32_t caption = -1;
  if (!Caption.isEmpty()) {
    caption = std::int32_t(FCaptions.size());
    FCaptions.push_back(Caption);
  }
  FPoints.push_back({X, Y, Size, Color, std::int16_t(Series), 0, caption});
  const auto end = std::int64_t(FPoints.size());
  if (!FBlocks.empty() && !FBlocks.back().Samples && FBlocks.back().Last == end - 1)
    FBlocks.back().Last = end;
  else
    FBlocks.push_back({false, end - 1, end});
  ++FPointCount;
  if (!FUpdating)
    Invalidate();
}

void TCustomGraph::AddSampleRun(int Series, TColor Color, double Size, TSampleType Type,
                                const void* Data, std::int64_t Count,
                                std::shared_ptr<const void> Owner)
{
  if (Series < MinSeries || Series > MaxSeries || Count <= 0 || Data == nullptr)
    return;
  if (!Owner) {
    // Nobody vouches for the caller's buffer: keep a copy of our own.
    std::size_t bytes = 0;
    switch (Type) {
    case TSampleType::UInt8:
      bytes = 1;
      break;
    case TSampleType::Int16:
      bytes = 2;
      break;
    case TSampleType::Int32:
    case TSampleType::Float:
      bytes = 4;
      break;
    case TSampleType::Double:
      bytes = 8;
      break;
    }
    auto copy = std::make_shared<std::vector<unsigned char>>(std::size_t(Count) * bytes);
    std::memcpy(copy->data(), Data, copy->size());
    Data = copy->data();
    Owner = std::move(copy);
  }
  FSeriesCounts[std::size_t(Series - MinSeries)] += Count;
  FRuns.push_back({std::move(Owner), Data, Count, Size, Color, Series, Type});
  FBlocks.push_back({true, std::int64_t(FRuns.size()) - 1, 0});
  FPointCount += Count;
  if (!FUpdating)
    Invalidate();
}

double TCustomGraph::TSampleRun::At(std::int64_t I) const
{
  switch (Type) {
  case TSampleType::UInt8:
    return static_cast<const std::uint8_t*>(Data)[I];
  case TSampleType::Int16:
    return static_cast<const std::int16_t*>(Data)[I];
  case TSampleType::Int32:
    return static_cast<const std::int32_t*>(Data)[I];
  case TSampleType::Float:
    return static_cast<const float*>(Data)[I];
  case TSampleType::Double:
    return static_cast<const double*>(Data)[I];
  }
  return 0;
}

QString TCustomGraph::Caption(const TDataPoint& Point) const
{
  if (Point.CaptionIndex < 0 || std::size_t(Point.CaptionIndex) >= FCaptions.size())
    return {};
  return FCaptions[std::size_t(Point.CaptionIndex)];
}

template <typename Visit>
std::int64_t TCustomGraph::ForEachSeriesPoint(int Series, std::int64_t Step, Visit&& V) const
{
  std::int64_t k = 0;
  std::int64_t untilUse = Step; // counts down to the next used point (no division per point)
  for (const TBlock& b : FBlocks) {
    if (!b.Samples) {
      for (std::int64_t i = b.First; i < b.Last; ++i) {
        const TDataPoint& p = FPoints[std::size_t(i)];
        if (p.Series != Series)
          continue;
        ++k;
        if (--untilUse == 0) {
          untilUse = Step;
          V(p.X, p.Y, p.Size, p.Color);
        }
      }
    } else {
      const TSampleRun& r = FRuns[std::size_t(b.First)];
      if (r.Series != Series)
        continue;
      // Jump straight from one used sample to the next.
      const std::int64_t first = untilUse - 1;
      std::int64_t j = first;
      for (; j < r.Count; j += Step)
        V(double(j), r.At(j), r.Size, r.Color);
      if (first >= r.Count)
        untilUse -= r.Count;
      else
        untilUse = Step - (r.Count - 1 - (j - Step));
      k += r.Count;
    }
  }
  return k;
}

template <typename Visit> void TCustomGraph::ForEachPoint(Visit&& V) const
{
  for (const TBlock& b : FBlocks) {
    if (!b.Samples) {
      for (std::int64_t i = b.First; i < b.Last; ++i) {
        const TDataPoint& p = FPoints[std::size_t(i)];
        V(p.X, p.Y, p.Size, p.Color);
      }
    } else {
      const TSampleRun& r = FRuns[std::size_t(b.First)];
      for (std::int64_t j = 0; j < r.Count; ++j)
        V(double(j), r.At(j), r.Size, r.Color);
    }
  }
}

QRect TCustomGraph::InnerRect() const
{
  int inset = FBorderWidth;
  if (FBevelOuter != bvNone)
    inset += FBevelWidth;
  if (FBevelInner != bvNone)
    inset += FBevelWidth;
  return QRect(0, 0, width(), height()).adjusted(inset, inset, -inset, -inset);
}

void TCustomGraph::Paint(TGraphCanvas& Canvas)
{
  QPainter& p = Canvas.Painter();
  QRect r(0, 0, width(), height());
  p.fillRect(r, ToQColor(FColor));
  const auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone)
      return;
    QColor top = palette().color(QPalette::Dark);
    QColor bottom = palette().color(QPalette::Light);
    if (cut == bvRaised)
      std::swap(top, bottom);
    else if (cut == bvSpace)
      top = bottom = ToQColor(FColor);
    for (int i = 0; i < FBevelWidth && r.width() > 0 && r.height() > 0; ++i) {
      p.fillRect(r.left(), r.top(), r.width(), 1, top);
      p.fillRect(r.left(), r.top(), 1, r.height(), top);
      p.fillRect(r.left(), r.bottom(), r.width(), 1, bottom);
      p.fillRect(r.right(), r.top(), 1, r.height(), bottom);
      r.adjust(1, 1, -1, -1);
    }
  };
  bevel(FBevelOuter);
  r.adjust(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
  bevel(FBevelInner);

  const QRect inner = InnerRect();
  if (FColor == clWhite)
    Canvas.FrameRect(inner.left(), inner.top(), inner.left() + inner.width(),
                     inner.top() + inner.height(), clBlack);
  Canvas.BrushColor = FColor;
  Canvas.BrushClear = true;
  DrawTo(Canvas);
}

void TCustomGraph::EnsureScreenSize()
{
  const qreal dpr = devicePixelRatioF();
  const QSize physical = (QSizeF(size()) * dpr).toSize().expandedTo(QSize(1, 1));
  if (FScreen.size() == physical && FScreen.devicePixelRatio() == dpr)
    return;
  FScreen = QImage(physical, QImage::Format_RGB32);
  FScreen.setDevicePixelRatio(dpr);
  FScreen.fill(Qt::white);
  FSnapshot = FScreen.copy();
  FNeedRender = true;
}

void TCustomGraph::RenderScreen()
{
  QPainter p(&FScreen);
  p.setFont(font());
  TGraphCanvas canvas(p, FFontColor, FScreenPenWidth, &FScreen);
  Paint(canvas);
  canvas.Flush();
  FScreenPenWidth = canvas.PenWidth;
}

void TCustomGraph::TakeSnapshot(TGraphCanvas& Canvas)
{
  if (Canvas.Target() != &FScreen)
    return; // clipboard and printer drawings are not what the screen shows
  Canvas.Flush();
  if (FSnapshot.size() != FScreen.size() || FSnapshot.format() != FScreen.format()) {
    FSnapshot = FScreen.copy();
    return;
  }
  // Same size every frame: copy into the kept buffer instead of allocating.
  std::memcpy(FSnapshot.bits(), FScreen.constBits(), std::size_t(FScreen.sizeInBytes()));
  FSnapshot.setDevicePixelRatio(FScreen.devicePixelRatio());
}

void TCustomGraph::RestoreImage()
{
  EnsureScreenSize();
  if (FSnapshot.size() == FScreen.size())
    std::memcpy(FScreen.bits(), FSnapshot.constBits(), std::size_t(FScreen.sizeInBytes()));
  update();
}

void TCustomGraph::paintEvent(QPaintEvent* Event)
{
  EnsureScreenSize();
  if (FNeedRender) {
    FNeedRender = false;
    RenderScreen();
  }
  QPainter p(this);
  p.drawImage(Event->rect(), FScreen,
              QRectF(Event->rect().topLeft() * FScreen.devicePixelRatio(),
                     QSizeF(Event->rect().size()) * FScreen.devicePixelRatio()));
}

void TCustomGraph::resizeEvent(QResizeEvent* Event)
{
  QWidget::resizeEvent(Event);
  // Rendering sends the pending resize of a hidden widget again and again:
  // only a real change of size asks for a new drawing.
  if (size() == FLastSize)
    return;
  FLastSize = size();
  EnsureScreenSize();
  Invalidate();
  if (OnResize)
    OnResize(this);
}

void TCustomGraph::changeEvent(QEvent* Event)
{
  QWidget::changeEvent(Event);
  if (Event->type() == QEvent::FontChange || Event->type() == QEvent::LocaleChange ||
      Event->type() == QEvent::PaletteChange)
    Invalidate();
}

void TCustomGraph::EmitMouse(const TMouseEvent& Handler, QMouseEvent* Event)
{
  if (!Handler)
    return;
  // Logical pixels, floored: on a scaled screen both device pixels of one
  // logical pixel read the same value as the plain screen does.
  const QPointF pos = Event->position();
  Handler(this, Event->button(), Event->modifiers(), int(std::floor(pos.x())),
          int(std::floor(pos.y())));
}

void TCustomGraph::mousePressEvent(QMouseEvent* Event)
{
  EmitMouse(OnMouseDown, Event);
}
void TCustomGraph::mouseMoveEvent(QMouseEvent* Event)
{
  EmitMouse(OnMouseMove, Event);
}

void TCustomGraph::mouseReleaseEvent(QMouseEvent* Event)
{
  EmitMouse(OnMouseUp, Event);
  if (OnClick && rect().contains(Event->position().toPoint()))
    OnClick(this);
}

void TCustomGraph::mouseDoubleClickEvent(QMouseEvent* Event)
{
  EmitMouse(OnMouseDown, Event);
  if (OnDblClick)
    OnDblClick(this);
}

QImage TCustomGraph::CopyImage()
{
  const QRect inner = InnerRect();
  QImage image(std::max(inner.width(), 1), std::max(inner.height(), 1), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setFont(QApplication::font()); // a fresh canvas's font, not the graph's
  TGraphCanvas canvas(p, clBlack, 1, &image);
  DrawTo(canvas);
  canvas.Flush();
  return image;
}

void TCustomGraph::CopyToClipboard()
{
  QGuiApplication::clipboard()->setImage(CopyImage());
}

bool TCustomGraph::PrintTo(QPrinter& Printer)
{
  const QRect inner = InnerRect();
  const int w = inner.width();
  const int h = inner.height();
  if (w <= 0 || h <= 0)
    return false;
  QPainter p;
  if (!p.begin(&Printer))
    return false;
  const QRect page = p.viewport();
  int destW = 0;
  int destH = 0;
  PrintPlacement(page.width(), page.height(), w, h, destW, destH);
  p.scale(double(destW) / w, double(destH) / h);
  // The picture is laid out in screen pixels and then stretched onto the
  // page, so its font is sized in those pixels too, not in printer points.
  QFont f = QApplication::font();
  f.setPixelSize(std::max(QFontInfo(QApplication::font()).pixelSize(), 1));
  p.setFont(f);
  {
    TGraphCanvas canvas(p, clBlack, 1);
    canvas.FillRect(0, 0, w, h, FColor);
    DrawTo(canvas);
  }
  return p.end();
}

bool TCustomGraph::Print()
{
  const std::unique_ptr<QPrinter> printer = ChoosePrinter(this, AskPdfFileName);
  return printer && PrintTo(*printer);
}

// ------------------------------------------------------------------ TGraphBox

TGraphBox::TGraphBox(QWidget* Parent) : TCustomGraph(Parent)
{
  FXAxis.OnChange = [this](TAxisParams* s) { AxisChanged(s); };
  FYAxis.OnChange = [this](TAxisParams* s) { AxisChanged(s); };
  FTitle.OnChange = [this](TGraphTitle* s) { TitleChanged(s); };
  for (TAxisParams* a : {&FXAxis, &FYAxis}) {
    a->SetLines(3);
    a->SetMin(0);
    a->SetMax(75);
  }
  SetDecimals1(0);
  SetDecimals2(0);
  SetDefaultData(true);
  FXAxis.SetShowLabels(true);
  FYAxis.SetShowLabels(true);
  SetGraphType(gtHorzBar);
}

TGraphBox::~TGraphBox()
{
  FXAxis.OnChange = nullptr;
  FYAxis.OnChange = nullptr;
  FTitle.OnChange = nullptr;
}

void TGraphBox::AxisChanged(TAxisParams*)
{
  Invalidate();
}
void TGraphBox::TitleChanged(TGraphTitle*)
{
  Invalidate();
}

void TGraphBox::SetGraphType(TGraphType Value)
{
  if (Assign(FGraphType, Value))
    Invalidate();
}

void TGraphBox::SetDefaultData(bool Value)
{
  if (!Assign(FDefaultData, Value))
    return;
  if (Value) {
    constexpr TColor green = MakeColor(0, 128, 0);
    AddPoint(0, clRed, 10, 10, 5.0);
    AddPoint(0, green, 15, 25, 5.0);
    AddPoint(0, clBlue, 50, 50, 5.0);
    AddPoint(0, clSilver, 128, 100, 5.0);
  } else {
    Clear();
  }
}

void TGraphBox::SetXRange(int Lines, double Min, double Max)
{
  FXAxis.SetLines(Lines);
  FXAxis.SetMin(Min);
  FXAxis.SetMax(Max);
  Invalidate();
}

void TGraphBox::SetYRange(double Min, double Max, double Step)
{
  const TFittedRange r = FitRange(Min, Max, Step);
  if (FYAxis.Lines() == r.Lines && FYAxis.Min() == r.Min && FYAxis.Max() == r.Max)
    return;
  FYAxis.SetLines(r.Lines);
  FYAxis.SetMin(r.Min);
  FYAxis.SetMax(r.Max);
  Invalidate();
}

void TGraphBox::PixelToValue(int X, int Y, double& XValue, double& YValue) const
{
  FMap.PixelToValue(X, Y, XValue, YValue);
}

QPoint TGraphBox::ValueToPixel(double X, double Y) const
{
  int px = 0;
  int py = 0;
  FMap.ValueToPixel(X, Y, px, py);
  return {px, py};
}

void TGraphBox::MoveToPlot(TGraphCanvas& C, int PX, int PY)
{
  C.MoveTo(FMap.OriginX + PX, FMap.OriginY - PY);
}

void TGraphBox::LineToPlot(TGraphCanvas& C, int PX, int PY, TColor Color)
{
  C.PenColor = Color;
  int x = FMap.OriginX + PX;
  int y = FMap.OriginY - PY;
  if (DrawLastPixel()) {
    const QPoint target(x, y);
    ExtendLineEnd(C.PenPos.x(), C.PenPos.y(), x, y);
    C.LineTo(x, y);
    C.Flush();
    // The pen stays at the point asked for, so the next segment starts there.
    C.MoveTo(target.x(), target.y());
  } else {
    C.LineTo(x, y);
  }
}

void TGraphBox::WithCanvas(const std::function<void(TGraphCanvas&)>& Draw)
{
  if (FDrawCanvas) {
    Draw(*FDrawCanvas);
    return;
  }
  // Outside a paint: draw straight onto the graph as shown.
  QImage& screen = ScreenImage();
  if (screen.isNull())
    return;
  QPainter p(&screen);
  p.setFont(font());
  TGraphCanvas canvas(p, FontColor(), 1, &screen);
  canvas.PenPos = FScreenPenPos;
  Draw(canvas);
  canvas.Flush();
  FScreenPenPos = canvas.PenPos;
  ScreenChanged();
}

void TGraphBox::MoveToValue(double X, double Y)
{
  int px = 0;
  int py = 0;
  FMap.ValueToPlot(X, Y, px, py);
  WithCanvas([&](TGraphCanvas& c) { MoveToPlot(c, px, py); });
}

void TGraphBox::LineToValue(TColor Color, double X, double Y)
{
  int px = 0;
  int py = 0;
  FMap.ValueToPlot(X, Y, px, py);
  WithCanvas([&](TGraphCanvas& c) { LineToPlot(c, px, py, Color); });
}

QString TGraphBox::LabelText(const TAxisParams& Axis, double V, int Decimals) const
{
  return FormatFixed(Axis.AxisValue(V), Decimals) + Axis.Units();
}

void TGraphBox::DrawLayout(TGraphCanvas& C)
{
  // The border holds the title and the X labels, so it grows with the font.
  const int gb = DesignPixels(GraphBorder(), DesignScale(font()));
  const int w = width();
  const int h = height();
  int l = 0;
  if (FYAxis.ShowLabels()) {
    // Measured in the graph's own font whatever canvas is drawn on.
    const QFontMetrics fm(font());
    const double a = YRelativeLabels ? 0.0 : FYAxis.Min();
    const double b = YRelativeLabels ? FYAxis.Max() - FYAxis.Min() : FYAxis.Max();
    for (double v : {a, b}) {
      const QString t = FYAxis.ExponentLabels()
                            ? QStringLiteral("10^") + QString::number(Trunc(std::log10(v)))
                            : LabelText(FYAxis, v, Decimals1());
      l = std::max(l, fm.horizontalAdvance(t));
    }
  }
  if (l != 0) {
    FPlotLeft = l + BevelWidth() + BorderWidth() + gb / 3;
    FPlotRight = w - (gb - gb / 3);
  } else {
    FPlotLeft = gb;
    FPlotRight = w - gb;
  }
  FPlotTop = gb;
  FPlotBottom = h - gb;
  FPlotWidth = std::abs(FPlotRight - FPlotLeft);
  FPlotHeight = std::abs(FPlotBottom - FPlotTop);
  FMap.OriginX = FPlotLeft;
  FMap.OriginY = FPlotBottom;

  C.PenStyle = Qt::SolidLine;
  C.MoveTo(FPlotLeft, FPlotBottom);
  C.LineTo(FPlotRight, FPlotBottom);
  C.LineTo(FPlotRight, FPlotTop);
  C.LineTo(FPlotLeft, FPlotTop);
  C.LineTo(FPlotLeft, FPlotBottom);
}

void TGraphBox::DrawTitle(TGraphCanvas& C)
{
  if (!FTitle.ShowCaption())
    return;
  const QString& s = FTitle.Caption();
  const int tw = C.TextWidth(s);
  const int th = C.TextHeight(s);
  const int y = (FPlotTop - th) / 2;
  int x = (width() - tw) / 2;
  if (FTitle.Position() == tpLeft)
    x = FPlotLeft + 2;
  else if (FTitle.Position() == tpRight)
    x = FPlotRight - tw - 2;
  C.TextRect(x, y, x + tw + 1, y + th, x, y, s);
  if (FTitle.Boxed())
    C.FrameRect(x - 2, y - 2, x + tw + 3, y + th + 2, clBlack);
}

void TGraphBox::DrawLinearX(TGraphCanvas& C)
{
  const double mn = FXAxis.Min();
  const double mx = FXAxis.Max();
  const int lines = FXAxis.Lines();
  const double span = mx - mn;
  FMap.XLog = false;
  FMap.XScale = AxisScale(FPlotWidth, span);
  FMap.XStart = mn;
  const double step = double(FPlotWidth) / lines;
  for (int i = 1; i <= lines; ++i) {
    MoveToPlot(C, Round(i * static_cast<long double>(step)), 0);
    LineToPlot(C, Round(i * static_cast<long double>(step)), FPlotHeight, GridColor());
  }
  if (!FXAxis.ShowLabels())
    return;
  const double valueStep = span / lines;
  double v = mn;
  if (XRelativeLabels)
    v = mx > mn ? 0 : mn - mx;
  for (int k = 0; k <= lines; ++k) {
    const QString t = LabelText(FXAxis, v, Decimals2());
    if (k % FXAxis.LabelModulo() == 0)
      C.TextOut(Round(k * static_cast<long double>(step) + FMap.OriginX) -
                    MulDiv(C.TextWidth(t), 65, 100),
                FMap.OriginY + 1, t);
    v += valueStep;
  }
}

void TGraphBox::DrawLinearY(TGraphCanvas& C)
{
  const double mn = FYAxis.Min();
  const double mx = FYAxis.Max();
  const int lines = FYAxis.Lines();
  const double span = mx - mn;
  FMap.YLog = false;
  FMap.YScale = AxisScale(FPlotHeight, span);
  FMap.YStart = mn;
  C.BaselineAlign = true;
  const double valueStep = span / lines;
  const double pixelStep = double(FPlotHeight) / lines;
  double v = mn;
  if (YRelativeLabels)
    v = mx > mn ? 0 : mn - mx;
  for (int k = 0; k <= lines; ++k) {
    const int py = Round(k * static_cast<long double>(pixelStep));
    MoveToPlot(C, 0, py);
    LineToPlot(C, FPlotWidth, py, GridColor());
    if (FYAxis.ShowLabels() && k % FYAxis.LabelModulo() == 0) {
      const QString t = LabelText(FYAxis, v, Decimals1());
      C.TextOut(FMap.OriginX - C.TextWidth(t) - 2,
                Round(FMap.OriginY - k * static_cast<long double>(pixelStep)), t);
    }
    v += valueStep;
  }
}

void TGraphBox::TextOutSuperscript(TGraphCanvas& C, const QString& Text, int X, int Y)
{
  const int h = C.TextHeight(Text);
  bool raised = false;
  for (const QChar ch : Text) {
    if (ch == QLatin1Char('^')) {
      raised = true;
      continue;
    }
    const QString s(ch);
    C.TextOut(X, raised ? Y - h / 2 : Y, s);
    X += C.TextWidth(s);
  }
}

void TGraphBox::DrawLogX(TGraphCanvas& C)
{
  const double mn = FXAxis.Min() > 0 ? FXAxis.Min() : 1.0;
  const double mx = FXAxis.Max();
  FMap.XLog = true;
  FMap.XStart = std::log10(mn);
  FMap.XScale = AxisScale(FPlotWidth, std::log10(mx) - std::log10(mn));
  const auto tickPixel = [this](double v) {
    return Trunc((static_cast<long double>(std::log10(v)) - FMap.XStart) * FMap.XScale);
  };
  ForEachLogTick(mn, mx, [&](int m, int e, bool decade) {
    if (!decade && !FXAxis.MinorLines())
      return;
    C.PenStyle = decade ? Qt::SolidLine : Qt::DotLine;
    const int px = tickPixel(LogTickValue(m, e));
    MoveToPlot(C, px, 0);
    LineToPlot(C, px, FPlotHeight, GridColor());
  });
  if (FXAxis.ShowLabels()) {
    ForEachLogTick(mn, mx, [&](int m, int e, bool decade) {
      if (!decade && !FXAxis.MinorLabels())
        return;
      const double v = LogTickValue(m, e);
      int x = FMap.OriginX + tickPixel(v);
      int y = FMap.OriginY + 1;
      QString t;
      if (decade && FXAxis.ExponentLabels()) {
        t = QStringLiteral("10^") + QString::number(e);
        y += MulDiv(C.TextHeight(t), 40, 100);
      } else if (decade) {
        t = LabelText(FXAxis, v, Decimals2());
      } else {
        t = QString::number(m);
        x -= MulDiv(C.TextWidth(t), 65, 100);
      }
      TextOutSuperscript(C, t, x, y);
    });
  }
  C.PenStyle = Qt::SolidLine;
}

void TGraphBox::DrawLogY(TGraphCanvas& C)
{
  const double mn = FYAxis.Min() > 0 ? FYAxis.Min() : 1.0;
  const double mx = FYAxis.Max();
  FMap.YLog = true;
  FMap.YStart = std::log10(mn);
  FMap.YScale = AxisScale(FPlotHeight, std::log10(mx) - std::log10(mn));
  C.BaselineAlign = true;
  const auto tickPixel = [this](double v) {
    return Trunc((static_cast<long double>(std::log10(v)) - FMap.YStart) * FMap.YScale);
  };
  ForEachLogTick(mn, mx, [&](int m, int e, bool decade) {
    if (!decade && !FYAxis.MinorLines())
      return;
    C.PenStyle = decade ? Qt::SolidLine : Qt::DotLine;
    const int py = tickPixel(LogTickValue(m, e));
    MoveToPlot(C, 0, py);
    LineToPlot(C, FPlotWidth, py, GridColor());
  });
  if (FYAxis.ShowLabels()) {
    ForEachLogTick(mn, mx, [&](int m, int e, bool decade) {
      if (!decade && !FYAxis.MinorLabels())
        return;
      const double v = LogTickValue(m, e);
      int py = tickPixel(v);
      QString t;
      if (decade && FYAxis.ExponentLabels()) {
        t = QStringLiteral("10^") + QString::number(e);
      } else if (decade) {
        t = LabelText(FYAxis, v, Decimals1());
      } else {
        t = QString::number(m);
        py -= C.TextHeight(QStringLiteral("H")) / 2;
      }
      TextOutSuperscript(C, t, FMap.OriginX - C.TextWidth(t) - 2, FMap.OriginY - py);
    });
  }
  C.PenStyle = Qt::SolidLine;
}

void TGraphBox::DrawLines(TGraphCanvas& C)
{
  C.PenColor = clRed;
  const std::int64_t total = PointCount();
  std::int64_t seen = 0;
  for (int s = MinSeries; s < MaxSeries; ++s) {
    const std::int64_t count = SeriesCount(s);
    if (count == 0)
      continue;
    if (seen >= total)
      break;
    const std::int64_t step = ThinningStep(count, width());
    if (s < 0) {
      ForEachSeriesPoint(s, step, [&](double x, double y, double size, TColor color) {
        int px = 0;
        int py = 0;
        FMap.ValueToPixel(x, y, px, py);
        const int r = TPlotMapping::TruncOffset(size);
        C.PenColor = clBlack;
        C.BrushColor = color;
        C.BrushClear = false;
        C.Ellipse(px - r, py - r, px + r, py + r);
      });
    } else {
      bool first = true;
      ForEachSeriesPoint(s, step, [&](double x, double y, double size, TColor color) {
        C.PenWidth = std::max(TPlotMapping::TruncOffset(size), 0);
        int px = 0;
        int py = 0;
        FMap.ValueToPlot(x, y, px, py);
        if (first) {
          MoveToPlot(C, px, py);
          first = false;
        } else {
          LineToPlot(C, px, py, color);
        }
      });
    }
    C.BrushClear = true;
    if (HasCaptions()) {
      for (const TDataPoint& p : Points()) {
        if (p.Series != s || p.CaptionIndex < 0)
          continue;
        const QPoint at = ValueToPixel(p.X, p.Y);
        C.TextOut(at.x(), at.y(), Caption(p));
      }
    }
    seen += count;
  }
}

void TGraphBox::DrawBars(TGraphCanvas& C)
{
  const bool horizontal = FGraphType == gtHorzBar;
  ForEachPoint([&](double x, double y, double size, TColor color) {
    QPoint a;
    QPoint b;
    if (horizontal) {
      a = ValueToPixel(0, y - size / 2);
      b = ValueToPixel(x, y + size / 2);
    } else {
      a = ValueToPixel(x - size / 2, y);
      b = ValueToPixel(x + size / 2, 0);
    }
    C.BrushColor = color;
    C.BrushClear = false;
    C.PenColor = GridColor();
    C.Rectangle(a.x(), a.y(), b.x(), b.y());
  });
}

void TGraphBox::DrawTo(TGraphCanvas& Canvas)
{
  FDrawCanvas = &Canvas;
  // Even when OnPaint throws, no stale canvas may outlive this drawing.
  struct Reset
  {
    TGraphCanvas*& Ref;
    ~Reset() { Ref = nullptr; }
  } reset{FDrawCanvas};
  Canvas.PenColor = GridColor();
  DrawLayout(Canvas);
  Canvas.PenColor = GridColor();
  DrawTitle(Canvas);
  if (FXAxis.Log())
    DrawLogX(Canvas);
  else
    DrawLinearX(Canvas);
  if (FYAxis.Log())
    DrawLogY(Canvas);
  else
    DrawLinearY(Canvas);
  // Points may cover the left, top and bottom frame lines, never the right one.
  Canvas.SetClipRect(
      QRect(FPlotLeft, FPlotTop, FPlotRight - FPlotLeft, FPlotBottom + 1 - FPlotTop));
  if (FGraphType == gtLine)
    DrawLines(Canvas);
  else
    DrawBars(Canvas);
  Canvas.RemoveClip();
  TakeSnapshot(Canvas);
  if (OnPaint)
    OnPaint(this);
  Canvas.Flush();
}

} // namespace duv
