// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/BandsView.h"

#include "support/DSupport.h"
#include "support/UiSupport.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace duv {

namespace {
// The spectrum graph's colours: green on black.
const QColor Background = Qt::black;
const QColor Grid(0, 128, 0);
const QColor Text(0, 255, 0);
const QColor Bar(0, 200, 0);
const QColor HoverBar(255, 255, 0);
constexpr int Margin = 6;
} // namespace

TBandsView::TBandsView(QWidget* Parent) : QWidget(Parent)
{
  setAccessibleName(QStringLiteral("Bands"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(120, 80);
}

void TBandsView::SetBars(const std::vector<TBandBar>& Bars)
{
  const bool layout = Bars.size() != FBars.size();
  FBars = Bars;
  if (layout && FHovered >= int(FBars.size()))
    SetHovered(-1);
  setAccessibleDescription(HoverText());
  update();
}

void TBandsView::SetRange(double Min, double Max)
{
  if (!(Max > Min) || (Min == FMin && Max == FMax))
    return;
  FMin = Min;
  FMax = Max;
  update();
}

void TBandsView::SetUnit(const QString& Unit)
{
  if (Assign(FUnit, Unit))
    update();
}

QRect TBandsView::Plot() const
{
  const QFontMetrics m = fontMetrics();
  const int left = Margin + m.horizontalAdvance(QStringLiteral("-200")) + 4;
  const int top = Margin + m.height() + 2;
  const int bottom = Margin + m.height() + 4;
  return QRect(left, top, std::max(1, width() - left - Margin),
               std::max(1, height() - top - bottom));
}

int TBandsView::LevelY(const QRect& Plot, double Level) const
{
  const double t = std::clamp((Level - FMin) / (FMax - FMin), 0.0, 1.0);
  return Plot.bottom() + 1 - Round(t * Plot.height());
}

QRect TBandsView::BarRect(const QRect& Plot, int Index) const
{
  const int n = int(FBars.size());
  const int x0 = Plot.left() + MulDiv(Plot.width(), Index, n);
  const int x1 = Plot.left() + MulDiv(Plot.width(), Index + 1, n);
  const int gap = std::max(1, (x1 - x0) / 6);
  const int top = LevelY(Plot, FBars[std::size_t(Index)].Level);
  return QRect(QPoint(x0 + gap, top), QPoint(x1 - gap - 1, Plot.bottom()));
}

int TBandsView::BarAt(QPoint At) const
{
  const QRect plot = Plot();
  const int n = int(FBars.size());
  if (n == 0 || At.x() < plot.left() || At.x() > plot.right() || At.y() < plot.top() ||
      At.y() > plot.bottom() + fontMetrics().height() + 4)
    return -1;
  // The whole column of a band, so that a low bar is easy to point at.
  return std::clamp(int((At.x() - plot.left()) * std::int64_t(n) / plot.width()), 0, n - 1);
}

QString TBandsView::HoverText() const
{
  if (FHovered < 0 || FHovered >= int(FBars.size()))
    return QString();
  const TBandBar& b = FBars[std::size_t(FHovered)];
  return QStringLiteral("%1 Hz  %2 %3")
      .arg(BandName(b.Band, false), FormatFixed(b.Level, 1), FUnit);
}

void TBandsView::SetHovered(int Index)
{
  if (!Assign(FHovered, Index))
    return;
  setAccessibleDescription(HoverText());
  update();
  emit OnHover(Index);
}

void TBandsView::mouseMoveEvent(QMouseEvent* Event)
{
  SetHovered(BarAt(Event->position().toPoint()));
}

void TBandsView::leaveEvent(QEvent*)
{
  SetHovered(-1);
}

void TBandsView::resizeEvent(QResizeEvent*)
{
  update();
}

void TBandsView::paintEvent(QPaintEvent*)
{
  QPainter p(this);
  p.fillRect(rect(), Background);
  const QRect plot = Plot();
  const QFontMetrics m = fontMetrics();
  p.setPen(Grid);
  p.drawRect(plot.adjusted(0, 0, -1, -1));

  // Level lines every 10 dB, or 20 when that would crowd them.
  const double span = FMax - FMin;
  double step = 10;
  while (span / step * (m.height() + 2) > plot.height() && step < 1000)
    step *= 2;
  for (double v = std::ceil(FMin / step) * step; v <= FMax + 1e-9; v += step) {
    const int y = LevelY(plot, v);
    p.setPen(Grid);
    p.drawLine(plot.left(), y, plot.right(), y);
    p.setPen(Text);
    const QString label = FormatFixed(v, 0);
    p.drawText(QRect(Margin, y - m.height() / 2, plot.left() - Margin - 4, m.height()),
               Qt::AlignRight | Qt::AlignVCenter, label);
  }
  p.setPen(Text);
  // Over the plot, clear of the level labels at its left.
  p.drawText(QRect(plot.left() + 2, Margin, width() - plot.left() - Margin, m.height()),
             Qt::AlignLeft, FUnit);

  const int n = int(FBars.size());
  if (n == 0) {
    p.drawText(plot, Qt::AlignCenter, QStringLiteral("No bands yet"));
    return;
  }
  // Names under the bars, as many as fit side by side.
  int widest = 0;
  for (const TBandBar& b : FBars)
    widest = std::max(widest, m.horizontalAdvance(BandName(b.Band, true)));
  const int every = std::max(1, int(std::ceil((widest + 6.0) * n / plot.width())));
  for (int i = 0; i < n; ++i) {
    const QRect r = BarRect(plot, i);
    p.fillRect(r, i == FHovered ? HoverBar : Bar);
    if (i % every == 0) {
      const int centre = (plot.left() + MulDiv(plot.width(), i, n) + plot.left() +
                          MulDiv(plot.width(), i + 1, n)) /
                         2;
      p.drawText(QRect(centre - widest, plot.bottom() + 3, 2 * widest, m.height()),
                 Qt::AlignHCenter | Qt::AlignTop, BandName(FBars[std::size_t(i)].Band, true));
    }
  }
  if (FHovered >= 0 && FHovered < n) {
    // The level over the bar, kept inside the plot.
    const QString text = HoverText();
    const QRect bar = BarRect(plot, FHovered);
    const int w = m.horizontalAdvance(text) + 8;
    int x = bar.center().x() - w / 2;
    x = std::clamp(x, plot.left() + 1, std::max(plot.left() + 1, plot.right() - w));
    const int y = std::max(plot.top() + 1, bar.top() - m.height() - 4);
    const QRect box(x, y, w, m.height() + 2);
    p.fillRect(box, Background);
    p.setPen(HoverBar);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.drawText(box, Qt::AlignCenter, text);
  }
}

} // namespace duv
