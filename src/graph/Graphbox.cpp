// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/Graphbox.h"

#include "graph/FontMeasure.h"

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

// ------------------------------------------------------------------ TGraphBox

namespace {
// The font of the canvas drawn on (a printer's), as the layout measures
// text; the graph's own font is a TFontMeasure.
class TCanvasMeasure final : public TTextMeasure
{
public:
  explicit TCanvasMeasure(const TGraphCanvas& Canvas) : FCanvas(Canvas) {}
  int Width(const QString& Text) const override { return FCanvas.TextWidth(Text); }
  int Height() const override { return FCanvas.TextHeight(QString()); }
  int DigitHeight() const override { return FCanvas.DigitHeight(); }

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
  FNavigator = new TViewNavigator(*this, *this);
}

QRect TGraphBox::NavigationPlot() const
{
  const TGraphLayout& L = Layout();
  return QRect(QPoint(L.PlotLeft, L.PlotTop), QPoint(L.PlotRight, L.PlotBottom));
}

bool TGraphBox::NavigationAxis(bool Vertical, TAxisView& Axis) const
{
  const TGraphLayout& L = Layout();
  const TAxisParams& a = Vertical ? FYAxis : FXAxis;
  Axis.Range = {a.Log() && !(a.Min() > 0) ? 1.0 : a.Min(), a.Max()};
  Axis.Log = a.Log();
  Axis.Start = Vertical ? L.PlotBottom : L.PlotLeft;
  Axis.Length = Vertical ? -L.PlotHeight : L.PlotWidth;
  Axis.Limits = a.ZoomLimits();
  return true;
}

void TGraphBox::SetNavigationRange(bool Vertical, const TAxisRange& Range)
{
  TAxisParams& a = Vertical ? FYAxis : FXAxis;
  a.SetMin(Range.Min);
  a.SetMax(Range.Max);
}

void TGraphBox::ResetNavigation()
{
  Q_EMIT OnResetView(this);
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

void TGraphBox::SetRoundTicks(bool Value)
{
  if (Assign(FRoundTicks, Value))
    Changed(TChange::Layout);
}

void TGraphBox::SetLegend(const std::vector<TLegendItem>& Value)
{
  if (Assign(FLegend, Value))
    Changed(TChange::Paint);
}

bool TGraphBox::PlotContains(int X, int Y) const
{
  const TGraphLayout& L = Layout();
  return X >= L.PlotLeft && X <= L.PlotRight && Y >= L.PlotTop && Y <= L.PlotBottom;
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
  f.RoundTicks = FRoundTicks;
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
    if (FDrawOnScreen) {
      // The snapshot keeps the drawing as it was before this overlay.
      FDrawCanvas->Flush();
      BeginOverlay();
    }
    Draw(*FDrawCanvas);
    return;
  }
  // Outside a paint: draw straight onto the graph as shown.
  QImage& screen = ScreenImage();
  if (screen.isNull())
    return;
  BeginOverlay();
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

void TGraphBox::DrawLegend(TGraphCanvas& C, const TGraphLayout& L)
{
  if (FLegend.empty())
    return;
  // Right to left from the plot's right edge, vertically centred in the top
  // border as the title is: a line sample, a space, the caption.
  const int sample = C.TextWidth(QStringLiteral("MM"));
  const int space = std::max(C.TextWidth(QStringLiteral("0")), 2);
  const int h = C.TextHeight(QString());
  const int y = (L.PlotTop - h) / 2;
  int right = L.PlotRight;
  for (auto item = FLegend.rbegin(); item != FLegend.rend(); ++item) {
    const int w = C.TextWidth(item->Caption);
    const int left = right - sample - space - w;
    C.FillRect(left, y + h / 2 - 1, left + sample, y + h / 2 + 1, item->Color);
    C.TextOut(left + sample + space, y, item->Caption);
    right = left - 2 * space;
  }
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
  const int last = std::min(Store().HighestSeries(), MaxSeries - 1);
  for (int s = std::max(Store().LowestSeries(), int(MinSeries)); s <= last; ++s) {
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

void TGraphBox::DrawStatic(TGraphCanvas& C, const TGraphLayout& L)
{
  C.PenColor = GridColor();
  DrawFrame(C, L);
  C.PenColor = GridColor();
  DrawTitle(C, L);
  DrawLegend(C, L);
  DrawAxis(C, L, false);
  C.BaselineAlign = true; // for the Y labels and then the point captions
  DrawAxis(C, L, true);
}

void TGraphBox::DrawPoints(TGraphCanvas& C, const TGraphLayout& L)
{
  C.BaselineAlign = true;
  // Points may cover the left, top and bottom frame lines, never the right one.
  C.SetClipRect(PointClip(L));
  if (FGraphType == gtLine)
    DrawLines(C);
  else
    DrawBars(C);
  C.RemoveClip();
}

QRect TGraphBox::PointClip(const TGraphLayout& L)
{
  return QRect(L.PlotLeft, L.PlotTop, L.PlotRight - L.PlotLeft, L.PlotBottom + 1 - L.PlotTop);
}

QRect TGraphBox::DataRect() const
{
  return PointClip(Layout());
}

void TGraphBox::DrawBackground(TGraphCanvas& Canvas)
{
  DrawStatic(Canvas, Layout());
}

void TGraphBox::DrawForeground(TGraphCanvas& Canvas)
{
  FDrawCanvas = &Canvas;
  FDrawOnScreen = true;
  // Even when OnPaint throws, no stale canvas may outlive this drawing.
  struct Reset
  {
    TGraphCanvas*& Ref;
    ~Reset() { Ref = nullptr; }
  } reset{FDrawCanvas};
  DrawPoints(Canvas, Layout());
  if (OnPaint)
    OnPaint(this);
  Canvas.Flush();
}

void TGraphBox::DrawTo(TGraphCanvas& Canvas)
{
  FDrawCanvas = &Canvas;
  FDrawOnScreen = false;
  struct Reset
  {
    TGraphCanvas*& Ref;
    ~Reset() { Ref = nullptr; }
  } reset{FDrawCanvas};
  // A copy or a print draws its labels in the canvas's font; the plot, the
  // mapping and the grid stay those of the screen.
  Layout(); // brings the mapping up to date
  const TGraphLayout L = MakeLayout(TCanvasMeasure(Canvas));
  DrawStatic(Canvas, L);
  DrawPoints(Canvas, L);
  if (OnPaint)
    OnPaint(this);
  Canvas.Flush();
}

} // namespace duv
