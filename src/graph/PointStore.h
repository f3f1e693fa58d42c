// SPDX-License-Identifier: GPL-3.0-or-later
// The points of a graph in insertion order, stored compactly: explicit points
// as 32-byte records, and whole runs of samples (the oscilloscope and the
// wave-file view) read in place with no record per sample. Counts per series
// and the thinned walk that drawing uses live here too.
#pragma once

#include "support/DSupport.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <vector>

namespace duv {

// One stored point. Captions live apart so that a point stays 32 bytes.
struct TDataPoint
{
  double X;
  double Y;
  double Size;
  TColor Color;
  std::int16_t Series;
  std::int16_t Reserved;
  std::int32_t CaptionIndex; // -1: no caption
};

class TPointStore
{
public:
  static constexpr int MinSeries = -1024;
  static constexpr int MaxSeries = 1024;

  // Both return false, storing nothing, for a series outside
  // MinSeries..MaxSeries (or an empty run).
  bool Add(int Series, const QString& Caption, double X, double Y, double Size, TColor Color);
  // Count samples standing for the points X = i, Y = sample i. With an Owner
  // the samples are read in place and Owner keeps them alive; without one
  // they are copied.
  template <typename T>
  bool AddSamples(int Series, TColor Color, std::span<const T> Samples, double Size,
                  const std::shared_ptr<const void>& Owner = {})
  {
    return AddRun(Series, Color, Size, SampleTypeOf<T>(), Samples.data(),
                  static_cast<std::int64_t>(Samples.size()), Owner);
  }
  // Empties the store; the buffers keep their capacity, since a live graph
  // refills them every frame.
  void Clear();

  std::int64_t PointCount() const { return FPointCount; }
  // Points of a series added since the last Clear; 0 outside the range.
  std::int64_t SeriesCount(int Series) const
  {
    if (Series < MinSeries || Series > MaxSeries)
      return 0;
    return FSeriesCounts[std::size_t(Series - MinSeries)];
  }
  // The lowest and the highest series given points since the last Clear;
  // the lowest is above the highest when there are none.
  int LowestSeries() const { return FLowest; }
  int HighestSeries() const { return FHighest; }
  // The explicitly added points (not sample runs), in insertion order.
  const std::vector<TDataPoint>& Points() const { return FPoints; }
  QString Caption(const TDataPoint& Point) const;
  bool HasCaptions() const { return !FCaptions.empty(); }

  // Calls Visit(X, Y, Size, Color) for every Step-th point of Series
  // (counting its points from 1); returns how many points the series has.
  template <typename Visit>
  std::int64_t ForEachSeriesPoint(int Series, std::int64_t Step, Visit&& V) const;
  // Calls Visit(X, Y, Size, Color) for every point in insertion order.
  template <typename Visit> void ForEachPoint(Visit&& V) const;

private:
  enum class TSampleType : std::uint8_t { UInt8, Int16, Int32, Float, Double };
  template <typename T> static constexpr TSampleType SampleTypeOf()
  {
    if constexpr (std::is_same_v<T, std::uint8_t>)
      return TSampleType::UInt8;
    else if constexpr (std::is_same_v<T, std::int16_t>)
      return TSampleType::Int16;
    else if constexpr (std::is_same_v<T, std::int32_t>)
      return TSampleType::Int32;
    else if constexpr (std::is_same_v<T, float>)
      return TSampleType::Float;
    else {
      static_assert(std::is_same_v<T, double>, "samples are uint8, int16, int32, float or double");
      return TSampleType::Double;
    }
  }
  // Evenly spaced samples standing for Count points X = i, Y = sample i.
  struct TSampleRun
  {
    std::shared_ptr<const void> Owner;
    const void* Data;
    std::int64_t Count;
    double Size;
    TColor Color;
    int Series;
    TSampleType Type;
    double At(std::int64_t I) const;
  };
  // The store in insertion order: runs of explicit points and sample runs.
  struct TBlock
  {
    bool Samples;
    std::int64_t First; // index into FPoints, or into FRuns
    std::int64_t Last;  // one past the last point (explicit blocks)
  };

  bool AddRun(int Series, TColor Color, double Size, TSampleType Type, const void* Data,
              std::int64_t Count, std::shared_ptr<const void> Owner);

  std::vector<TDataPoint> FPoints;
  std::vector<QString> FCaptions;
  std::vector<TSampleRun> FRuns;
  std::vector<TBlock> FBlocks;
  std::array<std::int64_t, MaxSeries - MinSeries + 1> FSeriesCounts{};
  // The series used, so that a live graph's Clear and drawing visit those
  // alone and not all 2049.
  int FLowest = MaxSeries + 1;
  int FHighest = MinSeries - 1;
  void Used(int Series)
  {
    FLowest = std::min(FLowest, Series);
    FHighest = std::max(FHighest, Series);
  }
  std::int64_t FPointCount = 0;
};

// Inline: a live frame adds every one of its points through here.
inline bool TPointStore::Add(int Series, const QString& Caption, double X, double Y, double Size,
                             TColor Color)
{
  if (Series < MinSeries || Series > MaxSeries)
    return false;
  ++FSeriesCounts[std::size_t(Series - MinSeries)];
  Used(Series);
  std::int32_t caption = -1;
  if (!Caption.isEmpty()) {
    caption = std::int32_t(FCaptions.size());
    FCaptions.push_back(Caption);
  }
  FPoints.push_back({X, Y, Size, Color, std::int16_t(Series), 0, caption});
  const auto end = std::int64_t(FPoints.size());
  if (!FBlocks.empty() && !FBlocks.back().Samples && FBlocks.back().Last == end - 1)
    FBlocks.back().Last = end;
  else
    FBlocks.push_back({false, end - 1, end});
  ++FPointCount;
  return true;
}

template <typename Visit>
std::int64_t TPointStore::ForEachSeriesPoint(int Series, std::int64_t Step, Visit&& V) const
{
  std::int64_t k = 0;
  std::int64_t untilUse = Step; // counts down to the next used point (no division per point)
  for (const TBlock& b : FBlocks) {
    if (!b.Samples) {
      for (std::int64_t i = b.First; i < b.Last; ++i) {
        const TDataPoint& p = FPoints[std::size_t(i)];
        if (p.Series != Series)
          continue;
        ++k;
        if (--untilUse == 0) {
          untilUse = Step;
          V(p.X, p.Y, p.Size, p.Color);
        }
      }
    } else {
      const TSampleRun& r = FRuns[std::size_t(b.First)];
      if (r.Series != Series)
        continue;
      // Jump straight from one used sample to the next.
      const std::int64_t first = untilUse - 1;
      std::int64_t j = first;
      for (; j < r.Count; j += Step)
        V(double(j), r.At(j), r.Size, r.Color);
      if (first >= r.Count)
        untilUse -= r.Count;
      else
        untilUse = Step - (r.Count - 1 - (j - Step));
      k += r.Count;
    }
  }
  return k;
}

template <typename Visit> void TPointStore::ForEachPoint(Visit&& V) const
{
  for (const TBlock& b : FBlocks) {
    if (!b.Samples) {
      for (std::int64_t i = b.First; i < b.Last; ++i) {
        const TDataPoint& p = FPoints[std::size_t(i)];
        V(p.X, p.Y, p.Size, p.Color);
      }
    } else {
      const TSampleRun& r = FRuns[std::size_t(b.First)];
      for (std::int64_t j = 0; j < r.Count; ++j)
        V(double(j), r.At(j), r.Size, r.Color);
    }
  }
}

} // namespace duv
