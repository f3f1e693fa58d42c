#include "synth/SASynthesizer.h"

#include "analysis/SAGlobalView.h"
#include "analysis/SARealTime.h"
#include "audio/WaveLib.h"
#include "audio/Waveread.h"
#include "controls/CheckedGroup.h"
#include "controls/RadioGroup.h"
#include "controls/Realspin.h"

#include <QAbstractButton>

namespace duv {

TSASynthesizer::TSASynthesizer(TAnalysis& Analysis, TSARealTime& RealTime,
                               const TSynthControls& Controls)
    : FAnalysis(Analysis), FRealTime(RealTime), FControls(Controls),
      SynthBuffer8(MaxBufferSize), SynthBuffer16(MaxBufferSize)
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
  // The frame is as long as the shared frame length, which is always one of
  // the buffer sizes (a file's short tail is zero-padded to one).
  p.FrameLength = std::clamp(FAnalysis.BufferSize, 0, MaxBufferSize);
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
  const int n = int(Wave.size());
  QuantizeWave8(Wave, SynthBuffer8.data());
  FRealTime.ProcessFrame(SynthBuffer8.data(), n, {Rate, 1, 1});
  if (!PlaySound)
    return;
  WAVEFORMATEX f;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = std::uint32_t(Rate);
  f.nAvgBytesPerSec = std::uint32_t(Rate);
  f.nBlockAlign = 1;
  f.wBitsPerSample = 8;
  f.cbSize = 0;
  Play(f, SynthBuffer8.data(), std::uint32_t(n), false);
}

void TSASynthesizer::OutputWave16(const std::vector<double>& Wave, int Rate, bool PlaySound)
{
  const int n = int(Wave.size());
  QuantizeWave16(Wave, SynthBuffer16.data());
  FRealTime.ProcessFrame(SynthBuffer16.data(), n, {Rate, 2, 1});
  if (!PlaySound)
    return;
  WAVEFORMATEX f;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = std::uint32_t(Rate);
  f.nAvgBytesPerSec = 2 * std::uint32_t(Rate);
  f.nBlockAlign = 2;
  f.wBitsPerSample = 16;
  f.cbSize = 0;
  Play(f, SynthBuffer16.data(), 2 * std::uint32_t(n), false);
}

} // namespace duv
