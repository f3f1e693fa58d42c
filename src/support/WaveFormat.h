// SPDX-License-Identifier: GPL-3.0-or-later
// Sample-format records shared by capture, playback, wave files and the
// synthesizer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

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
// The format tag of floating-point samples.
constexpr std::uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;

// The format a captured (or synthesized) buffer was recorded in. Integer
// samples are 8-bit unsigned, 16- or 24-bit signed little-endian (24-bit
// packed in three bytes); Float samples are 32-bit IEEE floats with full
// scale at +-1.
struct TWaveDataFormat
{
  std::int32_t SampleRate = 0;
  std::int32_t BytesPerSample = 0; // 1, 2, 3, or 4 for float; not bits
  std::int32_t Channels = 0;       // 1 or 2
  bool Float = false;
  bool operator==(const TWaveDataFormat&) const = default;
};

// The capture formats, in table order: the classic twelve first (stored
// settings name them by number), then 48, 88.2 and 96 kHz at 16-bit, 24-bit
// and float, then 24-bit and float at the classic rates.
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
  wf48Khz_Mono_16Bit,
  wf48Khz_Stereo_16Bit,
  wf48Khz_Mono_24Bit,
  wf48Khz_Stereo_24Bit,
  wf48Khz_Mono_Float,
  wf48Khz_Stereo_Float,
  wf88Khz_Mono_16Bit,
  wf88Khz_Stereo_16Bit,
  wf88Khz_Mono_24Bit,
  wf88Khz_Stereo_24Bit,
  wf88Khz_Mono_Float,
  wf88Khz_Stereo_Float,
  wf96Khz_Mono_16Bit,
  wf96Khz_Stereo_16Bit,
  wf96Khz_Mono_24Bit,
  wf96Khz_Stereo_24Bit,
  wf96Khz_Mono_Float,
  wf96Khz_Stereo_Float,
  wf11Khz_Mono_24Bit,
  wf11Khz_Stereo_24Bit,
  wf11Khz_Mono_Float,
  wf11Khz_Stereo_Float,
  wf22Khz_Mono_24Bit,
  wf22Khz_Stereo_24Bit,
  wf22Khz_Mono_Float,
  wf22Khz_Stereo_Float,
  wf44Khz_Mono_24Bit,
  wf44Khz_Stereo_24Bit,
  wf44Khz_Mono_Float,
  wf44Khz_Stereo_Float,
};

// The last capture format.
constexpr int WaveTypeCount = wf44Khz_Stereo_Float;

// The format of type t (1 ... WaveTypeCount); wfNone and anything outside
// gives zeros.
constexpr TWaveDataFormat WaveTypeFormat(int t)
{
  t &= 0x7F;
  if (t < 1 || t > WaveTypeCount)
    return {};
  constexpr std::int32_t classic[3] = {11025, 22050, 44100};
  constexpr std::int32_t high[3] = {48000, 88200, 96000};
  if (t <= wf44Khz_Stereo_16Bit) {
    const int i = t - 1;
    return {classic[i / 4], (i & 2) ? 2 : 1, (i & 1) ? 2 : 1};
  }
  // Width 0: 16-bit, 1: 24-bit, 2: float; mono before stereo.
  const auto make = [](std::int32_t rate, int width, int i) {
    return TWaveDataFormat{rate, width == 0 ? 2 : width == 1 ? 3 : 4, (i & 1) ? 2 : 1, width == 2};
  };
  if (t <= wf96Khz_Stereo_Float) {
    const int i = t - wf48Khz_Mono_16Bit;
    return make(high[i / 6], i % 6 / 2, i);
  }
  const int i = t - wf11Khz_Mono_24Bit;
  return make(classic[i / 4], 1 + i % 4 / 2, i);
}

// The width the analysis reads a format at: its own, and 24 bits for float,
// whose samples come from converters of at most 24 bits. It sets the 0 dB
// reference (a full-scale sine) and the floor (-6 dB per bit).
constexpr int SampleBits(const TWaveDataFormat& f)
{
  return f.Float ? 24 : 8 * f.BytesPerSample;
}

// Sample i of an interleaved buffer on the integer scale of SampleBits:
// 8-bit unsigned around 128, integers signed, float scaled by 2^23.
inline double SampleValue(const unsigned char* Bytes, const TWaveDataFormat& f, std::size_t i)
{
  const unsigned char* s = Bytes + i * std::size_t(f.BytesPerSample);
  if (f.Float) {
    float v;
    std::memcpy(&v, s, 4);
    return double(v) * 8388608.0;
  }
  switch (f.BytesPerSample) {
  case 1:
    return s[0];
  case 2:
    return std::int16_t(std::uint16_t(s[0] | s[1] << 8));
  case 3:
    // Sign-extended from the top byte.
    return std::int32_t(std::uint32_t(s[0] | s[1] << 8 | s[2] << 16) << 8) >> 8;
  default:
    return std::int32_t(std::uint32_t(s[0] | s[1] << 8 | s[2] << 16) | std::uint32_t(s[3]) << 24);
  }
}

// Sample i reduced to 16 bits the way wider wave files are read: rounded
// down; 8-bit samples stay unsigned.
inline std::int16_t Sample16(const unsigned char* Bytes, const TWaveDataFormat& f, std::size_t i)
{
  const double v = SampleValue(Bytes, f, i);
  const int bits = SampleBits(f);
  if (bits <= 16)
    return std::int16_t(v);
  return std::int16_t(std::clamp(std::floor(std::ldexp(v, 16 - bits)), -32768.0, 32767.0));
}

// A wave-file record for a capture format: PCM, or IEEE float.
constexpr WAVEFORMATEX MakeWaveFormat(const TWaveDataFormat& f)
{
  WAVEFORMATEX w;
  w.wFormatTag = f.Float ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
  w.nChannels = std::uint16_t(f.Channels);
  w.nSamplesPerSec = std::uint32_t(f.SampleRate);
  w.nBlockAlign = std::uint16_t(f.Channels * f.BytesPerSample);
  w.nAvgBytesPerSec = std::uint32_t(f.SampleRate) * w.nBlockAlign;
  w.wBitsPerSample = std::uint16_t(8 * f.BytesPerSample);
  w.cbSize = 0;
  return w;
}

} // namespace duv
