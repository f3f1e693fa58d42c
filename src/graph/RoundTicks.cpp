// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/RoundTicks.h"

#include "support/ClockTime.h"
#include "support/DSupport.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace duv {

double LabelStep(double span, int most, bool db)
{
  if (!(span > 0) || most < 1)
    return span > 0 ? span : 1;
  const double raw = span / most;
  const int e = int(std::floor(std::log10(raw)));
  std::vector<double> steps;
  // Decibels also step by 3 and 6, and by 12, 24 and 48 (2, 4 and 8 bits'
  // worth), never by 1.2.
  static const double plain[] = {1, 2, 5};
  static const double decibels[] = {1, 2, 3, 5, 6};
  static const double bits[] = {1.2, 2.4, 4.8};
  for (int k = e; k <= e + 1; ++k) {
    for (double m : db ? std::span<const double>(decibels) : std::span<const double>(plain))
      steps.push_back(m * std::pow(10.0, k));
    if (db && k >= 1)
      for (double m : bits)
        steps.push_back(m * std::pow(10.0, k));
  }
  std::sort(steps.begin(), steps.end());
  steps.push_back(std::pow(10.0, e + 2));
  std::erase_if(steps, [&](double s) { return s < raw * (1 - 1e-9); });
  if (db)
    // One that ends the bar on a label (96 dB in steps of 12), unless it is
    // much coarser than needed.
    for (double s : steps) {
      if (s > 3 * raw)
        break;
      const double n = span / s;
      if (std::fabs(n - std::round(n)) < 1e-6)
        return s;
    }
  return steps.front();
}

double ClockStep(double span, int most)
{
  if (!(span > 0) || most < 1)
    return span > 0 ? span : 1;
  const double raw = span / most;
  if (raw <= 1)
    return LabelStep(span, most);
  static const double steps[] = {2,   5,    10,   15,   20,   30,    60,    120,   300,  600,
                                 900, 1200, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
  for (double s : steps)
    if (s >= raw * (1 - 1e-9))
      return s;
  return LabelStep(span / 86400, most) * 86400;
}

std::vector<double> StepTicks(double Low, double High, double Step)
{
  std::vector<double> v;
  if (!(Step > 0) || !(High >= Low) || !std::isfinite(Low) || !std::isfinite(High) ||
      (High - Low) / Step > 1e6)
    return v;
  const double first = std::ceil(Low / Step - 1e-9) * Step;
  for (int k = 0;; ++k) {
    double x = first + k * Step;
    if (x > High + Step * 1e-9)
      break;
    if (std::fabs(x) < Step * 1e-9)
      x = 0; // exactly zero, however the sum came out
    v.push_back(x);
  }
  return v;
}

int StepDecimals(double Step)
{
  int decimals = 0;
  while (decimals < 6 && std::fabs(Step * std::pow(10.0, decimals) -
                                   std::round(Step * std::pow(10.0, decimals))) > 1e-6)
    ++decimals;
  return decimals;
}

TLabelFormat LabelFormatFor(double Step, double Largest)
{
  TLabelFormat f;
  f.Kilo = std::fabs(Largest) >= 1000 && Step >= 100;
  f.Decimals = StepDecimals(f.Kilo ? Step / 1000 : Step);
  return f;
}

QString RoundLabel(double Value, const TLabelFormat& Format, QChar DecimalPoint)
{
  double x = Format.Kilo ? Value / 1000 : Value;
  if (std::fabs(x) < 0.5 * std::pow(10.0, -Format.Decimals))
    x = 0; // no "−0"
  QString text = QString::number(x, 'f', Format.Decimals);
  if (DecimalPoint != QLatin1Char('.'))
    text.replace(QLatin1Char('.'), DecimalPoint);
  if (text.startsWith(QLatin1Char('-')))
    text.replace(0, 1, QChar(0x2212));
  if (Format.Kilo && x != 0)
    text += QLatin1Char('k');
  return text;
}

namespace {

// Where a label lies along its axis, in pixels from the start.
struct TExtent
{
  double Lo;
  double Hi;
};

TExtent LabelExtent(const TTickAxis& A, const TTextMeasure& F, const TAxisTick& T)
{
  const double half = A.Vertical ? F.Height() / 2.0 : F.Width(T.Label) / 2.0;
  return {T.Pixel - half, T.Pixel + half};
}

// The least room between two labels.
int LabelGap(const TTickAxis& A, const TTextMeasure& F)
{
  return A.Vertical ? 2 : std::max(F.Width(QStringLiteral("0")), 2);
}

// Leaves out every label that runs into the one before it or into the unit,
// then adds the unit at the far end.
void FitLabels(std::vector<TAxisTick>& Ticks, const TTickAxis& A, const TTextMeasure& F)
{
  std::stable_sort(Ticks.begin(), Ticks.end(),
                   [](const TAxisTick& a, const TAxisTick& b) { return a.Pixel < b.Pixel; });
  const int gap = LabelGap(A, F);
  TAxisTick unit;
  unit.Unit = true;
  unit.Labelled = true;
  unit.Label = A.Unit;
  unit.Pixel = A.Pixels;
  unit.Value = A.Max;
  const bool hasUnit = !A.Unit.isEmpty();
  // Across, the unit ends at the far end; stacked, it stands on it like a label.
  const TExtent u = A.Vertical ? LabelExtent(A, F, unit)
                               : TExtent{double(A.Pixels - F.Width(A.Unit)), double(A.Pixels)};
  bool any = false;
  double lastHi = 0;
  for (TAxisTick& t : Ticks) {
    if (!t.Labelled)
      continue;
    const TExtent e = LabelExtent(A, F, t);
    if ((any && e.Lo < lastHi + gap) || (hasUnit && e.Hi + gap > u.Lo && e.Lo < u.Hi + gap)) {
      t.Labelled = false;
      t.Label.clear();
      continue;
    }
    any = true;
    lastHi = e.Hi;
  }
  std::erase_if(Ticks, [](const TAxisTick& t) { return !t.Grid && !t.Labelled; });
  if (hasUnit)
    Ticks.push_back(unit);
}

// Label and axis values are raw values times a usable multiplier.
double LabelScale(const TTickAxis& A)
{
  return std::isfinite(A.Multiplier) && A.Multiplier != 0 ? A.Multiplier : 1.0;
}

// A time axis reads as a clock where a label would reach a minute.
bool ClockAxis(const TTickAxis& A)
{
  const double mult = LabelScale(A);
  return A.Clock && !A.Log && std::max(std::fabs(A.Min * mult), std::fabs(A.Max * mult)) >= 60;
}

// How the labels of a linear axis are written.
struct TLabeller
{
  bool Clock = false;
  bool Hours = false;
  TLabelFormat Format;
  QString operator()(double V, QChar DecimalPoint) const
  {
    if (!Clock)
      return RoundLabel(V, Format, DecimalPoint);
    QString text = ClockText(V, Format.Decimals, Hours);
    if (text.startsWith(QLatin1Char('-')))
      text.replace(0, 1, QChar(0x2212));
    return text;
  }
};

std::vector<TAxisTick> LinearTicks(const TTickAxis& A, const TTextMeasure& F)
{
  const double mult = LabelScale(A);
  const double a = A.Min * mult, b = A.Max * mult;
  const double lo = std::min(a, b), hi = std::max(a, b), span = hi - lo;
  std::vector<TAxisTick> ticks;
  if (!(span > 0) || !std::isfinite(span) || A.Pixels <= 0 || A.Max == A.Min)
    return ticks;
  const int gap = LabelGap(A, F);
  // Stacked labels stand a line and a half apart, closer only on a short
  // axis that would keep fewer than four, and no more than ten of them. Side
  // by side, start dense and widen the room to the widest label of the step
  // until the labels stand apart.
  int room = 3 * gap;
  if (A.Vertical) {
    const int most =
        std::max(2 * A.Pixels / (3 * F.Height()), std::min(4, A.Pixels / (F.Height() + gap)));
    room = std::max(1, A.Pixels / std::clamp(most, 1, 10));
  }
  double step = span;
  TLabeller label;
  label.Clock = ClockAxis(A);
  // Whole seconds decide: 3599.7 s reads 1:00:00.
  label.Hours = std::max(std::fabs(lo), std::fabs(hi)) >= 3599.5;
  std::vector<double> values;
  for (int round = 0; round < 8; ++round) {
    const int most = std::max(1, A.Pixels / std::max(room, 1));
    step = label.Clock ? ClockStep(span, most) : LabelStep(span, most, A.Decibels);
    label.Format = LabelFormatFor(step, std::max(std::fabs(lo), std::fabs(hi)));
    if (label.Clock)
      label.Format = {false, StepDecimals(step)};
    values = StepTicks(lo, hi, step);
    if (A.Vertical)
      break;
    int widest = 0;
    for (double v : values)
      widest = std::max(widest, F.Width(label(v, A.DecimalPoint)));
    if (step / span * A.Pixels >= widest + gap)
      break;
    room = std::max(room + 1, widest + 2 * gap);
  }
  const long double range = static_cast<long double>(A.Max) - A.Min;
  for (double v : values) {
    TAxisTick t;
    t.Value = v / mult;
    t.Pixel = Round((t.Value - static_cast<long double>(A.Min)) / range * A.Pixels);
    t.Grid = t.Pixel > 0 && t.Pixel < A.Pixels;
    t.Labelled = true;
    t.Label = label(v, A.DecimalPoint);
    ticks.push_back(t);
  }
  return ticks;
}

std::vector<TAxisTick> LogTicks(const TTickAxis& A, const TTextMeasure& F)
{
  const double mult = LabelScale(A);
  const double lo = std::min(A.Min, A.Max) * mult, hi = std::max(A.Min, A.Max) * mult;
  std::vector<TAxisTick> ticks;
  if (!(lo > 0) || !(hi > lo) || !std::isfinite(hi) || A.Pixels <= 0 || !(A.Min > 0) ||
      !(A.Max > 0))
    return ticks;
  const long double from = std::log10(static_cast<long double>(A.Min));
  const long double across = std::log10(static_cast<long double>(A.Max)) - from;
  const int firstDecade = int(std::floor(std::log10(lo)));
  const int lastDecade = int(std::floor(std::log10(hi)));
  if (lastDecade - firstDecade > 300)
    return ticks;
  struct TCandidate
  {
    double Value; // in label units
    int Digit;
  };
  std::vector<TCandidate> all;
  for (int e = firstDecade; e <= lastDecade; ++e)
    for (int m = 1; m <= 9; ++m) {
      const double v = m * std::pow(10.0, e);
      if (v >= lo * (1 - 1e-9) && v <= hi * (1 + 1e-9))
        all.push_back({v, m});
    }
  const auto pixelOf = [&](double v) {
    return Round((std::log10(static_cast<long double>(v / mult)) - from) / across * A.Pixels);
  };
  const auto labelOf = [](double v) {
    TLabelFormat f;
    f.Kilo = v >= 1000;
    f.Decimals = v < 1 ? int(-std::floor(std::log10(v) + 1e-9)) : 0;
    return RoundLabel(v, f);
  };
  // Grid lines at every digit where they stand apart, else at the decades.
  int closest = A.Pixels;
  for (std::size_t i = 1; i < all.size(); ++i)
    closest = std::min(closest, std::abs(pixelOf(all[i].Value) - pixelOf(all[i - 1].Value)));
  const bool everyDigit = closest >= 3;
  // The densest set of labelled digits whose labels stand apart.
  const int gap = LabelGap(A, F);
  static const std::vector<std::vector<int>> sets = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 5}, {1}};
  const auto labelled = [](const std::vector<int>& set, int digit) {
    return std::find(set.begin(), set.end(), digit) != set.end();
  };
  const std::vector<int>* chosen = &sets.back();
  for (const std::vector<int>& set : sets) {
    bool fits = true;
    double lastHi = -1e300;
    for (const TCandidate& c : all) {
      if (!labelled(set, c.Digit))
        continue;
      TAxisTick t;
      t.Pixel = pixelOf(c.Value);
      t.Label = labelOf(c.Value);
      const TExtent e = LabelExtent(A, F, t);
      fits = fits && e.Lo >= lastHi + gap;
      lastHi = e.Hi;
    }
    if (fits) {
      chosen = &set;
      break;
    }
  }
  for (const TCandidate& c : all) {
    TAxisTick t;
    t.Value = c.Value / mult;
    t.Pixel = pixelOf(c.Value);
    t.Major = c.Digit == 1;
    t.Grid = (t.Major || everyDigit) && t.Pixel > 0 && t.Pixel < A.Pixels;
    t.Labelled = labelled(*chosen, c.Digit);
    if (t.Labelled) {
      t.Label = labelOf(c.Value);
      if (A.DecimalPoint != QLatin1Char('.'))
        t.Label.replace(QLatin1Char('.'), A.DecimalPoint);
    }
    ticks.push_back(t);
  }
  return ticks;
}

} // namespace

std::vector<TAxisTick> RoundAxisTicks(const TTickAxis& Axis, const TTextMeasure& Font)
{
  std::vector<TAxisTick> ticks = Axis.Log ? LogTicks(Axis, Font) : LinearTicks(Axis, Font);
  if (ticks.empty())
    return ticks;
  if (ClockAxis(Axis)) {
    // Its labels say what they count.
    TTickAxis clock = Axis;
    clock.Unit.clear();
    FitLabels(ticks, clock, Font);
    return ticks;
  }
  FitLabels(ticks, Axis, Font);
  return ticks;
}

} // namespace duv
