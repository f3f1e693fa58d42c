// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/SAGraphs.h"

#include "graph/Graphbox.h"

#include <QCoreApplication>

#include <cmath>

namespace duv {

namespace {
TAxisParams& AxisOf(TGraphBox& Graph, bool Vertical)
{
  return Vertical ? Graph.YAxis() : Graph.XAxis();
}
TAxisRange RangeOf(const TAxisParams& Axis)
{
  return {Axis.Min(), Axis.Max()};
}
} // namespace

void SetAxisRange(TAxisParams& Axis, const TAxisRange& Range)
{
  Axis.SetMin(Range.Min);
  Axis.SetMax(Range.Max);
}

void ZoomAxis(TGraphBox& Graph, bool Vertical, double Factor)
{
  TAxisParams& axis = AxisOf(Graph, Vertical);
  const TAxisRange r = ZoomedRange(RangeOf(axis), Factor, axis.ZoomLimits());
  axis.SetMin(r.Min);
  axis.SetMax(r.Max);
}

void PanAxis(TGraphBox& Graph, bool Vertical, double Fraction)
{
  TAxisParams& axis = AxisOf(Graph, Vertical);
  const double delta = PanDelta(RangeOf(axis), Fraction);
  axis.SetMax(axis.Max() + delta);
  // Re-read Min: on a logarithmic axis setting Max may have fixed it up.
  axis.SetMin(axis.Min() + delta);
}

void ResetAxis(TGraphBox& Graph, const TGraphRanges& Defaults, bool Horizontal)
{
  if (Horizontal)
    SetAxisRange(Graph.XAxis(), Defaults.XRange);
  else
    SetAxisRange(Graph.YAxis(), Defaults.YRange);
}

TAxisLimits ZoomLimitsFor(const TAxisRange& Range, double LeastSpan)
{
  TAxisLimits l;
  l.MinSpan = LeastSpan;
  const double span = Range.Max - Range.Min;
  if (span > 0 && std::isfinite(span))
    l.MaxSpan = MostZoomedOut * span;
  return l;
}

void TSAGraphs::CaptureDefaultRanges()
{
  SetRawDefaults({RangeOf(FViews.LeftGraph.YAxis()), RangeOf(FViews.LeftGraph.XAxis())});
  SetSpectrumDefaults(
      {RangeOf(FViews.SpectrumGraph.YAxis()), RangeOf(FViews.SpectrumGraph.XAxis())});
}

void TSAGraphs::SetRawDefaults(const TGraphRanges& Ranges)
{
  RawDefaults = Ranges;
  for (TGraphBox* g : {&FViews.LeftGraph, &FViews.RightGraph}) {
    g->XAxis().SetZoomLimits(ZoomLimitsFor(RawDefaults.XRange, LeastSamples));
    g->YAxis().SetZoomLimits(ZoomLimitsFor(RawDefaults.YRange, LeastLevelSteps));
    // Points sit at their sample index; a file's labels count seconds.
    g->XAxis().SetAxisUnit(g->XAxis().Multiplier() == 1 ? QStringLiteral("samples")
                                                        : QStringLiteral("s"));
  }
}

void TSAGraphs::SetSpectrumDefaults(const TGraphRanges& Ranges)
{
  SpectrumDefaults = Ranges;
  // The spectrum's axis starts at bin 1, so its start is one bin's width.
  const TAxisRange f = SpectrumDefaults.XRange;
  const double bin = f.Min > 0 ? f.Min : (f.Max - f.Min) / 1000;
  FViews.SpectrumGraph.XAxis().SetZoomLimits(ZoomLimitsFor(f, bin));
  FViews.SpectrumGraph.YAxis().SetZoomLimits(ZoomLimitsFor(SpectrumDefaults.YRange, LeastDecibels));
}

void TSAGraphs::SetRoundTicks(bool Round)
{
  for (TGraphBox* g : {&FViews.LeftGraph, &FViews.RightGraph, &FViews.SpectrumGraph})
    g->SetRoundTicks(Round);
}

void TSAGraphs::PanRaw(bool Vertical, double Fraction)
{
  PanAxis(FViews.RightGraph, Vertical, Fraction);
  PanAxis(FViews.LeftGraph, Vertical, Fraction);
}

void TSAGraphs::ZoomRaw(bool Vertical, double Factor)
{
  ZoomAxis(FViews.LeftGraph, Vertical, Factor);
  ZoomAxis(FViews.RightGraph, Vertical, Factor);
}

void TSAGraphs::ResetRaw(bool Horizontal)
{
  ResetAxis(FViews.LeftGraph, RawDefaults, Horizontal);
  ResetAxis(FViews.RightGraph, RawDefaults, Horizontal);
}

void TSAGraphs::PanSpectrum(bool Vertical, double Fraction)
{
  PanAxis(FViews.SpectrumGraph, Vertical, Fraction);
}

void TSAGraphs::ZoomSpectrum(bool Vertical, double Factor)
{
  ZoomAxis(FViews.SpectrumGraph, Vertical, Factor);
}

void TSAGraphs::ResetSpectrum(bool Horizontal)
{
  ResetAxis(FViews.SpectrumGraph, SpectrumDefaults, Horizontal);
}

void TSAGraphs::SetSpectrumLog(bool Log)
{
  FViews.SpectrumGraph.XAxis().SetLog(Log);
}

void TSAGraphs::Copy(TGraphBox& Graph)
{
  QCoreApplication::processEvents();
  Graph.CopyToClipboard();
}

void TSAGraphs::CopyLeftChannel()
{
  Copy(FViews.LeftGraph);
}
void TSAGraphs::CopyRightChannel()
{
  Copy(FViews.RightGraph);
}
void TSAGraphs::CopySpectrum()
{
  Copy(FViews.SpectrumGraph);
}

void TSAGraphs::PrintSpectrum(QPrinter* Printer)
{
  TGraphBox& g = FViews.SpectrumGraph;
  // Put the screen colours back however printing ends.
  struct Restore
  {
    TGraphBox& G;
    TColor Color, Grid, Font;
    ~Restore()
    {
      G.SetColor(Color);
      G.SetGridColor(Grid);
      G.SetFontColor(Font);
    }
  } restore{g, g.Color(), g.GridColor(), g.FontColor()};
  g.SetColor(clWhite);
  g.SetGridColor(clBlack);
  g.SetFontColor(clBlack);
  if (Printer)
    g.PrintTo(*Printer);
  else
    g.Print();
}

} // namespace duv
