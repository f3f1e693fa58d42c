#include "graph/AxisMath.h"

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

} // namespace duv
