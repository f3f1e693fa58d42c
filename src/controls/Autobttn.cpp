// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Autobttn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QTimer>

namespace duv {

TAutoButton::TAutoButton(QWidget* parent) : QAbstractButton(parent)
{
  setFocusPolicy(Qt::NoFocus);
}

void TAutoButton::mousePressEvent(QMouseEvent* e)
{
  if (e->button() != Qt::LeftButton) {
    QAbstractButton::mousePressEvent(e);
    return;
  }
  FPressed = true;
  QAbstractButton::mousePressEvent(e);
  if (!FDoRepeat)
    return;
  if (!FRepeatTimer) {
    FRepeatTimer = new QTimer(this);
    connect(FRepeatTimer, &QTimer::timeout, this, &TAutoButton::RepeatTick);
  }
  FRepeatTimer->setInterval(FInitialDelay);
  FRepeatTimer->start();
}

void TAutoButton::RepeatTick()
{
  if (FRepeatTimer)
    FRepeatTimer->setInterval(FRepeatDelay);
  // Only while the button still shows pressed (the mouse is over it) and the
  // press has not ended.
  if (!isDown() || !FPressed)
    return;
  try {
    emit clicked(false);
  } catch (...) {
    if (FRepeatTimer)
      FRepeatTimer->stop();
    throw;
  }
}

void TAutoButton::mouseReleaseEvent(QMouseEvent* e)
{
  if (e->button() != Qt::LeftButton) {
    QAbstractButton::mouseReleaseEvent(e);
    return;
  }
  FPressed = false;
  // The base class clicks once more when the release is over the button.
  QAbstractButton::mouseReleaseEvent(e);
  if (FRepeatTimer)
    FRepeatTimer->stop();
  emit OnMouseUp();
}

void TAutoButton::paintFace(QPainter& p)
{
  QStyleOptionButton opt;
  opt.initFrom(this);
  opt.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
  style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &opt, &p, this);
}

void TAutoButton::paintEvent(QPaintEvent*)
{
  QPainter p(this);
  paintFace(p);
}

} // namespace duv
