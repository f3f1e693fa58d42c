// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card's loopback test: the signal played (the synthesizer's sine,
// a pause, then a sweep rising exponentially through the audio band) and the
// analysis of what the input heard: the sine's distortion and noise figures,
// and the gain at each third-octave centre from the sweep.
#pragma once

#include "analysis/Distortion.h"
#include "analysis/OctaveBands.h"

#include <span>
#include <vector>

namespace duv {

struct TLoopbackSettings
{
  int Rate = 44100;        // Hz, played and captured
  double Frequency = 1000; // Hz, of the sine
  double Amplitude = 0.5;  // of the sine and the sweep, 1 being full scale
  double SineSeconds = 1.5;
  double GapSeconds = 0.5;
  double SweepSeconds = 3;
  double SweepFrom = 10;  // Hz
  double SweepTo = 22000; // Hz, at most 45 % of the rate
  double TailSeconds = 0.5;

  // Where the parts start and how long the whole lasts, in samples.
  std::int64_t SineSamples() const;
  std::int64_t SweepStart() const;
  std::int64_t SweepSamples() const;
  std::int64_t TotalSamples() const;
  double SweepEnd() const; // Hz, SweepTo within the rate's limit
};

// The played signal, -1 .. +1.
std::vector<double> LoopbackSignal(const TLoopbackSettings& Settings);

struct TResponsePoint
{
  TBand Band;
  double Gain = 0; // dB: what came back against what was played
};

struct TLoopbackResult
{
  TDistortion Figures;
  std::vector<TResponsePoint> Response;
  std::int64_t Delay = 0; // samples from the start of the capture to the signal
  // The largest gain less the smallest.
  double Spread() const;
};

// Sample index of the first that exceeds a quarter of the signal's
// amplitude (Scale being full scale); -1 when none does.
std::int64_t SignalOnset(std::span<const double> Captured, double Amplitude, double Scale);

// What the input heard (16-bit sample values, from the start of the
// capture) against what was played (LoopbackSignal quantized to 16 bits).
// Throws std::runtime_error with the user's message when no signal came
// back, when it came back cut short, or when no tone stands out.
TLoopbackResult AnalyseLoopback(const TLoopbackSettings& Settings, std::span<const double> Played,
                                std::span<const double> Captured);

// The report the dialog shows: the figures, then "centre_hz gain_db" lines.
QString LoopbackReport(const TLoopbackResult& Result);

} // namespace duv
