// SPDX-License-Identifier: GPL-3.0-or-later
// The scrolling time-frequency picture: one coloured line per analysed frame
// enters at the bottom and older lines move up, each value coloured by the
// band of the colour bar `DepthBar` in the right margin. Lines are kept in a
// ring of rows, so adding one costs one row whatever the height, and painting
// samples only the rows and columns that land on screen.
#pragma once

#include "graph/ViewNavigator.h"
#include "spectrogram/Colorbar.h"

#include <QImage>
#include <QLine>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <vector>

class QPrinter;

namespace duv {

struct TRangePair
{
  double First = 0;
  double Second = 0;
  TRangePair() = default;
  TRangePair(double first, double second) : First(first), Second(second) {}
  friend bool operator==(const TRangePair&, const TRangePair&) = default;
};

// Ordinals match TColorCount: dcTemp32 is the 33-colour table.
enum class TColorDepth : std::uint8_t { dc12, dc20, dc24, dc30, dcTemp32, dcViridis, dcMagma };
inline TColorDepth DepthOf(TColorCount Table) { return static_cast<TColorDepth>(Table); }

enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };

using TDragOverEvent = std::function<void(QObject* Sender, QObject* Source, int X, int Y,
                                          TDragState State, bool& Accept)>;

// Pixels between the control's edges and the plot, at the design font; the
// control scales them to the font it shows its labels in.
struct TSpectroMargins
{
  int Left = 30;
  int Top = 10;
  int Right = 20;
  int Bottom = 20;
};

// A label the spectrogram paints in its margins, and where.
struct TSpectroLabel
{
  QString Text;
  QRect Rect;
};

// Everything painted around the plot: labels and tick lines (each drawn
// without its end point), worked out once per change.
struct TSpectroAxes
{
  std::vector<TSpectroLabel> Labels;
  std::vector<QLine> Ticks;
};

class TSpectroGram : public QWidget, public TNavigableView
{
  Q_OBJECT
public:
  explicit TSpectroGram(QWidget* parent = nullptr);

  TColorBar* DepthBar() const { return FDepthBar; }
  TColorDepth ColorCount() const { return FColorCount; }
  void SetColorCount(TColorDepth v);
  const TSpectroMargins& Margins() const { return FMargins; }

  // A black image of width values per line and height lines; no repaint.
  void SetImageSize(int width, int height);
  int ImageWidth() const { return FImage.width(); }
  int ImageHeight() const { return FImage.height(); }
  // The picture as a plain image, oldest line at the top.
  QImage Image() const;

  const TRangePair& DepthRange() const { return FDepthRange; }
  void SetDepthRange(const TRangePair& range);
  // The values at the plot's left and right edges, and at its top and bottom
  // edges; the labels show them, so a change repaints.
  const TRangePair& XRange() const { return FXRange; }
  void SetXRange(const TRangePair& range);
  const TRangePair& YRange() const { return FYRange; }
  void SetYRange(const TRangePair& range);

  // One new bottom line from values[0 .. lastIndex] (dB), sampled to the
  // image width by nearest index. Dropped when there is no image or no value.
  // Only the plot is painted again.
  void AddLine(std::span<const double> values, int lastIndex);

  // The frequencies the plot shows: all of XRange until the user zooms or
  // moves them; a new XRange shows all of it again.
  const TAxisRange& FrequencyView() const { return FView; }
  void SetFrequencyView(const TAxisRange& range);
  // A logarithmic frequency axis; the frequencies shown are kept as far as
  // the axis can show them.
  bool LogFrequency() const { return FLogFrequency; }
  void SetLogFrequency(bool log);
  // Round tick values with their units on both axes, and the colour bar's
  // dB scale beside it; the margins grow to hold them. Off: six fixed
  // labels on each axis, in the design's margins.
  bool RoundTicks() const { return FRoundTicks; }
  void SetRoundTicks(bool round);
  // The unit of the colour bar's scale: "dB", or the weighted or calibrated
  // level's.
  const QString& DepthUnit() const { return FDepthUnit; }
  void SetDepthUnit(const QString& Unit);

  // Axis values at a point of the control; unclamped.
  void PixelToValue(int x, int y, double& xValue, double& yValue) const;
  // Whether a point of the control lies on the plot, edges included.
  bool PlotContains(int x, int y) const;
  // The level of the line drawn under a point of the plot; false where no
  // line is drawn yet.
  bool LevelAt(int x, int y, double& Level) const;
  // What is painted around the plot.
  const TSpectroAxes& Axes() const;

  // Navigation of the frequency axis; time does not move.
  QRect NavigationPlot() const override;
  bool NavigationAxis(bool vertical, TAxisView& axis) const override;
  void SetNavigationRange(bool vertical, const TAxisRange& range) override;
  void ResetNavigation() override;
  TViewNavigator& Navigator() { return *FNavigator; }

  // Background, image, frame and labels at the control's size.
  void PaintTo(QPainter& painter);
  // The spectrogram with the colour bar (and its selection marker) on it:
  // what the clipboard and the printer receive.
  QImage RenderPicture();
  void CopyToClipboard();
  // The default printer; without one, a PDF file chosen by the user (a
  // cancelled dialog prints nothing). A printer that fails throws
  // std::runtime_error for the user to see (see PrintPage).
  void PrintImage();
  void PrintTo(QPrinter& printer);
  void PrintToPdf(const QString& fileName);

  void LayoutDepthBar();

  // Asked while something is dragged over the colour bar: whether a drop
  // there is accepted.
  TDragOverEvent OnBarDragOver;

Q_SIGNALS:
  // The colour bar's own events, from the bar (Sender).
  void OnBarSelect(QObject* Sender);
  void OnBarSpread(QObject* Sender);
  void OnBarChanging(QObject* Sender, int Index, int Bottom, double Depth);
  void OnBarDragDrop(QObject* Sender, QObject* Source, int X, int Y);
  void OnMouseMove(QObject* Sender, int X, int Y);
  void OnMouseLeave(QObject* Sender);

protected:
  // Starts the drag-and-drop of the bar once the mouse has moved past the
  // drag threshold with the button held.
  virtual void BeginBarDrag();
  bool BarDragPending() const { return FBarDragPending; }

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // The margins hold the labels, so they grow with the font and, with round
  // ticks, with the labels themselves.
  void UpdateMargins();
  // The same without a repaint, for a paint that finds the size changed
  // (a hidden control is resized without an event).
  void Relayout();
  // Something the labels show changed.
  void AxesChanged();
  // Source index of every column of a line of `lastIndex + 1` values.
  const std::vector<int>& LineColumns(int lastIndex);
  QRect PlotRect() const;
  // The whole frequency range of the data, as the axis can show it.
  TAxisRange FullView() const;
  // The frequency axis as shown, over the plot's pixels.
  TAxisView FrequencyAxis() const;
  void PaintPlot(QPainter& painter, int pw, int ph);
  // The plot's rows written straight into the image the painter draws on,
  // when that gives the pixels drawing FPlot would; false otherwise.
  bool PaintPlotDirect(QPainter& painter, int pw, int ph);
  // The plot's ph rows sampled from the ring into 32-bit pixels from first
  // on, line bytes apart.
  void FillPlot(uchar* first, qsizetype line, int ph) const;
  TSpectroAxes FixedAxes(const QFontMetrics& metrics) const;
  TSpectroAxes RoundAxes(const QFontMetrics& metrics) const;
  // The colour bar's width with round ticks (its labels stand beside it).
  int RoundBarWidth() const;

  QImage FImage; // ring of lines; row FNextRow is the oldest
  // The levels of the ring's pixels, in hundredths of a dB.
  static constexpr std::int16_t NoLevel = std::numeric_limits<std::int16_t>::min();
  std::vector<std::int16_t> FLevels;
  int FNextRow = 0; // where the next line is written
  QImage FPlot;     // plot-sized sample of the ring, reused between paints
  std::vector<int> FPlotColumns;
  // FPlotColumns as runs of plot columns that show one image column (-1:
  // none), so that a stretched line reads each image pixel once.
  struct TColumnRun
  {
    int X;
    int Length;
    int Column;
    bool Short; // at most 8 pixels, with 8 to write before the plot's edge
  };
  std::vector<TColumnRun> FPlotRuns;
  bool FPlotColumnsValid = false; // for the image width, view and scale of now

  std::vector<int> FLineColumns; // of LineColumns, one per image column
  int FLineColumnsLast = -1;     // the last index they were made for

  TColorBar* FDepthBar = nullptr;
  TColorDepth FColorCount = TColorDepth::dc12;
  TSpectroMargins FMargins;
  TRangePair FDepthRange, FXRange, FYRange;
  TAxisRange FView;
  bool FLogFrequency = false;
  bool FRoundTicks = false;
  QString FDepthUnit = QStringLiteral("dB");
  QSize FMarginsFor; // the size the margins and the axes were laid out for
  mutable TSpectroAxes FAxes;
  mutable bool FAxesValid = false;
  bool FBarDragPending = false;
  QPoint FBarPressPos;
  TViewNavigator* FNavigator = nullptr;
};

} // namespace duv
