// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DSupport.h"

#include <QLocale>
#include <charconv>
#include <climits>
#include <cmath>

namespace duv {

namespace {
template <typename Int> Int saturate(long double x)
{
  if (std::isnan(x))
    return 0;
  if (x >= static_cast<long double>(std::numeric_limits<Int>::max()))
    return std::numeric_limits<Int>::max();
  if (x <= static_cast<long double>(std::numeric_limits<Int>::min()))
    return std::numeric_limits<Int>::min();
  return static_cast<Int>(x);
}
} // namespace

int Round(long double x) { return saturate<int>(std::nearbyint(x)); }

std::int64_t Round64(long double x) { return saturate<std::int64_t>(std::nearbyint(x)); }

int Trunc(long double x) { return saturate<int>(std::trunc(x)); }

int MulDiv(int n, int num, int den)
{
  if (den == 0)
    return -1;
  const std::int64_t p = std::int64_t(n) * num;
  std::int64_t q = p / den;
  const std::int64_t r = p % den;
  // Halves away from zero: compare twice the remainder with the divisor.
  if (2 * (r < 0 ? -r : r) >= (den < 0 ? -std::int64_t(den) : den))
    q += ((p < 0) != (den < 0)) ? -1 : 1;
  return saturate<int>(static_cast<long double>(q));
}

double SignOf(long double x) { return x >= 0 ? 1.0 : -1.0; }

long double FullArcTan(long double y, long double x)
{
  constexpr long double pi = 3.141592653589793238462643383279502884L;
  if (x > 0)
    return std::atan(y / x);
  if (x < 0)
    return std::atan(y / x) + SignOf(y) * pi;
  return SignOf(y) * pi / 2;
}

double RoundToDecimals(int decimals, double x)
{
  return QString::number(x, 'f', decimals).toDouble();
}

QString FormatFixed(long double value, int decimals)
{
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
  return locale.toString(static_cast<double>(value), 'f', decimals);
}

QString FormatThousands(std::int64_t value)
{
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return locale.toString(static_cast<qlonglong>(value));
}

QChar DecimalSeparator()
{
  const QString s = QLocale().decimalPoint();
  return s.isEmpty() ? QChar('.') : s.front();
}

QChar ThousandSeparator()
{
  const QString s = QLocale().groupSeparator();
  return s.isEmpty() ? QChar(',') : s.front();
}

QString ShortestText(double value)
{
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return QString::fromLatin1(buf, int(res.ptr - buf));
}

} // namespace duv
