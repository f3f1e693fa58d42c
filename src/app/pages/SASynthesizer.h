// SPDX-License-Identifier: GPL-3.0-or-later
// The Synthesize page: one frame of a test signal made from the page's
// settings, quantized to the capture format's width and sent down the live
// frame path as if the sound card had delivered it; optionally played once.
#pragma once

#include "synth/SynthWave.h"

#include "support/WaveFormat.h"

#include <cstdint>
#include <functional>
#include <vector>

class QAbstractButton;

namespace duv {

class TCheckedGroup;
class TRadioGroup;
class TRealSpin;
class TSARealTime;
class TWaveReader;

// The controls this module reads, filled by the main window (or a test).
struct TSynthControls
{
  TRadioGroup& BaseTypeRadio;
  TRealSpin& FreqSpin;
  TRealSpin& AmpSpin;
  TRealSpin& DCSpin;
  TRealSpin& Freq2Spin;
  QAbstractButton& SweepChk;
  TCheckedGroup& ModulateChk;
  TRadioGroup& ModTypeRadio;
  TRealSpin& MFreqSpin;
  TRealSpin& MAmpSpin;
  // The capture format sets the rate and the width of the frame.
  TWaveReader& WaveReader1;
};

class TSASynthesizer
{
public:
  TSASynthesizer(TSARealTime& RealTime, const TSynthControls& Controls);

  // The request the page describes now.
  TSynthParams Params() const;
  // Makes the frame, shows it, and with PlaySound plays it without waiting.
  void Synthesize(bool PlaySound);
  void OutputWave8(const std::vector<double>& Wave, int Rate, bool PlaySound);
  void OutputWave16(const std::vector<double>& Wave, int Rate, bool PlaySound);

  // The last frame made; the output device may still be reading it.
  std::vector<std::uint8_t> SynthBuffer8;
  std::vector<std::int16_t> SynthBuffer16;

  // Plays a buffer (PlayWave by default); replaceable so that what would be
  // played can be checked without a sound device.
  std::function<void(WAVEFORMATEX Format, const void* Data, std::uint32_t Size, bool Wait)> Play;

private:
  void Output(const void* Frame, int Count, const TWaveDataFormat& Format, bool PlaySound);

  TSARealTime& FRealTime;
  TSynthControls FControls;
};

} // namespace duv
