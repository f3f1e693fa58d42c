// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/TraceHold.h"

#include <algorithm>
#include <cmath>

namespace duv {

void TTraceHold::SetMode(TTraceMode Mode)
{
  if (Mode == FMode)
    return;
  FMode = Mode;
  Reset();
}

void TTraceHold::SetTimeConstant(double Seconds)
{
  if (std::isfinite(Seconds) && Seconds > 0)
    FTimeConstant = Seconds;
}

void TTraceHold::Reset()
{
  FPower.clear();
  FLevels.clear();
}

void TTraceHold::Add(std::span<const double> Levels, double Floor, double FrameSeconds)
{
  if (FMode == TTraceMode::Live)
    return;
  const std::size_t n = Levels.size();
  const bool fresh = FLevels.size() != n;
  if (FMode == TTraceMode::PeakHold) {
    if (fresh)
      FLevels.assign(Levels.begin(), Levels.end());
    else
      for (std::size_t k = 0; k < n; ++k)
        FLevels[k] = std::max(FLevels[k], Levels[k]);
    return;
  }
  // An exponential average of power: each frame moves the average by the
  // share of the time constant that it lasts.
  const double alpha = fresh ? 1.0 : -std::expm1(-std::max(FrameSeconds, 0.0) / FTimeConstant);
  if (fresh) {
    FPower.assign(n, 0.0);
    FLevels.assign(n, Floor);
  }
  constexpr double ToPower = 0.23025850929940457; // ln 10 / 10
  for (std::size_t k = 0; k < n; ++k) {
    FPower[k] += alpha * (std::exp(Levels[k] * ToPower) - FPower[k]);
    const double level = std::log10(FPower[k]) * 10;
    // Written so that the log of a zero power lands on the floor too.
    FLevels[k] = level >= Floor ? level : Floor;
  }
}

} // namespace duv
