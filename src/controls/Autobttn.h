// SPDX-License-Identifier: GPL-3.0-or-later
// A speed button that keeps clicking while it is held: the first repeat after
// InitialDelay, then one every RepeatDelay, and one more on release.
#pragma once

#include <QAbstractButton>

class QTimer;

namespace duv {

class TAutoButton : public QAbstractButton
{
  Q_OBJECT
public:
  explicit TAutoButton(QWidget* parent = nullptr);

  bool DoRepeat() const { return FDoRepeat; }
  void SetDoRepeat(bool v) { FDoRepeat = v; }
  int InitialDelay() const { return FInitialDelay; }
  void SetInitialDelay(int ms) { FInitialDelay = ms; }
  int RepeatDelay() const { return FRepeatDelay; }
  void SetRepeatDelay(int ms) { FRepeatDelay = ms; }

  // True from a left press until its release.
  bool IsPressed() const { return FPressed; }
  // Null until the first press; it then lives as long as the button.
  QTimer* RepeatTimer() const { return FRepeatTimer; }
  // One tick of the repeat timer; public so that tests need not sleep.
  void RepeatTick();

  QSize sizeHint() const override { return {15, 11}; }

signals:
  void OnMouseUp();

protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  // The plain raised or sunken face every speed button shows.
  void paintFace(class QPainter& p);

private:
  bool FDoRepeat = false;
  int FInitialDelay = 400;
  int FRepeatDelay = 100;
  bool FPressed = false;
  QTimer* FRepeatTimer = nullptr;
};

} // namespace duv
