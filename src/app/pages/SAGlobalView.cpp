#include "app/pages/SAGlobalView.h"

#include "analysis/SpectrumPeaks.h"

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
}

TWaveDataFormat CurrentCaptureFormat(const TWaveReader& Reader)
{
  // GetDataFormat leaves the record as it was when there is no format.
  TWaveDataFormat f = WaveTypeFormat(wf11Khz_Mono_8Bit);
  Reader.GetDataFormat(f);
  return f;
}

TSpectrumView::TSpectrumView(TAnalysis& Analysis, const TSpectrumControls& Controls)
    : FAnalysis(Analysis), FControls(Controls)
{
}

void TSpectrumView::SetupSpectrum(int Bits, int Size, double SampleRate, double TimeSpan)
{
  const TWaveDataFormat capture = CurrentCaptureFormat(FControls.WaveReader1);
  const TSpectrumSetup s =
      FAnalysis.SetupSpectrum(Bits, Size, SampleRate, TimeSpan, capture.SampleRate);

  TGraphBox& graph = FControls.SpectrumGraph;
  graph.SetDecimals1(0);
  graph.SetDecimals2(0);
  graph.XAxis().SetMultiplier(1);
  // The axis starts at bin 1: bin 0 is shown as the DC read-out.
  graph.SetXRange(8, s.FreqStep, s.MaxFreq);
  graph.SetYRange(s.Floor, 10, 20);

  TSpectroGram& spectro = FControls.SpectroGram1;
  spectro.SetImageSize(s.ImageWidth, s.LineCount);
  spectro.SetDepthRange(TRangePair(s.Floor, 0.0));
  spectro.SetXRange(TRangePair(s.FreqStep, s.MaxFreq));
  // Oldest at the top: the time span down to 0 at the newest row.
  spectro.SetYRange(TRangePair(TimeSpan, 0.0));
  // The picture starts over from black, with labels for the new ranges.
  spectro.update();
  FHold.Reset();
  FControls.PeakDis.SetText(QString());
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

void TSpectrumView::ShowSpectrum(int Bits)
{
  FAnalysis.ComputeSpectrum(Bits, FFrame);
  TGraphBox& graph = FControls.SpectrumGraph;
  graph.BeginUpdate();
  graph.Clear();
  for (std::size_t k = 0; k < FFrame.X.size(); ++k)
    graph.AddPoint(0, SpectrumColor, FFrame.X[k], FFrame.Y[k], 1.0);
  if (FHold.Mode() != TTraceMode::Live && FAnalysis.FreqStep > 0) {
    FHold.Add(FFrame.Y, DecibelFloor(Bits), 1 / FAnalysis.FreqStep);
    const std::vector<double>& held = FHold.Levels();
    for (std::size_t k = 0; k < held.size() && k < FFrame.X.size(); ++k)
      graph.AddPoint(1, HoldColor, FFrame.X[k], held[k], 1.0);
  }
  FControls.DCOffsetDis.SetText(FormatFixed(FFrame.DCOffset, 2));
  graph.EndUpdate();

  const int H = FAnalysis.BufferSize / 2;
  const TPeakSpectrum peaks{std::span<const double>(FAnalysis.Magnitude.data(), std::size_t(std::max(H, 0))),
                            FAnalysis.FreqStep, std::ldexp(1.0, Bits) / 2, FAnalysis.Window};
  const std::optional<TPeak> peak = StrongestPeak(peaks);
  FControls.PeakDis.SetText(peak && peak->Level > DecibelFloor(Bits) ? PeakText(*peak) : QString());
  FControls.SpectroGram1.AddLine(FFrame.SpectrumLine, int(FFrame.SpectrumLine.size()) - 1);
}

} // namespace duv
