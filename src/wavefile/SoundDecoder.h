// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the sound formats other than WAV through libsndfile: FLAC, Ogg
// Vorbis, Opus, MP3, AIFF/AIFC, CAF, W64 and RF64. TSoundFile hands it every
// file that is not RIFF/WAVE; the samples come out as the WAV reader gives
// them, the first two channels reduced to 16 bits, read slice by slice from
// anywhere in the file.
#pragma once

#include "support/WaveFormat.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace duv {

// Random access to the bytes of a file image, a file or a block of memory.
class TDecoderInput
{
public:
  virtual ~TDecoderInput() = default;
  virtual std::int64_t Length() const = 0;
  // Copies up to Count bytes from Pos on into To and returns how many it
  // copied: fewer only at the end. May throw.
  virtual std::int64_t ReadAt(std::int64_t Pos, void* To, std::int64_t Count) = 0;
};

// What a decoded file is, as its headers say.
struct TDecodedFormat
{
  QString Name;  // "FLAC", "Ogg Vorbis", "Opus", "MP3", "AIFF", "AIFC", "CAF", "W64", "RF64"
  QString Codec; // a lossy or companded encoding's name ("MP3", "Vorbis", "µ-law"); else empty
  int Channels = 0;
  int SampleRate = 0;
  std::int64_t Frames = 0;  // samples per channel
  int Bits = 0;             // the width of the stored samples; 0 for a lossy encoding
  bool Float = false;       // floating-point samples
  std::int64_t BitRate = 0; // bits per second: the stream's own, or the file's average
  // False when Frames is an estimate from the file's size (an MP3 without a
  // length tag): the decoded stream may end a little before it, and the rest
  // reads as silence.
  bool ExactLength = true;

  // How the samples are shown and analysed: 16-bit PCM at the file's rate
  // and channel count, with the file's own byte rate.
  WAVEFORMATEX WaveFormat() const;
  // The width as the file has it ("24", "32 float"), or the encoding of a
  // file that has none ("MP3").
  QString WidthText() const;
  // One line for people: "FLAC, 24-bit", "MP3, 128 kbit/s".
  QString Summary() const;
};

// A decoder on one file image. Not for sharing between threads: each reader
// makes its own.
class TSoundDecoder
{
public:
  // Reads the headers of the image Input holds; Name stands for it in
  // messages. Throws EWaveFileError naming the file and the reason when it
  // is none of the formats read here, is damaged, or is cut short where its
  // headers show it.
  TSoundDecoder(TDecoderInput& Input, const QString& Name);
  ~TSoundDecoder();
  TSoundDecoder(const TSoundDecoder&) = delete;
  TSoundDecoder& operator=(const TSoundDecoder&) = delete;

  const TDecodedFormat& Format() const { return FFormat; }

  // Throws EWaveFileError when the last sample the headers promise cannot be
  // decoded: the file was cut short. Reads only around its end.
  void CheckEnd();

  // Frames [First, First + Count), which must lie within Format().Frames, of
  // channels 0 and 1 into Left and Right (either may be null; a channel the
  // file lacks reads as 0), reduced to 16 bits: integers to their top 16
  // bits, floating point with +-1.0 as full scale, clipped. Throws
  // EWaveFileError when the file ends before them or cannot be decoded.
  void Read(std::int64_t First, std::int64_t Count, std::int16_t* Left, std::int16_t* Right);

  // The first Count frames of channels 0 and 1 (a channel the file lacks
  // stays empty), as Read gives them, for a whole load. The arrays grow as
  // the samples are decoded, so a header that promises more than the file
  // holds costs no memory for the lie. Progress is told the frames done
  // after each slice; it may throw to stop.
  std::array<QList<std::int16_t>, 2>
  ReadAll(std::int64_t Count, const std::function<void(std::int64_t Done)>& Progress);

private:
  struct TState;
  [[noreturn]] void failed(const QString& Why);
  void seek(std::int64_t Frame);
  void decodeMore();

  QString FName;
  TDecodedFormat FFormat;
  std::unique_ptr<TState> S;
};

// The file name patterns of every format the program reads, WAV first, for
// the open dialog and the command line.
QStringList SoundFilePatterns();

} // namespace duv
