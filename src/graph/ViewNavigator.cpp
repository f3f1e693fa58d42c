// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/ViewNavigator.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace duv {

namespace {
// The position along an axis: x across, y up and down.
double Along(bool Vertical, QPointF P)
{
  return Vertical ? P.y() : P.x();
}

// A rectangle side shorter than this zooms nothing on its axis.
constexpr int LeastBand = 3;
} // namespace

TViewNavigator::TViewNavigator(QWidget& Target, TNavigableView& View)
    : QObject(&Target), FTarget(Target), FView(View)
{
  if (FTarget.focusPolicy() == Qt::NoFocus)
    FTarget.setFocusPolicy(Qt::StrongFocus);
  FTarget.installEventFilter(this);
}

TViewNavigator::~TViewNavigator() = default;

void TViewNavigator::DrawFocus(QPainter& Painter, const QWidget& View)
{
  if (!View.hasFocus())
    return;
  Painter.save();
  Painter.setRenderHint(QPainter::Antialiasing, false);
  QPen pen(View.palette().color(QPalette::Highlight), 1, Qt::DotLine);
  Painter.setPen(pen);
  Painter.setBrush(Qt::NoBrush);
  Painter.drawRect(QRectF(View.rect()).adjusted(1.5, 1.5, -2.5, -2.5));
  Painter.restore();
}

bool TViewNavigator::Set(bool Vertical, const TAxisRange& Range)
{
  TAxisView now;
  if (!FView.NavigationAxis(Vertical, now) ||
      (now.Range.Min == Range.Min && now.Range.Max == Range.Max))
    return false;
  FView.SetNavigationRange(Vertical, Range);
  return true;
}

void TViewNavigator::ZoomAt(bool Vertical, QPointF At, double Factor)
{
  TAxisView a;
  if (!FView.NavigationAxis(Vertical, a))
    return;
  // About the pointer, held inside the plot.
  const double lo = std::min(a.Start, a.Start + a.Length),
               hi = std::max(a.Start, a.Start + a.Length);
  const double p = std::clamp(Along(Vertical, At), lo, hi);
  if (Set(Vertical, ZoomAtPixel(a, p, Factor)))
    Q_EMIT OnNavigate();
}

void TViewNavigator::PanBy(bool Vertical, double Pixels)
{
  TAxisView a;
  if (FView.NavigationAxis(Vertical, a) && Set(Vertical, PanByPixels(a, Pixels)))
    Q_EMIT OnNavigate();
}

bool TViewNavigator::Wheel(QWheelEvent* Event)
{
  const QPoint delta = Event->angleDelta();
  const int notches = delta.y() != 0 ? delta.y() : delta.x();
  if (notches == 0)
    return false;
  // A notch is 120; a touchpad sends parts of one.
  const bool vertical = Event->modifiers() & Qt::ControlModifier;
  ZoomAt(vertical, Event->position(), std::pow(ZoomStep, notches / 120.0));
  return true;
}

bool TViewNavigator::Press(QMouseEvent* Event)
{
  if (Event->button() != Qt::LeftButton ||
      (Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
    return false;
  // Held back until it is known whether this is a click or a drag.
  FDrag = TDrag::Pending;
  FBandWanted = Event->modifiers() & Qt::ShiftModifier;
  FPress = Event->position();
  FHeldPress.reset(Event->clone());
  for (bool v : {false, true})
    FMovable[v] = FView.NavigationAxis(v, FFrom[v]);
  return true;
}

QRect TViewNavigator::BandRect(QPoint To) const
{
  const QRect plot = FView.NavigationPlot();
  const QPoint from = FPress.toPoint();
  QRect r = QRect(from, To).normalized().intersected(plot);
  // An axis that does not move is taken whole.
  if (!FMovable[true]) {
    r.setTop(plot.top());
    r.setBottom(plot.bottom());
  }
  if (!FMovable[false]) {
    r.setLeft(plot.left());
    r.setRight(plot.right());
  }
  return r;
}

bool TViewNavigator::Move(QMouseEvent* Event)
{
  if (FDrag == TDrag::None || !(Event->buttons() & Qt::LeftButton))
    return false;
  const QPointF at = Event->position();
  if (FDrag == TDrag::Pending) {
    if ((at - FPress).manhattanLength() < QApplication::startDragDistance())
      return false;
    FDrag = FBandWanted ? TDrag::Band : TDrag::Pan;
  }
  if (FDrag == TDrag::Band) {
    if (!FBand)
      FBand = new QRubberBand(QRubberBand::Rectangle, &FTarget);
    FBand->setGeometry(BandRect(at.toPoint()));
    FBand->show();
  } else {
    bool moved = false;
    for (bool v : {false, true})
      if (FMovable[v])
        moved |= Set(v, PanByPixels(FFrom[v], Along(v, at) - Along(v, FPress)));
    if (moved)
      Q_EMIT OnNavigate();
  }
  return false; // the view still follows the pointer (its read-outs)
}

bool TViewNavigator::Release(QMouseEvent* Event)
{
  if (Event->button() != Qt::LeftButton || FDrag == TDrag::None)
    return false;
  const TDrag drag = FDrag;
  FDrag = TDrag::None;
  if (drag == TDrag::Pending) {
    // A click: the view gets the press it was owed, then the release.
    const std::unique_ptr<QMouseEvent> press = std::move(FHeldPress);
    if (press) {
      FReplaying = true;
      QCoreApplication::sendEvent(&FTarget, press.get());
      FReplaying = false;
    }
    return false;
  }
  if (drag == TDrag::Band) {
    const QRect band = BandRect(Event->position().toPoint());
    if (FBand)
      FBand->hide();
    bool moved = false;
    if (FMovable[false] && band.width() >= LeastBand)
      moved |= Set(false, RangeBetweenPixels(FFrom[false], band.left(), band.right()));
    if (FMovable[true] && band.height() >= LeastBand)
      moved |= Set(true, RangeBetweenPixels(FFrom[true], band.bottom(), band.top()));
    if (moved)
      Q_EMIT OnNavigate();
  }
  return true;
}

bool TViewNavigator::Key(QKeyEvent* Event)
{
  const bool ctrl = Event->modifiers() & Qt::ControlModifier;
  const QPointF middle = QRectF(FView.NavigationPlot()).center();
  TAxisView x, y;
  FView.NavigationAxis(false, x);
  FView.NavigationAxis(true, y);
  switch (Event->key()) {
  case Qt::Key_Plus:
  case Qt::Key_Equal: // + without Shift on many keyboards
    ZoomAt(ctrl, middle, ZoomStep);
    return true;
  case Qt::Key_Minus:
  case Qt::Key_Underscore:
    ZoomAt(ctrl, middle, 1 / ZoomStep);
    return true;
  // As the buttons: Left shows lower values, Up higher ones.
  case Qt::Key_Left:
    PanBy(false, KeyPanShare * x.Length);
    return true;
  case Qt::Key_Right:
    PanBy(false, -KeyPanShare * x.Length);
    return true;
  case Qt::Key_Up:
    PanBy(true, -KeyPanShare * y.Length);
    return true;
  case Qt::Key_Down:
    PanBy(true, KeyPanShare * y.Length);
    return true;
  case Qt::Key_Home:
    FView.ResetNavigation();
    return true;
  default:
    return false;
  }
}

bool TViewNavigator::eventFilter(QObject* Watched, QEvent* Event)
{
  if (Watched != &FTarget || FReplaying)
    return QObject::eventFilter(Watched, Event);
  switch (Event->type()) {
  case QEvent::Wheel:
    return Wheel(static_cast<QWheelEvent*>(Event));
  case QEvent::MouseButtonPress:
    return Press(static_cast<QMouseEvent*>(Event));
  case QEvent::MouseMove:
    return Move(static_cast<QMouseEvent*>(Event));
  case QEvent::MouseButtonRelease:
    return Release(static_cast<QMouseEvent*>(Event));
  case QEvent::MouseButtonDblClick:
    if (static_cast<QMouseEvent*>(Event)->button() != Qt::LeftButton)
      return false;
    FDrag = TDrag::None;
    FView.ResetNavigation();
    return true;
  case QEvent::KeyPress:
    return Key(static_cast<QKeyEvent*>(Event));
  case QEvent::FocusIn:
  case QEvent::FocusOut:
    FTarget.update(); // the focus frame
    return false;
  default:
    return QObject::eventFilter(Watched, Event);
  }
}

} // namespace duv
