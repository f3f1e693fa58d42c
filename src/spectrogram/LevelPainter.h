// SPDX-License-Identifier: GPL-3.0-or-later
// Draws a view of a whole file's levels (wavefile/LevelCache.h) into
// pixels, free of any widget: each pixel column from the finest columns the
// cache holds for it (those of the view's own level and transform, else the
// nearest there are, stretched until they come), each pixel row the
// strongest of its bins, coloured through a colour bar's bands. The window's
// view and its saved pictures draw through it; so do the tests and the
// benchmark.
#pragma once

#include "spectrogram/ColorBands.h"
#include "wavefile/LevelCache.h"

#include <cstdint>
#include <vector>

namespace duv {

class TLevelPainter
{
public:
  // Outside the file, and where nothing is computed yet (0xAARRGGBB).
  static constexpr std::uint32_t Beyond = 0xFF000000u;
  static constexpr std::uint32_t Pending = 0xFF282828u;

  // The colours of levels through Bands, from the bottom of their range to
  // the top, in steps of 1/64 dB; a level below the range (silence too)
  // takes the bottom colour, one above it the top colour.
  void SetColors(const TColorBands& Bands);
  std::uint32_t ColorOf(double Level) const;

  // Draws View into Pixels: View.Height rows of View.Width pixels, the top
  // row first, Stride pixels apart.
  void Paint(const TLevelCache& Cache, const TLevelView& View, std::uint32_t* Pixels, int Stride);
  // The level drawn at pixel (X, Y) of the plot; NaN where no level is
  // drawn (beyond the file, or not computed yet).
  double LevelAt(const TLevelCache& Cache, const TLevelView& View, int X, int Y);

  // Where the last paint's pixel columns came from: the size and level
  // (Size 0 for none), for the tests and the benchmark.
  const std::vector<TLevelChoice>& Sources() const { return FSources; }

private:
  struct TCandidate
  {
    int Size, Level;
  };
  struct TSizeRows
  {
    int Size = 0;
    std::vector<TRowBins> Rows; // by pixel row, the top first
    int BinLo = 0, BinHi = 0;   // all the rows' bins
    int BandLo = 0, BandHi = 0;
  };
  void Prepare(const TLevelCache& Cache, const TLevelView& View);
  const TSizeRows& RowsOf(int Size);
  // The rows' levels of pixel column X into FValues; the source used.
  TLevelChoice Column(const TLevelCache& Cache, int X, std::int64_t& First, std::int64_t& Last);
  bool Available(const TLevelCache& Cache, const TSizeRows& Rows, int Level, std::int64_t Column);
  void Reduce(const TLevelCache& Cache, const TSizeRows& Rows, int Level, std::int64_t Column,
              bool First);

  std::vector<std::uint32_t> FLut;
  double FLow = 0, FHigh = 0;

  TLevelView FView;
  double FRate = 0;
  std::int64_t FSamples = 0;
  TLevelChoice FChoice;
  std::vector<TCandidate> FCandidates;
  std::vector<TSizeRows> FRows;
  std::vector<float> FGather, FValues;
  std::vector<TLevelChoice> FSources;
};

} // namespace duv
