// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/WaveFileParser.h"

#include "WavWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace duv;
using namespace duv::test;

namespace {

QByteArray words(std::initializer_list<int> v)
{
  QByteArray b;
  for (int x : v)
    b += le16(x);
  return b;
}

std::string loadError(const QString& path)
{
  TSoundFile f;
  try {
    f.SetFileName(path);
  } catch (const EWaveFileError& e) {
    EXPECT_EQ(f.ChunkCount(), 0);
    EXPECT_TRUE(f.FileName().isEmpty());
    return e.what();
  }
  return "";
}

// The message of loading a file image from memory, or "" when it loads.
std::string memoryError(const QByteArray& bytes, const QString& name = "mem.wav")
{
  TSoundFile f;
  try {
    f.LoadFromMemory(bytes, name);
  } catch (const EWaveFileError& e) {
    EXPECT_EQ(f.ChunkCount(), 0);
    EXPECT_TRUE(f.FileName().isEmpty());
    return e.what();
  }
  return "";
}

// loadError on a thread: when the load has not ended after two seconds it
// reports a hang and calls `release`, which must let the load end.
std::string loadErrorWithin(const QString& path, const std::function<void()>& release)
{
  std::atomic<bool> done = false;
  std::string message;
  std::thread loader([&] {
    message = loadError(path);
    done = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!done && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (!done) {
    ADD_FAILURE() << "loading " << path.toStdString() << " blocked";
    release();
  }
  loader.join();
  return message;
}

} // namespace

// Guards the chunk walk: case-insensitive tags, odd chunks with their pad
// byte, chunks after "data", the first of two "data" chunks, short "fmt ".
TEST(WaveFileParser, ChunkWalk)
{
  const QByteArray bytes = WavBuilder("riff", "wave")
                               .chunk("LIST", QByteArray("abc", 3))
                               .fmt(2, 8000, 16, 16)
                               .chunk("data", words({1, -2, 3, -4, 5, -6}))
                               .chunk("data", words({9, 9}))
                               .chunk("fact", le32(3))
                               .finish();
  TSoundFile f;
  f.SetFileName(writeTemp("walk.wav", bytes));
  ASSERT_EQ(f.ChunkCount(), 5);
  EXPECT_EQ(std::string(f.Chunk(0)->ID, 4), "LIST");
  EXPECT_EQ(f.Chunk(0)->Size, 3u);
  EXPECT_EQ(std::string(f.Chunk(4)->ID, 4), "fact");
  EXPECT_EQ(f.Chunk(5), nullptr);
  EXPECT_EQ(f.Chunk(-1), nullptr);
  EXPECT_EQ(f.FindChunk(FourCC("DATA")), f.Chunk(2));
  const TSoundData& d = f.SoundData();
  EXPECT_EQ(d.Format.cbSize, 0);
  EXPECT_EQ(d.Format.nSamplesPerSec, 8000u);
  EXPECT_EQ(d.SamplesPerChannel, 3);
  EXPECT_EQ(d.Channels[0], (TSoundArray{1, 3, 5}));
  EXPECT_EQ(d.Channels[1], (TSoundArray{-2, -4, -6}));
}

// Guards the unpacking of every width: unsigned 8-bit, signed 16-bit, the
// 24-bit reduction with its sign, 4-bit nibbles, more than two channels,
// and widths that are shown but not unpacked.
TEST(WaveFileParser, SampleWidths)
{
  TSoundFile f;
  f.SetFileName(writeTemp("8.wav", WavBuilder().fmt(1, 11025, 8).chunk("data", QByteArray("\x00\x80\xff", 3)).finish()));
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{0, 128, 255}));
  EXPECT_TRUE(f.SoundData().Channels[1].isEmpty());
  // Stereo bytes alternate left and right: a right channel filled from the
  // left one's bytes would give {1, 3} twice.
  f.SetFileName(writeTemp("8s.wav", WavBuilder().fmt(2, 11025, 8).chunk("data", QByteArray("\x01\x02\x03\x04", 4)).finish()));
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{1, 3}));
  EXPECT_EQ(f.SoundData().Channels[1], (TSoundArray{2, 4}));

  QByteArray s24("\x00\x00\x80" "\xff\xff\x7f" "\xff\xff\xff" "\x00\x01\x00", 12);
  f.SetFileName(writeTemp("24.wav", WavBuilder().fmt(2, 44100, 24).chunk("data", s24).finish()));
  const TSoundData& d = f.SoundData();
  EXPECT_EQ(d.Format.wBitsPerSample, 16);
  EXPECT_EQ(d.Format.nBlockAlign, 4);
  EXPECT_EQ(d.Format.nAvgBytesPerSec, 44100u * 6); // the file's own value stays
  EXPECT_EQ(d.SamplesPerChannel, 2);
  EXPECT_EQ(d.Channels[0], (TSoundArray{-32768, -1}));
  EXPECT_EQ(d.Channels[1], (TSoundArray{32767, 1}));

  f.SetFileName(writeTemp("4m.wav", WavBuilder().fmt(1, 8000, 4).chunk("data", QByteArray("\x21\xf3", 2)).finish()));
  EXPECT_EQ(f.SoundData().SamplesPerChannel, 4);
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{1, 2, 3, 15}));
  f.SetFileName(writeTemp("4s.wav", WavBuilder().fmt(2, 8000, 4).chunk("data", QByteArray("\x21\xf3", 2)).finish()));
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{1, 3}));
  EXPECT_EQ(f.SoundData().Channels[1], (TSoundArray{2, 15}));

  f.SetFileName(writeTemp("3ch.wav", WavBuilder().fmt(3, 8000, 16).chunk("data", words({1, 2, 3, 4, 5, 6})).finish()));
  EXPECT_EQ(f.SoundData().Format.nChannels, 3);
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{1, 4}));
  EXPECT_EQ(f.SoundData().Channels[1], (TSoundArray{2, 5}));

  f.SetFileName(writeTemp("12.wav", WavBuilder().fmt(1, 8000, 12).chunk("data", QByteArray(10, '\0')).finish()));
  EXPECT_EQ(f.SoundData().SamplesPerChannel, 5); // two bytes a sample
  EXPECT_TRUE(f.SoundData().Channels[0].isEmpty());
}

// Guards the reduction of 32-bit and floating-point samples to 16 bits:
// integers keep their top 16 bits; floating point has +-1.0 as full scale,
// clips beyond it without wrapping round, and reads NaN as silence; the
// format then shows 16 bits, as for 24-bit files.
TEST(WaveFileParser, WideAndFloatSamples)
{
  const auto f32 = [](float x) {
    QByteArray b(4, 0);
    std::memcpy(b.data(), &x, 4);
    return b;
  };
  const auto f64 = [](double x) {
    QByteArray b(8, 0);
    std::memcpy(b.data(), &x, 8);
    return b;
  };
  const double inf = std::numeric_limits<double>::infinity();
  // Rounded down, never to nearest or toward zero: 1.6 and -1.4 units give 1 and -2.
  const std::vector<double> values = {
      0.5,  -0.5, 1.0,         -1.0,         1.5,     -2.0,        1e30,        inf,
      -inf, NAN,  1.0 / 32768, -1.0 / 65536, 0.99999, 1.6 / 32768, -1.4 / 32768};
  const TSoundArray expected = {16384,  -16384, 32767, -32768, 32767, -32768, 32767, 32767,
                                -32768, 0,      1,     -1,     32767, 1,      -2};
  QByteArray single, twice;
  for (double v : values) {
    single += f32(float(v));
    twice += f64(v);
  }
  TSoundFile f;
  f.LoadFromMemory(WavBuilder().fmt(1, 8000, 32, 18, 3).chunk("data", single).finish(), "f.wav");
  EXPECT_EQ(f.SoundData().Channels[0], expected);
  EXPECT_EQ(f.SoundData().Format.wBitsPerSample, 16);
  EXPECT_EQ(f.SoundData().Format.nBlockAlign, 2);
  EXPECT_EQ(f.SoundData().Format.wFormatTag, 3); // the file's own tag stays
  f.LoadFromMemory(WavBuilder().fmt(1, 8000, 64, 18, 3).chunk("data", twice).finish(), "d.wav");
  EXPECT_EQ(f.SoundData().Channels[0], expected);
  // In an extensible record, stereo: the frames alternate left and right.
  f.LoadFromMemory(
      WavBuilder().extensibleFmt(2, 8000, 64, subFormatGuid(3)).chunk("data", twice.left(64)).finish(),
      "e.wav");
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{16384, 32767, 32767, 32767}));
  EXPECT_EQ(f.SoundData().Channels[1], (TSoundArray{-16384, -32768, -32768, 32767}));
  EXPECT_EQ(f.SoundData().Format.nBlockAlign, 4);

  const QByteArray ints = le32(0x7FFFFFFF) + le32(0x80000000u) + le32(0x00010000) +
                          le32(0xFFFFFFFFu) + le32(0x1234FFFF) + le32(0xFFFF0000u);
  f.LoadFromMemory(WavBuilder().fmt(2, 8000, 32).chunk("data", ints).finish(), "i.wav");
  EXPECT_EQ(f.SoundData().SamplesPerChannel, 3);
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{32767, 1, 0x1234}));
  EXPECT_EQ(f.SoundData().Channels[1], (TSoundArray{-32768, -1, -1}));
  EXPECT_EQ(f.SoundData().Format.wBitsPerSample, 16);
  EXPECT_EQ(f.SoundData().Format.nBlockAlign, 4);
}

// Guards against damaged headers: a huge declared size is cut to the bytes
// present (no giant allocation, no invented samples, no samples read as
// chunks), a cut-off data chunk counts only what is there; and such a file
// was taken without a word: the note says it is truncated, except for the
// all-ones length of a writer that could not seek back, and for a whole file.
TEST(WaveFileParser, DeclaredSizesBeyondTheFile)
{
  TSoundFile f;
  QByteArray bytes = WavBuilder().fmt(1, 8000, 16).chunk("data", words({7, 8, 9}), 0xFFFFFFF0u).finish();
  f.SetFileName(writeTemp("huge.wav", bytes));
  EXPECT_EQ(f.SoundData().SamplesPerChannel, 3);
  EXPECT_EQ(f.FindChunk(FourCC("data"))->Size, 6u);
  EXPECT_EQ(TruncationNote(f), f.FileName() + " is truncated: its header declares 4294967280 "
                                              "bytes of samples, but only 6 are present");
  f.LoadFromMemory(WavBuilder().fmt(1, 8000, 16).chunk("data", words({7}), 0xFFFFFFFFu).finish(),
                   "s.wav");
  EXPECT_EQ(TruncationNote(f), "");

  // The last sample is cut in half: it is not counted.
  bytes = WavBuilder().fmt(1, 8000, 16).chunk("data", words({7, 8, 9}), 6).finish();
  EXPECT_EQ(TruncationNote(f), "");
  bytes.chop(1);
  f.SetFileName(writeTemp("cut.wav", bytes));
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{7, 8}));
  EXPECT_NE(TruncationNote(f).indexOf("declares 6 bytes of samples, but only 5 are present"), -1);

  // A streamed file's size left at 0xFFFFFFFF: odd, so its pad byte overflowed
  // 32 bits and the walk read the samples as chunk headers.
  bytes =
      WavBuilder().fmt(1, 8000, 16).chunk("data", words({1, 2, 3, 0x7FFF}), 0xFFFFFFFFu).finish();
  f.SetFileName(writeTemp("streamed.wav", bytes));
  EXPECT_EQ(f.ChunkCount(), 2);
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{1, 2, 3, 0x7FFF}));

  // Trailing bytes too short for a chunk header are ignored.
  bytes = WavBuilder().fmt(1, 8000, 8).chunk("data", QByteArray(4, 'x')).finish() + "xyz";
  f.SetFileName(writeTemp("tail.wav", bytes));
  EXPECT_EQ(f.ChunkCount(), 2);
}

// Guards the frame size arithmetic on extreme format fields: 65535 channels
// of 32772 bits overflowed an int (undefined behaviour, reported by the
// sanitizer build); in 64 bits a frame takes 268464131 bytes, so a small
// data chunk holds no sample. 65535 channels of 8 bits take every 65535th
// byte.
TEST(WaveFileParser, ExtremeFormatFields)
{
  TSoundFile f;
  f.LoadFromMemory(
      WavBuilder().fmt(65535, 8000, 32772).chunk("data", QByteArray(64, '\1')).finish(),
      "wide.wav");
  EXPECT_EQ(f.SoundData().Format.nChannels, 65535);
  EXPECT_EQ(f.SoundData().SamplesPerChannel, 0);
  EXPECT_TRUE(f.SoundData().Channels[0].isEmpty());

  QByteArray data(2 * 65535, '\0');
  data[0] = 1, data[1] = 2, data[65535] = 3, data[65536] = 4;
  f.LoadFromMemory(WavBuilder().fmt(65535, 8000, 8).chunk("data", data).finish(), "many.wav");
  EXPECT_EQ(f.SoundData().SamplesPerChannel, 2);
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{1, 3}));
  EXPECT_EQ(f.SoundData().Channels[1], (TSoundArray{2, 4}));
}

// Guards against compressed data unpacked as PCM: only PCM and floating
// point are read, plain or in an extensible record; anything else fails
// naming its tag, and an extensible record too short for its sub-format fails.
TEST(WaveFileParser, FormatTags)
{
  const QByteArray samples = words({5, -5, 6, -6});
  TSoundFile f;
  f.LoadFromMemory(
      WavBuilder().extensibleFmt(2, 8000, 16, subFormatGuid(1)).chunk("data", samples).finish(),
      "ext.wav");
  EXPECT_EQ(f.SoundData().Format.wFormatTag, 0xFFFE);
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{5, 6}));
  EXPECT_EQ(f.SoundData().Channels[1], (TSoundArray{-5, -6}));

  const auto plain = [&](int tag, int bits) {
    return memoryError(WavBuilder().fmt(1, 8000, bits, 20, tag).chunk("data", samples).finish(),
                       "x.wav");
  };
  EXPECT_EQ(plain(0x0011, 4),
            "x.wav uses compressed format 0x0011 (IMA ADPCM), which cannot be read");
  EXPECT_EQ(plain(0x0002, 4),
            "x.wav uses compressed format 0x0002 (MS ADPCM), which cannot be read");
  EXPECT_EQ(plain(0x0006, 8), "x.wav uses compressed format 0x0006 (A-law), which cannot be read");
  EXPECT_EQ(plain(0x0007, 8), "x.wav uses compressed format 0x0007 (µ-law), which cannot be read");
  EXPECT_EQ(plain(0x0055, 0),
            "x.wav uses compressed format 0x0055 (MPEG Layer 3), which cannot be read");
  EXPECT_EQ(plain(0x0003, 16), "x.wav uses floating-point samples of 16 bits, which cannot be read");
  EXPECT_EQ(plain(0xABCD, 16), "x.wav uses format 0xABCD, which cannot be read");
  EXPECT_EQ(plain(0x0000, 16), "x.wav uses format 0x0000, which cannot be read");

  const auto extensible = [&](const QByteArray& guid) {
    return memoryError(
        WavBuilder().extensibleFmt(1, 8000, 16, guid).chunk("data", samples).finish(), "e.wav");
  };
  EXPECT_EQ(extensible(subFormatGuid(3)),
            "e.wav uses floating-point samples of 16 bits, which cannot be read");
  EXPECT_EQ(extensible(subFormatGuid(6)),
            "e.wav uses compressed format 0x0006 (A-law), which cannot be read");
  EXPECT_EQ(extensible(subFormatGuid(7)),
            "e.wav uses compressed format 0x0007 (µ-law), which cannot be read");
  QByteArray guid = subFormatGuid(1);
  guid[15] = 0x72;
  EXPECT_EQ(extensible(guid), "e.wav uses an extensible format with sub-format "
                              "{00000001-0000-0010-8000-00aa00389b72}, which cannot be read");
  // Records too short to hold a whole sub-format (26 to 39 bytes were read past their end).
  for (int size : {20, 26, 39})
    EXPECT_EQ(
        memoryError(WavBuilder().fmt(1, 8000, 16, size, 0xFFFE).chunk("data", samples).finish(),
                    "x.wav"),
        "x.wav has an extensible format record of only " + std::to_string(size) + " bytes");
}

// Guards the clear failures: each names the file, leaves nothing loaded and
// lets the same name be tried again. A sample rate of 0 is one of them.
TEST(WaveFileParser, MalformedFilesFailClearly)
{
  const QString missing = writeTemp("x", "") + "-missing.wav";
  EXPECT_EQ(loadError(missing),
            ("Cannot open file " + missing + ": No such file or directory").toStdString());

  const QString notWave = writeTemp("text.wav", "hello, this is not a sound file");
  EXPECT_NE(loadError(notWave).find("is not a RIFF/WAVE"), std::string::npos);
  EXPECT_NE(loadError(writeTemp("short.wav", "RIFF")).find("short.wav"), std::string::npos);

  const QString noFmt = writeTemp("nofmt.wav", WavBuilder().chunk("data", words({1})).finish());
  EXPECT_NE(loadError(noFmt).find("no \"fmt \" chunk"), std::string::npos);
  const QString noData = writeTemp("nodata.wav", WavBuilder().fmt(1, 8000, 16).finish());
  EXPECT_NE(loadError(noData).find("no \"data\" chunk"), std::string::npos);
  QByteArray tinyFmt = WavBuilder().chunk("fmt ", QByteArray(10, '\1')).chunk("data", words({1})).finish();
  EXPECT_NE(loadError(writeTemp("tinyfmt.wav", tinyFmt)).find("10 bytes"), std::string::npos);
  const QString noChannels = writeTemp("nochan.wav", WavBuilder().fmt(0, 8000, 16).chunk("data", words({1})).finish());
  EXPECT_NE(loadError(noChannels).find("no bytes per sample frame"), std::string::npos);
  const QString noBits = writeTemp("nobits.wav", WavBuilder().fmt(1, 8000, 0).chunk("data", words({1})).finish());
  EXPECT_FALSE(loadError(noBits).empty());
  // Every bin would be at 0 Hz.
  EXPECT_EQ(memoryError(WavBuilder().fmt(1, 0, 16).chunk("data", words({1})).finish(), "r.wav"),
            "r.wav has a sample rate of 0 Hz");

  // After a failure the same name is read again once the file is fixed.
  TSoundFile f;
  const QString path = writeTemp("later.wav", "partial");
  EXPECT_THROW(f.SetFileName(path), EWaveFileError);
  QFile out(path);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(WavBuilder().fmt(1, 8000, 16).chunk("data", words({4, 5})).finish());
  out.close();
  f.SetFileName(path);
  EXPECT_EQ(f.SoundData().SamplesPerChannel, 2);
}

// Guards the in-memory entry point: what a file gives, the name in messages,
// the caller's bytes left alone (24-bit samples are converted in a copy) and
// nothing kept after a failure.
TEST(WaveFileParser, LoadsFromMemory)
{
  const QByteArray s24("\x00\x00\x80\xff\xff\x7f", 6);
  const QByteArray bytes =
      WavBuilder().fmt(2, 8000, 24).chunk("data", s24).chunk("LIST", "ab").finish();
  const QByteArray before(bytes.constData(), bytes.size());
  TSoundFile f;
  f.LoadFromMemory(bytes, "mem.wav");
  EXPECT_EQ(f.FileName(), "mem.wav");
  EXPECT_EQ(f.ChunkCount(), 3);
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{-32768}));
  EXPECT_EQ(f.SoundData().Channels[1], (TSoundArray{32767}));
  EXPECT_EQ(bytes, before);

  EXPECT_EQ(memoryError("RIFF", "cut.wav"), "cut.wav is not a RIFF/WAVE sound file");
  EXPECT_THROW(f.LoadFromMemory(QByteArray(), "empty.wav"), EWaveFileError);
  EXPECT_EQ(f.ChunkCount(), 0);
  EXPECT_TRUE(f.SoundData().Channels[0].isEmpty());
}

// Guards against a load building on the one before: loading again, from the
// file or from memory, neither keeps the old chunks nor converts 24-bit
// samples that were already converted (0x123456 must stay 4660, not 18).
TEST(WaveFileParser, EveryLoadStartsClean)
{
  const QByteArray s24("\x56\x34\x12\x00\x00\x80", 6);
  const QByteArray bytes = WavBuilder().fmt(2, 8000, 24).chunk("data", s24).finish();
  TSoundFile f;
  f.SetFileName(writeTemp("twice.wav", bytes));
  for (int load = 0; load < 2; ++load) {
    if (load == 1)
      f.LoadFile();
    ASSERT_EQ(f.ChunkCount(), 2) << load;
    EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{4660})) << load;
    EXPECT_EQ(f.SoundData().Channels[1], (TSoundArray{-32768})) << load;
  }
  f.LoadFromMemory(bytes, "again.wav");
  EXPECT_EQ(f.ChunkCount(), 2);
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{4660}));

  // A mono file after the stereo one keeps nothing of it.
  f.LoadFromMemory(WavBuilder().fmt(1, 8000, 16).chunk("data", words({7})).finish(), "mono.wav");
  EXPECT_EQ(f.ChunkCount(), 2);
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{7}));
  EXPECT_TRUE(f.SoundData().Channels[1].isEmpty());
}

// Guards against loading what is not a regular file: a FIFO without a writer
// blocked the open for ever, one with a writer gave a misleading "no fmt
// chunk". Each kind fails at once, saying what it is.
TEST(WaveFileParser, OnlyRegularFilesAreRead)
{
  QTemporaryDir dir;
  const QString fifo = dir.filePath("pipe.wav");
  const QByteArray fifoPath = QFile::encodeName(fifo);
  ASSERT_EQ(::mkfifo(fifoPath.constData(), 0600), 0);
  const std::string fifoMessage =
      "Cannot open file " + fifo.toStdString() + ": it is a named pipe (FIFO), not a regular file";
  // A blocked open of the FIFO ends when a writer comes and goes.
  EXPECT_EQ(loadErrorWithin(fifo,
                            [&] {
                              const int w = ::open(fifoPath.constData(), O_WRONLY | O_NONBLOCK);
                              if (w >= 0)
                                ::close(w);
                            }),
            fifoMessage);

  // With a writer that has sent a whole file and keeps the FIFO open.
  int writer = ::open(fifoPath.constData(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  const QByteArray wav = WavBuilder().fmt(1, 8000, 16).chunk("data", words({1, 2})).finish();
  ASSERT_EQ(::write(writer, wav.constData(), wav.size()), wav.size());
  EXPECT_EQ(loadErrorWithin(fifo,
                            [&] {
                              ::close(writer);
                              writer = -1;
                            }),
            fifoMessage);
  if (writer >= 0)
    ::close(writer);

  EXPECT_EQ(loadError(dir.path()), "Cannot open file " + dir.path().toStdString() +
                                       ": it is a directory, not a regular file");
  EXPECT_EQ(loadError("/dev/null"),
            "Cannot open file /dev/null: it is a device, not a regular file");

  const QString socketName = dir.filePath("s.wav");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, QFile::encodeName(socketName).constData(),
               sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(loadError(socketName), "Cannot open file " + socketName.toStdString() +
                                       ": it is a socket, not a regular file");
  ::close(sock);
}

// Guards the reading of the samples in slices: across slice boundaries,
// from a file and from memory, every width gives the samples a frame-by-frame
// reading gives, and the "data" chunk keeps its place and size but no bytes.
// A streaming reader gives the same samples for any stretch, odd starts and
// stretches across slices included.
TEST(WaveFileParser, LongDataReadInSlices)
{
  // Over 2 MB of data, not a whole number of slices or of frames per slice.
  const int frames = 700001;
  for (const auto& [channels, bits] : {std::pair{2, 16}, {1, 16}, {2, 24}, {3, 8}, {1, 4}, {2, 4}}) {
    const int bytesPerFrame = (channels * bits + 4) / 8;
    QByteArray data(qsizetype(frames) * bytesPerFrame, '\0');
    std::uint32_t x = 12345;
    for (char& c : data) {
      x = x * 1103515245u + 12345u;
      c = char(x >> 24);
    }
    const QByteArray bytes =
        WavBuilder().fmt(channels, 8000, bits).chunk("data", data).chunk("LIST", "info").finish();
    TSoundFile fromFile, fromMemory;
    fromFile.SetFileName(writeTemp("long.wav", bytes));
    fromMemory.LoadFromMemory(bytes, "long.wav");
    const TSoundData& d = fromFile.SoundData();
    const int samples = bits == 4 && channels == 1 ? 2 * frames : frames;
    ASSERT_EQ(d.SamplesPerChannel, samples) << channels << "/" << bits;
    EXPECT_EQ(fromMemory.SoundData().Channels, d.Channels) << channels << "/" << bits;
    const TRiffChunk* chunk = fromFile.FindChunk(FourCC("data"));
    EXPECT_EQ(chunk->Size, std::uint32_t(data.size()));
    EXPECT_TRUE(chunk->Data.empty());
    EXPECT_EQ(fromFile.SampleLayout().DataOffset, 12 + 8 + 18 + 8);
    EXPECT_EQ(fromFile.ChunkCount(), 3);

    const auto* u = reinterpret_cast<const std::uint8_t*>(data.constData());
    for (int k = 0; k < std::min(channels, 2); ++k) {
      ASSERT_EQ(d.Channels[k].size(), samples);
      for (int i = 0; i < samples; i += 997) {
        int expected = 0;
        const int at = i * bytesPerFrame;
        switch (bits) {
        case 4:
          expected = channels == 1 ? (u[i / 2] >> (4 * (i % 2))) & 0x0F : (u[i] >> (4 * k)) & 0x0F;
          break;
        case 8:
          expected = u[at + k];
          break;
        case 16:
          expected = std::int16_t(u[at + 2 * k] | (u[at + 2 * k + 1] << 8));
          break;
        case 24:
          expected = std::int16_t(u[at + 3 * k + 1] | (u[at + 3 * k + 2] << 8));
          break;
        }
        ASSERT_EQ(d.Channels[k][i], expected) << channels << "/" << bits << " ch" << k << " @" << i;
      }
    }

    TSoundFile header;
    header.LoadHeader(fromFile.FileName());
    TSampleReader reader(header);
    EXPECT_EQ(reader.SamplesPerChannel(), samples);
    for (const auto& [first, count] : {std::pair{0, 5}, {1, 3}, {samples - 7, 7}, {333, 600001}}) {
      std::vector<std::int16_t> left(std::size_t(count), 99), right(std::size_t(count), 99);
      reader.Read(first, count, left.data(), right.data());
      for (int i = 0; i < count; i += std::max(1, count / 1000)) {
        ASSERT_EQ(left[std::size_t(i)], d.Channels[0][first + i]) << channels << "/" << bits;
        ASSERT_EQ(right[std::size_t(i)], channels == 1 ? 0 : d.Channels[1][first + i])
            << channels << "/" << bits;
      }
    }
  }
}

// Guards the streamed reads against a file that changes under them: the
// part cut off read as silence, and the samples of a file put in its place
// were taken by the old one's headers, all with success. A load in slices
// (the window's), a reader opened after the headers (spectrum, peaks,
// spectrogram) and one already reading all fail, naming the file.
TEST(WaveFileParser, FileChangedWhileRead)
{
  const QByteArray bytes =
      WavBuilder().fmt(2, 8000, 16).chunk("data", QByteArray(3 << 20, '\x11')).finish();
  const int samples = (3 << 20) / 4;
  const auto shrink = [](const QString& path) { ASSERT_TRUE(QFile(path).resize(100000)); };
  const auto replace = [&](const QString& path) {
    const QByteArray other =
        WavBuilder().fmt(1, 8000, 8).chunk("data", QByteArray(bytes.size() - 46, '\x22')).finish();
    ASSERT_EQ(other.size(), bytes.size());
    const QString next = writeTemp("other.wav", other);
    ASSERT_EQ(::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData()),
              0);
  };
  enum Stage { DuringLoad, BeforeReader, WhileReading };
  const struct
  {
    const char* what;
    Stage stage;
    std::function<void(const QString&)> change;
  } cases[] = {{"shrunk during a load", DuringLoad, shrink},
               {"shrunk before a reader opened it", BeforeReader, shrink},
               {"shrunk while a reader had it open", WhileReading, shrink},
               {"replaced before a reader opened it", BeforeReader, replace}};
  for (const auto& c : cases) {
    const QString path = writeTemp("changing.wav", bytes);
    TSoundFile f;
    try {
      if (c.stage == DuringLoad) {
        f.OnProgress = [&, changed = false](std::int64_t done, std::int64_t) mutable {
          if (!changed && done > (1 << 20)) {
            c.change(path);
            changed = true;
          }
          return true;
        };
        f.SetFileName(path);
      } else {
        f.LoadHeader(path);
        if (c.stage == BeforeReader)
          c.change(path);
        TSampleReader reader(f);
        if (c.stage == WhileReading)
          c.change(path);
        std::vector<std::int16_t> left(samples);
        reader.Read(0, samples, left.data(), nullptr);
      }
      ADD_FAILURE() << c.what << ": read without an error";
    } catch (const EWaveFileError& e) {
      EXPECT_EQ(e.what(), path.toStdString() + " changed while it was read") << c.what;
    }
    if (c.stage == DuringLoad) {
      EXPECT_EQ(f.ChunkCount(), 0) << c.what;
    }
  }
}

// Guards the progress of a load: it starts at 0, only grows, steps a
// megabyte at most, ends at the bytes read; a callback that says stop
// cancels the load, which then leaves the object as a failed load does, and
// the same file reads in full when tried again.
TEST(WaveFileParser, ProgressAndCancel)
{
  const QByteArray data(3 * 1024 * 1024 + 6, '\x11');
  const QByteArray bytes = WavBuilder().fmt(2, 8000, 16).chunk("data", data).finish();
  const QString path = writeTemp("progress.wav", bytes);
  TSoundFile f;
  std::vector<std::pair<std::int64_t, std::int64_t>> calls;
  f.OnProgress = [&](std::int64_t done, std::int64_t total) {
    calls.emplace_back(done, total);
    return true;
  };
  f.SetFileName(path);
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(calls.front().first, 0);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].second, bytes.size());
    if (i > 0) {
      EXPECT_GE(calls[i].first, calls[i - 1].first);
      EXPECT_LE(calls[i].first - calls[i - 1].first, 1 << 20);
    }
  }
  EXPECT_EQ(calls.back().first, bytes.size());

  // Stopped half-way through the samples, from a file or from memory.
  const auto stopHalfWay = [&](std::int64_t done, std::int64_t total) {
    return done < total / 2;
  };
  TSoundFile g;
  g.LoadFromMemory(WavBuilder().fmt(1, 8000, 16).chunk("data", words({1})).finish(), "old.wav");
  g.OnProgress = stopHalfWay;
  EXPECT_THROW(g.SetFileName(path), ELoadCancelled);
  EXPECT_EQ(g.ChunkCount(), 0);
  EXPECT_TRUE(g.FileName().isEmpty());
  EXPECT_EQ(g.SoundData().SamplesPerChannel, 0);
  EXPECT_TRUE(g.SoundData().Channels[0].isEmpty());
  EXPECT_THROW(g.LoadFromMemory(bytes, "mem.wav"), ELoadCancelled);
  EXPECT_EQ(g.ChunkCount(), 0);
  EXPECT_TRUE(g.FileName().isEmpty());
  try {
    g.SetFileName(path);
  } catch (const ELoadCancelled& e) {
    EXPECT_EQ(e.what(), "Loading " + path.toStdString() + " was cancelled");
  }
  g.OnProgress = nullptr;
  g.SetFileName(path);
  EXPECT_EQ(g.SoundData().SamplesPerChannel, data.size() / 4);
}

// Guards the headers-only load that info uses: the format (reduced widths
// included) and the sample count (cut to the bytes present) of a full load,
// the same chunk list with only "fmt " holding bytes, and the same errors.
TEST(WaveFileParser, HeadersAlone)
{
  const QByteArray cut = WavBuilder().fmt(2, 8000, 24).chunk("data", QByteArray(600, '\1'), 6000).finish();
  const QByteArray files[] = {
      WavBuilder().fmt(2, 44100, 16).chunk("LIST", "abc").chunk("data", QByteArray(4000, '\2')).chunk("fact", le32(9)).finish(),
      WavBuilder().fmt(1, 8000, 4).chunk("data", QByteArray(7, '\3')).finish(),
      WavBuilder().extensibleFmt(2, 48000, 64, subFormatGuid(3)).chunk("data", QByteArray(40, '\0')).finish(),
      WavBuilder().fmt(1, 8000, 12).chunk("data", QByteArray(9, '\4')).finish(),
      cut};
  for (const QByteArray& bytes : files) {
    const QString path = writeTemp("header.wav", bytes);
    TSoundFile full, header;
    full.SetFileName(path);
    header.LoadHeader(path);
    EXPECT_EQ(header.FileName(), path);
    EXPECT_EQ(std::memcmp(&header.SoundData().Format, &full.SoundData().Format, 18), 0);
    EXPECT_EQ(header.SoundData().SamplesPerChannel, full.SoundData().SamplesPerChannel);
    EXPECT_TRUE(header.SoundData().Channels[0].isEmpty());
    ASSERT_EQ(header.ChunkCount(), full.ChunkCount());
    for (int i = 0; i < header.ChunkCount(); ++i) {
      EXPECT_EQ(std::string(header.Chunk(i)->ID, 4), std::string(full.Chunk(i)->ID, 4));
      EXPECT_EQ(header.Chunk(i)->Size, full.Chunk(i)->Size);
      EXPECT_EQ(header.Chunk(i)->Data.empty(), std::string(header.Chunk(i)->ID, 4) != "fmt ");
    }
  }
  TSoundFile f;
  f.LoadHeader(writeTemp("cut.wav", cut));
  EXPECT_EQ(f.SoundData().SamplesPerChannel, 100);
  EXPECT_EQ(f.SoundData().Format.wBitsPerSample, 16);
  // Samples of a width that is only shown cannot be streamed either.
  f.LoadHeader(writeTemp("w12.wav", files[3]));
  EXPECT_THROW(TSampleReader{f}, EWaveFileError);

  const QString adpcm = writeTemp("adpcm.wav", WavBuilder().fmt(1, 8000, 4, 20, 0x11).chunk("data", "ab").finish());
  try {
    f.LoadHeader(adpcm);
    ADD_FAILURE() << "loaded";
  } catch (const EWaveFileError& e) {
    EXPECT_EQ(e.what(), loadError(adpcm));
  }
  EXPECT_TRUE(f.FileName().isEmpty());
  EXPECT_EQ(f.ChunkCount(), 0);
  EXPECT_THROW(f.LoadHeader("/dev/null"), EWaveFileError);
}

// Guards the "same name does not re-read" rule and that copies of the data
// survive the next load.
TEST(WaveFileParser, SameNameAndSharedCopies)
{
  const QString path = writeTemp("once.wav", WavBuilder().fmt(1, 8000, 16).chunk("data", words({1, 2})).finish());
  TSoundFile f;
  f.SetFileName(path);
  const TSoundData copy = f.SoundData();
  QFile::remove(path);
  EXPECT_NO_THROW(f.SetFileName(path)); // not read again
  f.SetFileName(writeTemp("other.wav", WavBuilder().fmt(1, 8000, 16).chunk("data", words({3})).finish()));
  EXPECT_EQ(copy.Channels[0], (TSoundArray{1, 2}));
  EXPECT_EQ(f.SoundData().Channels[0], (TSoundArray{3}));
}

// Guards the reader on files a real tool wrote: every width and channel
// count, against the samples it was given.
TEST(WaveFileParser, FilesWrittenBySox)
{
  QByteArray raw;
  std::vector<int> samples;
  for (int i = 0; i < 1000; ++i) {
    const int v = int(std::lround(30000 * std::sin(i * 0.05))) & ~0xFF; // exact in 8 bits too
    samples.push_back(v);
    raw += le16(v);
  }
  const QString rawPath = writeTemp("src.raw", raw);
  for (const auto& [encoding, bits] : {std::pair{"", 8}, {"", 16}, {"", 24}, {"", 32},
                                        {"floating-point", 32}, {"floating-point", 64}}) {
    for (int channels : {1, 2}) {
      const QString out =
          writeTemp(QString("sox%1%2_%3.wav").arg(encoding).arg(bits).arg(channels), "");
      QStringList args{"-D", "-t", "raw", "-r", "8000", "-e", "signed", "-b", "16", "-c", "1",
                       rawPath, "-b", QString::number(bits), "-c", QString::number(channels), out};
      if (*encoding)
        args.insert(args.size() - 1, "-e"), args.insert(args.size() - 1, encoding);
      if (!runSox(args))
        GTEST_SKIP() << "sox is not installed";
      TSoundFile f;
      f.SetFileName(out);
      const TSoundData& d = f.SoundData();
      EXPECT_EQ(d.Format.nChannels, channels);
      EXPECT_EQ(d.SamplesPerChannel, 1000) << encoding << bits << "/" << channels;
      // Wider samples come back as the 16-bit ones they were made from.
      EXPECT_EQ(d.Format.wBitsPerSample, bits == 8 ? 8 : 16);
      for (int k = 0; k < channels; ++k) {
        ASSERT_EQ(d.Channels[k].size(), 1000);
        for (int i = 0; i < 1000; i += 37) {
          const int expected = bits == 8 ? (samples[i] >> 8) + 128 : samples[i];
          EXPECT_EQ(d.Channels[k][i], expected) << bits << "/" << channels << " @" << i;
        }
      }
    }
  }
}

// Guards against crashes and runaway allocation on damaged copies of a real
// file: every truncation and many random corruptions either load or fail
// with a clear error.
TEST(WaveFileParser, TruncatedAndCorruptedCopies)
{
  const QString src = writeTemp("clean.wav", "");
  if (!runSox({"-n", "-r", "8000", "-b", "16", "-c", "2", "--comment", "odd", src, "synth", "0.05",
               "sine", "440"}))
    GTEST_SKIP() << "sox is not installed";
  QFile in(src);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  const QByteArray clean = in.readAll();
  ASSERT_GT(clean.size(), 100);

  auto tryLoad = [](const QByteArray& bytes, const char* name) {
    TSoundFile f;
    try {
      f.SetFileName(writeTemp(name, bytes));
      const TSoundData& d = f.SoundData();
      // Whatever loaded is consistent with the bytes present.
      EXPECT_LE(qsizetype(d.Channels[0].size()), 2 * qsizetype(bytes.size()));
    } catch (const EWaveFileError& e) {
      EXPECT_STRNE(e.what(), "");
    }
  };
  for (int cut = 0; cut < clean.size(); cut += 7)
    tryLoad(clean.left(cut), "cut.wav");
  std::srand(12345);
  for (int round = 0; round < 300; ++round) {
    QByteArray bad = clean;
    for (int k = 0; k < 4; ++k)
      bad[std::rand() % 64] = char(std::rand() & 0xFF); // the headers live up front
    tryLoad(bad, "bad.wav");
  }
}
