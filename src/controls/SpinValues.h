// SPDX-License-Identifier: GPL-3.0-or-later
// Number handling of the spin edits without any widget: clamping and wrapping
// to the limits, showing a value as text, reading text back, and the keys a
// spin accepts. Pure: Qt Core at most.
#pragma once

#include <QChar>
#include <QString>
#include <cstdint>
#include <optional>

namespace duv {

enum TNumberFormat { nfStandard, nfScientific, nfFixed, nfThousands };

// What the limit check did: kept the value, or wrapped it past the maximum
// (0) or past the minimum (1), matching the spin's OnWrap codes.
enum class WrapResult { None = -1, PastMax = 0, PastMin = 1 };

template <typename T> struct Clamped
{
  T value;
  WrapResult wrap = WrapResult::None;
};

struct RealLimits
{
  bool UseLimit = false;
  bool Wrap = false;
  double MinValue = 0;
  double MaxValue = 0;
};

struct IntLimits
{
  bool UseLimit = false;
  bool Wrap = false;
  std::int64_t MinValue = 0;
  std::int64_t MaxValue = 0;
};

// Clamps x to [MinValue, MaxValue]. Both tests look at x itself, so with
// MinValue > MaxValue a low value ends at MinValue. With Wrap set and a proper
// range (MinValue < MaxValue) the range is treated as the half-open cycle
// [MinValue, MaxValue): MaxValue itself starts over at MinValue and values
// below MinValue count back from MaxValue.
Clamped<double> ClampReal(double x, const RealLimits& limits);
Clamped<std::int64_t> ClampInteger(std::int64_t x, const IntLimits& limits);

// Text of a real value in the given format; `dec` and `thou` are the decimal
// and thousands separators. Digits is the significant digits (scientific) or
// the digits after the separator (fixed, thousands).
QString FormatReal(double value, TNumberFormat format, int digits, QChar dec, QChar thou);

// Reads a real number after removing every `thou` character; nothing for
// empty, malformed, non-finite or out-of-range text.
std::optional<double> ParseReal(const QString& text, QChar dec, QChar thou);

// Decimal, or upper-case hexadecimal with at least hexDigits digits and no
// prefix (negative values show their 64-bit two's complement).
QString FormatInteger(std::int64_t value, bool hex, int hexDigits);

// Decimal (optional sign) or hexadecimal text; nothing when it does not fit
// in 64 bits or is malformed.
std::optional<std::int64_t> ParseInteger(const QString& text, bool hex);

// Whether a typed character may reach a real or an integer spin's field.
// Control characters other than carriage return are always welcome (they carry
// the editing shortcuts) unless the editor is disabled, which also refuses
// backspace.
bool RealCharAllowed(QChar c, bool editorEnabled, QChar dec, QChar thou);
bool IntegerCharAllowed(QChar c, bool hex, bool editorEnabled, QChar dec);

// value + sign * increment * multiplier, saturating at the 64-bit limits
// instead of overflowing.
std::int64_t StepInteger(std::int64_t value, std::int64_t increment, int multiplier, bool up);

} // namespace duv
