// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/PointStore.h"

#include <algorithm>
#include <cstring>

namespace duv {

void TPointStore::Clear()
{
  FPoints.clear();
  FCaptions.clear();
  FRuns.clear();
  FBlocks.clear();
  if (FLowest <= FHighest)
    std::fill(FSeriesCounts.begin() + (FLowest - MinSeries),
              FSeriesCounts.begin() + (FHighest - MinSeries + 1), 0);
  FLowest = MaxSeries + 1;
  FHighest = MinSeries - 1;
  FPointCount = 0;
}

bool TPointStore::AddRun(int Series, TColor Color, double Size, TSampleType Type, const void* Data,
                         std::int64_t Count, std::shared_ptr<const void> Owner)
{
  if (Series < MinSeries || Series > MaxSeries || Count <= 0 || Data == nullptr)
    return false;
  if (!Owner) {
    // Nobody vouches for the caller's buffer: keep a copy of our own.
    std::size_t bytes = 0;
    switch (Type) {
    case TSampleType::UInt8:
      bytes = 1;
      break;
    case TSampleType::Int16:
      bytes = 2;
      break;
    case TSampleType::Int32:
    case TSampleType::Float:
      bytes = 4;
      break;
    case TSampleType::Double:
      bytes = 8;
      break;
    }
    auto copy = std::make_shared<std::vector<unsigned char>>(std::size_t(Count) * bytes);
    std::memcpy(copy->data(), Data, copy->size());
    Data = copy->data();
    Owner = std::move(copy);
  }
  FSeriesCounts[std::size_t(Series - MinSeries)] += Count;
  Used(Series);
  FRuns.push_back({std::move(Owner), Data, Count, Size, Color, Series, Type});
  FBlocks.push_back({true, std::int64_t(FRuns.size()) - 1, 0});
  FPointCount += Count;
  return true;
}

double TPointStore::TSampleRun::At(std::int64_t I) const
{
  switch (Type) {
  case TSampleType::UInt8:
    return static_cast<const std::uint8_t*>(Data)[I];
  case TSampleType::Int16:
    return static_cast<const std::int16_t*>(Data)[I];
  case TSampleType::Int32:
    return static_cast<const std::int32_t*>(Data)[I];
  case TSampleType::Float:
    return static_cast<const float*>(Data)[I];
  case TSampleType::Double:
    return static_cast<const double*>(Data)[I];
  }
  return 0;
}

QString TPointStore::Caption(const TDataPoint& Point) const
{
  if (Point.CaptionIndex < 0 || std::size_t(Point.CaptionIndex) >= FCaptions.size())
    return {};
  return FCaptions[std::size_t(Point.CaptionIndex)];
}

} // namespace duv
