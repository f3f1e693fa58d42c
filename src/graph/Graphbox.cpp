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
      C.TextOutSuperscript(x, y, t);
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
      C.TextOutSuperscript(FMap.OriginX - C.TextWidth(t) - 2, FMap.OriginY - py, t);
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
      Store().ForEachSeriesPoint(s, step, [&](double x, double y, double size, TColor color) {
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
      Store().ForEachSeriesPoint(s, step, [&](double x, double y, double size, TColor color) {
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
