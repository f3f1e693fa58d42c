// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/intspin.h"

#include "support/DSupport.h"

namespace duv {

TIntegerSpin::TIntegerSpin(QWidget* parent) : TCustomSpin(parent)
{
  FLastValid = Value();
}

std::int64_t TIntegerSpin::Value() const
{
  const auto v = ParseInteger(text(), FHexMode);
  if (v)
    FLastValid = ClampInteger(*v, limits()).value;
  return FLastValid;
}

void TIntegerSpin::SetValue(std::int64_t x)
{
  FLastValid = x;
  const auto c = ClampInteger(x, limits());
  if (c.wrap != WrapResult::None)
    emit OnWrap(this, int(c.wrap));
  ShowText(FormatInteger(c.value, FHexMode, FHexDigits));
}

void TIntegerSpin::SetHexMode(bool v)
{
  if (FHexMode == v)
    return;
  const std::int64_t value = Value();
  FHexMode = v;
  SetValue(value);
}

void TIntegerSpin::SetHexDigits(int d)
{
  if (FHexDigits == d)
    return;
  const std::int64_t value = Value();
  FHexDigits = d;
  SetValue(value);
}

void TIntegerSpin::step(bool up)
{
  if (ReadOnly()) {
    Beep();
    return;
  }
  if (FOwnerIncrement) {
    std::int64_t v = Value();
    if (OnIncrement)
      OnIncrement(this, up, v);
    SetValue(v);
    return;
  }
  SetValue(StepInteger(Value(), FIncrement, StepMultiplier(), up));
}

void TIntegerSpin::UpClick(QObject*)
{
  step(true);
}
void TIntegerSpin::DownClick(QObject*)
{
  step(false);
}

bool TIntegerSpin::CharAllowed(QChar c) const
{
  return IntegerCharAllowed(c, FHexMode, EditorEnabled(), DecimalSeparator());
}

void TIntegerSpin::DoExit()
{
  if (text().isEmpty())
    SetValue(FLastValid);
  SetValue(Value());
}

} // namespace duv
