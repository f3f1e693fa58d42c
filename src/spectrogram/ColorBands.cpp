// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/ColorBands.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

namespace duv {

TColorBands::TColorBands()
{
  SetRange(100000.0, 0.0);
  LoadColorTable(TColorCount::dc12);
  ResetSpacing();
}

void TColorBands::SetEdgeColor(int k, TColor color)
{
  if (IsEdge(k))
    FEdges[k].Color = color;
}

void TColorBands::SetRange(double top, double bottom)
{
  FTop = top;
  FBottom = bottom;
  FRange = top - bottom;
  UpdateValues();
}

double TColorBands::ValueAtPosition(int position) const
{
  return FTop - position / double(FullScale) * FRange;
}

void TColorBands::UpdateValues()
{
  for (int k = 0; k < FEdgeCount; ++k)
    UpdateValue(k);
}

void TColorBands::ResetSpacing()
{
  if (FEdgeCount < 1)
    return;
  FEdges[0].Position = 0;
  for (int k = 1; k < FEdgeCount; ++k)
    FEdges[k].Position = k * FullScale / (FEdgeCount - 1);
  UpdateValues();
}

void TColorBands::SpreadEdges(int first, int last)
{
  first = std::max(first, 0);
  last = std::min(last, FEdgeCount - 1);
  const int n = last - first;
  if (n < 2)
    return; // nothing lies strictly between
  const std::int64_t base = FEdges[first].Position;
  const std::int64_t span = std::int64_t(FEdges[last].Position) - base;
  for (int i = first + 1; i < last; ++i)
    FEdges[i].Position = int(base + (i - first) * span / n);
  UpdateValues();
}

void TColorBands::LoadColorTable(TColorCount count)
{
  const auto table = DepthColorTable(count);
  FEdgeCount = int(table.size());
  for (int k = 0; k < FEdgeCount; ++k)
    FEdges[k].Color = table[k];
  // Edges that just came into use take their value from their position.
  UpdateValues();
}

int TColorBands::BandOf(double v) const
{
  for (int k = 1; k < FEdgeCount; ++k) {
    const double a = FEdges[k - 1].Value;
    const double b = FEdges[k].Value;
    const double lo = a < b ? a : b;
    const double hi = a < b ? b : a;
    if (lo <= v && v <= hi)
      return k;
  }
  return -1;
}

TBandLookup::TBandLookup(const TColorBands& bands) : FBands(bands)
{
  const int n = bands.EdgeCount();
  if (n < 2)
    return; // no band at all: the plain search finds none either
  for (int k = 0; k < n; ++k) {
    FEdge[k] = bands.Edge(k).Value;
    // Written so that NaN, which is in no order, takes the plain search.
    if (!(FEdge[k] == FEdge[k]) || (k > 0 && !(FEdge[k] <= FEdge[k - 1])))
      return;
  }
  FOrdered = true;
  std::fill(FEdge.begin() + n, FEdge.end(), -std::numeric_limits<double>::infinity());
  // With `beyond` edges strictly above v (1 <= beyond < n), v lies in band
  // `beyond` and in none before it; with all n above, below the last edge.
  for (int k = 1; k < n; ++k)
    FColor[k] = bands.Edge(k).Color;
  FColor[n] = clBlack;
}

int TColorBands::EdgeY(int k, int height) const
{
  const std::int64_t y = std::int64_t(height) * FEdges[k].Position / FullScale;
  return int(std::clamp<std::int64_t>(y, INT_MIN / 2, INT_MAX / 2));
}

int TColorBands::BandAt(int y, int height) const
{
  for (int k = 1; k < FEdgeCount; ++k)
    if (EdgeY(k - 1, height) <= y && y <= EdgeY(k, height))
      return k;
  return -1;
}

int TColorBands::EdgeAt(int y, int height, bool adjustable, bool adjustEnds) const
{
  if (!adjustable)
    return -1;
  const int first = adjustEnds ? 0 : 1;
  const int last = adjustEnds ? FEdgeCount - 1 : FEdgeCount - 2;
  for (int k = first; k <= last; ++k) {
    const int yk = EdgeY(k, height);
    if (yk - 1 <= y && y <= yk + 1)
      return k;
  }
  return -1;
}

void TColorBands::SetEdgePosition(int k, int position, int height)
{
  if (!IsEdge(k))
    return;
  // Two pixels in position units; a bar without height counts as one pixel.
  const std::int64_t gap = 2 * std::int64_t(Round(double(FullScale) / std::max(height, 1)));
  FEdges[k].Position = position;
  UpdateValue(k);
  for (int i = k; i <= FEdgeCount - 2; ++i) {
    if (FEdges[i].Position >= FEdges[i + 1].Position) {
      FEdges[i + 1].Position = int(std::min<std::int64_t>(FEdges[i].Position + gap, FullScale));
      UpdateValue(i + 1);
    }
  }
  for (int i = k; i >= 1; --i) {
    if (FEdges[i].Position <= FEdges[i - 1].Position) {
      FEdges[i - 1].Position = int(std::max<std::int64_t>(FEdges[i].Position - gap, 0));
      UpdateValue(i - 1);
    }
  }
}

void TColorBands::SetEdgeValue(int k, double value, int height)
{
  SetEdgePosition(k, Round((FTop - value) / FRange * FullScale), height);
}

bool TColorBands::GradientBands(int& first, int& last) const
{
  if (FEdgeCount < 2)
    return false;
  first = std::max(first, 1);
  if (last >= FEdgeCount)
    last = FEdgeCount - 1;
  if (first > last)
    std::swap(first, last);
  // A reversed pair can bring a low or negative index to the front: keep both
  // ends on real bands so no colour outside the table is read.
  first = std::clamp(first, 1, FEdgeCount - 1);
  last = std::clamp(last, 1, FEdgeCount - 1);
  return true;
}

void TColorBands::ColorGradient(int first, int last)
{
  if (!GradientBands(first, last))
    return;
  const int m = last - first + 1;
  if (m <= 2)
    return;
  const TColorVector a = ColorToVector(FEdges[first].Color);
  const TColorVector b = ColorToVector(FEdges[last].Color);
  // One m-th of the whole difference per band, so the last step is double.
  const TColorVector step{(b.X - a.X) / m, (b.Y - a.Y) / m, (b.Z - a.Z) / m};
  TColorVector v = a;
  for (int i = first + 1; i < last; ++i) {
    v.X += step.X;
    v.Y += step.Y;
    v.Z += step.Z;
    FEdges[i].Color = VectorToColor(v);
  }
}

void TColorBands::HueGradient(int first, int last)
{
  if (!GradientBands(first, last))
    return;
  const int n = last - first;
  if (n <= 2)
    return;
  const THSV a = ColorToHSV(FEdges[first].Color);
  const THSV b = ColorToHSV(FEdges[last].Color);
  const long double dH = (b.H - a.H) / n, dS = (b.S - a.S) / n, dV = (b.V - a.V) / n;
  THSV cur = a;
  for (int i = first + 1; i < last; ++i) {
    cur.H += dH;
    cur.S += dS;
    cur.V += dV;
    FEdges[i].Color = HSVToColor(cur);
  }
}

} // namespace duv
