// SPDX-License-Identifier: GPL-3.0-or-later
// The graph view commands of the main window: saved default ranges, zoom, pan
// and reset of an axis, and the copy and print menu commands.
#pragma once

#include "graph/AxisMath.h"

class QPrinter;

namespace duv {

class TAxisParams;
class TGraphBox;

// How far the user may zoom: out to MostZoomedOut times the span of the
// last set-up, in to a few samples across, a few steps of the sample value
// up and down, one bin of the spectrum and one decibel.
inline constexpr double MostZoomedOut = 10;
inline constexpr double LeastSamples = 4;
inline constexpr double LeastLevelSteps = 4;
inline constexpr double LeastDecibels = 1;
TAxisLimits ZoomLimitsFor(const TAxisRange& Range, double LeastSpan);

// Sets Min, then Max.
void SetAxisRange(TAxisParams& Axis, const TAxisRange& Range);
// Scales the Y axis (Vertical) or the X axis about its centre by Factor,
// within the axis's zoom limits.
void ZoomAxis(TGraphBox& Graph, bool Vertical, double Factor);
// Shifts the Y axis (Vertical) or the X axis by Fraction of its span.
void PanAxis(TGraphBox& Graph, bool Vertical, double Fraction);
// Restores the X axis (Horizontal) or the Y axis from Defaults.
void ResetAxis(TGraphBox& Graph, const TGraphRanges& Defaults, bool Horizontal);

// The main window's graphs, as this module acts on them.
struct TGraphViews
{
  TGraphBox& LeftGraph;
  TGraphBox& RightGraph;
  TGraphBox& SpectrumGraph;
};

// State and commands of the graph views. The oscilloscope commands act on
// both channel graphs, each with its own current range.
class TSAGraphs
{
public:
  explicit TSAGraphs(const TGraphViews& Views) : FViews(Views) {}

  // What the reset commands return to; changed only through the setters below.
  TGraphRanges RawDefaults{{0, 256}, {0, 0}};
  TGraphRanges SpectrumDefaults{};

  // Saves the current ranges of LeftGraph and SpectrumGraph as the defaults,
  // and sets every axis's zoom limits and the oscilloscope's time unit from
  // them.
  void CaptureDefaultRanges();
  // Sets what the oscilloscope's or the spectrum's reset returns to, and the
  // zoom limits that follow from it.
  void SetRawDefaults(const TGraphRanges& Ranges);
  void SetSpectrumDefaults(const TGraphRanges& Ranges);
  // Round ticks with units on all three graphs, or their fixed divisions.
  void SetRoundTicks(bool Round);

  void PanRaw(bool Vertical, double Fraction);
  void ZoomRaw(bool Vertical, double Factor);
  void ResetRaw(bool Horizontal);
  void PanSpectrum(bool Vertical, double Fraction);
  void ZoomSpectrum(bool Vertical, double Factor);
  void ResetSpectrum(bool Horizontal);
  void SetSpectrumLog(bool Log);

  // Edit menu: let pending paints finish (the menu closes), then copy.
  void CopyLeftChannel();
  void CopyRightChannel();
  void CopySpectrum();
  // File menu: prints the spectrum white with black frame, grid and text, on
  // Printer when given, else on the default printer (or a PDF file). The
  // screen keeps its colours, also when the printer fails and this throws
  // (as TCustomGraph::Print does).
  void PrintSpectrum(QPrinter* Printer = nullptr);

private:
  void Copy(TGraphBox& Graph);
  TGraphViews FViews;
};

} // namespace duv
