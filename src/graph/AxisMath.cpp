// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/AxisMath.h"

#include "graph/AxisParams.h"
#include "graph/RoundTicks.h"
#include "support/ClockTime.h"
#include "support/DSupport.h"

#include <algorithm>
#include <cmath>

namespace duv {

double AxisValue(double V, double Multiplier, double Offset, double Cycle)
{
  long double r = (static_cast<long double>(V) + Offset) * Multiplier;
  if (Cycle != 0) {
    const long double q = r / Cycle;
    r = Cycle * (q - std::trunc(q)); // the fraction keeps the sign of q
  }
  return static_cast<double>(r);
}

TFittedRange FitRange(double Min, double Max, double Step)
{
  // A zero or nonsensical step cannot fit anything: keep the range as given
  // rather than filling the axis with NaN.
  if (!(std::isfinite(Step) && Step != 0))
    return {Min, Max, 1};
  Step = std::fabs(Step);
  const auto whole = [Step](double v) {
    const long double q = static_cast<long double>(v) / Step;
    return q == std::trunc(q);
  };
  const auto down = [Step](double v) {
    return static_cast<double>(std::trunc(std::fabs(static_cast<long double>(v)) / Step) * Step);
  };

  TFittedRange r;
  const double mMin = down(Min);
  if (Min >= 0)
    r.Min = mMin;
  else
    r.Min = whole(Min) ? -mMin : -(mMin + Step);

  const double mMax = down(Max);
  const double up = whole(Max) ? mMax : mMax + Step;
  r.Max = Max < 0 ? -up : up;

  r.Lines = Trunc((static_cast<long double>(r.Max) - r.Min) / Step);
  return r;
}

double LogTickValue(int m, int e)
{
  return static_cast<double>(m * std::pow(10.0L, static_cast<long double>(e)));
}

void ForEachLogTick(double Min, double Max,
                    const std::function<void(int m, int e, bool decade)>& Action)
{
  if (!(Min > 0) || !std::isfinite(Min) || std::isnan(Max))
    return;
  int e = static_cast<int>(std::floor(std::log10(static_cast<long double>(Min))));
  int m = static_cast<int>(std::trunc(Min / std::pow(10.0L, static_cast<long double>(e))));
  const auto advance = [&] {
    ++m;
    if (m >= 10) {
      m = 1;
      ++e;
    }
  };
  advance(); // the tick at or below Min sits on the edge: skip it
  // Beyond 10^330 no double is left, so an infinite Max still ends.
  constexpr int lastExponent = 330;
  do {
    Action(m, e, m == 1);
    advance();
  } while (m * std::pow(10.0L, static_cast<long double>(e)) < Max && e <= lastExponent);
}

TAxisRange ZoomedRange(TAxisRange Range, double Factor)
{
  const long double half = (static_cast<long double>(Range.Max) - Range.Min) / 2 * Factor;
  const long double centre = (static_cast<long double>(Range.Max) + Range.Min) / 2;
  return {static_cast<double>(centre - half), static_cast<double>(centre + half)};
}

namespace {

// The coordinate an axis is linear in: the value itself, or its log10.
long double Coord(double V, bool Log)
{
  return Log ? std::log10(static_cast<long double>(V)) : static_cast<long double>(V);
}

double FromCoord(long double C, bool Log)
{
  return static_cast<double>(Log ? std::pow(10.0L, C) : C);
}

// A range an axis can show: finite, increasing, positive on a log axis.
bool Usable(TAxisRange R, bool Log)
{
  return std::isfinite(R.Min) && std::isfinite(R.Max) && R.Max > R.Min && (!Log || R.Min > 0);
}

// A limit end as a coordinate; an end that a log axis cannot reach is open.
long double LimitCoord(double V, bool Log)
{
  if (Log && !(V > 0))
    return -std::numeric_limits<long double>::infinity();
  return std::isfinite(V) ? Coord(V, Log) : static_cast<long double>(V);
}

// Moved back inside the limits' ends, keeping its span on the screen; cut to
// them when it is wider than they allow.
TAxisRange Bounded(TAxisRange R, const TAxisLimits& L, bool Log)
{
  const long double lo = Coord(R.Min, Log), hi = Coord(R.Max, Log);
  const long double bl = LimitCoord(L.Lowest, Log), bh = LimitCoord(L.Highest, Log);
  if (hi - lo >= bh - bl)
    return {lo < bl ? L.Lowest : R.Min, hi > bh ? L.Highest : R.Max};
  if (lo < bl)
    return {L.Lowest, FromCoord(hi + (bl - lo), Log)};
  if (hi > bh)
    return {FromCoord(lo - (hi - bh), Log), L.Highest};
  return R;
}

// R scaled by G about the coordinate A.
TAxisRange ScaledAbout(TAxisRange R, long double A, long double G, bool Log)
{
  return {FromCoord(A + (Coord(R.Min, Log) - A) * G, Log),
          FromCoord(A + (Coord(R.Max, Log) - A) * G, Log)};
}

// Zoom about the coordinate A, the factor tempered so that the span (in axis
// units) ends on a limit rather than beyond it.
TAxisRange ZoomAbout(TAxisRange R, long double A, double Factor, bool Log, const TAxisLimits& L)
{
  if (!Usable(R, Log) || !(Factor > 0) || !std::isfinite(Factor) || !std::isfinite(A))
    return R;
  const double span = R.Max - R.Min;
  const bool in = Factor < 1;
  if ((in && span <= L.MinSpan) || (!in && span >= L.MaxSpan))
    return R;
  const double target = in ? L.MinSpan : L.MaxSpan;
  const auto spanAt = [&](long double g) {
    const TAxisRange s = ScaledAbout(R, A, g, Log);
    return s.Max - s.Min;
  };
  long double g = Factor;
  if (in ? spanAt(g) < target : spanAt(g) > target) {
    if (!Log) {
      g = target / span;
    } else {
      // The span in axis units grows with g; halve the bracket until it
      // meets the limit, keeping the end that stays within it.
      long double lo = std::min<long double>(Factor, 1), hi = std::max<long double>(Factor, 1);
      for (int i = 0; i < 100; ++i) {
        const long double mid = (lo + hi) / 2;
        (spanAt(mid) < target ? lo : hi) = mid;
      }
      g = in ? hi : lo;
    }
  }
  const TAxisRange z = Bounded(ScaledAbout(R, A, g, Log), L, Log);
  return Usable(z, Log) ? z : R;
}

} // namespace

TAxisRange ZoomedRange(TAxisRange Range, double Factor, const TAxisLimits& Limits)
{
  const double span = Range.Max - Range.Min;
  if (!(span > 0) || !std::isfinite(span))
    return ZoomedRange(Range, Factor);
  double f = Factor;
  if (f < 1) {
    if (span <= Limits.MinSpan)
      return Range;
    if (span * f < Limits.MinSpan)
      f = Limits.MinSpan / span;
  } else if (f > 1) {
    if (span >= Limits.MaxSpan)
      return Range;
    if (span * f > Limits.MaxSpan)
      f = Limits.MaxSpan / span;
  }
  return Bounded(ZoomedRange(Range, f), Limits, false);
}

double ValueAtPixel(const TAxisView& Axis, double Pixel)
{
  if (Axis.Length == 0 || !Usable(Axis.Range, Axis.Log))
    return Axis.Range.Min;
  const long double lo = Coord(Axis.Range.Min, Axis.Log), hi = Coord(Axis.Range.Max, Axis.Log);
  return FromCoord(lo + (Pixel - Axis.Start) / Axis.Length * (hi - lo), Axis.Log);
}

double PixelOfValue(const TAxisView& Axis, double Value)
{
  if (!Usable(Axis.Range, Axis.Log) || (Axis.Log && !(Value > 0)))
    return Axis.Start;
  const long double lo = Coord(Axis.Range.Min, Axis.Log), hi = Coord(Axis.Range.Max, Axis.Log);
  return static_cast<double>(Axis.Start + (Coord(Value, Axis.Log) - lo) / (hi - lo) * Axis.Length);
}

TAxisRange ZoomAtPixel(const TAxisView& Axis, double Pixel, double Factor)
{
  if (Axis.Length == 0 || !Usable(Axis.Range, Axis.Log))
    return Axis.Range;
  return ZoomAbout(Axis.Range, Coord(ValueAtPixel(Axis, Pixel), Axis.Log), Factor, Axis.Log,
                   Axis.Limits);
}

TAxisRange PanByPixels(const TAxisView& Axis, double Pixels)
{
  const bool log = Axis.Log;
  if (Axis.Length == 0 || !Usable(Axis.Range, log))
    return Axis.Range;
  const long double lo = Coord(Axis.Range.Min, log), hi = Coord(Axis.Range.Max, log);
  const long double d = -Pixels / Axis.Length * (hi - lo);
  const TAxisRange r = Bounded({FromCoord(lo + d, log), FromCoord(hi + d, log)}, Axis.Limits, log);
  return Usable(r, log) ? r : Axis.Range;
}

TAxisRange RangeBetweenPixels(const TAxisView& Axis, double From, double To)
{
  const bool log = Axis.Log;
  const double a = ValueAtPixel(Axis, From), b = ValueAtPixel(Axis, To);
  TAxisRange r{std::min(a, b), std::max(a, b)};
  const double span = r.Max - r.Min;
  const double want = std::clamp(span, Axis.Limits.MinSpan, Axis.Limits.MaxSpan);
  if (want != span) {
    const double mid = (r.Min + r.Max) / 2;
    r = {mid - want / 2, mid + want / 2};
    if (log && r.Min <= 0)
      r = {std::min(a, b), std::min(a, b) + want};
  }
  r = Bounded(r, Axis.Limits, log);
  return Usable(r, log) ? r : Axis.Range;
}

std::vector<int> PlotColumns(const TAxisRange& View, bool Log, int Pixels, const TAxisRange& Data,
                             int Columns)
{
  std::vector<int> columns(std::size_t(std::max(Pixels, 0)), -1);
  if (Pixels <= 0 || Columns <= 0)
    return columns;
  if (!Log && View.Min == Data.Min && View.Max == Data.Max) {
    for (int x = 0; x < Pixels; ++x)
      columns[std::size_t(x)] =
          int((std::int64_t(2 * x + 1) * Columns) / (2 * std::int64_t(Pixels)));
    return columns;
  }
  const long double span = static_cast<long double>(Data.Max) - Data.Min;
  if (!(span > 0) || !Usable(View, Log))
    return columns;
  TAxisView axis;
  axis.Range = View;
  axis.Log = Log;
  axis.Length = Pixels;
  for (int x = 0; x < Pixels; ++x) {
    const long double c = std::floor((ValueAtPixel(axis, x + 0.5) - Data.Min) / span * Columns);
    if (c >= 0 && c < Columns)
      columns[std::size_t(x)] = int(c);
  }
  return columns;
}

double PanDelta(TAxisRange Range, double Fraction)
{
  return static_cast<double>((static_cast<long double>(Range.Max) - Range.Min) * Fraction);
}

double AxisScale(int Pixels, double Span)
{
  return Span == 0 ? 1e-99 : Pixels / Span;
}

void ExtendLineEnd(int x0, int y0, int& x1, int& y1)
{
  const int dx = x1 - x0;
  const int dy = y1 - y0;
  if (dx == 0 && dy == 0)
    return;
  const auto sign = [](int v) { return (v > 0) - (v < 0); };
  if (std::abs(dy) < std::abs(dx)) {
    x1 += sign(dx);
  } else {
    y1 += sign(dy);
    if (std::abs(dx) == std::abs(dy))
      x1 += sign(dx);
  }
}

void PrintPlacement(int PageW, int PageH, int W, int H, int& DestW, int& DestH)
{
  if (W > H) {
    DestW = PageW;
    DestH = MulDiv(PageW, H, W);
  } else {
    DestW = MulDiv(PageH, W, H);
    DestH = PageH;
  }
}

std::int64_t ThinningStep(std::int64_t SeriesCount, int ControlWidth)
{
  // A collapsed control (width 0) must not divide by zero.
  return SeriesCount / std::max(ControlWidth, 1) / 50 + 1;
}

void TPlotMapping::PixelToValue(double X, double Y, double& XValue, double& YValue) const
{
  long double xv = (X - OriginX) / static_cast<long double>(XScale) + XStart;
  long double yv = (OriginY - Y) / static_cast<long double>(YScale) + YStart;
  if (XLog)
    xv = std::pow(10.0L, xv);
  if (YLog)
    yv = std::pow(10.0L, yv);
  XValue = static_cast<double>(xv);
  YValue = static_cast<double>(yv);
}

void TPlotMapping::ValueToPixel(double X, double Y, int& PX, int& PY) const
{
  PX = ClampOffset(Round((static_cast<long double>(AxisCoord(X, XLog)) - XStart) * XScale)) +
       OriginX;
  PY = OriginY -
       ClampOffset(Round((static_cast<long double>(AxisCoord(Y, YLog)) - YStart) * YScale));
}

namespace {

QString LabelText(const TAxisParams& Axis, double V, int Decimals, bool WithUnits = true)
{
  // Seconds past a minute read as a clock, as everywhere else.
  const double value = Axis.AxisValue(V);
  const QString text = Axis.AxisUnit() == QLatin1String("s") ? ClockTime(value, Decimals)
                                                             : FormatFixed(value, Decimals);
  return text + (WithUnits ? Axis.Units() : QString());
}

// The first value a label counts from: the axis start, or 0 when labels are
// relative to it (the far end then counts the span whichever way it runs).
double FirstLabelValue(const TAxisParams& Axis, bool Relative)
{
  if (!Relative)
    return Axis.Min();
  return Axis.Max() > Axis.Min() ? 0 : Axis.Min() - Axis.Max();
}

// The widest Y label, which the left margin must hold; 0 without labels.
int YLabelWidth(const TGraphFrame& F, const TAxisParams& Y, const TTextMeasure& Font)
{
  if (!Y.ShowLabels())
    return 0;
  const double a = F.YRelativeLabels ? 0.0 : Y.Min();
  const double b = F.YRelativeLabels ? Y.Max() - Y.Min() : Y.Max();
  int l = 0;
  for (double v : {a, b}) {
    const QString t = Y.ExponentLabels()
                          ? QStringLiteral("10^") + QString::number(Trunc(std::log10(v)))
                          : LabelText(Y, v, F.YDecimals);
    l = std::max(l, Font.Width(t));
  }
  return l;
}

// Start and scale of one axis over Pixels: log10 of the start on a
// logarithmic axis, where a start at or below zero counts as 1.
void AxisMapping(const TAxisParams& Axis, int Pixels, double& Start, double& Scale, bool& Log)
{
  Log = Axis.Log();
  if (!Log) {
    Start = Axis.Min();
    Scale = AxisScale(Pixels, Axis.Max() - Axis.Min());
    return;
  }
  const double mn = Axis.Min() > 0 ? Axis.Min() : 1.0;
  Start = std::log10(mn);
  Scale = AxisScale(Pixels, std::log10(Axis.Max()) - std::log10(mn));
}

// Ticks of a linear axis: Lines divisions over Pixels, a label at every
// LabelModulo-th. Values are summed step by step, so a label shows the sum
// the user sees repeated (0, 0.1, 0.2, ...), not a product. The X axis has
// no grid line at its start, where the frame is; the Y axis draws one over
// the frame.
std::vector<TAxisTick> LinearTicks(const TAxisParams& Axis, int Pixels, bool Vertical,
                                   bool Relative, int Decimals, int OriginX, int OriginY,
                                   const TTextMeasure& Font)
{
  std::vector<TAxisTick> ticks;
  const int lines = Axis.Lines();
  if (lines < 0)
    return ticks;
  ticks.reserve(std::size_t(lines) + 1);
  const double valueStep = (Axis.Max() - Axis.Min()) / lines;
  const double pixelStep = double(Pixels) / lines;
  double value = Axis.Min();
  double labelValue = FirstLabelValue(Axis, Relative);
  // The units once, on the far end's label: "20 dB SPL" under "10 dB SPL"
  // under ... says the same thing on every line.
  const int lastLabel = lines - lines % std::max(Axis.LabelModulo(), 1);
  for (int k = 0; k <= lines; ++k) {
    TAxisTick t;
    t.Value = value;
    t.Pixel = Round(k * static_cast<long double>(pixelStep));
    t.Grid = Vertical || k > 0;
    t.Labelled = Axis.ShowLabels() && k % Axis.LabelModulo() == 0;
    if (t.Labelled) {
      t.Label = LabelText(Axis, labelValue, Decimals, k == lastLabel);
      const int w = Font.Width(t.Label);
      if (Vertical) // baseline on the grid line, ending 2 pixels left of the plot
        t.LabelAt =
            QPoint(OriginX - w - 2, Round(OriginY - k * static_cast<long double>(pixelStep)));
      else // hanging below the plot, 65 % of its width left of the grid line
        t.LabelAt =
            QPoint(Round(k * static_cast<long double>(pixelStep) + OriginX) - MulDiv(w, 65, 100),
                   OriginY + 1);
    }
    ticks.push_back(t);
    value += valueStep;
    labelValue += valueStep;
  }
  return ticks;
}

// Ticks of a logarithmic axis: every decade, and the ticks between decades
// that draw a minor grid line or a minor label. Decade labels start at their
// grid line (X) or end 2 pixels left of the plot on it (Y); a minor label is
// the bare digit, shifted like a linear label on X and half a line lower on Y.
std::vector<TAxisTick> LogTicks(const TAxisParams& Axis, bool Vertical, int Decimals,
                                const TPlotMapping& Map, const TTextMeasure& Font)
{
  std::vector<TAxisTick> ticks;
  const double mn = Axis.Min() > 0 ? Axis.Min() : 1.0;
  const double start = Vertical ? Map.YStart : Map.XStart;
  const double scale = Vertical ? Map.YScale : Map.XScale;
  ForEachLogTick(mn, Axis.Max(), [&](int m, int e, bool decade) {
    TAxisTick t;
    t.Value = LogTickValue(m, e);
    t.Major = decade;
    t.Grid = decade || Axis.MinorLines();
    t.Labelled = Axis.ShowLabels() && (decade || Axis.MinorLabels());
    if (!t.Grid && !t.Labelled)
      return;
    t.Pixel = Trunc((static_cast<long double>(std::log10(t.Value)) - start) * scale);
    if (t.Labelled) {
      t.Superscript = true;
      int shift = 0; // X: leftwards; Y: downwards
      int lower = 0; // X only
      if (decade && Axis.ExponentLabels()) {
        t.Label = QStringLiteral("10^") + QString::number(e);
        if (!Vertical)
          lower = MulDiv(Font.Height(), 40, 100);
      } else if (decade) {
        t.Label = LabelText(Axis, t.Value, Decimals);
      } else {
        t.Label = QString::number(m);
        shift = Vertical ? Font.Height() / 2 : MulDiv(Font.Width(t.Label), 65, 100);
      }
      if (Vertical)
        t.LabelAt = QPoint(Map.OriginX - Font.Width(t.Label) - 2, Map.OriginY - (t.Pixel - shift));
      else
        t.LabelAt = QPoint(Map.OriginX + t.Pixel - shift, Map.OriginY + 1 + lower);
    }
    ticks.push_back(t);
  });
  return ticks;
}

// The axis as round ticks see it: raw values over the plot, labels in the
// axis's label units, its unit only where labels are shown.
TTickAxis TickAxis(const TAxisParams& Axis, int Pixels, bool Vertical)
{
  TTickAxis t;
  t.Min = Axis.Min();
  t.Max = Axis.Max();
  t.Log = Axis.Log();
  if (t.Log && !(t.Min > 0))
    t.Min = 1.0; // as the mapping takes it
  t.Pixels = Pixels;
  t.Vertical = Vertical;
  t.Multiplier = Axis.Multiplier();
  t.Unit = Axis.ShowLabels() ? Axis.AxisUnit() : QString();
  t.Clock = Axis.AxisUnit() == QLatin1String("s"); // a file's time, in seconds
  t.DecimalPoint = DecimalSeparator();
  return t;
}

// Round ticks placed on the canvas: X labels centred below their grid line
// (the unit ending at the plot's right edge), Y labels ending 2 pixels left of
// the plot, centred on their grid line (the unit on the top edge).
std::vector<TAxisTick> PlacedRoundTicks(std::vector<TAxisTick> Ticks, const TAxisParams& Axis,
                                        bool Vertical, const TPlotMapping& Map,
                                        const TTextMeasure& Font)
{
  for (TAxisTick& t : Ticks) {
    if (!Axis.ShowLabels()) {
      t.Labelled = false;
      t.Label.clear();
    }
    if (!t.Labelled)
      continue;
    const int w = Font.Width(t.Label);
    if (Vertical)
      t.LabelAt = QPoint(Map.OriginX - w - 2, Map.OriginY - t.Pixel + Font.DigitHeight() / 2);
    else if (t.Unit)
      t.LabelAt = QPoint(Map.OriginX + t.Pixel - w, Map.OriginY + 1);
    else
      t.LabelAt = QPoint(Map.OriginX + t.Pixel - w / 2, Map.OriginY + 1);
  }
  std::erase_if(Ticks, [](const TAxisTick& t) { return !t.Grid && !t.Labelled; });
  return Ticks;
}

} // namespace

TGraphLayout ComputeGraphLayout(const TGraphFrame& Frame, const TAxisParams& XAxis,
                                const TAxisParams& YAxis, const TGraphTitle& Title,
                                const TTextMeasure& MarginFont, const TTextMeasure& LabelFont)
{
  TGraphLayout L;
  const int gb = Frame.Border;
  L.PlotTop = gb;
  L.PlotBottom = Frame.Height - gb;
  L.PlotHeight = std::abs(L.PlotBottom - L.PlotTop);
  // Round Y ticks depend on the plot's height alone; their widest label
  // sizes the left margin.
  std::vector<TAxisTick> roundY;
  int l = 0;
  if (Frame.RoundTicks) {
    roundY = RoundAxisTicks(TickAxis(YAxis, L.PlotHeight, true), LabelFont);
    if (YAxis.ShowLabels())
      for (const TAxisTick& t : roundY)
        if (t.Labelled)
          l = std::max(l, MarginFont.Width(t.Label));
  } else {
    l = YLabelWidth(Frame, YAxis, MarginFont);
  }
  if (l != 0) {
    L.PlotLeft = l + Frame.BevelWidth + Frame.BorderWidth + gb / 3;
    L.PlotRight = Frame.Width - (gb - gb / 3);
  } else {
    L.PlotLeft = gb;
    L.PlotRight = Frame.Width - gb;
  }
  L.PlotWidth = std::abs(L.PlotRight - L.PlotLeft);

  TPlotMapping& m = L.Mapping;
  m.OriginX = L.PlotLeft;
  m.OriginY = L.PlotBottom;
  AxisMapping(XAxis, L.PlotWidth, m.XStart, m.XScale, m.XLog);
  AxisMapping(YAxis, L.PlotHeight, m.YStart, m.YScale, m.YLog);

  if (Frame.RoundTicks) {
    L.XTicks = PlacedRoundTicks(RoundAxisTicks(TickAxis(XAxis, L.PlotWidth, false), LabelFont),
                                XAxis, false, m, LabelFont);
    L.YTicks = PlacedRoundTicks(std::move(roundY), YAxis, true, m, LabelFont);
  } else {
    L.XTicks = m.XLog ? LogTicks(XAxis, false, Frame.XDecimals, m, LabelFont)
                      : LinearTicks(XAxis, L.PlotWidth, false, Frame.XRelativeLabels,
                                    Frame.XDecimals, m.OriginX, m.OriginY, LabelFont);
    L.YTicks = m.YLog ? LogTicks(YAxis, true, Frame.YDecimals, m, LabelFont)
                      : LinearTicks(YAxis, L.PlotHeight, true, Frame.YRelativeLabels,
                                    Frame.YDecimals, m.OriginX, m.OriginY, LabelFont);
  }

  L.ShowTitle = Title.ShowCaption();
  if (L.ShowTitle) {
    L.Title = Title.Caption();
    L.TitleBoxed = Title.Boxed();
    const int tw = LabelFont.Width(L.Title);
    const int th = LabelFont.Height();
    int x = (Frame.Width - tw) / 2;
    if (Title.Position() == tpLeft)
      x = L.PlotLeft + 2;
    else if (Title.Position() == tpRight)
      x = L.PlotRight - tw - 2;
    L.TitleRect = QRect(x, (L.PlotTop - th) / 2, tw, th);
  }
  return L;
}

} // namespace duv
