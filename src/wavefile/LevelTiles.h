// SPDX-License-Identifier: GPL-3.0-or-later
// The levels of a whole file's spectrogram at several resolutions, in tiles:
// a column of level L stands for 2^L samples, a tile holds TileColumns
// columns of one band of bins of one transform size. Coarse levels serve a
// view of the whole file, fine ones a zoom into a stretch, and larger
// transforms a zoom into frequency. Here are the geometry, the choice of
// level and size for a view, and the computing of columns; the cache and its
// workers are in LevelCache.h.
#pragma once

#include "analysis/WindowFunctions.h"
#include "wavefile/FileSpectrogram.h"

#include <array>
#include <atomic>
#include <compare>
#include <cstdint>
#include <memory>
#include <vector>

namespace duv {

inline constexpr int TileColumns = 256;
// Bins per band; the last band of a size also holds the bin at half the
// rate, and a size of 2048 points or fewer has one band.
inline constexpr int BandWidth = 1024;
// The transforms a view uses: from the size chosen up to this.
inline constexpr int LargestViewSize = 32768;

int BandCount(int Size);
struct TBinSpan
{
  int First = 0, Count = 0;
};
TBinSpan BandSpan(int Size, int Band);
// The band a bin lies in.
int BandOf(int Size, int Bin);

struct TTileKey
{
  int Size = 0;
  int Level = 0;
  std::int64_t Tile = 0;
  int Band = 0;
  auto operator<=>(const TTileKey&) const = default;
};

// How a column was made: nothing yet, one frame at its middle (at once),
// or the power average of every frame in it (the picture to keep).
enum class TLevelQuality : std::uint8_t { None, Sampled, Full };

// One tile: TileColumns columns of Bins levels in dB, each column with its
// quality.
struct TLevelTile
{
  TTileKey Key;
  int Bins = 0;
  std::vector<float> Levels;
  std::array<TLevelQuality, TileColumns> Quality{};
  bool Pinned = false;       // the whole-file pass: never evicted
  std::uint64_t LastUse = 0; // for eviction of the others

  const float* Column(int c) const { return Levels.data() + std::size_t(c) * std::size_t(Bins); }
  std::size_t Bytes() const { return Levels.size() * sizeof(float) + sizeof(*this); }
};

// Columns of level Level over Samples samples.
std::int64_t LevelColumns(std::int64_t Samples, int Level);
// The highest level worth having: one column for the whole file.
int TopLevel(std::int64_t Samples);

// What a view shows: samples From .. To across the plot's Width pixels, and
// FLow .. FHigh Hz up its Height pixels, at their edges; linear or
// logarithmic frequency.
struct TLevelView
{
  double From = 0, To = 0;
  double FLow = 0, FHigh = 0;
  bool Log = false;
  int Width = 0, Height = 0;
  bool operator==(const TLevelView&) const = default;
};

// The transform size and level a view is drawn from: columns no wider than
// a pixel, and bins no taller than a row and a half (the top row, on a
// logarithmic axis), starting from the size the user chose and up to
// LargestViewSize. The half row spares a view of all the frequencies in a
// window a little taller than the transform's bins a second pass over the
// whole file; a zoom into frequency still takes a larger transform, whose
// columns are no finer than a quarter of its frames.
struct TLevelChoice
{
  int Size = 0;
  int Level = 0;
};
TLevelChoice ChooseLevels(const TLevelView& View, int BaseSize, double Rate);

// The file a cache works on: its samples (shared, never copied) and how
// they are read.
struct TLevelSource
{
  TSoundData Data;
  TWindowKind Window = TWindowKind::Hann;
  std::int64_t Samples() const;
  double Rate() const { return Data.Format.nSamplesPerSec; }
  int Bits() const { return Data.Format.wBitsPerSample; }
};

// Computes columns of one transform size from a source; one object serves
// one thread.
class TLevelComputer
{
public:
  TLevelComputer(const TLevelSource& Source, int Size);
  ~TLevelComputer();

  int Size() const { return FSize; }
  int Bins() const { return FSize / 2 + 1; }
  // The frames of a column at Level are Hop(Level) samples apart.
  int Hop(int Level) const;
  // Whether a column at Level is one frame, so that a sampled column is
  // already the whole of it.
  bool SingleFrame(int Level) const;

  // The summed power of column Column of Level into Power (Bins() values),
  // returning the number of frames summed: all of them, or with Sampled
  // the one at the column's middle.
  int Power(int Level, std::int64_t Column, bool Sampled, double* Power);

  // dB of an average power against full scale; -inf for silence.
  float Level(double PowerSum, int Frames) const;
  // The same for Count bins of one column at once, in single precision:
  // the whole-file pass turns millions of them into levels, and a float's
  // logarithm is exact to far less than the read-out's tenth of a dB.
  void Levels(const double* PowerSums, int Count, int Frames, float* Out) const;

private:
  const TLevelSource& FSource;
  int FSize;
  int FHop;
  std::shared_ptr<const std::vector<double>> FWindow;
  double FOffset;
  TRealFourier FFT;
  TFrameFeed FFeed;
};

} // namespace duv
