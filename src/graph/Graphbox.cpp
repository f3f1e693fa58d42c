// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <optional>

namespace duv {

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
    Changed(TChange::Paint);
}

void TCustomGraph::SetGraphBorder(int Value)
{
  if (Assign(FGraphBorder, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::SetDecimals1(int Value)
{
  if (Assign(FDecimals1, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::SetDecimals2(int Value)
{
  if (Assign(FDecimals2, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::SetDrawLastPixel(bool Value)
{
  if (Assign(FDrawLastPixel, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetColor(TColor Value)
{
  if (Assign(FColor, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetFontColor(TColor Value)
{
  if (Assign(FFontColor, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetBevelOuter(TBevelCut Value)
{
  if (Assign(FBevelOuter, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetBevelInner(TBevelCut Value)
{
  if (Assign(FBevelInner, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetBevelWidth(int Value)
{
  if (Assign(FBevelWidth, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::SetBorderWidth(int Value)
{
  if (Assign(FBorderWidth, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::Changed(TChange What)
{
  if (What == TChange::Layout)
    LayoutChanged();
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
  FStore.Clear();
  Invalidate();
}

void TCustomGraph::AddPoint(int Series, const QString& Caption, double X, double Y, double Size,
                            TColor Color)
{
  if (FStore.Add(Series, Caption, X, Y, Size, Color) && !FUpdating)
    Invalidate();
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
  if (!IsScreen(Canvas))
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
  Changed(TChange::Layout);
  Q_EMIT OnResize(this);
}

void TCustomGraph::changeEvent(QEvent* Event)
{
  QWidget::changeEvent(Event);
  // The font sizes the margins and the labels; the locale writes the labels.
  if (Event->type() == QEvent::FontChange || Event->type() == QEvent::LocaleChange)
    Changed(TChange::Layout);
  else if (Event->type() == QEvent::PaletteChange)
    Changed(TChange::Paint);
}

void TCustomGraph::EmitMouse(TMouseKind Kind, QMouseEvent* Event)
{
  // Logical pixels, floored: on a scaled screen both device pixels of one
  // logical pixel read the same value as the plain screen does.
  const QPointF pos = Event->position();
  const int x = int(std::floor(pos.x())), y = int(std::floor(pos.y()));
  switch (Kind) {
  case TMouseKind::Down:
    Q_EMIT OnMouseDown(this, Event->button(), Event->modifiers(), x, y);
    break;
  case TMouseKind::Move:
    Q_EMIT OnMouseMove(this, Event->button(), Event->modifiers(), x, y);
    break;
  case TMouseKind::Up:
    Q_EMIT OnMouseUp(this, Event->button(), Event->modifiers(), x, y);
    break;
  }
}

void TCustomGraph::mousePressEvent(QMouseEvent* Event)
{
  EmitMouse(TMouseKind::Down, Event);
}
void TCustomGraph::mouseMoveEvent(QMouseEvent* Event)
{
  EmitMouse(TMouseKind::Move, Event);
}

void TCustomGraph::mouseReleaseEvent(QMouseEvent* Event)
{
  EmitMouse(TMouseKind::Up, Event);
  if (rect().contains(Event->position().toPoint()))
    Q_EMIT OnClick(this);
}

void TCustomGraph::mouseDoubleClickEvent(QMouseEvent* Event)
{
  EmitMouse(TMouseKind::Down, Event);
  Q_EMIT OnDblClick(this);
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

void TCustomGraph::PrintTo(QPrinter& Printer)
{
  const QRect inner = InnerRect();
  const int w = inner.width();
  const int h = inner.height();
  if (w <= 0 || h <= 0)
    return;
  PrintPage(Printer, "The graph could not be printed.", [&](QPainter& p) {
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
    TGraphCanvas canvas(p, clBlack, 1);
    canvas.FillRect(0, 0, w, h, FColor);
    DrawTo(canvas);
  });
}

void TCustomGraph::Print()
{
  const std::unique_ptr<QPrinter> printer = ChoosePrinter(this, AskPdfFileName);
  if (printer) // none: the user cancelled the PDF file dialog
    PrintTo(*printer);
}

// ------------------------------------------------------------------ TGraphBox

namespace {
// The graph's own font, or the font of the canvas drawn on, as the layout
// measures text.
class TFontMeasure final : public TTextMeasure
{
public:
  explicit TFontMeasure(const QFont& Font) : FMetrics(Font) {}
  int Width(const QString& Text) const override { return FMetrics.horizontalAdvance(Text); }
  int Height() const override { return FMetrics.height(); }

private:
  QFontMetrics FMetrics;
};

class TCanvasMeasure final : public TTextMeasure
{
public:
  explicit TCanvasMeasure(const TGraphCanvas& Canvas) : FCanvas(Canvas) {}
  int Width(const QString& Text) const override { return FCanvas.TextWidth(Text); }
  int Height() const override { return FCanvas.TextHeight(QString()); }

private:
  const TGraphCanvas& FCanvas;
};
} // namespace

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
  Changed(TChange::Layout);
}
void TGraphBox::TitleChanged(TGraphTitle*)
{
  Changed(TChange::Layout);
}

void TGraphBox::SetGraphType(TGraphType Value)
{
  if (Assign(FGraphType, Value))
    Changed(TChange::Paint);
}

void TGraphBox::SetXRelativeLabels(bool Value)
{
  if (Assign(FXRelativeLabels, Value))
    Changed(TChange::Layout);
}

void TGraphBox::SetYRelativeLabels(bool Value)
{
  if (Assign(FYRelativeLabels, Value))
    Changed(TChange::Layout);
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

TGraphLayout TGraphBox::MakeLayout(const TTextMeasure& LabelFont) const
{
  TGraphFrame f;
  f.Width = width();
  f.Height = height();
  // The border holds the title and the X labels, so it grows with the font.
  f.Border = DesignPixels(GraphBorder(), DesignScale(font()));
  f.BevelWidth = BevelWidth();
  f.BorderWidth = BorderWidth();
  f.XDecimals = Decimals2();
  f.YDecimals = Decimals1();
  f.XRelativeLabels = FXRelativeLabels;
  f.YRelativeLabels = FYRelativeLabels;
  // The margin is measured in the graph's own font whatever canvas is drawn on.
  return ComputeGraphLayout(f, FXAxis, FYAxis, FTitle, TFontMeasure(font()), LabelFont);
}

void TGraphBox::UpdateLayout() const
{
  FLayout = MakeLayout(TFontMeasure(font()));
  FLayoutSize = size();
}

void TGraphBox::LayoutChanged()
{
  UpdateLayout();
}

const TGraphLayout& TGraphBox::Layout() const
{
  // A hidden widget is resized without a resize event: catch that here.
  if (FLayoutSize != size())
    UpdateLayout();
  return FLayout;
}

void TGraphBox::PixelToValue(int X, int Y, double& XValue, double& YValue) const
{
  Layout().Mapping.PixelToValue(X, Y, XValue, YValue);
}

QPoint TGraphBox::ValueToPixel(double X, double Y) const
{
  int px = 0;
  int py = 0;
  Layout().Mapping.ValueToPixel(X, Y, px, py);
  return {px, py};
}

// MoveToPlot and LineToPlot run for every drawn point: they read the kept
// mapping, which their callers have brought up to date through Layout().
void TGraphBox::MoveToPlot(TGraphCanvas& C, int PX, int PY)
{
  const TPlotMapping& m = FLayout.Mapping;
  C.MoveTo(m.OriginX + PX, m.OriginY - PY);
}

void TGraphBox::LineToPlot(TGraphCanvas& C, int PX, int PY, TColor Color)
{
  const TPlotMapping& m = FLayout.Mapping;
  C.PenColor = Color;
  int x = m.OriginX + PX;
  int y = m.OriginY - PY;
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
  Layout().Mapping.ValueToPlot(X, Y, px, py);
  WithCanvas([&](TGraphCanvas& c) { MoveToPlot(c, px, py); });
}

void TGraphBox::LineToValue(TColor Color, double X, double Y)
{
  int px = 0;
  int py = 0;
  Layout().Mapping.ValueToPlot(X, Y, px, py);
  WithCanvas([&](TGraphCanvas& c) { LineToPlot(c, px, py, Color); });
}

void TGraphBox::DrawFrame(TGraphCanvas& C, const TGraphLayout& L)
{
  C.PenStyle = Qt::SolidLine;
  C.MoveTo(L.PlotLeft, L.PlotBottom);
  C.LineTo(L.PlotRight, L.PlotBottom);
  C.LineTo(L.PlotRight, L.PlotTop);
  C.LineTo(L.PlotLeft, L.PlotTop);
  C.LineTo(L.PlotLeft, L.PlotBottom);
}

void TGraphBox::DrawTitle(TGraphCanvas& C, const TGraphLayout& L)
{
  if (!L.ShowTitle)
    return;
  const QRect& r = L.TitleRect;
  const int x = r.left();
  const int y = r.top();
  C.TextRect(x, y, x + r.width() + 1, y + r.height(), x, y, L.Title);
  if (L.TitleBoxed)
    C.FrameRect(x - 2, y - 2, x + r.width() + 3, y + r.height() + 2, clBlack);
}

void TGraphBox::DrawAxis(TGraphCanvas& C, const TGraphLayout& L, bool Vertical)
{
  const std::vector<TAxisTick>& Ticks = Vertical ? L.YTicks : L.XTicks;
  for (const TAxisTick& t : Ticks) {
    if (!t.Grid)
      continue;
    C.PenStyle = t.Major ? Qt::SolidLine : Qt::DotLine;
    if (Vertical) {
      MoveToPlot(C, 0, t.Pixel);
      LineToPlot(C, L.PlotWidth, t.Pixel, GridColor());
    } else {
      MoveToPlot(C, t.Pixel, 0);
      LineToPlot(C, t.Pixel, L.PlotHeight, GridColor());
    }
  }
  C.PenStyle = Qt::SolidLine;
  for (const TAxisTick& t : Ticks) {
    if (!t.Labelled)
      continue;
    if (t.Superscript)
      C.TextOutSuperscript(t.LabelAt.x(), t.LabelAt.y(), t.Label);
    else
      C.TextOut(t.LabelAt.x(), t.LabelAt.y(), t.Label);
  }
}

void TGraphBox::DrawLines(TGraphCanvas& C)
{
  const TPlotMapping& map = FLayout.Mapping;
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
      Store().ForEachSeriesPoint(s, step, [&](double x, double y, double size, TColor color) {
        int px = 0;
        int py = 0;
        map.ValueToPixel(x, y, px, py);
        const int r = TPlotMapping::TruncOffset(size);
        C.PenColor = clBlack;
        C.BrushColor = color;
        C.BrushClear = false;
        C.Ellipse(px - r, py - r, px + r, py + r);
      });
    } else {
      bool first = true;
      Store().ForEachSeriesPoint(s, step, [&](double x, double y, double size, TColor color) {
        C.PenWidth = std::max(TPlotMapping::TruncOffset(size), 0);
        int px = 0;
        int py = 0;
        map.ValueToPlot(x, y, px, py);
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
  Store().ForEachPoint([&](double x, double y, double size, TColor color) {
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
  // The screen draws in the graph's own font, which the kept layout was made
  // for; a copy or a print draws its labels in the canvas's font.
  const TGraphLayout& screen = Layout(); // also brings the mapping up to date
  std::optional<TGraphLayout> other;
  if (!IsScreen(Canvas))
    other = MakeLayout(TCanvasMeasure(Canvas));
  const TGraphLayout& L = other ? *other : screen;
  Canvas.PenColor = GridColor();
  DrawFrame(Canvas, L);
  Canvas.PenColor = GridColor();
  DrawTitle(Canvas, L);
  DrawAxis(Canvas, L, false);
  Canvas.BaselineAlign = true; // for the Y labels and then the point captions
  DrawAxis(Canvas, L, true);
  // Points may cover the left, top and bottom frame lines, never the right one.
  Canvas.SetClipRect(
      QRect(L.PlotLeft, L.PlotTop, L.PlotRight - L.PlotLeft, L.PlotBottom + 1 - L.PlotTop));
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
