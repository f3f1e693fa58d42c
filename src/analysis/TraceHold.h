// SPDX-License-Identifier: GPL-3.0-or-later
// The second trace over the live spectrum: an average of the frames (on
// power, with a time constant in seconds) or the highest level each bin has
// reached. It starts over whenever it is reset.
#pragma once

#include <span>
#include <vector>

namespace duv {

enum class TTraceMode { Live, Average, PeakHold };

class TTraceHold
{
public:
  TTraceMode Mode() const { return FMode; }
  // A new mode starts over.
  void SetMode(TTraceMode Mode);
  double TimeConstant() const { return FTimeConstant; }
  void SetTimeConstant(double Seconds);

  void Reset();
  // Takes one frame of levels (dB, none below Floor) lasting FrameSeconds.
  // A frame of another length than the last starts over.
  void Add(std::span<const double> Levels, double Floor, double FrameSeconds);
  // The held or averaged levels in dB; empty in Live mode or before a frame.
  const std::vector<double>& Levels() const { return FLevels; }

private:
  TTraceMode FMode = TTraceMode::Live;
  double FTimeConstant = 1.0;
  std::vector<double> FPower; // averaged power, relative to full scale
  std::vector<double> FLevels;
};

} // namespace duv
