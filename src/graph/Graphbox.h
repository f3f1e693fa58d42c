// The graph panel of the oscilloscope and spectrum views: a compact point
// store, two axes and a title, drawn with pixel-exact layout onto the screen,
// the clipboard or a printer, plus the pixel <-> axis-value mapping that the
// mouse read-outs and overlay markers use.
#pragma once

#include "graph/AxisMath.h"
#include "support/DSupport.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class QPainter;
class QPrinter;

namespace duv {

enum TGraphType { gtLine, gtHorzBar, gtVertBar };
enum TTitlePosition { tpCenter, tpLeft, tpRight };
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// One axis of a graph: range, scale and label options. Every setter that
// changes a value calls OnChange; Min, Max and Log keep a logarithmic axis
// strictly positive.
class TAxisParams
{
public:
  std::function<void(TAxisParams* Sender)> OnChange;

  bool ExponentLabels() const { return FExponentLabels; }
  bool Log() const { return FLog; }
  bool MinorLabels() const { return FMinorLabels; }
  bool MinorLines() const { return FMinorLines; }
  double Min() const { return FMin; }
  double Max() const { return FMax; }
  double Multiplier() const { return FMultiplier; }
  double Offset() const { return FOffset; }
  int Lines() const { return FLines; }
  bool ShowLabels() const { return FShowLabels; }
  const QString& Units() const { return FUnits; }
  int LabelModulo() const { return FLabelModulo; }
  double Cycle() const { return FCycle; }

  void SetExponentLabels(bool Value);
  void SetLog(bool Value);
  void SetMinorLabels(bool Value);
  void SetMinorLines(bool Value);
  void SetMin(double Value);
  void SetMax(double Value);
  void SetMultiplier(double Value);
  void SetOffset(double Value);
  void SetLines(int Value);
  void SetShowLabels(bool Value);
  void SetUnits(const QString& Value);
  // Values below 1 are taken as 1: every label index is tested modulo it.
  void SetLabelModulo(int Value);
  void SetCycle(double Value);

  // The number a label shows for axis value V.
  double AxisValue(double V) const { return duv::AxisValue(V, FMultiplier, FOffset, FCycle); }

private:
  void Changed(bool LogFixUp);

  bool FExponentLabels = false;
  bool FLog = false;
  bool FMinorLabels = false;
  bool FMinorLines = false;
  double FMin = 0;
  double FMax = 0;
  double FMultiplier = 1.0;
  double FOffset = 0.0;
  int FLines = 0;
  bool FShowLabels = false;
  QString FUnits;
  int FLabelModulo = 1;
  double FCycle = 0.0;
};

// The caption drawn above the plot.
class TGraphTitle
{
public:
  std::function<void(TGraphTitle* Sender)> OnChange;

  const QString& Caption() const { return FCaption; }
  bool ShowCaption() const { return FShowCaption; }
  bool Boxed() const { return FBoxed; }
  TTitlePosition Position() const { return FPosition; }

  void SetCaption(const QString& Value);
  void SetShowCaption(bool Value);
  void SetBoxed(bool Value);
  void SetPosition(TTitlePosition Value);

private:
  void Changed()
  {
    if (OnChange)
      OnChange(this);
  }
  QString FCaption;
  bool FShowCaption = false;
  bool FBoxed = false;
  TTitlePosition FPosition = tpCenter;
};

// A drawing surface with the small state machine the graph draws with: a pen
// position, pen and brush, and top-left or baseline text alignment.
// Consecutive line segments of one pen are batched into a single polyline. On
// an unscaled image one-pixel solid lines are rasterised here, each segment
// painting its start pixel and not its end pixel; elsewhere (scaled screens,
// printers, dotted or wide pens) the toolkit strokes them.
class TGraphCanvas
{
public:
  // Text is drawn in the painter's font, in FontColor. Target is the image
  // the painter draws on, when there is one.
  TGraphCanvas(QPainter& Painter, TColor FontColor, int PenWidth = 1, QImage* Target = nullptr);
  ~TGraphCanvas();
  TGraphCanvas(const TGraphCanvas&) = delete;
  TGraphCanvas& operator=(const TGraphCanvas&) = delete;

  QPainter& Painter() { return FPainter; }
  QImage* Target() const { return FTarget; }

  TColor PenColor = clBlack;
  int PenWidth = 1;
  Qt::PenStyle PenStyle = Qt::SolidLine;
  TColor BrushColor = clWhite;
  bool BrushClear = false;
  bool BaselineAlign = false;
  TColor FontColor = clBlack;
  QPoint PenPos;

  void MoveTo(int X, int Y);
  void LineTo(int X, int Y);
  // Outline in the pen and interior in the brush, covering X1..X2-1, Y1..Y2-1.
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void Ellipse(int X1, int Y1, int X2, int Y2);
  // Rectangles below are given as left, top, right, bottom, the right and
  // bottom edges exclusive.
  // One-pixel outline in Color.
  void FrameRect(int X1, int Y1, int X2, int Y2, TColor Color);
  void FillRect(int X1, int Y1, int X2, int Y2, TColor Color);
  void TextOut(int X, int Y, const QString& S);
  // S drawn at (X, Y), clipped to the rectangle.
  void TextRect(int X1, int Y1, int X2, int Y2, int X, int Y, const QString& S);
  int TextWidth(const QString& S) const;
  int TextHeight(const QString& S) const;
  void SetClipRect(const QRect& R);
  void RemoveClip();
  // Draws everything batched so far.
  void Flush();

private:
  void MergeColumns();
  void DrawSegment(QPoint A, QPoint B, QRgb Color);

  QPainter& FPainter;
  QImage* FTarget;
  QVector<QPoint> FBatch;
  TColor FBatchColor = 0;
  int FBatchWidth = 0;
  Qt::PenStyle FBatchStyle = Qt::SolidLine;
  int FAscent;
  int FHeight;
  qreal FStrokeOffset = 0;
  bool FDirect = false; // lines written straight into FTarget's pixels
  QRect FClip;
};

// One stored point. Captions live apart so that a point stays 32 bytes.
struct TDataPoint
{
  double X;
  double Y;
  double Size;
  TColor Color;
  std::int16_t Series;
  std::int16_t Reserved;
  std::int32_t CaptionIndex; // -1: no caption
};

// The abstract graph panel: point store, update bracket, colours, bevels,
// the snapshot image, copy and print.
class TCustomGraph : public QWidget
{
  Q_OBJECT
public:
  static constexpr int MinSeries = -1024;
  static constexpr int MaxSeries = 1024;

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
    AddSampleRun(Series, Color, Size, SampleTypeOf<T>(), Samples.data(),
                 static_cast<std::int64_t>(Samples.size()), Owner);
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
  std::int64_t PointCount() const { return FPointCount; }
  std::int64_t SeriesCount(int Series) const;
  // The explicitly added points (not sample series), in insertion order.
  const std::vector<TDataPoint>& Points() const { return FPoints; }
  QString Caption(const TDataPoint& Point) const;
  bool HasCaptions() const { return !FCaptions.empty(); }

  // Drawing.
  virtual void DrawTo(TGraphCanvas& Canvas) = 0;
  // Shows the graph as of the last paint, without overlays drawn since.
  void RestoreImage();
  const QImage& Snapshot() const { return FSnapshot; }
  // The client area less border and bevels.
  QRect InnerRect() const;
  // Requests one repaint; any number of requests before it give one paint.
  void Invalidate();
  // How many repaints were requested so far.
  int RepaintRequests() const { return FRepaintRequests; }

  // The picture CopyToClipboard puts on the clipboard.
  QImage CopyImage();
  void CopyToClipboard();
  // Prints on the default printer; with none, asks for a PDF file name and
  // prints there. Returns false when nothing was printed.
  bool Print();
  // One page on Printer: the graph placed at the top-left, scaled to the page
  // width (or height) keeping its aspect. Vector output.
  bool PrintTo(QPrinter& Printer);
  // Asks for the PDF file name when the machine has no printer; empty when
  // the user cancels. Replaceable so the path can be exercised unattended.
  std::function<QString(QWidget* Parent)> AskPdfFileName;

  // Events: mouse handlers get (Sender, Button, Shift, X, Y) in logical pixels.
  using TMouseEvent =
      std::function<void(TCustomGraph*, Qt::MouseButton, Qt::KeyboardModifiers, int, int)>;
  using TNotifyEvent = std::function<void(TCustomGraph*)>;
  TMouseEvent OnMouseDown, OnMouseMove, OnMouseUp;
  TNotifyEvent OnClick, OnDblClick, OnResize;

  QSize sizeHint() const override { return {90, 90}; }

protected:
  // The panel part of a screen paint (bevels, background, frame), then DrawTo.
  virtual void Paint(TGraphCanvas& Canvas);
  // Copies the finished drawing into the snapshot when Canvas is the screen.
  void TakeSnapshot(TGraphCanvas& Canvas);
  // The image the widget shows, overlays included.
  QImage& ScreenImage() { return FScreen; }
  void ScreenChanged() { update(); }

  // Calls Visit(X, Y, Size, Color) for every step-th point of Series
  // (counting its points from 1); returns how many points the series has.
  template <typename Visit>
  std::int64_t ForEachSeriesPoint(int Series, std::int64_t Step, Visit&& V) const;
  // Calls Visit(X, Y, Size, Color) for every point in insertion order.
  template <typename Visit> void ForEachPoint(Visit&& V) const;

  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

  bool FDefaultData = false;

private:
  enum class TSampleType : std::uint8_t { UInt8, Int16, Int32, Float, Double };
  template <typename T> static constexpr TSampleType SampleTypeOf()
  {
    if constexpr (std::is_same_v<T, std::uint8_t>)
      return TSampleType::UInt8;
    else if constexpr (std::is_same_v<T, std::int16_t>)
      return TSampleType::Int16;
    else if constexpr (std::is_same_v<T, std::int32_t>)
      return TSampleType::Int32;
    else if constexpr (std::is_same_v<T, float>)
      return TSampleType::Float;
    else {
      static_assert(std::is_same_v<T, double>, "samples are uint8, int16, int32, float or double");
      return TSampleType::Double;
    }
  }
  // Evenly spaced samples standing for Count points X = i, Y = sample i.
  struct TSampleRun
  {
    std::shared_ptr<const void> Owner;
    const void* Data;
    std::int64_t Count;
    double Size;
    TColor Color;
    int Series;
    TSampleType Type;
    double At(std::int64_t I) const;
  };
  // The store in insertion order: runs of explicit points and sample runs.
  struct TBlock
  {
    bool Samples;
    std::int64_t First; // index into FPoints, or into FRuns
    std::int64_t Last;  // one past the last point (explicit blocks)
  };

  void AddSampleRun(int Series, TColor Color, double Size, TSampleType Type, const void* Data,
                    std::int64_t Count, std::shared_ptr<const void> Owner);
  void RenderScreen();
  void EnsureScreenSize();
  void EmitMouse(const TMouseEvent& Handler, QMouseEvent* Event);

  std::vector<TDataPoint> FPoints;
  std::vector<QString> FCaptions;
  std::vector<TSampleRun> FRuns;
  std::vector<TBlock> FBlocks;
  std::array<std::int64_t, MaxSeries - MinSeries + 1> FSeriesCounts{};
  std::int64_t FPointCount = 0;
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

  QImage FScreen;   // what the widget shows, overlays included
  QImage FSnapshot; // the last drawing, without overlays
  bool FNeedRender = true;
  QSize FLastSize;
  int FScreenPenWidth = 1; // the screen canvas keeps its pen width between paints
  int FRepaintRequests = 0;
};

// The concrete graph: axes, title, graph type, layout and drawing, mapping.
class TGraphBox : public TCustomGraph
{
  Q_OBJECT
public:
  explicit TGraphBox(QWidget* Parent = nullptr);
  ~TGraphBox() override;

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

  using TCustomGraph::AddPoint;
  void AddPoint(int Series, TColor Color, double X, double Y, double Size)
  {
    TCustomGraph::AddPoint(Series, QString(), X, Y, Size, Color);
  }
  void SetXRange(int Lines, double Min, double Max);
  // Fits the Y axis to whole multiples of Step.
  void SetYRange(double Min, double Max, double Step);

  // Mapping by the layout of the last drawing.
  void PixelToValue(int X, int Y, double& XValue, double& YValue) const;
  QPoint ValueToPixel(double X, double Y) const;
  // Draw in axis values: on the drawing in progress (OnPaint included), or
  // else straight onto the graph as shown.
  void MoveToValue(double X, double Y);
  void LineToValue(TColor Color, double X, double Y);

  void DrawTo(TGraphCanvas& Canvas) override;

  // Layout of the last drawing.
  int PlotLeft() const { return FPlotLeft; }
  int PlotRight() const { return FPlotRight; }
  int PlotTop() const { return FPlotTop; }
  int PlotBottom() const { return FPlotBottom; }
  int PlotWidth() const { return FPlotWidth; }
  int PlotHeight() const { return FPlotHeight; }
  const TPlotMapping& Mapping() const { return FMap; }

  // When set, labels count from the start of the range.
  bool XRelativeLabels = false;
  bool YRelativeLabels = false;

protected:
  virtual void AxisChanged(TAxisParams* Sender);
  virtual void TitleChanged(TGraphTitle* Sender);

private:
  QString LabelText(const TAxisParams& Axis, double V, int Decimals) const;
  void DrawLayout(TGraphCanvas& C);
  void DrawTitle(TGraphCanvas& C);
  void DrawLinearX(TGraphCanvas& C);
  void DrawLinearY(TGraphCanvas& C);
  void DrawLogX(TGraphCanvas& C);
  void DrawLogY(TGraphCanvas& C);
  void DrawLines(TGraphCanvas& C);
  void DrawBars(TGraphCanvas& C);
  void TextOutSuperscript(TGraphCanvas& C, const QString& Text, int X, int Y);
  void MoveToPlot(TGraphCanvas& C, int PX, int PY);
  void LineToPlot(TGraphCanvas& C, int PX, int PY, TColor Color);
  // Runs Draw on the drawing canvas, or on a canvas over the screen image.
  void WithCanvas(const std::function<void(TGraphCanvas&)>& Draw);

  TAxisParams FXAxis;
  TAxisParams FYAxis;
  TGraphTitle FTitle;
  TGraphType FGraphType = gtHorzBar;

  int FPlotLeft = 0, FPlotRight = 0, FPlotTop = 0, FPlotBottom = 0;
  int FPlotWidth = 0, FPlotHeight = 0;
  TPlotMapping FMap;
  TGraphCanvas* FDrawCanvas = nullptr;
  QPoint FScreenPenPos; // pen of drawing done outside a paint
};

} // namespace duv
