// SPDX-License-Identifier: GPL-3.0-or-later
// Sample-format records shared by capture, playback, wave files and the
// synthesizer.
#pragma once

#include <cstdint>

namespace duv {

#pragma pack(push, 1)
// The 18-byte PCM format record of a wave file's "fmt " chunk, of the capture
// device and of every buffer played.
struct WAVEFORMATEX
{
  std::uint16_t wFormatTag = 0;
  std::uint16_t nChannels = 0;
  std::uint32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t nBlockAlign = 0;
  std::uint16_t wBitsPerSample = 0;
  std::uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// The format a captured (or synthesized) buffer was recorded in.
struct TWaveDataFormat
{
  std::int32_t SampleRate = 0;
  std::int32_t BytesPerSample = 0; // 1 or 2, not bits
  std::int32_t Channels = 0;       // 1 or 2
  bool operator==(const TWaveDataFormat&) const = default;
};

// The twelve classic capture formats, in table order.
enum TWaveTypes : std::uint8_t {
  wfNone,
  wf11Khz_Mono_8Bit,
  wf11Khz_Stereo_8Bit,
  wf11Khz_Mono_16Bit,
  wf11Khz_Stereo_16Bit,
  wf22Khz_Mono_8Bit,
  wf22Khz_Stereo_8Bit,
  wf22Khz_Mono_16Bit,
  wf22Khz_Stereo_16Bit,
  wf44Khz_Mono_8Bit,
  wf44Khz_Stereo_8Bit,
  wf44Khz_Mono_16Bit,
  wf44Khz_Stereo_16Bit,
};

// The format of type t (1 ... 12); wfNone and anything outside gives zeros.
constexpr TWaveDataFormat WaveTypeFormat(int t)
{
  t &= 0x7F;
  if (t < 1 || t > 12)
    return {};
  const int i = t - 1;
  constexpr std::int32_t rates[3] = {11025, 22050, 44100};
  return {rates[i / 4], (i & 2) ? 2 : 1, (i & 1) ? 2 : 1};
}

// A PCM record for a capture format.
constexpr WAVEFORMATEX MakeWaveFormat(const TWaveDataFormat& f)
{
  WAVEFORMATEX w;
  w.wFormatTag = WAVE_FORMAT_PCM;
  w.nChannels = std::uint16_t(f.Channels);
  w.nSamplesPerSec = std::uint32_t(f.SampleRate);
  w.nBlockAlign = std::uint16_t(f.Channels * f.BytesPerSample);
  w.nAvgBytesPerSec = std::uint32_t(f.SampleRate) * w.nBlockAlign;
  w.wBitsPerSample = std::uint16_t(8 * f.BytesPerSample);
  w.cbSize = 0;
  return w;
}

} // namespace duv
