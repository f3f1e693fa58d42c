// SPDX-License-Identifier: GPL-3.0-or-later
// Mouse and keyboard navigation of a view with axes, the same in every graph
// and spectrogram: the wheel zooms about the pointer (the level axis with
// Ctrl), a drag pans, a drag with Shift zooms to the rectangle drawn, a
// double-click resets; with the focus on the view, + and - zoom (Ctrl: the
// level axis), the arrows pan and Home resets. A press that does not move
// beyond the drag distance stays a click for the view's own handling. Any
// widget that offers TNavigableView gets all of this by making one
// TViewNavigator; the arithmetic is in AxisMath.
#pragma once

#include "graph/AxisMath.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <memory>

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QRubberBand;
class QWheelEvent;
class QWidget;

namespace duv {

// What a view offers to be navigated.
class TNavigableView
{
public:
  // The plot in the widget's coordinates, edges included.
  virtual QRect NavigationPlot() const = 0;
  // An axis as shown (its range, where it lies on the widget, its limits);
  // false for an axis the user cannot move.
  virtual bool NavigationAxis(bool Vertical, TAxisView& Axis) const = 0;
  // Shows Range on an axis.
  virtual void SetNavigationRange(bool Vertical, const TAxisRange& Range) = 0;
  // Back to the ranges of the last set-up.
  virtual void ResetNavigation() = 0;

protected:
  ~TNavigableView() = default;
};

class TViewNavigator : public QObject
{
  Q_OBJECT
public:
  // Watches Target's events; View moves its axes. Both outlive the navigator,
  // which Target owns.
  TViewNavigator(QWidget& Target, TNavigableView& View);
  ~TViewNavigator() override;

  // One wheel notch or key press narrows a range to this share (and widens
  // it by its inverse); a key moves the range by this share of its span.
  static constexpr double ZoomStep = 0.8;
  static constexpr double KeyPanShare = 0.1;

  // The keyboard focus as a dotted frame just inside the view's edge, drawn
  // by the view at the end of its paint while it has the focus.
  static void DrawFocus(QPainter& Painter, const QWidget& View);

Q_SIGNALS:
  // The user zoomed or moved an axis (a reset goes through the view).
  void OnNavigate();

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  bool Wheel(QWheelEvent* Event);
  bool Press(QMouseEvent* Event);
  bool Move(QMouseEvent* Event);
  bool Release(QMouseEvent* Event);
  bool Key(QKeyEvent* Event);
  // Zoom about a point of the widget, or about the plot's middle.
  void ZoomAt(bool Vertical, QPointF At, double Factor);
  // Moves the picture by Pixels of the widget along an axis.
  void PanBy(bool Vertical, double Pixels);
  bool Set(bool Vertical, const TAxisRange& Range);
  QRect BandRect(QPoint To) const;

  enum class TDrag { None, Pending, Pan, Band };
  QWidget& FTarget;
  TNavigableView& FView;
  TDrag FDrag = TDrag::None;
  bool FBandWanted = false; // Shift held at the press
  QPointF FPress;
  // The press held back, replayed as it came (its time included: the window
  // system pairs the next click with it into a double-click).
  std::unique_ptr<QMouseEvent> FHeldPress;
  // The axes as they were at the press: a drag moves them from there.
  TAxisView FFrom[2];
  bool FMovable[2] = {false, false};
  QRubberBand* FBand = nullptr;
  bool FReplaying = false;
};

} // namespace duv
