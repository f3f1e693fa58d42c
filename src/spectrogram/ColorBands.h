// SPDX-License-Identifier: GPL-3.0-or-later
// The band model of a colour bar: edges with positions in 1/100000 of the
// bar's height, the values they stand for and the band colours, with the
// value-to-band search, edge moves and gradients. Pure: no Qt types, so the
// spectrogram's per-pixel colour lookup and the edge arithmetic are tested
// without a window.
#pragma once

#include "spectrogram/ColorMath.h"
#include "spectrogram/DepthColors.h"

#include <array>
#include <limits>

namespace duv {

struct TBandEdge
{
  TColor Color = clBlack;
  int Position = 0; // 0 = top of the bar, FullScale = bottom
  double Value = 0;
};

class TColorBands
{
public:
  static constexpr int MaxEdges = 48;
  static constexpr int FullScale = 100000;

  // Range 100000 .. 0, the 13-colour table, evenly spaced.
  TColorBands();

  int EdgeCount() const { return FEdgeCount; }
  const TBandEdge& Edge(int k) const { return FEdges[k]; }
  const std::array<TBandEdge, MaxEdges>& Edges() const { return FEdges; }
  bool IsEdge(int k) const { return k >= 0 && k < FEdgeCount; }
  // Ignored for an index outside the loaded table.
  void SetEdgeColor(int k, TColor color);

  double TopValue() const { return FTop; }
  double BottomValue() const { return FBottom; }
  double Range() const { return FRange; }

  // Stores both ends and recomputes every edge value from its position.
  void SetRange(double top, double bottom);
  double ValueAtPosition(int position) const;

  void ResetSpacing();
  void SpreadEdges(int first, int last);
  // Colours and edge count of a table; positions stay.
  void LoadColorTable(TColorCount count);

  // Band containing v (an edge value belongs to the band above), or -1.
  int BandOf(double v) const;
  TColor ColorOf(double v) const
  {
    const int k = BandOf(v);
    return k < 0 ? clBlack : FEdges[k].Color;
  }

  // Pixel row of edge k on a bar `height` pixels high.
  int EdgeY(int k, int height) const;
  int BandAt(int y, int height) const;
  int EdgeAt(int y, int height, bool adjustable, bool adjustEnds) const;

  // Moves edge k (unclamped) and pushes neighbours at least two pixels apart,
  // piling them up at 0 and FullScale. Ignored for an index outside the table.
  void SetEdgePosition(int k, int position, int height);
  void SetEdgeValue(int k, double value, int height);

  void ColorGradient(int first, int last);
  void HueGradient(int first, int last);

private:
  void UpdateValue(int k) { FEdges[k].Value = ValueAtPosition(FEdges[k].Position); }
  void UpdateValues();
  // Clamp and order a gradient's band pair; false when the table is too small.
  bool GradientBands(int& first, int& last) const;

  std::array<TBandEdge, MaxEdges> FEdges{};
  int FEdgeCount = 0;
  double FTop = 0, FBottom = 0, FRange = 0;
};

// The colour search of one set of bands, made once for a whole spectrogram
// line: ColorOf(v) equals TColorBands::ColorOf(v) for every v. The bands are
// read when it is made and must outlive it.
//
// Edge values normally fall from the top of the bar to the bottom. Then the
// bands tile the span between the end edges, and the band of v is the number
// of edges above v, found in a few compares with no branches; the first band
// also owns the top edge itself. Anything else (an inverted range, an edge
// dragged past an end, NaN) falls back to the band-by-band search.
class TBandLookup
{
public:
  explicit TBandLookup(const TColorBands& bands);

  TColor ColorOf(double v) const
  {
    if (!FOrdered)
      return FBands.ColorOf(v);
    // Binary search for the length of the run of edges above v; the padding
    // below the last edge is -inf, never above anything. NaN is above
    // nothing and equals nothing, so it ends black.
    int beyond = 0;
    for (int step = SearchSize / 2; step > 0; step /= 2)
      beyond += FEdge[std::size_t(beyond + step - 1)] > v ? step : 0;
    if (beyond == 0)
      return v == FEdge[0] ? FColor[1] : clBlack; // the top edge is band 1's
    return FColor[std::size_t(beyond)];           // black when beyond all n edges
  }

private:
  const TColorBands& FBands;
  bool FOrdered = false;
  static constexpr int SearchSize = 64; // a power of two above MaxEdges
  static_assert(SearchSize > TColorBands::MaxEdges);
  std::array<double, SearchSize> FEdge{};                 // values, non-increasing, then -inf
  std::array<TColor, TColorBands::MaxEdges + 1> FColor{}; // by edges beyond
};

} // namespace duv
