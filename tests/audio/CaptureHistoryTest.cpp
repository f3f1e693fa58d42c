// SPDX-License-Identifier: GPL-3.0-or-later
// The capture history: a ring of the last minutes at the capture format,
// read back by frame and by channel, resized, started over, and written as
// a WAV file that the program's own reader reads back.
#include "audio/CaptureHistory.h"
#include "wavefile/WaveFileParser.h"

#include <QBuffer>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

using namespace duv;

namespace {

// Sample c of frame i of a counting signal, as stored at the format's width
// (float on the 24-bit scale, where its values are exact).
int Expected(std::int64_t i, int c, const TWaveDataFormat& f)
{
  const std::int64_t v = i * 2 + c;
  if (f.BytesPerSample == 1)
    return int(v % 251);
  if (f.BytesPerSample == 2)
    return int(std::int16_t(v * 7 % 65521 - 32760));
  return int(v * 7 % 16777213 - 8388600);
}

// That sample as the channel arrays hold it: wider ones reduced to 16 bits,
// rounded down.
int Expected16(std::int64_t i, int c, const TWaveDataFormat& f)
{
  const int v = Expected(i, c, f);
  return f.BytesPerSample > 2 ? v >> 8 : v;
}

// Count frames of that signal from frame First, interleaved.
std::vector<std::uint8_t> Frames(std::int64_t First, std::int64_t Count, const TWaveDataFormat& f)
{
  std::vector<std::uint8_t> out(std::size_t(Count * f.Channels * f.BytesPerSample));
  for (std::int64_t i = 0; i < Count; ++i)
    for (int c = 0; c < f.Channels; ++c) {
      const int v = Expected(First + i, c, f);
      std::uint8_t* at = out.data() + (i * f.Channels + c) * f.BytesPerSample;
      if (f.Float) {
        const float x = float(v) / 8388608.0f;
        std::memcpy(at, &x, 4);
      } else {
        for (int k = 0; k < f.BytesPerSample; ++k)
          at[k] = std::uint8_t(v >> (8 * k));
      }
    }
  return out;
}

// Feeds frames [From, To) in buffers of Size frames.
void Feed(TCaptureHistory& h, std::int64_t From, std::int64_t To, int Size,
          const TWaveDataFormat& f)
{
  for (std::int64_t i = From; i < To; i += Size) {
    const std::int64_t n = std::min<std::int64_t>(Size, To - i);
    h.Append(Frames(i, n, f).data(), n, f);
  }
}

} // namespace

// Guards the ring in every layout of sample: after more than it holds, it
// keeps exactly the newest minute, numbered as they came, and reads them
// back intact across its block edges, interleaved and by channel.
TEST(CaptureHistory, KeepsTheNewestMinuteInEveryLayout)
{
  for (const TWaveDataFormat f :
       {TWaveDataFormat{11025, 1, 1}, TWaveDataFormat{11025, 1, 2}, TWaveDataFormat{11025, 2, 1},
        TWaveDataFormat{11025, 2, 2}, TWaveDataFormat{11025, 3, 2},
        TWaveDataFormat{11025, 4, 1, true}}) {
    SCOPED_TRACE(testing::Message() << f.BytesPerSample << " bytes, " << f.Channels << " ch");
    TCaptureHistory h;
    h.SetMinutes(1);
    const std::int64_t capacity = 60 * 11025;
    EXPECT_EQ(h.Capacity(), 0);                   // no format yet
    const std::int64_t total = capacity + 300001; // an odd buffer size over the ring's edges
    Feed(h, 0, total, 4099, f);
    EXPECT_EQ(h.Capacity(), capacity);
    EXPECT_EQ(h.End(), total);
    EXPECT_EQ(h.Frames(), capacity);
    EXPECT_EQ(h.First(), total - capacity);
    EXPECT_LE(h.MemoryBytes(), TCaptureHistory::BytesFor(1, f));

    for (const std::int64_t from : {h.First(), h.First() + 262143, h.End() - 5000}) {
      std::vector<std::uint8_t> got(5000 * std::size_t(f.Channels * f.BytesPerSample));
      h.Read(from, 5000, got.data());
      EXPECT_EQ(got, Frames(from, 5000, f)) << from;
      std::vector<std::int16_t> left(5000), right(5000);
      h.ReadChannels(from, 5000, left.data(), right.data());
      for (int i = 0; i < 5000; i += 499) {
        EXPECT_EQ(left[i], Expected16(from + i, 0, f));
        EXPECT_EQ(right[i], f.Channels == 2 ? Expected16(from + i, 1, f) : 0);
      }
    }
    // A file's view of the same frames.
    const TSoundData d = h.SoundData(h.End() - 100, 100);
    EXPECT_EQ(d.SamplesPerChannel, 100);
    EXPECT_EQ(d.Format.nChannels, f.Channels);
    EXPECT_EQ(d.Format.wBitsPerSample, std::min(16, 8 * f.BytesPerSample));
    EXPECT_EQ(d.Channels[0][99], Expected16(h.End() - 1, 0, f));
    EXPECT_EQ(d.Channels[1].size(), f.Channels == 2 ? 100 : 0);
  }
}

// Guards the settings and the starts over: fewer minutes drop the oldest
// frames and keep the numbers of the rest, more keep everything; another
// format, or Clear, starts over with a new serial; a format that is not a
// capture format is not kept; the memory stays with what was heard.
TEST(CaptureHistory, MinutesFormatsAndMemory)
{
  const TWaveDataFormat f{22050, 2, 2};
  TCaptureHistory h;
  EXPECT_EQ(h.Minutes(), 5);
  Feed(h, 0, 2 * 60 * 22050 + 17, 2048, f);
  EXPECT_LT(h.MemoryBytes(), 12 * 1000 * 1000); // two minutes (10.6 MB), not five
  h.SetMinutes(1);
  EXPECT_EQ(h.Frames(), 60 * 22050);
  EXPECT_EQ(h.End(), 2 * 60 * 22050 + 17);
  std::vector<std::uint8_t> got(4 * 10);
  h.Read(h.First(), 10, got.data());
  EXPECT_EQ(got, Frames(h.First(), 10, f));
  h.SetMinutes(3);
  EXPECT_EQ(h.Frames(), 60 * 22050);
  h.SetMinutes(0);
  EXPECT_EQ(h.Minutes(), 1);
  h.SetMinutes(61);
  EXPECT_EQ(h.Minutes(), 60);

  const unsigned serial = h.Serial();
  h.Append(Frames(0, 10, {22050, 1, 1}).data(), 10, {22050, 1, 1});
  EXPECT_NE(h.Serial(), serial);
  EXPECT_EQ(h.First(), 0);
  EXPECT_EQ(h.End(), 10);
  h.Append(Frames(0, 10, f).data(), 10, {22050, 5, 1});
  EXPECT_EQ(h.End(), 10);
  h.Clear();
  EXPECT_TRUE(h.Empty());
  EXPECT_EQ(h.MemoryBytes(), 0);

  // What the setting shows: an hour of 44.1 kHz stereo 16-bit is 635 MB.
  EXPECT_NEAR(double(TCaptureHistory::BytesFor(60, {44100, 2, 2})), 635.0e6, 1.0e6);
  EXPECT_NEAR(double(TCaptureHistory::BytesFor(5, {11025, 1, 1})), 3.3e6, 1.1e6);
}

// Guards the saved file: a WAV file at the capture format (PCM, or IEEE
// float) holding just the frames asked for, an odd 8-bit or 24-bit one
// padded as RIFF wants, that the program's reader takes back sample for
// sample.
TEST(CaptureHistory, WritesAWavFileItsReaderReadsBack)
{
  for (const TWaveDataFormat f :
       {TWaveDataFormat{44100, 2, 2}, TWaveDataFormat{11025, 1, 1}, TWaveDataFormat{48000, 3, 1},
        TWaveDataFormat{96000, 4, 2, true}}) {
    SCOPED_TRACE(testing::Message() << f.BytesPerSample << " bytes");
    TCaptureHistory h;
    Feed(h, 0, 3001, 512, f);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteCaptureWav(h, 1000, 2001, out));
    const qsizetype data = 2001 * f.Channels * f.BytesPerSample;
    EXPECT_EQ(out.data().size(), 44 + data + (data & 1));
    EXPECT_EQ(qFromLittleEndian<quint16>(out.data().constData() + 20), f.Float ? 3 : 1);
    EXPECT_EQ(qFromLittleEndian<quint16>(out.data().constData() + 34), 8 * f.BytesPerSample);
    // The RIFF size counts the pad byte; the data size does not.
    EXPECT_EQ(qFromLittleEndian<quint32>(out.data().constData() + 4), out.data().size() - 8);
    EXPECT_EQ(qFromLittleEndian<quint32>(out.data().constData() + 40), data);
    TSoundFile file;
    file.LoadFromMemory(out.data(), "capture.wav");
    const TSoundData& d = file.SoundData();
    EXPECT_EQ(d.Format.nSamplesPerSec, std::uint32_t(f.SampleRate));
    EXPECT_EQ(d.Format.nChannels, f.Channels);
    EXPECT_EQ(d.Format.wBitsPerSample, std::min(16, 8 * f.BytesPerSample));
    ASSERT_EQ(d.SamplesPerChannel, 2001);
    for (int i = 0; i < 2001; i += 100)
      for (int c = 0; c < f.Channels; ++c)
        EXPECT_EQ(d.Channels[std::size_t(c)][i], Expected16(1000 + i, c, f)) << i;
  }
}

// Guards a history started over by Clear: the next capture, in the same
// format or another, is kept and read back (a cleared ring once lost its
// blocks but not its format, and the next Append divided by zero); frames
// not kept are refused rather than read from a block that is gone.
TEST(CaptureHistory, TakesFramesAfterClear)
{
  const TWaveDataFormat f{11025, 2, 2};
  for (const TWaveDataFormat next : {f, TWaveDataFormat{8000, 1, 1}}) {
    TCaptureHistory h;
    Feed(h, 0, 5000, 512, f);
    h.Clear();
    EXPECT_THROW(h.Read(4000, 10, std::vector<std::uint8_t>(40).data()), std::out_of_range);
    Feed(h, 0, 3000, 700, next);
    EXPECT_EQ(h.First(), 0);
    EXPECT_EQ(h.End(), 3000);
    std::vector<std::uint8_t> got(std::size_t(100 * next.Channels * next.BytesPerSample));
    h.Read(2900, 100, got.data());
    EXPECT_EQ(got, Frames(2900, 100, next));
    EXPECT_THROW(h.Read(2950, 100, got.data()), std::out_of_range);
  }
}
