// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/SynthWave.h"

#include "support/DSupport.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace duv {

bool SelectedShape(int typeIndex) { return typeIndex == 1; }

std::uint8_t SelectedModulation(bool modulateChecked, int typeIndex)
{
  if (!modulateChecked)
    return 0;
  switch (typeIndex) {
  case 1:
    return 2;
  case 2:
    return 3;
  default:
    return 1;
  }
}

void MakeBaseWave(const TSynthParams& Params, std::vector<double>& Wave)
{
  const int n = Params.FrameLength;
  if (n < 1)
    return;
  Wave.resize(n);
  const double Step = (static_cast<long double>(Params.EndFreq) - Params.Freq) / n;
  const double W = (2 * std::numbers::pi_v<long double>) / Params.Rate;
  const long double F = Params.Freq;
  for (int i = 0; i < n; ++i) {
    long double s;
    if (Params.Sweep) {
      // The phase is the running sum of the instantaneous frequency, which
      // climbs linearly from Freq at sample 0 to EndFreq at the end of the
      // frame. (Scaling a growing frequency by i instead would end the sweep
      // near twice the end frequency.)
      const long double phase = static_cast<long double>(W) * (F * i + Step * (0.5L * i * (i - 1)));
      s = std::sin(phase);
    } else {
      s = std::sin(static_cast<long double>(W) * F * i);
    }
    double v = static_cast<double>(s);
    if (Params.Square)
      v = v > 0 ? 1.0 : -1.0; // a zero sine, as at i = 0, gives -1
    Wave[i] = static_cast<double>(static_cast<long double>(v) * Params.Amp + Params.DCBias);
  }
}

void ApplyModulation(const TSynthParams& Params, std::vector<double>& Wave)
{
  const int n = Params.FrameLength;
  if (n < 1)
    return;
  Wave.resize(n);
  // The modulator (and the FM carrier) count cycles per frame, not per second.
  const double V = (2 * std::numbers::pi_v<long double>) / n;
  for (int i = 0; i < n; ++i) {
    const long double M = std::sin(static_cast<long double>(V) * Params.ModFreq * i);
    switch (Params.ModKind) {
    case 1:
      Wave[i] = static_cast<double>(Wave[i] + Params.ModAmp * M);
      break;
    case 2:
      Wave[i] = static_cast<double>(Params.ModAmp * M * Wave[i]);
      break;
    case 3: {
      const double D = static_cast<double>(Params.ModAmp * M);
      Wave[i] = static_cast<double>(
          Params.Amp * std::sin(((static_cast<long double>(Params.Freq) + D) * V) * i));
      break;
    }
    default:
      break;
    }
  }
}

std::vector<double> GenerateWave(const TSynthParams& Params)
{
  std::vector<double> wave(std::max(0, Params.FrameLength), 0.0);
  MakeBaseWave(Params, wave);
  if (Params.ModKind != 0)
    ApplyModulation(Params, wave);
  return wave;
}

void QuantizeWave8(const std::vector<double>& Wave, std::uint8_t* out)
{
  for (std::size_t i = 0; i < Wave.size(); ++i) {
    long double v = 127.0L * Wave[i] + 127;
    v = std::max<long double>(v, 0); // NaN stays NaN and rounds to 0
    v = std::min<long double>(v, 255);
    out[i] = std::uint8_t(Round(v));
  }
}

void QuantizeWave16(const std::vector<double>& Wave, std::int16_t* out)
{
  for (std::size_t i = 0; i < Wave.size(); ++i) {
    long double v = 32767.0L * Wave[i];
    v = std::max<long double>(v, -32767);
    v = std::min<long double>(v, 32767);
    out[i] = std::int16_t(Round(v));
  }
}

} // namespace duv
