// SPDX-License-Identifier: GPL-3.0-or-later
// Axis arithmetic of the graph component, free of any widget: label values,
// range rounding, logarithmic ticks, zoom and pan, the mapping between plot
// pixels and axis values, and the whole layout of a graph (plot rectangle,
// mapping, ticks, labels and title) as one pure function of its settings.
// Kept here so it can be tested without a window.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace duv {

// The two ends of one axis.
struct TAxisRange
{
  double Min = 0;
  double Max = 0;
};

// Saved ranges of one graph, Y first.
struct TGraphRanges
{
  TAxisRange YRange;
  TAxisRange XRange;
};

// The number a label shows for axis value V: (V + Offset) * Multiplier, wrapped
// at Cycle when Cycle is not zero (the wrap keeps the sign of the value).
double AxisValue(double V, double Multiplier, double Offset, double Cycle);

// Y range fitted to whole multiples of Step.
struct TFittedRange
{
  double Min = 0;
  double Max = 0;
  int Lines = 0;
};

// Min rounded down to a multiple of Step, Max rounded away from zero, and the
// number of Step-wide divisions between them.
TFittedRange FitRange(double Min, double Max, double Step);

// Calls Action(m, e, decade) for every tick m * 10^e (m = 1..9) strictly above
// Min, up to the first tick at or beyond Max; always at least once. Ranges
// that cannot be ticked (non-positive or non-finite ends) call nothing, so a
// corrupt axis can never make drawing loop for ever.
void ForEachLogTick(double Min, double Max,
                    const std::function<void(int m, int e, bool decade)>& Action);

// The value of tick m * 10^e.
double LogTickValue(int m, int e);

// How far the user may zoom and move an axis: its span stays between
// MinSpan and MaxSpan, and where the data ends, its ends stay within Lowest
// .. Highest. Spans are in axis units also on a logarithmic axis.
struct TAxisLimits
{
  static constexpr double Unlimited = std::numeric_limits<double>::infinity();
  double MinSpan = 0;
  double MaxSpan = Unlimited;
  double Lowest = -Unlimited;
  double Highest = Unlimited;
};

// Which column of a picture each pixel of a plot Pixels wide shows, when the
// picture's Columns columns hold Data evenly (the first starting at
// Data.Min, the last ending at Data.Max) and the plot shows View, linear or
// logarithmic: the column under the pixel's centre, or -1 where the plot runs
// past the data. The whole of Data on a linear plot samples exactly as an
// integer stretch does.
std::vector<int> PlotColumns(const TAxisRange& View, bool Log, int Pixels, const TAxisRange& Data,
                             int Columns);

// Range after scaling about its centre by Factor (0.9 narrows to 90 %). The
// arithmetic is linear, also on a logarithmic axis.
TAxisRange ZoomedRange(TAxisRange Range, double Factor);
// The same, with the factor tempered so that the span stays within Limits: a
// span already beyond a limit is never pushed further past it.
TAxisRange ZoomedRange(TAxisRange Range, double Factor, const TAxisLimits& Limits);

// An axis as it is shown on a widget: Range.Min at pixel Start, Range.Max at
// Start + Length along the widget's own x (or y) coordinate; Length is
// negative for an axis that runs upward. A logarithmic axis is linear in
// log10 of its values. Navigation by mouse and keys works on this.
struct TAxisView
{
  TAxisRange Range;
  bool Log = false;
  double Start = 0;
  double Length = 1;
  TAxisLimits Limits;
};

// The value at a pixel, and the pixel of a value (unrounded).
double ValueAtPixel(const TAxisView& Axis, double Pixel);
double PixelOfValue(const TAxisView& Axis, double Value);
// Range after zooming by Factor (below 1 narrows) about the value under
// Pixel, which stays under it; within the limits.
TAxisRange ZoomAtPixel(const TAxisView& Axis, double Pixel, double Factor);
// Range after the picture moved by Pixels along the axis, as under a drag.
TAxisRange PanByPixels(const TAxisView& Axis, double Pixels);
// The range between two pixels (a rectangle drawn with the mouse), widened
// about its middle to the least span, or narrowed to the largest.
TAxisRange RangeBetweenPixels(const TAxisView& Axis, double From, double To);

// How far a pan by Fraction of the span moves both ends.
double PanDelta(TAxisRange Range, double Fraction);

// Pixels per axis unit over Pixels for a span; a zero span gives 1e-99 so that
// every point lands on the axis start instead of dividing by zero.
double AxisScale(int Pixels, double Span);

// One extension step of a line end so that the end pixel is painted too.
void ExtendLineEnd(int x0, int y0, int& x1, int& y1);

// Every step-th point of a series is drawn: count / width / 50 + 1, with a
// width below 1 treated as 1.
std::int64_t ThinningStep(std::int64_t SeriesCount, int ControlWidth);

// Size of a W x H picture placed at the top-left of a PageW x PageH page,
// keeping its aspect: a wide picture fills the page width, any other the
// page height.
void PrintPlacement(int PageW, int PageH, int W, int H, int& DestW, int& DestH);

// The pixel mapping of one drawing: plot origin, scales and starts (log10 of
// the start on a logarithmic axis).
struct TPlotMapping
{
  int OriginX = 0;
  int OriginY = 0;
  double XScale = 1;
  double YScale = 1;
  double XStart = 0;
  double YStart = 0;
  bool XLog = false;
  bool YLog = false;

  // Raw axis values under a pixel.
  void PixelToValue(double X, double Y, double& XValue, double& YValue) const;
  // Pixel of a pair of axis values, rounded (markers, captions, bars).
  void ValueToPixel(double X, double Y, int& PX, int& PY) const;
  // Plot offsets of a pair of axis values, truncated (line series). Inline:
  // it runs for every drawn point of a live frame.
  void ValueToPlot(double X, double Y, int& PX, int& PY) const
  {
    PX = TruncOffset((static_cast<long double>(AxisCoord(X, XLog)) - XStart) * XScale);
    PY = TruncOffset((static_cast<long double>(AxisCoord(Y, YLog)) - YStart) * YScale);
  }
  // The axis coordinate of a value: log10 on a logarithmic axis, with values
  // at or below zero taken as 1.
  static double AxisCoord(double V, bool Log)
  {
    if (!Log)
      return V;
    return std::log10(V <= 0 ? 1.0 : V);
  }

  // Far-off points keep their direction but stay well inside int, so adding
  // the origin can never overflow whatever the zoom.
  static constexpr int FarPixel = 1 << 28;
  static int ClampOffset(int V) { return V < -FarPixel ? -FarPixel : V > FarPixel ? FarPixel : V; }
  // Toward zero, clamped to FarPixel; NaN gives 0.
  static int TruncOffset(long double V)
  {
    if (V > -FarPixel && V < FarPixel)
      return static_cast<int>(V);
    return V >= FarPixel ? FarPixel : V <= -FarPixel ? -FarPixel : 0;
  }
};

class TAxisParams;
class TGraphTitle;

// Text measured in one font, as the layout needs it.
class TTextMeasure
{
public:
  virtual int Width(const QString& Text) const = 0;
  // The line height, the same for every text.
  virtual int Height() const = 0;
  // The height of a digit above the baseline: a label centred on a grid
  // line has its baseline half of it below the line.
  virtual int DigitHeight() const { return Height() * 7 / 10; }

protected:
  ~TTextMeasure() = default;
};

// What the layout takes from the graph itself besides its axes and title.
struct TGraphFrame
{
  int Width = 0; // the control's size, whatever canvas is drawn on
  int Height = 0;
  int Border = 20;     // GraphBorder in pixels, already scaled to the font
  int BevelWidth = 1;  // counted into the left margin even without a bevel
  int BorderWidth = 0; // likewise
  int XDecimals = 0;   // Decimals2
  int YDecimals = 0;   // Decimals1
  bool XRelativeLabels = false;
  bool YRelativeLabels = false;
  // Round tick values with the axes' units (see RoundTicks.h) instead of
  // the axes' fixed divisions; decimals and relative labels then do not
  // apply.
  bool RoundTicks = false;
};

// One tick of an axis: a grid line, a label, or both.
struct TAxisTick
{
  double Value = 0; // the axis value at the tick (raw: no Multiplier, Offset or Cycle)
  int Pixel = 0;    // from the origin along the axis: rightwards on X, upwards on Y
  bool Grid = false;
  bool Major = true; // a linear division or a decade: a solid line; else dotted
  bool Labelled = false;
  // A logarithmic axis draws its label a character at a time, raised after
  // a caret; a linear axis draws its label text as it is.
  bool Superscript = false;
  // The axis's unit, standing at its far end in place of a label.
  bool Unit = false;
  QString Label;
  // Where the label is drawn on the canvas: its top-left corner below the X
  // axis, the start of its baseline left of the Y axis.
  QPoint LabelAt;
};

// Everything a drawing of the graph needs to know before it draws a pixel.
struct TGraphLayout
{
  int PlotLeft = 0;
  int PlotTop = 0;
  int PlotRight = 0;
  int PlotBottom = 0;
  int PlotWidth = 0;
  int PlotHeight = 0;
  TPlotMapping Mapping;
  // In drawing order.
  std::vector<TAxisTick> XTicks;
  std::vector<TAxisTick> YTicks;
  bool ShowTitle = false;
  bool TitleBoxed = false;
  QString Title;
  QRect TitleRect; // the caption's text cell: its left, top, width and height
};

// The layout of a graph. MarginFont measures the Y labels that size the left
// margin: the graph's own font, whatever canvas is drawn on. LabelFont
// measures the labels and the title where they are placed: the font of the
// canvas drawn on (the same font on screen; a copy or a print draws in
// another).
TGraphLayout ComputeGraphLayout(const TGraphFrame& Frame, const TAxisParams& XAxis,
                                const TAxisParams& YAxis, const TGraphTitle& Title,
                                const TTextMeasure& MarginFont, const TTextMeasure& LabelFont);

} // namespace duv
