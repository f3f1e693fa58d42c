// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/LevelPainter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace duv {

namespace {
constexpr double LutSteps = 64; // per dB
constexpr int MostColumnsPerPixel = 4;

std::uint32_t argb(TColor c)
{
  return 0xFF000000u | (std::uint32_t(RedOf(c)) << 16) | (std::uint32_t(GreenOf(c)) << 8) |
         std::uint32_t(BlueOf(c));
}
} // namespace

void TLevelPainter::SetColors(const TColorBands& Bands)
{
  FLow = std::min(Bands.TopValue(), Bands.BottomValue());
  FHigh = std::max(Bands.TopValue(), Bands.BottomValue());
  const double span = std::min(FHigh - FLow, 1000.0);
  const int n = int(std::ceil(span * LutSteps)) + 1;
  FLut.resize(std::size_t(n));
  for (int i = 0; i < n; ++i)
    FLut[std::size_t(i)] = argb(Bands.ColorOf(std::min(FLow + i / LutSteps, FHigh)));
}

std::uint32_t TLevelPainter::ColorOf(double Level) const
{
  if (FLut.empty())
    return Beyond;
  // Written so that -inf and NaN (silence) take the bottom colour.
  if (!(Level > FLow))
    return FLut.front();
  const double i = (Level - FLow) * LutSteps + 0.5;
  return i >= double(FLut.size() - 1) ? FLut.back() : FLut[std::size_t(i)];
}

const TLevelPainter::TSizeRows& TLevelPainter::RowsOf(int Size)
{
  for (const TSizeRows& r : FRows)
    if (r.Size == Size)
      return r;
  TSizeRows r;
  r.Size = Size;
  // The frequencies at the middles of the top and the bottom pixel rows.
  const TLevelView& v = FView;
  const int h = v.Height;
  double low, high;
  if (v.Log && v.FLow > 0 && v.FHigh > v.FLow) {
    const double step = std::pow(v.FHigh / v.FLow, 0.5 / h);
    low = v.FLow * step;
    high = v.FHigh / step;
  } else {
    const double half = (v.FHigh - v.FLow) / h / 2;
    low = v.FLow + half;
    high = v.FHigh - half;
  }
  std::vector<TRowBins> up = SpectrogramRowBins(h, Size, FRate, low, high, v.Log && v.FLow > 0);
  r.Rows.assign(up.rbegin(), up.rend());
  r.BinLo = up.front().Lo;
  r.BinHi = up.front().Hi;
  for (const TRowBins& b : up) {
    r.BinLo = std::min(r.BinLo, b.Lo);
    r.BinHi = std::max(r.BinHi, b.Hi);
  }
  r.BandLo = BandOf(Size, r.BinLo);
  r.BandHi = BandOf(Size, r.BinHi);
  FRows.push_back(std::move(r));
  return FRows.back();
}

void TLevelPainter::Prepare(const TLevelCache& Cache, const TLevelView& View)
{
  FView = View;
  FRows.clear();
  FRows.reserve(2); // RowsOf hands out references into it
  FCandidates.clear();
  FSources.assign(std::size_t(std::max(View.Width, 0)), TLevelChoice{});
  if (!Cache.HasSource())
    return;
  FRate = Cache.Source().Rate();
  FSamples = Cache.Samples();
  // As the cache chose for the view it was asked for.
  FChoice = ChooseLevels(View, Cache.BaseSize(), FRate);
  FChoice.Level = std::min(FChoice.Level, TopLevel(FSamples));
  // The view's own level and size first, then the coarser levels of that
  // size, then the finer; then the same of the size the user chose.
  const std::vector<TLevelChoice> present = Cache.Present();
  for (int size : {FChoice.Size, Cache.BaseSize()}) {
    if (!FCandidates.empty() && size == FCandidates.front().Size)
      break;
    std::vector<int> levels;
    for (const TLevelChoice& p : present)
      if (p.Size == size)
        levels.push_back(p.Level);
    std::stable_sort(levels.begin(), levels.end(), [e = FChoice.Level](int a, int b) {
      const bool ca = a >= e, cb = b >= e;
      if (ca != cb)
        return ca;
      return ca ? a < b : a > b;
    });
    for (int l : levels)
      FCandidates.push_back({size, l});
  }
}

bool TLevelPainter::Available(const TLevelCache& Cache, const TSizeRows& Rows, int Level,
                              std::int64_t Column)
{
  const std::int64_t tile = Column / TileColumns;
  const auto at = std::size_t(Column % TileColumns);
  for (int b = Rows.BandLo; b <= Rows.BandHi; ++b) {
    const TLevelTile* t = Cache.Tile({Rows.Size, Level, tile, b});
    if (!t || t->Quality[at] == TLevelQuality::None)
      return false;
  }
  return true;
}

void TLevelPainter::Reduce(const TLevelCache& Cache, const TSizeRows& Rows, int Level,
                           std::int64_t Column, bool First)
{
  // The column's bins the rows need, gathered from its bands.
  const std::int64_t tile = Column / TileColumns;
  const int at = int(Column % TileColumns);
  FGather.resize(std::size_t(Rows.BinHi - Rows.BinLo + 1));
  for (int b = Rows.BandLo; b <= Rows.BandHi; ++b) {
    const TLevelTile* t = Cache.Tile({Rows.Size, Level, tile, b});
    const TBinSpan span = BandSpan(Rows.Size, b);
    const int lo = std::max(span.First, Rows.BinLo);
    const int hi = std::min(span.First + span.Count - 1, Rows.BinHi);
    std::copy(t->Column(at) + (lo - span.First), t->Column(at) + (hi - span.First) + 1,
              FGather.begin() + (lo - Rows.BinLo));
  }
  const float* g = FGather.data() - Rows.BinLo;
  float* out = FValues.data();
  const int h = int(Rows.Rows.size());
  for (int y = 0; y < h; ++y) {
    const TRowBins& r = Rows.Rows[std::size_t(y)];
    float v = g[r.Lo];
    for (int k = r.Lo + 1; k <= r.Hi; ++k)
      v = g[k] > v ? g[k] : v;
    out[y] = First || v > out[y] ? v : out[y];
  }
}

TLevelChoice TLevelPainter::Column(const TLevelCache& Cache, int X, std::int64_t& First,
                                   std::int64_t& Last)
{
  const TLevelView& v = FView;
  const double perPixel = (v.To - v.From) / v.Width;
  const double p0 = v.From + X * perPixel, p1 = p0 + perPixel, middle = p0 + perPixel / 2;
  if (middle < 0 || middle >= double(FSamples))
    return {};
  for (const TCandidate& c : FCandidates) {
    const double width = std::ldexp(1.0, c.Level);
    const std::int64_t columns = LevelColumns(FSamples, c.Level);
    std::int64_t a, b;
    if (c.Level == FChoice.Level && c.Size == FChoice.Size) {
      // Every column under the pixel, the strongest of them shown.
      a = std::int64_t(std::floor(std::max(p0, 0.0) / width));
      b = std::int64_t(std::ceil(p1 / width)) - 1;
      b = std::clamp(b, a, a + MostColumnsPerPixel - 1);
    } else {
      a = b = std::int64_t(middle / width);
    }
    a = std::min(a, columns - 1);
    b = std::min(b, columns - 1);
    const TSizeRows& rows = RowsOf(c.Size);
    bool all = true;
    for (std::int64_t k = a; k <= b && all; ++k)
      all = Available(Cache, rows, c.Level, k);
    if (!all)
      continue;
    First = a;
    Last = b;
    return {c.Size, c.Level};
  }
  return {};
}

void TLevelPainter::Paint(const TLevelCache& Cache, const TLevelView& View, std::uint32_t* Pixels,
                          int Stride)
{
  Prepare(Cache, View);
  const int w = View.Width, h = View.Height;
  if (w <= 0 || h <= 0)
    return;
  FValues.resize(std::size_t(h));
  TLevelChoice last{};
  std::int64_t lastFirst = -1, lastLast = -1;
  const bool any = Cache.HasSource() && View.To > View.From;
  for (int x = 0; x < w; ++x) {
    std::int64_t first = 0, end = -1;
    const TLevelChoice src = any ? Column(Cache, x, first, end) : TLevelChoice{};
    FSources[std::size_t(x)] = src;
    if (src.Size == 0) {
      // Outside the file, or nothing there yet.
      const double perPixel = (View.To - View.From) / w;
      const double middle = View.From + (x + 0.5) * perPixel;
      const std::uint32_t c = any && middle >= 0 && middle < double(FSamples) ? Pending : Beyond;
      for (int y = 0; y < h; ++y)
        Pixels[std::size_t(y) * std::size_t(Stride) + std::size_t(x)] = c;
      last = {};
      continue;
    }
    if (x > 0 && src.Size == last.Size && src.Level == last.Level && first == lastFirst &&
        end == lastLast) {
      // The same columns as the pixel before: the same colours.
      for (int y = 0; y < h; ++y) {
        std::uint32_t* row = Pixels + std::size_t(y) * std::size_t(Stride);
        row[x] = row[x - 1];
      }
      continue;
    }
    const TSizeRows& rows = RowsOf(src.Size);
    for (std::int64_t k = first; k <= end; ++k)
      Reduce(Cache, rows, src.Level, k, k == first);
    for (int y = 0; y < h; ++y)
      Pixels[std::size_t(y) * std::size_t(Stride) + std::size_t(x)] =
          ColorOf(FValues[std::size_t(y)]);
    last = src;
    lastFirst = first;
    lastLast = end;
  }
}

double TLevelPainter::LevelAt(const TLevelCache& Cache, const TLevelView& View, int X, int Y)
{
  if (X < 0 || Y < 0 || X >= View.Width || Y >= View.Height || !Cache.HasSource() ||
      !(View.To > View.From))
    return std::numeric_limits<double>::quiet_NaN();
  Prepare(Cache, View);
  FValues.resize(std::size_t(View.Height));
  std::int64_t first = 0, end = -1;
  const TLevelChoice src = Column(Cache, X, first, end);
  if (src.Size == 0)
    return std::numeric_limits<double>::quiet_NaN();
  const TSizeRows& rows = RowsOf(src.Size);
  for (std::int64_t k = first; k <= end; ++k)
    Reduce(Cache, rows, src.Level, k, k == first);
  return FValues[std::size_t(Y)];
}

} // namespace duv
