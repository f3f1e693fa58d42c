// SPDX-License-Identifier: GPL-3.0-or-later
// Test-signal maths: one frame of a sine or square wave with amplitude, DC
// bias and an optional linear sweep, optionally modulated by a second sine,
// and its quantization to 8- or 16-bit samples.
#pragma once

#include <cstdint>
#include <vector>

namespace duv {

struct TSynthParams
{
  bool Square = false;
  std::uint8_t ModKind = 0; // 0 none, 1 add, 2 multiply, 3 frequency modulation
  bool Sweep = false;
  double Freq = 500;     // Hz
  double EndFreq = 1000; // Hz, reached at the end of the frame when sweeping
  double ModFreq = 2;    // cycles per frame
  double Amp = 1;
  double ModAmp = 1;
  double DCBias = 0;
  std::int32_t FrameLength = 0;
  std::int32_t Rate = 0;
};

// "Square" is item 1 of the base wave's type list; anything else is a sine.
bool SelectedShape(int typeIndex);
// 0 when modulation is off; otherwise add, mult, FM for items 0, 1, 2 and add
// for anything else.
std::uint8_t SelectedModulation(bool modulateChecked, int typeIndex);

void MakeBaseWave(const TSynthParams& Params, std::vector<double>& Wave);
void ApplyModulation(const TSynthParams& Params, std::vector<double>& Wave);
// FrameLength samples: the base wave, then the modulation unless ModKind is 0.
std::vector<double> GenerateWave(const TSynthParams& Params);

// 127 * w + 127 clamped to 0 .. 255: -1 -> 0, 0 -> 127, +1 -> 254.
void QuantizeWave8(const std::vector<double>& Wave, std::uint8_t* out);
// 32767 * w clamped to -32767 .. 32767.
void QuantizeWave16(const std::vector<double>& Wave, std::int16_t* out);

} // namespace duv
