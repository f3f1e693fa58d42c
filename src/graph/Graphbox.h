// SPDX-License-Identifier: GPL-3.0-or-later
// The graph panel of the oscilloscope and spectrum views: a compact point
// store, two axes and a title, drawn with pixel-exact layout onto the screen,
// the clipboard or a printer, plus the pixel <-> axis-value mapping that the
// mouse read-outs and overlay markers use.
#pragma once

#include "graph/AxisMath.h"
#include "graph/AxisParams.h"
#include "graph/GraphCanvas.h"
#include "graph/PointStore.h"
#include "graph/ViewNavigator.h"
#include "support/DSupport.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class QPainter;
class QPrinter;

namespace duv {

enum TGraphType { gtLine, gtHorzBar, gtVertBar };
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// The abstract graph panel: point store, update bracket, colours, bevels,
// the snapshot image, copy and print.
class TCustomGraph : public QWidget
{
  Q_OBJECT
public:
  static constexpr int MinSeries = TPointStore::MinSeries;
  static constexpr int MaxSeries = TPointStore::MaxSeries;

  explicit TCustomGraph(QWidget* Parent = nullptr);
  ~TCustomGraph() override;

  // Published properties.
  TColor GridColor() const { return FGridColor; }
  void SetGridColor(TColor Value);
  int GraphBorder() const { return FGraphBorder; }
  void SetGraphBorder(int Value);
  int Decimals1() const { return FDecimals1; }
  void SetDecimals1(int Value);
  int Decimals2() const { return FDecimals2; }
  void SetDecimals2(int Value);
  bool DrawLastPixel() const { return FDrawLastPixel; }
  void SetDrawLastPixel(bool Value);
  bool DefaultData() const { return FDefaultData; }
  virtual void SetDefaultData(bool Value) = 0;

  // Panel properties.
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor Value);
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut Value);
  TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut Value);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int Value);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int Value);

  // Point store.
  void BeginUpdate() { FUpdating = true; }
  void EndUpdate();
  bool Updating() const { return FUpdating; }
  void Clear();
  // Series outside -1024..1024 cannot be drawn and are ignored.
  void AddPoint(int Series, const QString& Caption, double X, double Y, double Size, TColor Color);
  // Adds Samples as points (X = index, Y = sample) of one series, drawn exactly
  // as the same AddPoint calls would be, without a record per sample. With an
  // Owner the samples are read in place and Owner keeps them alive; without
  // one they are copied.
  template <typename T>
  void AddSamples(int Series, TColor Color, std::span<const T> Samples, double Size,
                  const std::shared_ptr<const void>& Owner = {})
  {
    if (FStore.AddSamples(Series, Color, Samples, Size, Owner) && !FUpdating)
      Invalidate();
  }
  // A shared vector of samples, read in place and kept alive by the graph.
  template <typename V>
  void AddSamples(int Series, TColor Color, const std::shared_ptr<V>& Samples, double Size)
  {
    using T = typename std::remove_const_t<V>::value_type;
    if (Samples)
      AddSamples(Series, Color, std::span<const T>(Samples->data(), Samples->size()), Size,
                 std::shared_ptr<const void>(Samples));
  }
  std::int64_t PointCount() const { return FStore.PointCount(); }
  std::int64_t SeriesCount(int Series) const { return FStore.SeriesCount(Series); }
  // The explicitly added points (not sample series), in insertion order.
  const std::vector<TDataPoint>& Points() const { return FStore.Points(); }
  QString Caption(const TDataPoint& Point) const { return FStore.Caption(Point); }
  bool HasCaptions() const { return FStore.HasCaptions(); }

  // Drawing: the whole graph on a copy's or a print's canvas.
  virtual void DrawTo(TGraphCanvas& Canvas) = 0;
  // Shows the graph as of the last paint, without overlays drawn since.
  void RestoreImage();
  // The last drawing without the overlays drawn on it since.
  const QImage& Snapshot() const { return FOverlaid ? FSnapshot : FScreen; }
  // The client area less border and bevels.
  QRect InnerRect() const;
  // Requests one repaint of everything; any number of requests before it
  // give one paint.
  void Invalidate();
  // How many repaints were requested so far.
  int RepaintRequests() const { return FRepaintRequests; }

  // The picture CopyToClipboard puts on the clipboard.
  QImage CopyImage();
  void CopyToClipboard();
  // Prints on the default printer; with none, asks for a PDF file name and
  // prints there (a cancelled dialog prints nothing). A printer that fails
  // throws std::runtime_error for the user to see (see PrintPage).
  void Print();
  // One page on Printer: the graph placed at the top-left, scaled to the page
  // width (or height) keeping its aspect. Vector output. Throws like Print; a
  // collapsed graph prints nothing.
  void PrintTo(QPrinter& Printer);
  // Asks for the PDF file name when the machine has no printer; empty when
  // the user cancels. Replaceable so the path can be exercised unattended.
  std::function<QString(QWidget* Parent)> AskPdfFileName;

  QSize sizeHint() const override { return {90, 90}; }

Q_SIGNALS:
  // Mouse events carry (Sender, Button, Shift, X, Y) in logical pixels. A
  // left press is held back by the navigator until it is known to be a
  // click: OnMouseDown then comes with the release, at the press's point;
  // a drag sends none.
  void OnMouseDown(TCustomGraph* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                   int X, int Y);
  void OnMouseMove(TCustomGraph* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                   int X, int Y);
  void OnMouseUp(TCustomGraph* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X,
                 int Y);
  void OnClick(TCustomGraph* Sender);
  void OnDblClick(TCustomGraph* Sender);
  void OnResize(TCustomGraph* Sender);
  // The pointer left the graph.
  void OnMouseLeave(TCustomGraph* Sender);

protected:
  // What a changed setting touches: the colours only, or also the layout.
  enum class TChange { Paint, Layout };
  // The end of every setter, once the value is stored: lay out again when
  // the setting moves the plot, the ticks or their labels, then ask for a
  // repaint.
  void Changed(TChange What);
  // Makes the layout again; the concrete graph has one.
  virtual void LayoutChanged() {}
  // The points changed and nothing else: only what DataRect covers is drawn
  // again, over the kept background.
  void InvalidateData();

  // A screen paint is the background, kept between paints until a setting,
  // the size or the font changes, and the data drawn over it each time.
  // The panel part of the background: bevels, fill and frame.
  virtual void Paint(TGraphCanvas& Canvas);
  // What the background holds besides the panel: frame, title, axes.
  virtual void DrawBackground(TGraphCanvas& Canvas) = 0;
  // What changes with the points: the points, then the owner's overlays.
  virtual void DrawForeground(TGraphCanvas& Canvas) = 0;
  // The part of the control the points can cover.
  virtual QRect DataRect() const { return rect(); }
  // Keeps the drawing as it is before the first overlay goes on the screen
  // image, for Snapshot and RestoreImage.
  void BeginOverlay();
  // The image the widget shows, overlays included.
  QImage& ScreenImage() { return FScreen; }
  void ScreenChanged() { update(); }

  const TPointStore& Store() const { return FStore; }

  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void leaveEvent(QEvent* Event) override;

  bool FDefaultData = false;

private:
  void RenderScreen();
  void RenderBackground();
  void EnsureScreenSize();
  // Which mouse event a Qt event becomes.
  enum class TMouseKind { Down, Move, Up };
  void EmitMouse(TMouseKind Kind, QMouseEvent* Event);

  TPointStore FStore;
  bool FUpdating = false;

  TColor FGridColor = clBlack;
  int FGraphBorder = 20;
  int FDecimals1 = 0;
  int FDecimals2 = 0;
  bool FDrawLastPixel = false;
  TColor FColor = clWhite;
  TColor FFontColor = clBlack;
  TBevelCut FBevelOuter = bvLowered;
  TBevelCut FBevelInner = bvNone;
  int FBevelWidth = 1;
  int FBorderWidth = 0;

  QImage FScreen;     // what the widget shows, overlays included
  QImage FBackground; // the screen before the points are drawn
  QImage FSnapshot;   // the last drawing without overlays, while there are any
  bool FOverlaid = false;
  bool FNeedRender = true;
  bool FBackgroundValid = false;
  bool FWholeRender = true; // else only DataRect is drawn again
  int FBackgroundPenWidth = -1;
  QSize FLastSize;
  int FScreenPenWidth = 1; // the screen canvas keeps its pen width between paints
  int FRepaintRequests = 0;
};

// The concrete graph: axes, title, graph type, layout and drawing, mapping.
// The layout is made again whenever a setting or the size changes, so the
// mapping is right before the first paint, and a paint only draws it.
class TGraphBox : public TCustomGraph, public TNavigableView
{
  Q_OBJECT
public:
  explicit TGraphBox(QWidget* Parent = nullptr);
  ~TGraphBox() override;

  // Mouse and keyboard navigation of both axes. A reset asks the owner
  // (OnResetView), who knows the ranges of the last set-up.
  TViewNavigator& Navigator() { return *FNavigator; }
  QRect NavigationPlot() const override;
  bool NavigationAxis(bool Vertical, TAxisView& Axis) const override;
  void SetNavigationRange(bool Vertical, const TAxisRange& Range) override;
  void ResetNavigation() override;

  TAxisParams& XAxis() { return FXAxis; }
  TAxisParams& YAxis() { return FYAxis; }
  const TAxisParams& XAxis() const { return FXAxis; }
  const TAxisParams& YAxis() const { return FYAxis; }
  TGraphTitle& Title() { return FTitle; }
  const TGraphTitle& Title() const { return FTitle; }

  // Called at the end of every drawing, after the snapshot is taken; what it
  // draws with MoveToValue/LineToValue lands on the same canvas.
  std::function<void(TGraphBox* Sender)> OnPaint;

  TGraphType GraphType() const { return FGraphType; }
  void SetGraphType(TGraphType Value);
  void SetDefaultData(bool Value) override;
  // When set, labels count from the start of the range.
  bool XRelativeLabels() const { return FXRelativeLabels; }
  void SetXRelativeLabels(bool Value);
  bool YRelativeLabels() const { return FYRelativeLabels; }
  void SetYRelativeLabels(bool Value);

  using TCustomGraph::AddPoint;
  void AddPoint(int Series, TColor Color, double X, double Y, double Size)
  {
    TCustomGraph::AddPoint(Series, QString(), X, Y, Size, Color);
  }
  void SetXRange(int Lines, double Min, double Max);
  // Fits the Y axis to whole multiples of Step.
  void SetYRange(double Min, double Max, double Step);

  // Mapping by the current layout.
  void PixelToValue(int X, int Y, double& XValue, double& YValue) const;
  QPoint ValueToPixel(double X, double Y) const;
  // Draw in axis values: on the drawing in progress (OnPaint included), or
  // else straight onto the graph as shown.
  void MoveToValue(double X, double Y);
  void LineToValue(TColor Color, double X, double Y);

  void DrawTo(TGraphCanvas& Canvas) override;

  // Round tick values with the axes' units instead of the fixed divisions.
  bool RoundTicks() const { return FRoundTicks; }
  void SetRoundTicks(bool Value);
  // Names the traces in the top border, right-aligned above the plot: a short
  // line in each trace's colour and its caption. None when empty.
  struct TLegendItem
  {
    QString Caption;
    TColor Color = clBlack;
    friend bool operator==(const TLegendItem&, const TLegendItem&) = default;
  };
  const std::vector<TLegendItem>& Legend() const { return FLegend; }
  void SetLegend(const std::vector<TLegendItem>& Value);
  // Whether a point of the control lies on the plot, frame included.
  bool PlotContains(int X, int Y) const;

  // The layout at the current size and settings, in the graph's own font.
  const TGraphLayout& Layout() const;
  int PlotLeft() const { return Layout().PlotLeft; }
  int PlotRight() const { return Layout().PlotRight; }
  int PlotTop() const { return Layout().PlotTop; }
  int PlotBottom() const { return Layout().PlotBottom; }
  int PlotWidth() const { return Layout().PlotWidth; }
  int PlotHeight() const { return Layout().PlotHeight; }
  const TPlotMapping& Mapping() const { return Layout().Mapping; }

Q_SIGNALS:
  // The user asked for the ranges of the last set-up (a double-click, Home).
  void OnResetView(TGraphBox* Sender);

protected:
  virtual void AxisChanged(TAxisParams* Sender);
  virtual void TitleChanged(TGraphTitle* Sender);
  void LayoutChanged() override;
  void DrawBackground(TGraphCanvas& Canvas) override;
  void DrawForeground(TGraphCanvas& Canvas) override;
  QRect DataRect() const override;

private:
  // The layout with labels and title measured by LabelFont.
  TGraphLayout MakeLayout(const TTextMeasure& LabelFont) const;
  void UpdateLayout() const;
  // Everything but the points: frame, title, legend, grid and labels.
  void DrawStatic(TGraphCanvas& C, const TGraphLayout& L);
  // The points, clipped to the plot.
  void DrawPoints(TGraphCanvas& C, const TGraphLayout& L);
  static QRect PointClip(const TGraphLayout& L);
  void DrawFrame(TGraphCanvas& C, const TGraphLayout& L);
  void DrawTitle(TGraphCanvas& C, const TGraphLayout& L);
  void DrawLegend(TGraphCanvas& C, const TGraphLayout& L);
  // Grid lines, then labels, of one axis.
  void DrawAxis(TGraphCanvas& C, const TGraphLayout& L, bool Vertical);
  void DrawLines(TGraphCanvas& C);
  void DrawBars(TGraphCanvas& C);
  void MoveToPlot(TGraphCanvas& C, int PX, int PY);
  void LineToPlot(TGraphCanvas& C, int PX, int PY, TColor Color);
  // Runs Draw on the drawing canvas, or on a canvas over the screen image.
  void WithCanvas(const std::function<void(TGraphCanvas&)>& Draw);

  TAxisParams FXAxis;
  TAxisParams FYAxis;
  TGraphTitle FTitle;
  TGraphType FGraphType = gtHorzBar;
  bool FXRelativeLabels = false;
  bool FYRelativeLabels = false;
  bool FRoundTicks = false;
  std::vector<TLegendItem> FLegend;

  // Kept between changes; Layout() also catches a resize that sent no event.
  mutable TGraphLayout FLayout;
  mutable QSize FLayoutSize{-1, -1};
  TGraphCanvas* FDrawCanvas = nullptr;
  bool FDrawOnScreen = false; // FDrawCanvas draws the screen image
  TViewNavigator* FNavigator = nullptr;
  QPoint FScreenPenPos; // pen of drawing done outside a paint
};

} // namespace duv
