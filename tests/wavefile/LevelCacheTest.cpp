// SPDX-License-Identifier: GPL-3.0-or-later
// The whole file's levels at several resolutions: the choice of level and
// transform for a view, the levels computed by the workers, and their end.
#include "wavefile/LevelCache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <numbers>

using namespace duv;

namespace {

// A 16-bit file in memory: `samples` frames of `channels`, sample(i, c).
TSoundData soundData(int rate, std::int64_t samples, int channels,
                     const std::function<double(std::int64_t, int)>& sample)
{
  TSoundData d;
  d.Format.wFormatTag = 1;
  d.Format.nChannels = std::uint16_t(channels);
  d.Format.nSamplesPerSec = std::uint32_t(rate);
  d.Format.wBitsPerSample = 16;
  d.SamplesPerChannel = std::int32_t(samples);
  for (int c = 0; c < channels; ++c) {
    TSoundArray& a = d.Channels[std::size_t(c)];
    a.resize(samples);
    for (std::int64_t i = 0; i < samples; ++i)
      a[i] = std::int16_t(std::lround(std::clamp(sample(i, c), -32768.0, 32767.0)));
  }
  return d;
}

double sine(double hz, int rate, std::int64_t i, double amplitude = 32767)
{
  return amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate);
}

// The level of bin `bin` in column `column` of (size, level), or NaN.
double levelOf(const TLevelCache& cache, int size, int level, std::int64_t column, int bin)
{
  const TLevelTile* t = cache.Tile({size, level, column / TileColumns, BandOf(size, bin)});
  if (!t || t->Quality[std::size_t(column % TileColumns)] == TLevelQuality::None)
    return NAN;
  return t->Column(int(column % TileColumns))[bin - BandSpan(size, BandOf(size, bin)).First];
}

void finish(TLevelCache& cache)
{
  ASSERT_TRUE(cache.WaitIdle(60000));
  cache.Collect();
}

} // namespace

// Guards the choice of level and transform for a view: columns no wider
// than a pixel, bins no taller than a row (the top row of a logarithmic
// axis), from the size chosen up to the largest.
TEST(LevelCache, ChoiceFollowsTheView)
{
  struct Case
  {
    TLevelView View;
    int Size, Level;
  } cases[] = {
      // An hour at 44.1 kHz over 600 pixels: 264600 samples a pixel.
      {{0, 158760000, 0, 22050, false, 600, 300}, 1024, 18},
      {{0, 1200, 0, 22050, false, 600, 300}, 1024, 1},
      {{0, 300, 0, 22050, false, 600, 300}, 1024, 0},
      // 300 rows over 22050 Hz need no more than 1024 points; 300 over
      // 1 kHz need 22050 / 3.3 Hz, 16384.
      {{0, 158760000, 0, 1000, false, 600, 300}, 16384, 18},
      {{0, 158760000, 0, 10, false, 600, 300}, LargestViewSize, 18},
      // All the frequencies in a window up to half as tall again as the
      // bins take no larger transform (a second pass over the file); half
      // of them do.
      {{0, 158760000, 0, 22050, false, 800, 700}, 1024, 17},
      {{0, 158760000, 0, 11025, false, 800, 513}, 2048, 17},
      // A second at 100 Hz up: 32768 points, in columns of 8192 samples.
      {{0, 44100, 0, 100, false, 800, 300}, LargestViewSize, 13},
      // Logarithmic: the top row of 20 Hz .. 22050 Hz is 500 Hz tall.
      {{0, 158760000, 20, 22050, true, 600, 300}, 1024, 18},
      {{0, 158760000, 1000, 1100, true, 600, 300}, LargestViewSize, 18},
  };
  for (const Case& c : cases) {
    const TLevelChoice choice = ChooseLevels(c.View, 1024, 44100);
    EXPECT_EQ(choice.Size, c.Size) << c.View.FHigh;
    EXPECT_EQ(choice.Level, c.Level) << c.View.To;
  }
  // The size chosen is never lowered.
  EXPECT_EQ(ChooseLevels({0, 1000, 0, 22050, false, 600, 300}, 8192, 44100).Size, 8192);
}

// Guards the levels the workers compute: a tone reads its level at its bin
// and time and nowhere else, whole columns at the pass's level and every
// level averaged above it equal those computed directly, a zoom finer than
// the pass and a larger transform are computed when a view asks, and the
// pass stays within its budget.
TEST(LevelCache, TonesAtTheirTimesAndBins)
{
  const int rate = 8000;
  const std::int64_t n = 60 * rate;
  // 1 kHz for the first half minute, 2.5 kHz at half scale for the second.
  const TSoundData data = soundData(rate, n, 2, [&](std::int64_t i, int) {
    return i < n / 2 ? sine(1000, rate, i) : sine(2500, rate, i, 16384);
  });
  TLevelCache cache(2);
  cache.SetSource(data, 1024, TWindowKind::Hann);
  cache.Want({0, double(n), 0, 4000, false, 400, 200});
  finish(cache);
  ASSERT_TRUE(cache.PassDone());
  EXPECT_LE(cache.Bytes(), 2 * TLevelCache::PassBytes);
  const int pass = cache.PassLevel();
  EXPECT_GE(pass, 9); // whole frames: never finer than the hop
  const int bin1k = 128, bin2k5 = 320;
  for (int level = pass; level <= cache.PassTop(); ++level) {
    // The columns of an eighth and of seven eighths of the way.
    const std::int64_t early = (n / 8) >> level, late = (7 * n / 8) >> level;
    EXPECT_NEAR(levelOf(cache, 1024, level, early, bin1k), 0, 0.05) << level;
    // The file's abrupt ends splash a little into every bin of their columns.
    EXPECT_LT(levelOf(cache, 1024, level, early, bin2k5), -70) << level;
    EXPECT_NEAR(levelOf(cache, 1024, level, late, bin2k5), -6.02, 0.05) << level;
    EXPECT_LT(levelOf(cache, 1024, level, late, bin1k), -70) << level;
  }
  // Averaged up against computed directly, at a column of both tones.
  TLevelSource source;
  source.Data = data;
  TLevelComputer direct(source, 1024);
  std::vector<double> power(std::size_t(direct.Bins()));
  const int top = cache.PassTop();
  const std::int64_t middle = (n / 2) >> top; // both tones
  const int frames = direct.Power(top, middle, false, power.data());
  for (int bin : {bin1k, bin2k5})
    EXPECT_NEAR(levelOf(cache, 1024, top, middle, bin),
                direct.Level(power[std::size_t(bin)], frames), 1e-3);

  // A zoom to 10 ms: columns of single samples, each a frame of its own.
  cache.Want({n / 4 - 40.0, n / 4 + 40.0, 0, 4000, false, 400, 200});
  EXPECT_EQ(cache.Choice().Level, 0);
  finish(cache);
  for (std::int64_t c = n / 4 - 40; c < n / 4 + 40; c += 7)
    EXPECT_NEAR(levelOf(cache, 1024, 0, c, bin1k), 0, 0.1) << c;
  // A zoom into frequency: a larger transform, with the bins the view needs.
  cache.Want({0, double(n), 990, 1010, false, 400, 200});
  const TLevelChoice big = cache.Choice();
  EXPECT_GE(big.Size, 16384);
  finish(cache);
  const int bin = int(std::lround(1000.0 * big.Size / rate));
  EXPECT_NEAR(levelOf(cache, big.Size, big.Level, LevelColumns(n, big.Level) / 4, bin), 0, 0.1);
}

// Guards the edges of the whole file's levels: a tone at half the rate is
// in the last bin, and the last column, a few samples wide, holds the frame
// over the file's end, at every level from single frames to many a column.
TEST(LevelCache, NyquistBinAndLastColumn)
{
  const int rate = 8000;
  const std::int64_t n = 8 * 4096 + 300; // the last column of 4096 is 300 samples
  // Silence, then half the rate for the last 5000 samples.
  TLevelSource source;
  source.Data = soundData(rate, n, 1, [&](std::int64_t i, int) {
    return i < n - 5000 ? 0.0 : (i % 2 ? -16384.0 : 16384.0);
  });
  TLevelComputer computer(source, 1024);
  std::vector<double> power(std::size_t(computer.Bins()));
  for (const int level : {0, 8, 12}) {
    const std::int64_t last = LevelColumns(n, level) - 1;
    const int frames = computer.Power(level, last, false, power.data());
    ASSERT_GT(frames, 0) << level;
    const int top = computer.Bins() - 1;
    EXPECT_EQ(std::max_element(power.begin(), power.end()) - power.begin(), top) << level;
    EXPECT_GT(computer.Level(power[std::size_t(top)], frames), -10) << level;
  }
}

// Guards the end of the work: a new file, Clear and the cache's end stop
// what runs at once, and no column of an old file reaches the new one.
TEST(LevelCache, CancelledMidway)
{
  const int rate = 44100;
  const std::int64_t n = std::int64_t(10) * 60 * rate;
  const TSoundData longFile =
      soundData(rate, n, 1, [&](std::int64_t i, int) { return sine(440, rate, i, 8000); });
  const TSoundData shortFile = soundData(rate, rate, 1, [&](std::int64_t, int) { return 0.0; });
  for (int round = 0; round < 3; ++round) {
    const auto start = std::chrono::steady_clock::now();
    {
      TLevelCache cache(2);
      cache.SetSource(longFile, 256, TWindowKind::Hann);
      cache.Want({0, double(n), 0, 22050, false, 800, 400});
      ASSERT_FALSE(cache.WaitIdle(20)); // the pass of ten minutes is under way
      if (round == 0) {
        cache.SetSource(shortFile, 1024, TWindowKind::Hann);
        finish(cache);
        // Silence everywhere: nothing of the tone came through.
        EXPECT_TRUE(cache.PassDone());
        EXPECT_EQ(levelOf(cache, 1024, cache.PassLevel(), 10, 10), -INFINITY);
      } else if (round == 1) {
        cache.Clear();
        EXPECT_TRUE(cache.WaitIdle(2000));
        EXPECT_FALSE(cache.HasSource());
        EXPECT_EQ(cache.Bytes(), 0u);
      }
      // round 2: the cache ends with the work under way.
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << round;
  }
}
