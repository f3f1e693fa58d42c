// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/WaveStretch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace duv;

// Guards the offset rule: truncation, but whole sample positions stay whole.
TEST(WaveStretch, OffsetInSamples)
{
  EXPECT_EQ(StretchOffsetSamples(1.0, 44100), 44100);
  EXPECT_EQ(StretchOffsetSamples(0.5, 11025), 5512);
  EXPECT_EQ(StretchOffsetSamples(0.1, 11025), 1102);
  EXPECT_EQ(StretchOffsetSamples(2.3, 44100), 101430);
  EXPECT_EQ(StretchOffsetSamples(0, 44100), 0);
  EXPECT_EQ(StretchOffsetSamples(-1, 44100), 0);
  EXPECT_EQ(StretchOffsetSamples(std::nan(""), 44100), 0);
}

// Guards the copy of a stretch: raw values, zero padding past the end, and
// nothing read for an offset at or past the end or an unpacked channel.
TEST(WaveStretch, FillStretch)
{
  TSoundData d;
  d.SamplesPerChannel = 5;
  d.Channels[0] = TSoundArray{10, 20, 30, 40, 50};
  std::vector<double> re(4, -1);
  EXPECT_EQ(FillStretch(d, 3, 4, re.data()), 2);
  EXPECT_EQ(re, (std::vector<double>{40, 50, 0, 0}));
  EXPECT_EQ(FillStretch(d, 5, 4, re.data()), 0);
  EXPECT_EQ(re, (std::vector<double>{0, 0, 0, 0}));
  d.Channels[0].clear();
  EXPECT_EQ(FillStretch(d, 0, 4, re.data()), 0);
}
