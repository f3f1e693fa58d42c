// SPDX-License-Identifier: GPL-3.0-or-later
// The last minutes of captured input, kept in memory at the capture format
// (8-bit samples as bytes, 16- and 24-bit packed, float as floats), so that a moment that has
// scrolled off the views can be shown again, saved or analysed. It reads like
// a file: a format, a span of frames, and stretches of either channel.
// Pure: no widget, no device.
#pragma once

#include "support/WaveFormat.h"
#include "wavefile/WaveFileParser.h"

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;

namespace duv {

class TCaptureHistory
{
public:
  static constexpr int MinMinutes = 1;
  static constexpr int MaxMinutes = 60;
  static constexpr int DefaultMinutes = 5;

  TCaptureHistory() = default;
  TCaptureHistory(const TCaptureHistory&) = delete;
  TCaptureHistory& operator=(const TCaptureHistory&) = delete;

  // How many minutes are kept (1 to 60; other values are brought within).
  // A shorter span drops the oldest frames at once.
  int Minutes() const { return FMinutes; }
  void SetMinutes(int Minutes);
  // The memory Minutes of Format take when full, in bytes.
  static std::int64_t BytesFor(int Minutes, const TWaveDataFormat& Format);

  // Adds Count frames of interleaved samples. Frames of another format than
  // the ones kept start the history over; a format that is not one of the
  // capture formats (8, 16 or 24 bits or float, one or two channels) is not
  // kept.
  void Append(const void* Frames, std::int64_t Count, const TWaveDataFormat& Format);
  // Forgets everything and gives the memory back; the format stays until
  // frames of another come.
  void Clear();

  // Frames are numbered from the first one added since the history started
  // over; the ones kept are [First, End). Serial changes whenever the
  // history starts over, so a position taken earlier can be told stale.
  const TWaveDataFormat& Format() const { return FFormat; }
  std::int64_t First() const { return FEnd - FKept; }
  std::int64_t End() const { return FEnd; }
  std::int64_t Frames() const { return FKept; }
  unsigned Serial() const { return FSerial; }
  bool Empty() const { return FKept == 0; }
  // The capacity in frames at the current format.
  std::int64_t Capacity() const;
  // The memory held now.
  std::int64_t MemoryBytes() const;

  // Copies frames [From, From + Count), which must lie in [First, End), as
  // they were captured, into Out. Frames outside throw std::out_of_range,
  // here and in ReadChannels and SoundData.
  void Read(std::int64_t From, std::int64_t Count, void* Out) const;
  // The same frames by channel, as a file's channel arrays hold them (8-bit
  // samples 0 to 255, 16-bit signed, wider ones reduced to 16 bits); either
  // pointer may be null, and a channel a mono capture lacks reads 0.
  void ReadChannels(std::int64_t From, std::int64_t Count, std::int16_t* Left,
                    std::int16_t* Right) const;
  // Those frames as the samples of a loaded file.
  TSoundData SoundData(std::int64_t From, std::int64_t Count) const;

private:
  friend bool WriteCaptureWav(const TCaptureHistory&, std::int64_t, std::int64_t, QIODevice&);
  std::int64_t BlockFrames() const;
  void CheckKept(std::int64_t From, std::int64_t Count) const;
  // Keeps the newest frames in a ring for the current minutes and format.
  void Relayout();
  // The bytes of frame Index, which is kept, and how many frames of its
  // block follow it there.
  const std::uint8_t* At(std::int64_t Index, std::int64_t& Run) const;

  int FMinutes = DefaultMinutes;
  TWaveDataFormat FFormat;
  std::int64_t FEnd = 0;
  std::int64_t FKept = 0;
  unsigned FSerial = 0;
  // A ring of equal blocks, allocated as the history grows: frame i lives in
  // block (i / BlockFrames) mod the block count.
  std::vector<std::unique_ptr<std::uint8_t[]>> FBlocks;
};

// The 44-byte header of a PCM WAV file of DataBytes of samples in Format.
QByteArray PcmWaveHeader(const TWaveDataFormat& Format, std::uint32_t DataBytes);
// The largest number of sample bytes a WAV file can say it holds.
inline constexpr std::int64_t MaxWaveDataBytes = 0xFFFFFFFFll - 36;

// Writes frames [From, From + Count) of the history to Device as a PCM WAV
// file at the capture format. False when a write failed or the history
// does not hold those frames.
bool WriteCaptureWav(const TCaptureHistory& History, std::int64_t From, std::int64_t Count,
                     QIODevice& Device);

} // namespace duv
