// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ClockTime.h"

#include "support/DSupport.h"

#include <algorithm>
#include <cmath>

namespace duv {

namespace {

// Beyond this a time is no clock (and would overflow the count of units).
constexpr double LongestClock = 1e12;

double Scale(int Decimals)
{
  return std::pow(10.0, Decimals);
}

// Whole units of 10^-Decimals s in |Seconds|, as the text will round them.
long long Units(double Seconds, int Decimals)
{
  return std::llround(std::fabs(Seconds) * Scale(Decimals));
}

} // namespace

QString ClockText(double Seconds, int Decimals, bool Hours)
{
  Decimals = std::clamp(Decimals, 0, 6);
  if (!std::isfinite(Seconds) || std::fabs(Seconds) >= LongestClock)
    return FormatFixed(Seconds, Decimals);
  const long long per = std::llround(Scale(Decimals));
  const long long units = Units(Seconds, Decimals);
  const long long whole = units / per, part = units % per;
  const auto two = [](long long v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
  QString text = Seconds < 0 && units != 0 ? QStringLiteral("-") : QString();
  if (Hours)
    text += QString::number(whole / 3600) + QLatin1Char(':') + two(whole / 60 % 60);
  else
    text += QString::number(whole / 60);
  text += QLatin1Char(':') + two(whole % 60);
  if (Decimals > 0)
    text += DecimalSeparator() + QStringLiteral("%1").arg(part, Decimals, 10, QLatin1Char('0'));
  return text;
}

QString ClockTime(double Seconds, int Decimals)
{
  Decimals = std::clamp(Decimals, 0, 6);
  if (!std::isfinite(Seconds) || Units(Seconds, Decimals) < 60 * std::llround(Scale(Decimals)))
    return FormatFixed(Seconds, Decimals);
  const int tenths = std::min(Decimals, 1);
  if (Units(Seconds, tenths) < 3600 * std::llround(Scale(tenths)))
    return ClockText(Seconds, tenths, false);
  return ClockText(Seconds, 0, true);
}

QString TimeReadOut(double Seconds, int Decimals)
{
  const QString text = ClockTime(Seconds, Decimals);
  return text.contains(QLatin1Char(':')) ? text : text + QStringLiteral(" s");
}

} // namespace duv
