// SPDX-License-Identifier: GPL-3.0-or-later
// A whole file's spectrogram in the window: time across, frequency up
// (linear or logarithmic), coloured through a colour bar with its dB scale.
// Worker threads compute the levels (wavefile/LevelCache.h); the picture
// appears coarse at once and sharpens. The wheel, drags and keys of
// TViewNavigator zoom and move both axes, and a zoom finer than the
// picture's columns, or into frequency, is computed afresh for what is
// shown, so its detail is real. A click names a time, Space asks to play
// from the pointer, and the Wave File page's stretch is marked.
#pragma once

#include "graph/RoundTicks.h"
#include "graph/ViewNavigator.h"
#include "spectrogram/LevelPainter.h"

#include <QImage>
#include <QLine>
#include <QWidget>
#include <memory>
#include <vector>

class QTimer;

namespace duv {

class TColorBar;

class TFileSpectroView : public QWidget, public TNavigableView
{
  Q_OBJECT
public:
  explicit TFileSpectroView(QWidget* Parent = nullptr);
  ~TFileSpectroView() override;

  // The file shown (its samples are shared, not copied), whole. Empty
  // data shows nothing, and the work on the last file stops.
  void SetFile(const TSoundData& Data);
  // Stops the work under way; the file stays shown as far as it came.
  void StopWork();
  // Samples per transform (a buffer size) and the window: the levels are
  // computed again.
  int TransformSize() const { return FSize; }
  void SetTransformSize(int Size);
  TWindowKind WindowKind() const { return FWindow; }
  void SetWindowKind(TWindowKind Window);
  bool LogFrequency() const { return FLog; }
  void SetLogFrequency(bool Log);
  void SetColorTable(TColorCount Table);
  TColorBar* DepthBar() const { return FDepthBar; }
  TLevelCache& Cache() { return *FCache; }
  // How far below full scale the colour bar reaches: the floor of the
  // file's sample width.
  double Range() const { return FRange; }

  // What is shown: seconds across, hertz up.
  const TAxisRange& TimeView() const { return FTime; }
  void SetTimeView(const TAxisRange& Range);
  const TAxisRange& FrequencyView() const { return FFreq; }
  void SetFrequencyView(const TAxisRange& Range);
  // The whole file and all its frequencies, as a reset shows them.
  TAxisRange FullTime() const;
  TAxisRange FullFrequency() const;

  // The stretch the Wave File page analyses and plays: from Seconds for
  // Length seconds; a negative length marks nothing.
  void SetStretch(double Seconds, double Length);

  // The plot in the control's coordinates.
  QRect PlotRect() const;
  // Time, frequency and the level drawn at a point of the plot (NaN where
  // nothing is drawn yet); false off the plot.
  struct TReading
  {
    double Time = 0, Frequency = 0, Level = 0;
  };
  bool ReadAt(QPoint At, TReading& Reading);
  // What is shown, with its axes and colour bar, at the control's size or
  // at Size. With Complete, the work for it is awaited (at most
  // TimeoutMs), so that it is drawn in full detail.
  QImage RenderPicture(QSize Size = {}, bool Complete = false, int TimeoutMs = 60000);
  // The picture a user saves: complete, without the stretch's mark, and
  // with Title (the file's name) on a line above it.
  QImage SavedPicture(QSize Size, const QString& Title, int TimeoutMs = 60000);

  TViewNavigator& Navigator() { return *FNavigator; }
  QRect NavigationPlot() const override;
  bool NavigationAxis(bool Vertical, TAxisView& Axis) const override;
  void SetNavigationRange(bool Vertical, const TAxisRange& Range) override;
  void ResetNavigation() override;

Q_SIGNALS:
  void OnMouseMove(int X, int Y);
  void OnMouseLeave();
  // A click on the plot at a time.
  void OnTimeClick(double Seconds);
  // Space: play from the pointer's time (negative when the pointer is off
  // the plot), or stop what plays.
  void OnPlayKey(double Seconds);
  // New columns were drawn (the picture sharpened).
  void OnDetail();

protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void leaveEvent(QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

private:
  // Where everything lies at a size, and what the margins show.
  struct TLayout
  {
    QSize Size;
    QRect Plot, Bar;
    std::vector<QLine> Ticks;
    struct TLabel
    {
      QString Text;
      QRect Rect;
    };
    std::vector<TLabel> Labels;
  };
  TLayout MakeLayout(QSize Size) const;
  const TLayout& Layout() const;
  TLevelView LevelView(const QRect& Plot, double Scale) const;
  TAxisView TimeAxis(const QRect& Plot) const;
  TAxisView FrequencyAxis(const QRect& Plot) const;
  double Rate() const;
  void Restart();     // new file or settings: compute again
  void ViewChanged(); // what is shown moved
  void ColorsChanged();
  void ColumnsReady();
  void PaintTo(QPainter& Painter, const TLayout& Layout, const QImage& Plot, bool Stretch) const;
  QImage Render(QSize Size, bool Complete, int TimeoutMs, bool Stretch, const QString& Title);
  QImage PlotImage(const QRect& Plot, double Scale);

  std::unique_ptr<TLevelCache> FCache;
  TLevelPainter FPainter;
  TColorBar* FDepthBar = nullptr;
  TViewNavigator* FNavigator = nullptr;
  QTimer* FDetailTimer = nullptr;
  TSoundData FData;
  int FSize = 1024;
  TWindowKind FWindow = TWindowKind::Hann;
  bool FLog = false;
  double FRange = 96;
  TAxisRange FTime, FFreq;
  double FStretchStart = 0, FStretchLength = -1;
  QImage FPlot;
  bool FPlotValid = false;
  mutable TLayout FLayout;
  mutable bool FLayoutValid = false;
  QPoint FPointer;
  bool FPointerInside = false;
};

} // namespace duv
