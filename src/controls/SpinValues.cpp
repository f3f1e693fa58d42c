// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/SpinValues.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace duv {

namespace {

template <typename T, typename Limits, typename WrapFn>
Clamped<T> clampWith(T x, const Limits& limits, WrapFn wrapInto)
{
  if (!limits.UseLimit)
    return {x};
  const bool cycle = limits.Wrap && limits.MinValue < limits.MaxValue;
  Clamped<T> r{x};
  if (x >= limits.MaxValue) {
    if (cycle)
      return {wrapInto(x), WrapResult::PastMax};
    r.value = limits.MaxValue;
  }
  if (x < limits.MinValue) {
    if (cycle)
      return {wrapInto(x), WrapResult::PastMin};
    r.value = limits.MinValue;
  }
  return r;
}

// Mantissa digits (no point) and decimal exponent of |value| rounded to
// `significant` digits, as d.ddd x 10^exp.
struct Decimal
{
  QString digits;
  int exponent = 0;
};

Decimal toDecimal(double value, int significant)
{
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                 std::chars_format::scientific, significant - 1);
  const QString s = QString::fromLatin1(buf, int(res.ptr - buf));
  const qsizetype e = s.indexOf(QLatin1Char('e'));
  Decimal d;
  d.digits = s.left(e);
  d.digits.remove(QLatin1Char('.'));
  d.exponent = s.mid(e + 1).toInt();
  return d;
}

bool allZero(const QString& s)
{
  for (QChar c : s)
    if (c.isDigit() && c != QLatin1Char('0'))
      return false;
  return true;
}

QString fixedText(double value, int digits, QChar dec, QChar thou, bool group)
{
  QString s = QString::number(std::fabs(value), 'f', digits);
  QString intPart = s;
  QString fracPart;
  if (const qsizetype p = s.indexOf(QLatin1Char('.')); p >= 0) {
    intPart = s.left(p);
    fracPart = s.mid(p + 1);
  }
  if (group)
    for (qsizetype i = intPart.size() - 3; i > 0; i -= 3)
      intPart.insert(i, thou);
  QString out = intPart;
  if (!fracPart.isEmpty())
    out += dec + fracPart;
  // A value that rounds to zero shows no sign.
  if (value < 0 && !allZero(out))
    out.prepend(QLatin1Char('-'));
  return out;
}

int hexDigit(QChar c)
{
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9')
    return u - '0';
  if (u >= 'A' && u <= 'F')
    return u - 'A' + 10;
  if (u >= 'a' && u <= 'f')
    return u - 'a' + 10;
  return -1;
}

QString nonFinite(double value)
{
  if (std::isnan(value))
    return QStringLiteral("NAN");
  return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

} // namespace

Clamped<double> ClampReal(double x, const RealLimits& limits)
{
  return clampWith(x, limits, [&](double v) {
    if (!std::isfinite(v))
      return v < limits.MinValue ? limits.MinValue : limits.MaxValue;
    const double period = limits.MaxValue - limits.MinValue;
    double r = std::fmod(v - limits.MinValue, period);
    if (r < 0)
      r += period;
    r += limits.MinValue;
    // Rounding can land exactly on the open end of the cycle.
    return r >= limits.MaxValue ? limits.MinValue : r;
  });
}

Clamped<std::int64_t> ClampInteger(std::int64_t x, const IntLimits& limits)
{
  return clampWith(x, limits, [&](std::int64_t v) {
    // 128-bit so that the period and the offset of any 64-bit pair fit.
    const __int128 period = __int128(limits.MaxValue) - limits.MinValue;
    __int128 r = (__int128(v) - limits.MinValue) % period;
    if (r < 0)
      r += period;
    return std::int64_t(r + limits.MinValue);
  });
}

QString FormatReal(double value, TNumberFormat format, int digits, QChar dec, QChar thou)
{
  if (!std::isfinite(value))
    return nonFinite(value);
  if (value == 0)
    value = 0; // no "-0"
  const QString sign = value < 0 ? QStringLiteral("-") : QString();
  switch (format) {
  case nfScientific: {
    const Decimal d = toDecimal(value, std::clamp(digits, 1, 18));
    QString out = sign + d.digits.left(1);
    if (d.digits.size() > 1)
      out += dec + d.digits.mid(1);
    const int e = value == 0 ? 0 : d.exponent;
    out += (e < 0 ? QStringLiteral("E-") : QStringLiteral("E+")) +
           QStringLiteral("%1").arg(std::abs(e), 4, 10, QLatin1Char('0'));
    return out;
  }
  case nfFixed:
    return fixedText(value, std::clamp(digits, 0, 18), dec, thou, false);
  case nfThousands:
    return fixedText(value, std::clamp(digits, 0, 18), dec, thou, true);
  case nfStandard:
  default:
    break;
  }
  if (value == 0)
    return QStringLiteral("0");
  const Decimal d = toDecimal(value, 15);
  QString m = d.digits;
  while (m.size() > 1 && m.endsWith(QLatin1Char('0')))
    m.chop(1);
  const int e = d.exponent;
  if (e >= 15 || e < -5) {
    QString out = sign + m.left(1);
    if (m.size() > 1)
      out += dec + m.mid(1);
    return out + QLatin1Char('E') + QString::number(e);
  }
  QString out;
  if (e < 0) {
    out = QStringLiteral("0") + dec + QString(-e - 1, QLatin1Char('0')) + m;
  } else if (m.size() <= e + 1) {
    out = m + QString(e + 1 - m.size(), QLatin1Char('0'));
  } else {
    out = m.left(e + 1) + dec + m.mid(e + 1);
  }
  return sign + out;
}

std::optional<double> ParseReal(const QString& text, QChar dec, QChar thou)
{
  QString s = text;
  s.remove(thou);
  s = s.trimmed();
  // Only a sign, digits, one decimal separator and an exponent: this keeps out
  // "inf", "nan", hexadecimal floats and anything else the C parser accepts.
  QByteArray ascii;
  ascii.reserve(s.size());
  for (QChar c : s) {
    if (c == dec)
      ascii += '.';
    else if ((c.isDigit() && c.unicode() < 128) || c == QLatin1Char('+') || c == QLatin1Char('-'))
      ascii += char(c.unicode());
    else if (c == QLatin1Char('e') || c == QLatin1Char('E'))
      ascii += 'e';
    else
      return std::nullopt;
  }
  const char* first = ascii.constData();
  const char* last = first + ascii.size();
  bool negative = false;
  if (first != last && (*first == '+' || *first == '-')) {
    negative = *first == '-';
    ++first;
  }
  if (first == last || *first == '+' || *first == '-')
    return std::nullopt;
  double v = 0;
  const auto res = std::from_chars(first, last, v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != last || !std::isfinite(v))
    return std::nullopt;
  return negative ? -v : v;
}

QString FormatInteger(std::int64_t value, bool hex, int hexDigits)
{
  if (!hex)
    return QString::number(value);
  return QStringLiteral("%1")
      .arg(std::uint64_t(value), std::clamp(hexDigits, 0, 16), 16, QLatin1Char('0'))
      .toUpper();
}

std::optional<std::int64_t> ParseInteger(const QString& text, bool hex)
{
  const QString s = text.trimmed();
  if (s.isEmpty())
    return std::nullopt;
  if (hex) {
    std::uint64_t v = 0;
    for (QChar c : s) {
      const int d = hexDigit(c);
      if (d < 0 || v > (std::numeric_limits<std::uint64_t>::max() >> 4))
        return std::nullopt;
      v = (v << 4) | std::uint64_t(d);
    }
    return std::int64_t(v);
  }
  const QByteArray a = s.toLatin1();
  const char* first = a.constData();
  const char* last = first + a.size();
  const bool plus = *first == '+';
  if (plus)
    ++first;
  if (first == last || *first == '+' || (plus && *first == '-'))
    return std::nullopt;
  std::int64_t v = 0;
  for (const char* p = first; p != last; ++p)
    if (!((*p >= '0' && *p <= '9') || (p == first && *p == '-')))
      return std::nullopt;
  const auto res = std::from_chars(first, last, v);
  if (res.ec != std::errc() || res.ptr != last)
    return std::nullopt;
  return v;
}

namespace {
bool controlAllowed(QChar c, bool editorEnabled)
{
  if (c.unicode() == 13)
    return false;
  if (c.unicode() == 8)
    return editorEnabled;
  return true;
}
} // namespace

bool RealCharAllowed(QChar c, bool editorEnabled, QChar dec, QChar thou)
{
  if (c.unicode() < 32)
    return controlAllowed(c, editorEnabled);
  if (!editorEnabled)
    return false;
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') ||
         c == QLatin1Char('-') || c == QLatin1Char('E') || c == QLatin1Char('e') || c == dec ||
         c == thou;
}

bool IntegerCharAllowed(QChar c, bool hex, bool editorEnabled, QChar dec)
{
  if (c.unicode() < 32)
    return controlAllowed(c, editorEnabled);
  if (!editorEnabled)
    return false;
  if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
    return true;
  if (hex)
    return (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
  return c == QLatin1Char('+') || c == QLatin1Char('-') || c == dec;
}

std::int64_t StepInteger(std::int64_t value, std::int64_t increment, int multiplier, bool up)
{
  const __int128 step = __int128(increment) * multiplier;
  const __int128 r = up ? __int128(value) + step : __int128(value) - step;
  constexpr auto lo = std::numeric_limits<std::int64_t>::min();
  constexpr auto hi = std::numeric_limits<std::int64_t>::max();
  return r < lo ? lo : r > hi ? hi : std::int64_t(r);
}

} // namespace duv
