// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/SAGlobalView.h"

#include "analysis/Calibration.h"
#include "app/pages/SAGraphs.h"
#include "audio/Waveread.h"
#include "controls/ReadOut.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"
#include "support/DSupport.h"

#include <cmath>

namespace duv {

namespace {
constexpr TColor SpectrumColor = MakeColor(0, 255, 0);
// The averaged or held trace: yellow over the green live one.
constexpr TColor HoldColor = MakeColor(255, 255, 0);
} // namespace

TWaveDataFormat CurrentCaptureFormat(const TWaveReader& Reader)
{
  // GetDataFormat leaves the record as it was when there is no format.
  TWaveDataFormat f = WaveTypeFormat(wf11Khz_Mono_8Bit);
  Reader.GetDataFormat(f);
  return f;
}

bool SameAxes(const TFrameFormat& A, const TFrameFormat& B)
{
  return A.SampleRate == B.SampleRate && A.Size == B.Size && A.Bits == B.Bits;
}

TSpectrumView::TSpectrumView(const TSpectrumControls& Controls) : FControls(Controls) {}

void TSpectrumView::SetWindow(TWindowKind Window)
{
  FWindow = Window;
  // Levels through another window do not average with the earlier ones.
  ResetHold();
}

void TSpectrumView::SetupSpectrum(const TFrameFormat& Format, double TimeSpan)
{
  SetupSpectrum(Format.Bits, Format.Size, Format.SampleRate, TimeSpan);
}

void TSpectrumView::SetupSpectrum(int Bits, int Size, double SampleRate, double TimeSpan)
{
  FSetup.Bits = Bits;
  FSetup.Size = Size;
  FSetup.SampleRate = SampleRate;
  FTimeSpan = TimeSpan;
  const TWaveDataFormat capture = CurrentCaptureFormat(FControls.WaveReader1);
  const TSpectrumSetup s = ComputeSpectrumSetup(Bits, Size, SampleRate, TimeSpan,
                                                capture.SampleRate,
                                                FControls.WaveReader1.SampleCount());

  TGraphBox& graph = FControls.SpectrumGraph;
  graph.SetDecimals1(0);
  graph.SetDecimals2(0);
  graph.XAxis().SetMultiplier(1);
  // The axis starts at bin 1: bin 0 is shown as the DC read-out.
  graph.SetXRange(8, s.FreqStep, s.MaxFreq);
  graph.SetYRange(s.Floor + FShift, 10 + FShift, 20);
  SpectrumDefaultsChanged();

  TSpectroGram& spectro = FControls.SpectroGram1;
  spectro.SetImageSize(s.ImageWidth, s.LineCount);
  spectro.SetDepthRange(TRangePair(s.Floor + FShift, FShift));
  spectro.SetXRange(TRangePair(s.FreqStep, s.MaxFreq));
  // Oldest at the top: the time span down to 0 at the newest row.
  spectro.SetYRange(TRangePair(TimeSpan, 0.0));
  // The picture starts over from black, with labels for the new ranges.
  spectro.update();
  FHold.Reset();
  FControls.PeakDis.SetText(QString());
}

void TSpectrumView::SpectrumDefaultsChanged()
{
  if (!FGraphs)
    return;
  const TGraphBox& graph = FControls.SpectrumGraph;
  FGraphs->SetSpectrumDefaults(
      {{graph.YAxis().Min(), graph.YAxis().Max()}, {graph.XAxis().Min(), graph.XAxis().Max()}});
}

void TSpectrumView::ResetHold()
{
  FHold.Reset();
  TGraphBox& graph = FControls.SpectrumGraph;
  // Redraw the live trace alone.
  graph.BeginUpdate();
  graph.Clear();
  for (std::size_t k = 0; k < FFrame.X.size(); ++k)
    graph.AddPoint(0, SpectrumColor, FFrame.X[k], FFrame.Y[k], 1.0);
  graph.EndUpdate();
}

void TSpectrumView::ClearTrace()
{
  FFrame.X.clear();
  FFrame.Y.clear();
  FFrame.SpectrumLine.clear();
  FFrame.Magnitude.clear();
  FFrame.DCOffset = 0;
  FFrame.Peak.reset();
  FHold.Reset();
  FControls.SpectrumGraph.Clear();
  FControls.DCOffsetDis.SetText(QString());
  FControls.PeakDis.SetText(QString());
  // The bands and the measured figures go with the trace.
  emit OnFrameShown({}, FFrame);
}

void TSpectrumView::ShowSpectrum(std::span<const double> Samples, const TFrameFormat& Format,
                                 bool Live)
{
  TFrameFormat f = Format;
  f.Window = FWindow;
  // One comparison a frame: a live stream keeps its set-up (and the user's
  // zoom); a frame of another rate, length or width gets axes of its own.
  if (!SameAxes(f, FSetup))
    SetupSpectrum(f, FTimeSpan);
  FAnalysis.Analyze(Samples, f, FFrame);
  if (FCorrector && !FCorrector->Correction().IsIdentity())
    FCorrector->Apply(FFrame);

  TGraphBox& graph = FControls.SpectrumGraph;
  graph.BeginUpdate();
  graph.Clear();
  for (std::size_t k = 0; k < FFrame.X.size(); ++k)
    graph.AddPoint(0, SpectrumColor, FFrame.X[k], FFrame.Y[k], 1.0);
  if (FHold.Mode() != TTraceMode::Live && f.FreqStep() > 0) {
    // A frame weighs by how long it lasts: the reciprocal of its bin width.
    if (Live)
      FHold.Add(FFrame.Y, DecibelFloor(f.Bits) + FShift, 1 / f.FreqStep());
    const std::vector<double>& held = FHold.Levels();
    for (std::size_t k = 0; k < held.size() && k < FFrame.X.size(); ++k)
      graph.AddPoint(1, HoldColor, FFrame.X[k], held[k], 1.0);
  }
  // The DC term on the spectrum's own amplitude scale, in sample steps.
  FControls.DCOffsetDis.SetText(FormatFixed(FFrame.DCOffset, 2));
  graph.EndUpdate();

  FControls.PeakDis.SetText(PeakReadOut());
  if (Live)
    FControls.SpectroGram1.AddLine(FFrame.SpectrumLine, int(FFrame.SpectrumLine.size()) - 1);
  emit OnFrameShown(Samples, FFrame);
}

QString TSpectrumView::PeakReadOut() const
{
  if (!FFrame.Peak)
    return QString();
  QString text = PeakText(*FFrame.Peak);
  // The level in the unit the levels are corrected to, as the axis says.
  if (FCorrector && !FCorrector->Correction().IsIdentity()) {
    const qsizetype at = text.indexOf(QStringLiteral(" dB  "));
    if (at >= 0)
      text.replace(at + 1, 2, FCorrector->Correction().Unit());
  }
  return text;
}

void TSpectrumView::CorrectionChanged()
{
  const double shift = FCorrector ? FCorrector->Correction().Shift() : 0.0;
  if (shift != FShift) {
    // The levels moved: so do the axes (a weighting alone keeps the zoom).
    FShift = shift;
    const double floor = DecibelFloor(FFrame.Format.Bits);
    FControls.SpectrumGraph.SetYRange(floor + FShift, 10 + FShift, 20);
    SpectrumDefaultsChanged();
    FControls.SpectroGram1.SetDepthRange(TRangePair(floor + FShift, FShift));
    FControls.SpectroGram1.update();
  }
  FControls.SpectroGram1.SetDepthUnit(FCorrector ? FCorrector->Correction().Unit()
                                                 : QStringLiteral("dB"));
  if (FCorrector && !FFrame.Magnitude.empty()) {
    FCorrector->Apply(FFrame);
    FControls.PeakDis.SetText(PeakReadOut());
  }
  ResetHold();
}

} // namespace duv
