// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text measured in a font, as the axis layouts of the graphs, the
// spectrogram, the whole-file view and the spectrogram picture need it.

#include "graph/AxisMath.h"

#include <QFont>
#include <QFontMetrics>

#include <algorithm>
#include <vector>

namespace duv {

class TFontMeasure final : public TTextMeasure
{
public:
  explicit TFontMeasure(const QFontMetrics& Metrics) : FMetrics(Metrics) {}
  explicit TFontMeasure(const QFont& Font) : FMetrics(Font) {}
  int Width(const QString& Text) const override { return FMetrics.horizontalAdvance(Text); }
  int Height() const override { return FMetrics.height(); }
  int DigitHeight() const override { return FMetrics.capHeight(); }

private:
  QFontMetrics FMetrics;
};

// The width of the widest label among Ticks.
inline int WidestLabel(const std::vector<TAxisTick>& Ticks, const QFontMetrics& Metrics)
{
  int widest = 0;
  for (const TAxisTick& t : Ticks)
    if (t.Labelled)
      widest = std::max(widest, Metrics.horizontalAdvance(t.Label));
  return widest;
}

} // namespace duv
