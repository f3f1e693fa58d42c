// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/SpinValues.h"

#include <gtest/gtest.h>
#include <limits>

using namespace duv;

namespace {
const QChar kDot('.');
const QChar kComma(',');
} // namespace

// Guards the clamp order: both limits test x itself; without UseLimit nothing is clamped.
TEST(SpinValues, ClampFollowsLimits)
{
  RealLimits time{true, false, 1, 600};
  EXPECT_EQ(ClampReal(700, time).value, 600);
  EXPECT_EQ(ClampReal(0, time).value, 1);
  EXPECT_EQ(ClampReal(20, time).value, 20);
  EXPECT_EQ(ClampReal(700, time).wrap, WrapResult::None);
  EXPECT_EQ(ClampReal(1e9, RealLimits{false, false, 1, 600}).value, 1e9);
  // Inverted limits: anything below MinValue ends there, the rest at MaxValue.
  RealLimits inverted{true, false, 10, 5};
  EXPECT_EQ(ClampReal(3, inverted).value, 10);
  EXPECT_EQ(ClampReal(7, inverted).value, 10);
  EXPECT_EQ(ClampReal(12, inverted).value, 5);
  IntLimits band{true, false, 1, 32};
  EXPECT_EQ(ClampInteger(99, band).value, 32);
  EXPECT_EQ(ClampInteger(-5, band).value, 1);
}

// Guards wrap arithmetic: half-open cycle, negative limits, 64-bit extremes without overflow.
TEST(SpinValues, WrapCyclesThroughRange)
{
  RealLimits angle{true, true, 0, 360};
  EXPECT_EQ(ClampReal(360, angle).value, 0);
  EXPECT_EQ(ClampReal(370, angle).value, 10);
  EXPECT_EQ(ClampReal(370, angle).wrap, WrapResult::PastMax);
  EXPECT_EQ(ClampReal(-1, angle).value, 359);
  EXPECT_EQ(ClampReal(-1, angle).wrap, WrapResult::PastMin);
  EXPECT_EQ(ClampReal(-721, angle).value, 359);
  RealLimits neg{true, true, -10, -5};
  EXPECT_EQ(ClampReal(-4, neg).value, -9);
  EXPECT_EQ(ClampReal(-11, neg).value, -6);
  // Equal limits cannot cycle and clamp instead.
  EXPECT_EQ(ClampReal(9, RealLimits{true, true, 3, 3}).value, 3);
  EXPECT_EQ(ClampReal(9, RealLimits{true, true, 3, 3}).wrap, WrapResult::None);

  IntLimits digit{true, true, 0, 10};
  EXPECT_EQ(ClampInteger(10, digit).value, 0);
  EXPECT_EQ(ClampInteger(-1, digit).value, 9);
  EXPECT_EQ(ClampInteger(25, digit).value, 5);
  constexpr auto lo = std::numeric_limits<std::int64_t>::min();
  constexpr auto hi = std::numeric_limits<std::int64_t>::max();
  IntLimits wide{true, true, lo + 1, hi};
  EXPECT_EQ(ClampInteger(hi, wide).value, lo + 1);
  EXPECT_EQ(ClampInteger(lo, wide).value, hi - 1);
}

// Guards the four display formats and their digit handling.
TEST(SpinValues, FormatsValues)
{
  EXPECT_EQ(FormatReal(10, nfStandard, 5, kDot, kComma), "10");
  EXPECT_EQ(FormatReal(0.1, nfStandard, 5, kDot, kComma), "0.1");
  EXPECT_EQ(FormatReal(1e20, nfStandard, 5, kDot, kComma), "1E20");
  EXPECT_EQ(FormatReal(-1.5e-7, nfStandard, 5, kDot, kComma), "-1.5E-7");
  EXPECT_EQ(FormatReal(0.00001, nfStandard, 5, kDot, kComma), "0.00001");
  EXPECT_EQ(FormatReal(123456789012345.0, nfStandard, 5, kDot, kComma), "123456789012345");
  EXPECT_EQ(FormatReal(1e15, nfStandard, 5, kDot, kComma), "1E15");
  EXPECT_EQ(FormatReal(-0.0, nfStandard, 5, kDot, kComma), "0");
  EXPECT_EQ(FormatReal(2.5, nfStandard, 5, kComma, kDot), "2,5");
  EXPECT_EQ(FormatReal(10, nfScientific, 5, kDot, kComma), "1.0000E+0001");
  EXPECT_EQ(FormatReal(-0.00123, nfScientific, 3, kDot, kComma), "-1.23E-0003");
  EXPECT_EQ(FormatReal(10, nfFixed, 1, kDot, kComma), "10.0");
  EXPECT_EQ(FormatReal(2.46, nfFixed, 1, kDot, kComma), "2.5");
  EXPECT_EQ(FormatReal(-0.04, nfFixed, 1, kDot, kComma), "0.0");
  EXPECT_EQ(FormatReal(1234.5, nfThousands, 1, kDot, kComma), "1,234.5");
  EXPECT_EQ(FormatReal(-1234567, nfThousands, 0, kComma, kDot), "-1.234.567");
  EXPECT_EQ(FormatReal(123, nfThousands, 2, kDot, kComma), "123.00");
}

// Guards reading typed or pasted text: separators, signs, and refusal of inf, nan and the like.
TEST(SpinValues, ParsesRealText)
{
  EXPECT_EQ(ParseReal("1,234.5", kDot, kComma), 1234.5);
  EXPECT_EQ(ParseReal("1.234,5", kComma, kDot), 1234.5);
  EXPECT_EQ(ParseReal("-2.5e3", kDot, kComma), -2500);
  EXPECT_EQ(ParseReal("+.5", kDot, kComma), 0.5);
  EXPECT_EQ(ParseReal("5.", kDot, kComma), 5);
  for (const char* bad :
       {"", "abc", "inf", "nan", "1e400", "--5", "+-5", "1.2.3", "0x10", "-", "e5", "1e"})
    EXPECT_FALSE(ParseReal(bad, kDot, kComma).has_value()) << bad;
  // Under a comma locale the point is not a decimal separator.
  EXPECT_FALSE(ParseReal("2.5", kComma, QChar(' ')).has_value());
}

// Guards integer text: hex padding and case, 64-bit bounds, malformed text, saturating steps.
TEST(SpinValues, IntegerText)
{
  EXPECT_EQ(FormatInteger(255, true, 4), "00FF");
  EXPECT_EQ(FormatInteger(255, false, 4), "255");
  EXPECT_EQ(FormatInteger(0x12345, true, 2), "12345");
  EXPECT_EQ(FormatInteger(-1, true, 4), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(ParseInteger("00ff", true), 255);
  EXPECT_EQ(ParseInteger("FFFFFFFFFFFFFFFF", true), -1);
  EXPECT_FALSE(ParseInteger("1FFFFFFFFFFFFFFFF", true).has_value());
  EXPECT_EQ(ParseInteger("-42", false), -42);
  EXPECT_EQ(ParseInteger("+42", false), 42);
  EXPECT_EQ(ParseInteger("9223372036854775807", false), std::numeric_limits<std::int64_t>::max());
  for (const char* bad : {"", "9223372036854775808", "3.5", "+-1", "1e3", "FF", "-"})
    EXPECT_FALSE(ParseInteger(bad, false).has_value()) << bad;
  EXPECT_FALSE(ParseInteger("G1", true).has_value());
  // Steps saturate rather than overflow.
  EXPECT_EQ(StepInteger(std::numeric_limits<std::int64_t>::max() - 5, 1, 10, true),
            std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(StepInteger(10, 1, 10, true), 20);
  EXPECT_EQ(StepInteger(10, 3, 1, false), 7);
}

// Guards the key filter: CR and letters refused, control keys pass, disabled editor refuses BS.
TEST(SpinValues, AllowedCharacters)
{
  for (QChar c : QStringLiteral("+-0123456789Ee.,"))
    EXPECT_TRUE(RealCharAllowed(c, true, kDot, kComma)) << c.toLatin1();
  EXPECT_FALSE(RealCharAllowed('a', true, kDot, kComma));
  EXPECT_FALSE(RealCharAllowed(QChar(13), true, kDot, kComma));
  EXPECT_TRUE(RealCharAllowed(QChar(8), true, kDot, kComma));
  EXPECT_TRUE(RealCharAllowed(QChar(3), false, kDot, kComma));
  EXPECT_FALSE(RealCharAllowed(QChar(8), false, kDot, kComma));
  EXPECT_FALSE(RealCharAllowed('5', false, kDot, kComma));
  EXPECT_FALSE(IntegerCharAllowed('e', false, true, kDot));
  EXPECT_FALSE(IntegerCharAllowed(',', false, true, kDot));
  EXPECT_TRUE(IntegerCharAllowed('.', false, true, kDot));
  EXPECT_TRUE(IntegerCharAllowed('f', true, true, kDot));
  EXPECT_FALSE(IntegerCharAllowed('-', true, true, kDot));
  EXPECT_FALSE(IntegerCharAllowed('g', true, true, kDot));
}
