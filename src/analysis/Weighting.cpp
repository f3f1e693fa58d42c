// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Weighting.h"

#include <cmath>

namespace duv {

namespace {

// The poles of the weighting networks, in Hz.
constexpr double F1 = 20.598997;
constexpr double F2 = 107.65265;
constexpr double F3 = 737.86223;
constexpr double F4 = 12194.217;

// The unnormalised gains as power ratios, so that one log10 gives the level.
double CPower(double f2)
{
  const double r = F4 * F4 * f2 / ((f2 + F1 * F1) * (f2 + F4 * F4));
  return r * r;
}

double APower(double f2)
{
  const double r = F4 * F4 * f2 * f2 / ((f2 + F1 * F1) * (f2 + F4 * F4));
  return r * r / ((f2 + F2 * F2) * (f2 + F3 * F3));
}

// The normalisation is worked out from the curves themselves rather than
// taken as the rounded -2.000 and -0.062 dB, so 1 kHz reads exactly 0.
const double A1000 = 10 * std::log10(APower(1e6));
const double C1000 = 10 * std::log10(CPower(1e6));

} // namespace

QString WeightingName(TWeighting Weighting)
{
  switch (Weighting) {
  case TWeighting::A:
    return QStringLiteral("A");
  case TWeighting::C:
    return QStringLiteral("C");
  case TWeighting::Z:
    break;
  }
  return QStringLiteral("Z");
}

std::optional<TWeighting> WeightingFromName(const QString& Name)
{
  for (TWeighting w : AllWeightings)
    if (Name.compare(WeightingName(w), Qt::CaseInsensitive) == 0)
      return w;
  return std::nullopt;
}

double WeightingDecibels(TWeighting Weighting, double Hz)
{
  if (std::isnan(Hz))
    return Hz;
  const double f2 = Hz * Hz;
  switch (Weighting) {
  case TWeighting::A:
    return 10 * std::log10(APower(f2)) - A1000;
  case TWeighting::C:
    return 10 * std::log10(CPower(f2)) - C1000;
  case TWeighting::Z:
    break;
  }
  return 0.0;
}

} // namespace duv
