// SPDX-License-Identifier: GPL-3.0-or-later
// Small maths, integer-conversion and number-formatting helpers shared by
// every module. Pure: Qt Core at most.
#pragma once

#include <QString>
#include <cstdint>

namespace duv {

// Nearest integer, ties to even (the FPU's default rounding). Values beyond
// the int range saturate and NaN gives 0, so drawing code fed an absurd zoom
// never hits undefined behaviour.
int Round(long double x);
std::int64_t Round64(long double x);

// Toward zero, saturating like Round.
int Trunc(long double x);

// n * num / den with a 64-bit intermediate, rounded to nearest with halves
// away from zero; -1 when den is 0, as the desktop call it stands for.
int MulDiv(int n, int num, int den);

// +1.0 for x >= 0 (including -0.0), -1.0 otherwise.
double SignOf(long double x);

// Two-argument arctangent in (-pi, pi]: x < 0 adds SignOf(y) * pi, so y = 0
// gives +pi; x = 0 gives SignOf(y) * pi / 2.
long double FullArcTan(long double y, long double x);

// Fixed-point text with `decimals` digits after the separator, read back as a
// number: rounds exactly as the displayed text does.
double RoundToDecimals(int decimals, double x);

// Fixed-point text in the user's locale (its decimal separator, no thousands
// separator): what read-outs and labels show.
QString FormatFixed(long double value, int decimals);

// A whole number in the user's locale with its thousands separators, e.g.
// 1,234,567: what counts and positions in read-outs show.
QString FormatThousands(std::int64_t value);

// The locale's separators, as read-outs and spin edits use them.
QChar DecimalSeparator();
QChar ThousandSeparator();

// Shortest text that reads back to the same double, "." as the separator
// whatever the locale: for files and the command line.
QString ShortestText(double value);

// The first step of every property setter: stores Value in Field when the two
// differ and says whether it did. The comparison is exact (any different
// value, however close, is a change; strings compare case-sensitively), so a
// setter given the value it holds neither notifies nor repaints.
template <typename T> bool Assign(T& Field, const T& Value)
{
  if (Field == Value)
    return false;
  Field = Value;
  return true;
}

// A colour word in blue-green-red order, red in the lowest byte ($00BBGGRR).
using TColor = std::uint32_t;

constexpr TColor MakeColor(int r, int g, int b)
{
  return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int RedOf(TColor c) { return int(c & 0xFF); }
constexpr int GreenOf(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int BlueOf(TColor c) { return int((c >> 16) & 0xFF); }

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clGray = 0x808080;

} // namespace duv
