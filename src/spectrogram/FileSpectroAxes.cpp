// SPDX-License-Identifier: GPL-3.0-or-later
// The whole-file view's axes: where the plot and the colour bar lie at a
// size, the round ticks and labels in the margins (time, frequency, the
// bar's dB), and the axes as navigation moves them.
#include "spectrogram/FileSpectroView.h"

#include "graph/FontMeasure.h"
#include "spectrogram/Colorbar.h"
#include "support/DSupport.h"
#include "support/UiSupport.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace duv {

namespace {

constexpr int DesignTick = 3;
constexpr int LabelGap = 2;
constexpr int DesignBarWidth = 16;
constexpr int DesignLeft = 30;
constexpr double LeastSamplesPerPixel = 0.25;
constexpr double LeastSamples = 16;
constexpr int LeastBins = 32;

TTickAxis tickAxis(double Min, double Max, int Pixels, bool Vertical, const QString& Unit)
{
  TTickAxis a;
  a.Min = Min;
  a.Max = Max;
  a.Pixels = Pixels;
  a.Vertical = Vertical;
  a.Unit = Unit;
  a.DecimalPoint = DecimalSeparator();
  return a;
}

} // namespace

TFileSpectroView::TLayout TFileSpectroView::MakeLayout(QSize Size) const
{
  TLayout l;
  l.Size = Size;
  const QFontMetrics fm(font());
  const TFontMeasure measure(fm);
  const double s = DesignScale(font());
  const int tick = DesignPixels(DesignTick, s), barWidth = DesignPixels(DesignBarWidth, s);
  const int th = fm.height();
  const int top = th / 2 + 2;
  const int bottom = 1 + tick + th + 2;
  const int ph = std::max(Size.height() - top - bottom, 0);

  TTickAxis freq = tickAxis(FFreq.Min, FFreq.Max, ph, true, QStringLiteral("Hz"));
  freq.Log = FLog;
  TTickAxis depth = tickAxis(-FRange, 0, ph, true, QStringLiteral("dB"));
  depth.Decibels = true;
  const std::vector<TAxisTick> freqTicks = RoundAxisTicks(freq, measure);
  const std::vector<TAxisTick> depthTicks = RoundAxisTicks(depth, measure);
  const int left =
      std::max(DesignPixels(DesignLeft, s), 1 + WidestLabel(freqTicks, fm) + LabelGap + tick + 1);
  const int right = 2 + barWidth + 1 + tick + LabelGap + WidestLabel(depthTicks, fm) + 2;
  const int pw = std::max(Size.width() - left - right, 0);
  l.Plot = QRect(left, top, pw, ph);
  l.Bar = QRect(left + pw + 3, top, barWidth, ph);

  // Time across, its labels under their ticks.
  const int below = top + ph; // the frame's row
  const int labelTop = below + 1 + tick;
  TTickAxis time = tickAxis(FTime.Min, FTime.Max, pw, false, QStringLiteral("s"));
  time.Clock = true;
  for (const TAxisTick& t : RoundAxisTicks(time, measure)) {
    const int x = left + t.Pixel;
    const int tw = fm.horizontalAdvance(t.Label);
    if (t.Unit) {
      l.Labels.push_back({t.Label, QRect(left + pw - tw, labelTop, tw, th)});
      continue;
    }
    l.Ticks.emplace_back(x, below + 1, x, below + (t.Major || t.Labelled ? tick : tick / 2));
    if (t.Labelled)
      l.Labels.push_back({t.Label, QRect(x - tw / 2, labelTop, tw, th)});
  }
  // Frequency up, left of the plot; the bar's dB right of the bar.
  const auto vertical = [&](const std::vector<TAxisTick>& ticks, int edge, bool leftOfIt) {
    for (const TAxisTick& t : ticks) {
      const int y = top + ph - t.Pixel;
      const int tw = fm.horizontalAdvance(t.Label);
      if (!t.Unit) {
        const int length = t.Major || t.Labelled ? tick : tick / 2;
        l.Ticks.emplace_back(leftOfIt ? edge - length : edge + 1, y,
                             leftOfIt ? edge - 1 : edge + length, y);
      }
      if (!t.Labelled)
        continue;
      const int x = leftOfIt ? edge - tick - LabelGap - tw : edge + tick + LabelGap + 1;
      l.Labels.push_back({t.Label, QRect(x, y - th / 2, tw, th)});
    }
  };
  vertical(freqTicks, left - 1, true);
  vertical(depthTicks, l.Bar.right(), false);
  return l;
}

const TFileSpectroView::TLayout& TFileSpectroView::Layout() const
{
  if (!FLayoutValid || FLayout.Size != size()) {
    FLayout = MakeLayout(size());
    FLayoutValid = true;
  }
  return FLayout;
}

QRect TFileSpectroView::PlotRect() const
{
  return Layout().Plot;
}

TAxisView TFileSpectroView::TimeAxis(const QRect& Plot) const
{
  TAxisView a;
  a.Range = FTime;
  a.Start = Plot.left();
  a.Length = Plot.width();
  const TAxisRange full = FullTime();
  const double rate = Rate() > 0 ? Rate() : 1;
  // In to a few pixels a sample, out to the whole file.
  a.Limits.MinSpan = std::max(LeastSamples, Plot.width() * LeastSamplesPerPixel) / rate;
  a.Limits.MaxSpan = full.Max - full.Min;
  a.Limits.Lowest = full.Min;
  a.Limits.Highest = full.Max;
  return a;
}

TAxisView TFileSpectroView::FrequencyAxis(const QRect& Plot) const
{
  TAxisView a;
  a.Range = FFreq;
  a.Log = FLog;
  a.Start = Plot.top() + Plot.height();
  a.Length = -Plot.height();
  const TAxisRange full = FullFrequency();
  const double rate = Rate() > 0 ? Rate() : 44100;
  // In to a few dozen bins of the largest transform, out to all of them.
  a.Limits.MinSpan = LeastBins * rate / LargestViewSize;
  a.Limits.MaxSpan = full.Max - full.Min;
  a.Limits.Lowest = full.Min;
  a.Limits.Highest = full.Max;
  return a;
}

QRect TFileSpectroView::NavigationPlot() const
{
  return PlotRect();
}

bool TFileSpectroView::NavigationAxis(bool Vertical, TAxisView& Axis) const
{
  const QRect plot = PlotRect();
  Axis = Vertical ? FrequencyAxis(plot) : TimeAxis(plot);
  return FCache->HasSource();
}

void TFileSpectroView::SetNavigationRange(bool Vertical, const TAxisRange& Range)
{
  if (Vertical)
    SetFrequencyView(Range);
  else
    SetTimeView(Range);
}

void TFileSpectroView::ResetNavigation()
{
  const TAxisRange time = FullTime(), freq = FullFrequency();
  if (time.Min == FTime.Min && time.Max == FTime.Max && freq.Min == FFreq.Min &&
      freq.Max == FFreq.Max)
    return;
  FTime = time;
  FFreq = freq;
  ViewChanged();
}

} // namespace duv
