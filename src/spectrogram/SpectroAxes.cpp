// SPDX-License-Identifier: GPL-3.0-or-later
// The spectrogram's axes: what its frequency axis shows (zoomed, moved,
// logarithmic), the labels and ticks in its margins, fixed or round, the
// colour bar's dB scale, and the margins that hold them.
#include "spectrogram/Spectrogram.h"

#include "graph/FontMeasure.h"
#include "graph/RoundTicks.h"
#include "support/DSupport.h"
#include "support/UiSupport.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace duv {

namespace {

// Round ticks stand out of the frame by this much at the design font, and
// their labels this far from the ticks.
constexpr int DesignTick = 3;
constexpr int LabelGap = 2;

// Time runs from 0 at the bottom up to the span at the top; the colour bar
// from its floor up to full scale.
TTickAxis TimeAxis(const TRangePair& Y, int Pixels)
{
  TTickAxis a;
  a.Min = Y.Second;
  a.Max = Y.First;
  a.Pixels = Pixels;
  a.Vertical = true;
  a.Unit = QStringLiteral("s");
  a.Clock = true;
  a.DecimalPoint = DecimalSeparator();
  return a;
}

TTickAxis DepthAxis(const TRangePair& Depth, int Pixels, const QString& Unit)
{
  TTickAxis a;
  a.Min = Depth.First;
  a.Max = Depth.Second;
  a.Pixels = Pixels;
  a.Vertical = true;
  a.Decibels = true;
  a.Unit = Unit;
  a.DecimalPoint = DecimalSeparator();
  return a;
}

} // namespace

int TSpectroGram::RoundBarWidth() const
{
  return DesignPixels(TSpectroMargins().Right - 4, DesignScale(font()));
}

void TSpectroGram::UpdateMargins()
{
  Relayout();
  update();
}

void TSpectroGram::Relayout()
{
  const double s = DesignScale(font());
  const TSpectroMargins design;
  TSpectroMargins m{DesignPixels(design.Left, s), DesignPixels(design.Top, s),
                    DesignPixels(design.Right, s), DesignPixels(design.Bottom, s)};
  if (FRoundTicks) {
    // Room for the units on the top edge, the frequency labels below their
    // ticks, the time labels left of theirs and the dB scale right of the bar.
    const QFontMetrics fm(font());
    const TFontMeasure measure(fm);
    const int tick = DesignPixels(DesignTick, s);
    m.Top = std::max(m.Top, fm.height() / 2 + 2);
    m.Bottom = std::max(m.Bottom, 1 + tick + fm.height() + 1);
    const int ph = std::max(height() - m.Top - m.Bottom, 0);
    const int time = WidestLabel(RoundAxisTicks(TimeAxis(FYRange, ph), measure), fm);
    m.Left = std::max(m.Left, 1 + time + LabelGap + tick + 1);
    const int depth =
        WidestLabel(RoundAxisTicks(DepthAxis(FDepthRange, ph, FDepthUnit), measure), fm);
    m.Right = 2 + RoundBarWidth() + 1 + tick + LabelGap + depth + 2;
  }
  FMargins = m;
  FMarginsFor = size();
  FAxesValid = false;
  FPlotColumnsValid = false;
  LayoutDepthBar();
}

void TSpectroGram::AxesChanged()
{
  // Round labels size the margins; fixed ones sit in the design's.
  UpdateMargins();
}

const TSpectroAxes& TSpectroGram::Axes() const
{
  if (!FAxesValid || FMarginsFor != size()) {
    const QFontMetrics fm(font());
    FAxes = FRoundTicks ? RoundAxes(fm) : FixedAxes(fm);
    FAxesValid = true;
  }
  return FAxes;
}

TSpectroAxes TSpectroGram::FixedAxes(const QFontMetrics& metrics) const
{
  TSpectroAxes a;
  const int w = width(), h = height();
  const int th = metrics.height();
  const int pw = w - FMargins.Left - FMargins.Right;
  const TAxisView freq = FrequencyAxis();
  const double xStep = (FView.Max - FView.Min) / 5;
  for (int i = 0; i <= 5; ++i) {
    const int x = FMargins.Left + MulDiv(i, pw, 5);
    const double f = FLogFrequency ? ValueAtPixel(freq, x) : FView.Min + i * xStep;
    const QString text = FormatFixed(f, 0);
    const int tw = metrics.horizontalAdvance(text);
    a.Ticks.emplace_back(x, h - th, x, h - FMargins.Bottom + 2);
    a.Labels.push_back({text, QRect(x - tw / 2, h - th, tw, th)});
  }
  const double yStep = (FYRange.Second - FYRange.First) / 5;
  const int ph = h - FMargins.Top - FMargins.Bottom;
  for (int i = 0; i <= 5; ++i) {
    const QString text = FormatFixed(FYRange.First + i * yStep, 1);
    const int tw = metrics.horizontalAdvance(text);
    const int y = FMargins.Top + MulDiv(i, ph, 5);
    a.Labels.push_back({text, QRect(1, y - th / 2, tw, th)});
    a.Ticks.emplace_back(tw + 4, y, FMargins.Left - 3, y);
  }
  return a;
}

TSpectroAxes TSpectroGram::RoundAxes(const QFontMetrics& metrics) const
{
  TSpectroAxes a;
  const TFontMeasure measure(metrics);
  const int th = metrics.height();
  const int tick = DesignPixels(DesignTick, DesignScale(font()));
  const QRect plot = PlotRect();
  const int left = plot.left(), top = plot.top(), pw = plot.width(), ph = plot.height();
  const int bottom = top + ph; // the first row below the plot: the frame

  TTickAxis freq;
  freq.Min = FView.Min;
  freq.Max = FView.Max;
  freq.Log = FLogFrequency;
  freq.Pixels = pw;
  freq.Unit = QStringLiteral("Hz");
  freq.DecimalPoint = DecimalSeparator();
  const int labelTop = bottom + 1 + tick;
  for (const TAxisTick& t : RoundAxisTicks(freq, measure)) {
    const int x = left + t.Pixel;
    const int tw = metrics.horizontalAdvance(t.Label);
    if (t.Unit) {
      a.Labels.push_back({t.Label, QRect(left + pw - tw, labelTop, tw, th)});
      continue;
    }
    // A digit between decades gets a shorter tick.
    a.Ticks.emplace_back(x, bottom + 1, x, bottom + 1 + (t.Major || t.Labelled ? tick : tick / 2));
    if (t.Labelled)
      a.Labels.push_back({t.Label, QRect(x - tw / 2, labelTop, tw, th)});
  }

  // Labels of a vertical scale end LabelGap left of their tick (time) or
  // start LabelGap right of it (the bar's dB), centred on it.
  const auto vertical = [&](const std::vector<TAxisTick>& ticks, int edge, bool leftOfIt) {
    for (const TAxisTick& t : ticks) {
      const int y = top + ph - t.Pixel;
      const int tw = metrics.horizontalAdvance(t.Label);
      if (!t.Unit)
        a.Ticks.emplace_back(leftOfIt ? edge - tick : edge, y, leftOfIt ? edge : edge + tick, y);
      if (!t.Labelled)
        continue;
      const int x = leftOfIt ? edge - tick - LabelGap - tw : edge + tick + LabelGap;
      a.Labels.push_back({t.Label, QRect(x, y - th / 2, tw, th)});
    }
  };
  vertical(RoundAxisTicks(TimeAxis(FYRange, ph), measure), left - 1, true);
  const QRect bar = FDepthBar->geometry();
  vertical(RoundAxisTicks(DepthAxis(FDepthRange, ph, FDepthUnit), measure), bar.right() + 2, false);
  return a;
}

TAxisRange TSpectroGram::FullView() const
{
  if (!FLogFrequency)
    return {FXRange.First, FXRange.Second};
  const double lo = std::min(FXRange.First, FXRange.Second);
  const double hi = std::max(FXRange.First, FXRange.Second);
  // A log axis cannot reach 0 Hz: it starts at the first column's width.
  return {lo > 0 ? lo : (hi - lo) / (ImageWidth() > 0 ? ImageWidth() : 1000), hi};
}

TAxisView TSpectroGram::FrequencyAxis() const
{
  TAxisView a;
  a.Range = FView;
  a.Log = FLogFrequency;
  a.Start = FMargins.Left;
  a.Length = width() - FMargins.Left - FMargins.Right;
  // In to one column of the picture, out to all of it, never past its ends.
  const TAxisRange full = FullView();
  const double span = std::fabs(FXRange.Second - FXRange.First);
  a.Limits.MinSpan = span / std::max(ImageWidth(), 1);
  a.Limits.MaxSpan = full.Max - full.Min;
  a.Limits.Lowest = full.Min;
  a.Limits.Highest = full.Max;
  return a;
}

void TSpectroGram::SetFrequencyView(const TAxisRange& range)
{
  if (FView.Min == range.Min && FView.Max == range.Max)
    return;
  FView = range;
  FPlotColumnsValid = false;
  FAxesValid = false;
  update();
}

void TSpectroGram::SetLogFrequency(bool log)
{
  if (!Assign(FLogFrequency, log))
    return;
  // Keep what is shown where the new scale can show it.
  const TAxisRange full = FullView();
  FView.Min = std::clamp(FView.Min, full.Min, full.Max);
  FView.Max = std::clamp(FView.Max, full.Min, full.Max);
  if (!(FView.Max > FView.Min))
    FView = full;
  AxesChanged();
}

void TSpectroGram::SetRoundTicks(bool round)
{
  if (Assign(FRoundTicks, round))
    UpdateMargins();
}

void TSpectroGram::SetDepthUnit(const QString& Unit)
{
  if (Assign(FDepthUnit, Unit))
    UpdateMargins();
}

QRect TSpectroGram::NavigationPlot() const
{
  return QRect(QPoint(FMargins.Left, FMargins.Top),
               QPoint(width() - FMargins.Right, height() - FMargins.Bottom));
}

bool TSpectroGram::NavigationAxis(bool vertical, TAxisView& axis) const
{
  if (vertical)
    return false; // time stays as the set-up made it
  axis = FrequencyAxis();
  return true;
}

void TSpectroGram::SetNavigationRange(bool vertical, const TAxisRange& range)
{
  if (!vertical)
    SetFrequencyView(range);
}

void TSpectroGram::ResetNavigation()
{
  SetFrequencyView(FullView());
}

} // namespace duv
