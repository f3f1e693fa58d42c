// SPDX-License-Identifier: GPL-3.0-or-later
// The scrolling time-frequency picture: one coloured line per analysed frame
// enters at the bottom and older lines move up, each value coloured by the
// band of the colour bar `DepthBar` in the right margin. Lines are kept in a
// ring of rows, so adding one costs one row whatever the height, and painting
// samples only the rows and columns that land on screen.
#pragma once

#include "spectrogram/Colorbar.h"

#include <QImage>
#include <QWidget>
#include <functional>
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

class TSpectroGram : public QWidget
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
  void AddLine(std::span<const double> values, int lastIndex);

  // Axis values at a point of the control; unclamped.
  void PixelToValue(int x, int y, double& xValue, double& yValue) const;

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

public:

protected:
  // Starts the drag-and-drop of the bar once the mouse has moved past the
  // drag threshold with the button held.
  virtual void BeginBarDrag();
  bool BarDragPending() const { return FBarDragPending; }

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // The margins hold the labels, so they grow with the font.
  void ScaleMargins();
  // Source index of every column of a line of `lastIndex + 1` values.
  const std::vector<int>& LineColumns(int lastIndex);
  void PaintPlot(QPainter& painter, int pw, int ph);
  void PaintLabels(QPainter& painter, int w, int h);

  QImage FImage;    // ring of lines; row FNextRow is the oldest
  int FNextRow = 0; // where the next line is written
  QImage FPlot;     // plot-sized sample of the ring, reused between paints
  std::vector<int> FPlotColumns;
  int FPlotColumnsFor = -1; // image width FPlotColumns was made for (its size is the plot width)

  std::vector<int> FLineColumns; // of LineColumns, one per image column
  int FLineColumnsLast = -1;     // the last index they were made for

  TColorBar* FDepthBar = nullptr;
  TColorDepth FColorCount = TColorDepth::dc12;
  TSpectroMargins FMargins;
  TRangePair FDepthRange, FXRange, FYRange;
  bool FBarDragPending = false;
  QPoint FBarPressPos;
};

} // namespace duv
