// SPDX-License-Identifier: GPL-3.0-or-later
// The bar graph of band levels: one bar per octave or third octave, the
// level axis at the left with its unit, the band names under the bars, and
// the level of the bar under the pointer written over it.
#pragma once

#include "analysis/OctaveBands.h"

#include <QString>
#include <QWidget>
#include <vector>

namespace duv {

struct TBandBar
{
  TBand Band;
  double Level = 0; // in the view's unit
};

class TBandsView : public QWidget
{
  Q_OBJECT
public:
  explicit TBandsView(QWidget* Parent = nullptr);

  const std::vector<TBandBar>& Bars() const { return FBars; }
  void SetBars(const std::vector<TBandBar>& Bars);
  // The level axis, from Min at the bottom to Max at the top.
  double Min() const { return FMin; }
  double Max() const { return FMax; }
  void SetRange(double Min, double Max);
  const QString& Unit() const { return FUnit; }
  void SetUnit(const QString& Unit);

  // The bar under a point of the widget; -1 for none.
  int BarAt(QPoint At) const;
  // The bar under the pointer; -1 for none.
  int Hovered() const { return FHovered; }
  // "1 kHz  -23.4 dB(A)" for the bar under the pointer; empty for none.
  QString HoverText() const;

  QSize sizeHint() const override { return {400, 200}; }

Q_SIGNALS:
  // The pointer moved onto another bar, or off the bars.
  void OnHover(int Index);

protected:
  void paintEvent(QPaintEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void leaveEvent(QEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

private:
  // The plot inside the labels.
  QRect Plot() const;
  // The level's height in the plot, clamped to it.
  int LevelY(const QRect& Plot, double Level) const;
  QRect BarRect(const QRect& Plot, int Index) const;
  void SetHovered(int Index);

  std::vector<TBandBar> FBars;
  double FMin = -100, FMax = 10;
  QString FUnit = QStringLiteral("dB");
  int FHovered = -1;
};

} // namespace duv
