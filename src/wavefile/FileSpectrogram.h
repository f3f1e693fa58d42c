// SPDX-License-Identifier: GPL-3.0-or-later
// A whole file's spectrum over time as a grid of levels, for a picture of
// the file: time in columns, frequency in rows. The file is streamed slice by
// slice, so memory stays flat whatever its length, and a long file is split
// between two threads by halves of the columns.
#pragma once

#include "analysis/RealFourier.h"
#include "analysis/SAGlobal.h"
#include "analysis/SpectrogramGrid.h"
#include "analysis/WindowFunctions.h"
#include "wavefile/WaveFileParser.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace duv {

enum class TChannelChoice { Left, Right, Mix };

struct TFileSpectrogramSettings
{
  int Width = 800;  // columns
  int Height = 513; // rows from 0 Hz up to half the sample rate
  int Size = 1024;  // samples per transformed frame: a buffer size
  TWindowKind Window = TWindowKind::Hann;
  // Mix averages the first two channels (a mono file's is its one channel).
  TChannelChoice Channel = TChannelChoice::Mix;
  // 0: two threads for a long file on a machine with two cores or more,
  // else one.
  int Threads = 0;
  // The stretch of time, in seconds from the file's start (To < 0: to its
  // end), and the frequencies, in Hz (FHigh < 0: up to half the sample
  // rate), on a logarithmic scale with LogFrequency, whose FLow of 0 means
  // the first bin's frequency (a logarithmic axis cannot reach 0 Hz).
  double From = 0, To = -1;
  double FLow = 0, FHigh = -1;
  bool LogFrequency = false;
};

// The lowest frequency a logarithmic axis starts at by default: the first
// bin's, Rate / Size.
inline double DefaultLogLow(double Rate, int Size)
{
  return Size > 0 ? Rate / Size : 1;
}

// The bins [Lo, Hi] a row of a picture shows.
struct TRowBins
{
  int Lo, Hi;
};

// The bins of each of Rows rows, row 0 standing for FLow and the last for
// FHigh (Hz), on a linear or a logarithmic scale, in a transform of Size
// points at Rate: the bins within half a row of the row's frequency, or the
// nearest one when no bin is that close. A picture and the window's view
// both show a row as the strongest of its bins, so a tone keeps its level
// whatever the height. Bins stay within 0 .. Size / 2.
std::vector<TRowBins> SpectrogramRowBins(int Rows, int Size, double Rate, double FLow, double FHigh,
                                         bool Log);

// What is added to 10 log10 of a frame's power |X|^2 so that a full-scale
// sine of Bits reads 0 dB through Window (the coefficients of one frame).
double SpectrogramLevelOffset(const std::vector<double>& Window, int Bits);

// Frames of a file's samples as doubles with silence at 0: the first
// channel, the second or their mix, and silence before and after the file.
// The samples are read block by block, so frames that overlap or follow one
// another convert each sample once. One feed serves one thread.
class TFrameFeed
{
public:
  // Reads frames [First, First + Count) of channels 0 and 1 into Left and
  // Right (either may be null), as a file's channel arrays hold them.
  using TReader = std::function<void(std::int64_t First, std::int64_t Count, std::int16_t* Left,
                                     std::int16_t* Right)>;
  // Samples: the samples per channel there are; Mid: the silent level.
  TFrameFeed(TReader Read, std::int64_t Samples, TChannelChoice Channel, double Mid, int Size);

  // The Size samples from Start on. Ahead: how far past this frame the
  // caller goes on to read, so that a block read serves them too; a frame
  // far from the last reads little more than itself.
  const double* Frame(std::int64_t Start, std::int64_t Ahead);

  static constexpr std::int64_t BlockSamples = 1 << 16;

  // Channel arrays in memory, read where they lie rather than copied by
  // the reader; Left null for none. They must outlive the feed; a stretch
  // beyond what they hold goes through the reader.
  struct TArrays
  {
    const std::int16_t* Left = nullptr;
    std::int64_t LeftCount = 0;
    const std::int16_t* Right = nullptr;
    std::int64_t RightCount = 0;
  };
  void SetArrays(const TArrays& Arrays) { FArrays = Arrays; }

private:
  void fill(std::int64_t Start, std::int64_t Count);

  TReader FRead;
  std::int64_t FSamples;
  TChannelChoice FChannel;
  double FMid;
  int FSize;
  TLineDoubles FBuffer;
  std::vector<std::int16_t> FLeft, FRight;
  TArrays FArrays;
  std::int64_t FStart = 0, FCount = 0; // what the buffer holds
};

// A reader of a loaded file's channel arrays, for TFrameFeed; samples
// missing from an array (a width that was not unpacked) read as 0.
TFrameFeed::TReader SoundDataReader(const TSoundData& Data);

// The step between the frames of a long file: the window's copies a hop
// apart add up to a constant, so every sample weighs alike. A cosine sum up
// to cos kx does so at a hop of Size / m for any m above k: the full size
// for the rectangular window, a half for Hann and Hamming, a quarter for
// Blackman and Blackman-Harris, an eighth for the flat top.
int SpectrogramHop(TWindowKind Window, int Size);

// The spectrogram of a file whose headers File has loaded (LoadHeader is
// enough): Width columns over the whole file, or the stretch From .. To, and
// Height rows over 0 Hz to half the sample rate, or FLow .. FHigh.
// - With more frames than columns, frames a hop apart (SpectrogramHop) tile
//   the file, and each column shows the power average of the frames
//   whose middles fall in it, so no sound falls between columns.
// - With fewer, each column gets a frame of its own, centred on it.
// - A row spanning several bins shows the strongest, so a tone keeps its
//   level whatever the height; a row between bins shows the nearest one.
// - 8- and 4-bit samples are unsigned and are centred on their mid level
//   first, so silence has no level.
// Throws EWaveFileError when the samples cannot be read, std::invalid_argument
// for settings out of range (a size that is not a buffer size, a right
// channel of a mono file, a range of time or frequency that is empty or
// inverted once held to the file's length and half its rate).
TFileSpectrogram ComputeFileSpectrogram(const TSoundFile& File,
                                        const TFileSpectrogramSettings& Settings);

} // namespace duv
