// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/SASynthesizer.h"

#include "app/pages/SAGlobalView.h"
#include "app/pages/SARealTime.h"
#include "audio/WaveLib.h"
#include "audio/Waveread.h"
#include "controls/CheckedGroup.h"
#include "controls/RadioGroup.h"
#include "controls/Realspin.h"

#include <QAbstractButton>

namespace duv {

TSASynthesizer::TSASynthesizer(TSARealTime& RealTime, const TSynthControls& Controls)
    : SynthBuffer8(MaxBufferSize), SynthBuffer16(MaxBufferSize), FRealTime(RealTime),
      FControls(Controls)
{
  Play = PlayWave;
}

TSynthParams TSASynthesizer::Params() const
{
  TSynthParams p;
  p.Square = SelectedShape(FControls.BaseTypeRadio.ItemIndex());
  p.ModKind = SelectedModulation(FControls.ModulateChk.Checked(), FControls.ModTypeRadio.ItemIndex());
  p.Sweep = FControls.SweepChk.isChecked();
  p.Freq = FControls.FreqSpin.Value();
  p.EndFreq = FControls.Freq2Spin.Value();
  p.ModFreq = FControls.MFreqSpin.Value();
  p.Amp = FControls.AmpSpin.Value();
  p.ModAmp = FControls.MAmpSpin.Value();
  p.DCBias = FControls.DCSpin.Value();
  // The frame is as long as a live frame: it goes down the live path.
  p.FrameLength = std::clamp(FRealTime.BufferSize(), 0, MaxBufferSize);
  p.Rate = CurrentCaptureFormat(FControls.WaveReader1).SampleRate;
  return p;
}

void TSASynthesizer::Synthesize(bool PlaySound)
{
  const TSynthParams p = Params();
  const std::vector<double> wave = GenerateWave(p);
  if (wave.empty())
    return;
  // Always mono, whatever the capture format's channel count.
  if (CurrentCaptureFormat(FControls.WaveReader1).BytesPerSample == 1)
    OutputWave8(wave, p.Rate, PlaySound);
  else
    OutputWave16(wave, p.Rate, PlaySound);
}

void TSASynthesizer::OutputWave8(const std::vector<double>& Wave, int Rate, bool PlaySound)
{
  QuantizeWave8(Wave, SynthBuffer8.data());
  Output(SynthBuffer8.data(), int(Wave.size()), {Rate, 1, 1}, PlaySound);
}

void TSASynthesizer::OutputWave16(const std::vector<double>& Wave, int Rate, bool PlaySound)
{
  QuantizeWave16(Wave, SynthBuffer16.data());
  Output(SynthBuffer16.data(), int(Wave.size()), {Rate, 2, 1}, PlaySound);
}

void TSASynthesizer::Output(const void* Frame, int Count, const TWaveDataFormat& Format,
                            bool PlaySound)
{
  FRealTime.ProcessFrame(Frame, Count, Format);
  // The frame is shown first; then played once, mono PCM at the capture
  // rate, without waiting for it to end.
  if (PlaySound)
    Play(MakeWaveFormat(Format), Frame, std::uint32_t(Count * Format.BytesPerSample), false);
}

} // namespace duv
