// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/SARealTime.h"

#include "app/pages/SAGlobalView.h"
#include "audio/Waveread.h"
#include "controls/RadioGroup.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "graph/Graphbox.h"
#include "app/pages/SAGraphs.h"
#include "support/DSupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace duv {

namespace {

constexpr TColor TraceColor = MakeColor(255, 0, 0);

} // namespace

TSARealTime::TSARealTime(TSpectrumView& Spectrum, TSAGraphs& Graphs,
                         const TRealTimeControls& Controls)
    : FSpectrum(Spectrum), FGraphs(Graphs), FControls(Controls)
{
}

void TSARealTime::SetupScope(int Count, int Bits, int Channels)
{
  FScopeLayout = {Count, Bits, Channels};
  const bool eightBit = Bits == 8;
  const double fullScale = std::ldexp(1.0, Bits - 1);
  for (TGraphBox* g : {&FControls.LeftGraph, &FControls.RightGraph}) {
    g->XAxis().SetMin(0);
    g->XAxis().SetMax(Count - 1);
    g->YAxis().SetMin(eightBit ? 0 : -fullScale);
    g->YAxis().SetMax(eightBit ? 256 : fullScale);
  }
  // A mono source has nothing for the right channel: an older trace there
  // would pass for one.
  if (Channels == 1)
    FControls.RightGraph.Clear();
  const TAxisParams& x = FControls.LeftGraph.XAxis();
  const TAxisParams& y = FControls.LeftGraph.YAxis();
  FGraphs.SetRawDefaults({{y.Min(), y.Max()}, {x.Min(), x.Max()}});
}

void TSARealTime::SetupRealTimeAxes()
{
  if (FSpectrum.Source() != TViewSource::Live) {
    // The file stays on its own axes; the spectrogram starts over with the
    // time span (and colours) now chosen.
    FSpectrum.SetupSpectrum(FSpectrum.Setup(), FControls.TimeSpin.Value());
    return;
  }
  TWaveReader& reader = FControls.WaveReader1;
  const TWaveDataFormat f = CurrentCaptureFormat(reader);
  SetupScope(reader.SampleCount(), SampleBits(f), f.Channels);
  FSpectrum.SetupSpectrum(SampleBits(f), FBufferSize, f.SampleRate,
                          FControls.TimeSpin.Value());
}

void TSARealTime::ShowLiveSource()
{
  if (FSpectrum.Source() == TViewSource::Live)
    return;
  FSpectrum.SetSource(TViewSource::Live);
  for (TGraphBox* g : {&FControls.LeftGraph, &FControls.RightGraph}) {
    g->Clear();
    g->SetDecimals2(0);
    // Undoes the seconds scale a wave file puts on the traces.
    g->XAxis().SetMultiplier(1);
  }
  FSpectrum.ClearTrace();
  FScopeLayout = {};
  SetupRealTimeAxes();
}

void TSARealTime::UpdateBufferSize()
{
  FFrameCount = 0;
  FBufferSize = ComboBufferSize(FControls.BuffSizeCombo.currentIndex());
  FControls.WaveReader1.SetSampleCount(FBufferSize);
  SetupRealTimeAxes();
}

void TSARealTime::ShowRateFigures()
{
  const TWaveDataFormat f = CurrentCaptureFormat(FControls.WaveReader1);
  const long double rate = f.SampleRate;
  const long double n = FBufferSize;
  // Fixed-point text rounds halves away from zero: 5512.5 Hz shows as 5513 Hz.
  FControls.BandWidthDis.SetText(FormatFixed(rate / 2, 0) + " Hz");
  FControls.ResDis.SetText(FormatFixed((rate / 2) / (n / 2), 1) + " Hz");
  FControls.FPSDis.SetText(FormatFixed(rate / n, 1) + " FPS");
}

void TSARealTime::StartCapture()
{
  ShowLiveSource();
  UpdateBufferSize();
  ShowRateFigures();
  FControls.WaveReader1.Start();
}

void TSARealTime::ProcessFrame(const void* Buffer, int Count, const TWaveDataFormat& Format)
{
  CountFrame();
  if (!Buffer || Count <= 0)
    return;
  // A live frame after the Wave File page's file: the file's traces go, and
  // the views are set up for live frames again.
  if (FSpectrum.Source() != TViewSource::Live)
    ShowLiveSource();
  if (FControls.OscopeChk.isChecked())
    PlotOscilloscope(Buffer, Count, Format);
  if (FControls.SpectrumChk.isChecked())
    AnalyzeFrame(Buffer, Count, Format);
}

void TSARealTime::CountFrame()
{
  ++FFrameCount;
  FControls.FramesDis.SetText(QString::number(FFrameCount));
}

void TSARealTime::ShowPastFrame(const void* Buffer, int Count, const TWaveDataFormat& Format)
{
  if (!Buffer || Count <= 0)
    return;
  if (FSpectrum.Source() != TViewSource::Live)
    ShowLiveSource();
  if (FControls.OscopeChk.isChecked())
    PlotOscilloscope(Buffer, Count, Format);
  if (FControls.SpectrumChk.isChecked())
    AnalyzeFrame(Buffer, Count, Format, false);
}

void TSARealTime::PlotOscilloscope(const void* Buffer, int Count, const TWaveDataFormat& Format)
{
  const auto* bytes = static_cast<const unsigned char*>(Buffer);
  TGraphBox& left = FControls.LeftGraph;
  TGraphBox& right = FControls.RightGraph;
  const bool stereo = Format.Channels != 1;
  if (!(FScopeLayout == TScopeLayout{Count, SampleBits(Format), Format.Channels}))
    SetupScope(Count, SampleBits(Format), Format.Channels);
  left.BeginUpdate();
  left.Clear();
  if (stereo) {
    right.BeginUpdate();
    right.Clear();
  }
  // In stereo only the first half of the frame is drawn, each channel at its
  // interleaved index, so both traces span the whole X range.
  for (int i = 0; i < Count; ++i) {
    TGraphBox& g = (stereo && (i & 1)) ? right : left;
    g.AddPoint(0, TraceColor, i, SampleValue(bytes, Format, std::size_t(i)), 1.0);
  }
  left.EndUpdate();
  if (stereo)
    right.EndUpdate();
}

void TSARealTime::AnalyzeFrame(const void* Buffer, int Count, const TWaveDataFormat& Format,
                               bool Live)
{
  const auto* bytes = static_cast<const unsigned char*>(Buffer);
  const int channels = std::max(1, Format.Channels);
  const int channel = channels > 1 && FControls.ChannelRadio.ItemIndex() > 0 ? 1 : 0;
  // The transform runs over the frame length the displays were set up for.
  // A shorter frame is zero-padded to it, so the transform always gets its
  // power of two and the frequency axis stays right.
  const int n = FBufferSize;
  const int used = std::min(Count, n);
  FSamples.resize(std::size_t(used));
  for (int i = 0; i < used; ++i)
    FSamples[std::size_t(i)] = SampleValue(bytes, Format, std::size_t(i * channels + channel));
  TFrameFormat format;
  format.SampleRate = Format.SampleRate;
  format.Size = n;
  format.Bits = SampleBits(Format);
  format.Channels = channels;
  format.Channel = channel;
  FSpectrum.ShowSpectrum(FSamples, format, Live);
}

} // namespace duv
