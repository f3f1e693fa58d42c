// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DSupport.h"
#include "support/WaveFormat.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using namespace duv;

// Guards the drawing maths against banker's-rounding and MulDiv mistakes.
TEST(DSupport, IntegerConversions)
{
  EXPECT_EQ(Round(0.5L), 0);
  EXPECT_EQ(Round(1.5L), 2);
  EXPECT_EQ(Round(2.5L), 2);
  EXPECT_EQ(Round(-2.5L), -2);
  EXPECT_EQ(Round(-2.6L), -3);
  EXPECT_EQ(Trunc(-2.9L), -2);
  EXPECT_EQ(Trunc(2.9L), 2);
  // Absurd values saturate instead of being undefined.
  EXPECT_EQ(Round(1e30L), std::numeric_limits<int>::max());
  EXPECT_EQ(Trunc(-1e30L), std::numeric_limits<int>::min());
  EXPECT_EQ(Round(std::numeric_limits<long double>::quiet_NaN()), 0);

  EXPECT_EQ(MulDiv(10, 40, 100), 4);
  EXPECT_EQ(MulDiv(5, 1, 2), 3);   // 2.5 away from zero
  EXPECT_EQ(MulDiv(-5, 1, 2), -3); // -2.5 away from zero
  EXPECT_EQ(MulDiv(7, 1, -2), -4);
  EXPECT_EQ(MulDiv(1 << 30, 1 << 10, 1 << 20), 1 << 20); // 64-bit intermediate
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

// Guards the phase rules of the magnitude routine.
TEST(DSupport, ArcTanAndSign)
{
  const long double pi = std::acos(-1.0L);
  EXPECT_EQ(SignOf(-0.0), 1.0);
  EXPECT_EQ(SignOf(-1e-300), -1.0);
  EXPECT_NEAR(double(FullArcTan(0, -1)), double(pi), 1e-15);
  EXPECT_NEAR(double(FullArcTan(1, 0)), double(pi / 2), 1e-15);
  EXPECT_NEAR(double(FullArcTan(-1, 0)), double(-pi / 2), 1e-15);
  EXPECT_NEAR(double(FullArcTan(-1, -1)), double(-3 * pi / 4), 1e-15);
}

// Guards text that must read back exactly and the dialog's snapping to tenths.
TEST(DSupport, NumberText)
{
  EXPECT_EQ(ShortestText(0.1).toStdString(), "0.1");
  EXPECT_EQ(ShortestText(21.533203125).toStdString(), "21.533203125");
  const double third = 1.0 / 3.0;
  EXPECT_EQ(ShortestText(third).toDouble(), third);
  EXPECT_EQ(RoundToDecimals(1, -47.96), -48.0);
  EXPECT_EQ(RoundToDecimals(1, 12.34), 12.3);
}

// Guards the capture format table against off-by-one mistakes.
TEST(WaveFormat, TypeTable)
{
  EXPECT_EQ(WaveTypeFormat(wfNone), (TWaveDataFormat{}));
  EXPECT_EQ(WaveTypeFormat(wf11Khz_Mono_8Bit), (TWaveDataFormat{11025, 1, 1}));
  EXPECT_EQ(WaveTypeFormat(wf11Khz_Stereo_16Bit), (TWaveDataFormat{11025, 2, 2}));
  EXPECT_EQ(WaveTypeFormat(wf22Khz_Mono_16Bit), (TWaveDataFormat{22050, 2, 1}));
  EXPECT_EQ(WaveTypeFormat(wf44Khz_Stereo_8Bit), (TWaveDataFormat{44100, 1, 2}));
  EXPECT_EQ(WaveTypeFormat(WaveTypeCount + 1), (TWaveDataFormat{}));
  EXPECT_EQ(WaveTypeFormat(0x80 | wf44Khz_Mono_8Bit), (TWaveDataFormat{44100, 1, 1}));
  const WAVEFORMATEX w = MakeWaveFormat({44100, 2, 2});
  EXPECT_EQ(w.nBlockAlign, 4);
  EXPECT_EQ(w.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(w.wBitsPerSample, 16);
}
