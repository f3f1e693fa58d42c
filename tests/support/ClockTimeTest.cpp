// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ClockTime.h"

#include <gtest/gtest.h>
#include <limits>

using namespace duv;

// Guards the clock form: seconds below a minute exactly as before, m:ss.s
// and h:mm:ss beyond, the form chosen after rounding (no "60.0", no
// "60:00.0"), the sign, and the unit only on seconds.
TEST(ClockTime, SecondsToText)
{
  struct Case
  {
    double Seconds;
    int Decimals;
    const char* Clock;
    const char* ReadOut;
  };
  const Case cases[] = {
      {0, 2, "0.00", "0.00 s"},
      {42.125, 3, "42.125", "42.125 s"},
      {-0.232, 2, "-0.23", "-0.23 s"},
      {59.94, 1, "59.9", "59.9 s"},
      {59.96, 1, "1:00.0", "1:00.0"},
      {90, 0, "1:30", "1:30"},
      {1903.181, 3, "31:43.2", "31:43.2"},
      {-754.25, 2, "-12:34.3", "-12:34.3"},
      {3599.4, 1, "59:59.4", "59:59.4"},
      {3599.96, 1, "1:00:00", "1:00:00"},
      {3725.4, 3, "1:02:05", "1:02:05"},
      {90061, 1, "25:01:01", "25:01:01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Seconds);
    EXPECT_EQ(ClockTime(c.Seconds, c.Decimals).toStdString(), c.Clock);
    EXPECT_EQ(TimeReadOut(c.Seconds, c.Decimals).toStdString(), c.ReadOut);
  }
  // An axis's labels agree whatever the value; a broken value is no clock.
  EXPECT_EQ(ClockText(5, 0, false), "0:05");
  EXPECT_EQ(ClockText(65.25, 2, false), "1:05.25");
  EXPECT_EQ(ClockText(61, 0, true), "0:01:01");
  EXPECT_FALSE(ClockTime(std::numeric_limits<double>::quiet_NaN(), 1).contains(':'));
}
