// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CaptureHistory.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace duv {

namespace {

// A block holds whole frames of every capture format (1 to 8 bytes; the
// bytes left over after the last whole frame of 3 or 6 go unused). A
// megabyte keeps the allocations rare (one every six seconds of 44.1 kHz
// stereo) and what a full history holds beyond its minutes small.
constexpr std::int64_t BlockBytes = std::int64_t(1) << 20;

bool Keepable(const TWaveDataFormat& f)
{
  return f.SampleRate > 0 && f.BytesPerSample >= 1 && f.BytesPerSample <= 4 &&
         (f.Channels == 1 || f.Channels == 2) && (!f.Float || f.BytesPerSample == 4);
}

std::int64_t FrameBytes(const TWaveDataFormat& f)
{
  return std::int64_t(f.BytesPerSample) * f.Channels;
}

std::int64_t CapacityFor(int Minutes, const TWaveDataFormat& f)
{
  return std::int64_t(Minutes) * 60 * f.SampleRate;
}

std::int64_t BlockCount(std::int64_t capacity, std::int64_t blockFrames)
{
  return blockFrames > 0 ? (capacity + blockFrames - 1) / blockFrames : 0;
}

void PutLE(QByteArray& out, std::uint32_t v, int bytes)
{
  for (int i = 0; i < bytes; ++i)
    out.append(char((v >> (8 * i)) & 0xFF));
}

} // namespace

std::int64_t TCaptureHistory::BytesFor(int Minutes, const TWaveDataFormat& Format)
{
  if (!Keepable(Format))
    return 0;
  Minutes = std::clamp(Minutes, MinMinutes, MaxMinutes);
  return BlockCount(CapacityFor(Minutes, Format), BlockBytes / FrameBytes(Format)) * BlockBytes;
}

void TCaptureHistory::SetMinutes(int Minutes)
{
  Minutes = std::clamp(Minutes, MinMinutes, MaxMinutes);
  if (Minutes == FMinutes)
    return;
  FMinutes = Minutes;
  Relayout();
}

std::int64_t TCaptureHistory::BlockFrames() const
{
  return Keepable(FFormat) ? BlockBytes / FrameBytes(FFormat) : 0;
}

std::int64_t TCaptureHistory::Capacity() const
{
  return Keepable(FFormat) ? CapacityFor(FMinutes, FFormat) : 0;
}

std::int64_t TCaptureHistory::MemoryBytes() const
{
  std::int64_t n = 0;
  for (const auto& b : FBlocks)
    n += b ? BlockBytes : 0;
  return n;
}

void TCaptureHistory::Clear()
{
  // The ring keeps its slots for the format it holds, each without memory:
  // the next frames of that format go straight in, as after Relayout.
  for (auto& b : FBlocks)
    b.reset();
  FEnd = 0;
  FKept = 0;
  ++FSerial;
}

void TCaptureHistory::Relayout()
{
  const std::int64_t blockFrames = BlockFrames();
  const std::int64_t capacity = Capacity();
  std::vector<std::unique_ptr<std::uint8_t[]>> blocks(
      std::size_t(BlockCount(capacity, blockFrames)));
  const std::int64_t keep = std::min(FKept, capacity);
  // The frames kept keep their numbers: only the ring around them changes.
  const std::int64_t frameBytes = Keepable(FFormat) ? FrameBytes(FFormat) : 0;
  for (std::int64_t i = FEnd - keep; i < FEnd;) {
    std::int64_t run = 0;
    const std::uint8_t* from = At(i, run);
    const auto b = std::size_t((i / blockFrames) % std::int64_t(blocks.size()));
    const std::int64_t offset = i % blockFrames;
    run = std::min({run, FEnd - i, blockFrames - offset});
    if (!blocks[b])
      blocks[b] = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(BlockBytes));
    std::memcpy(blocks[b].get() + offset * frameBytes, from, std::size_t(run * frameBytes));
    i += run;
  }
  FBlocks = std::move(blocks);
  FKept = keep;
}

void TCaptureHistory::CheckKept(std::int64_t From, std::int64_t Count) const
{
  // A frame not kept has no block to read (or one that is gone): a stale
  // position must not read freed memory or divide by an empty ring.
  if (Count < 0 || From < First() || From + Count > FEnd)
    throw std::out_of_range("frames that the capture history does not hold were asked for");
}

const std::uint8_t* TCaptureHistory::At(std::int64_t Index, std::int64_t& Run) const
{
  const std::int64_t blockFrames = BlockFrames();
  const auto b = std::size_t((Index / blockFrames) % std::int64_t(FBlocks.size()));
  const std::int64_t offset = Index % blockFrames;
  Run = blockFrames - offset;
  return FBlocks[b].get() + offset * FrameBytes(FFormat);
}

void TCaptureHistory::Append(const void* Frames, std::int64_t Count, const TWaveDataFormat& Format)
{
  if (!Frames || Count <= 0 || !Keepable(Format))
    return;
  if (!(Format == FFormat)) {
    Clear();
    FFormat = Format;
    Relayout();
  }
  const std::int64_t frameBytes = FrameBytes(FFormat);
  const std::int64_t capacity = Capacity();
  const std::int64_t blockFrames = BlockFrames();
  const auto* from = static_cast<const std::uint8_t*>(Frames);
  // Of more than the history holds only the newest count.
  if (Count > capacity) {
    from += (Count - capacity) * frameBytes;
    FEnd += Count - capacity;
    FKept = 0;
    Count = capacity;
  }
  while (Count > 0) {
    const auto b = std::size_t((FEnd / blockFrames) % std::int64_t(FBlocks.size()));
    const std::int64_t offset = FEnd % blockFrames;
    const std::int64_t run = std::min(Count, blockFrames - offset);
    if (!FBlocks[b])
      FBlocks[b] = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(BlockBytes));
    std::memcpy(FBlocks[b].get() + offset * frameBytes, from, std::size_t(run * frameBytes));
    from += run * frameBytes;
    FEnd += run;
    FKept = std::min(FKept + run, capacity);
    Count -= run;
  }
}

void TCaptureHistory::Read(std::int64_t From, std::int64_t Count, void* Out) const
{
  CheckKept(From, Count);
  auto* to = static_cast<std::uint8_t*>(Out);
  const std::int64_t frameBytes = FrameBytes(FFormat);
  while (Count > 0) {
    std::int64_t run = 0;
    const std::uint8_t* from = At(From, run);
    run = std::min(run, Count);
    std::memcpy(to, from, std::size_t(run * frameBytes));
    to += run * frameBytes;
    From += run;
    Count -= run;
  }
}

void TCaptureHistory::ReadChannels(std::int64_t From, std::int64_t Count, std::int16_t* Left,
                                   std::int16_t* Right) const
{
  CheckKept(From, Count);
  const int channels = FFormat.Channels;
  while (Count > 0) {
    std::int64_t run = 0;
    const std::uint8_t* from = At(From, run);
    run = std::min(run, Count);
    for (std::int64_t i = 0; i < run; ++i) {
      for (int c = 0; c < 2; ++c) {
        std::int16_t* to = c == 0 ? Left : Right;
        if (!to)
          continue;
        to[i] = c < channels ? Sample16(from, FFormat, std::size_t(i * channels + c)) : 0;
      }
    }
    if (Left)
      Left += run;
    if (Right)
      Right += run;
    From += run;
    Count -= run;
  }
}

TSoundData TCaptureHistory::SoundData(std::int64_t From, std::int64_t Count) const
{
  CheckKept(From, Count);
  TSoundData data;
  data.Format = MakeWaveFormat(FFormat);
  // The channels hold wider samples reduced to 16 bits, as a wave file's.
  if (SampleBits(FFormat) > 16)
    data.Format = MakeWaveFormat({FFormat.SampleRate, 2, FFormat.Channels});
  data.SamplesPerChannel = std::int32_t(Count);
  for (int c = 0; c < FFormat.Channels; ++c)
    data.Channels[std::size_t(c)].resize(Count);
  ReadChannels(From, Count, data.Channels[0].data(),
               FFormat.Channels > 1 ? data.Channels[1].data() : nullptr);
  return data;
}

QByteArray PcmWaveHeader(const TWaveDataFormat& Format, std::uint32_t DataBytes)
{
  const WAVEFORMATEX f = MakeWaveFormat(Format);
  QByteArray h;
  h.reserve(44);
  h.append("RIFF", 4);
  // An odd data chunk is followed by a pad byte, which the RIFF size counts.
  PutLE(h, 36 + DataBytes + (DataBytes & 1), 4);
  h.append("WAVEfmt ", 8);
  PutLE(h, 16, 4);
  PutLE(h, f.wFormatTag, 2);
  PutLE(h, f.nChannels, 2);
  PutLE(h, f.nSamplesPerSec, 4);
  PutLE(h, f.nAvgBytesPerSec, 4);
  PutLE(h, f.nBlockAlign, 2);
  PutLE(h, f.wBitsPerSample, 2);
  h.append("data", 4);
  PutLE(h, DataBytes, 4);
  return h;
}

bool WriteCaptureWav(const TCaptureHistory& History, std::int64_t From, std::int64_t Count,
                     QIODevice& Device)
{
  const TWaveDataFormat& f = History.Format();
  const std::int64_t frameBytes = std::int64_t(f.BytesPerSample) * f.Channels;
  const std::int64_t bytes = Count * frameBytes;
  if (Count < 0 || From < History.First() || From + Count > History.End() ||
      bytes > MaxWaveDataBytes)
    return false;
  const QByteArray header = PcmWaveHeader(f, std::uint32_t(bytes));
  if (Device.write(header) != header.size())
    return false;
  // Straight from the ring, a block's run at a time: a save needs no copy
  // of the history.
  for (std::int64_t i = From; i < From + Count;) {
    std::int64_t run = 0;
    const std::uint8_t* from = History.At(i, run);
    run = std::min(run, From + Count - i);
    if (Device.write(reinterpret_cast<const char*>(from), run * frameBytes) != run * frameBytes)
      return false;
    i += run;
  }
  if (bytes & 1)
    return Device.write("\0", 1) == 1;
  return true;
}

} // namespace duv
