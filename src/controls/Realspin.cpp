// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Realspin.h"

#include "support/DSupport.h"

#include <QEvent>
#include <cmath>

namespace duv {

TRealSpin::TRealSpin(QWidget* parent) : TCustomSpin(parent)
{
  FValue = parse();
  FLastValid = FValue;
}

double TRealSpin::parse() const
{
  const auto v = ParseReal(text(), DecimalSeparator(), ThousandSeparator());
  return v ? ClampReal(*v, limits()).value : FLastValid;
}

void TRealSpin::TextChanged()
{
  const auto v = ParseReal(text(), DecimalSeparator(), ThousandSeparator());
  if (v) {
    FValue = ClampReal(*v, limits()).value;
    FLastValid = FValue;
  } else {
    FValue = FLastValid;
  }
}

void TRealSpin::SetValue(double x)
{
  if (!std::isfinite(x))
    return;
  const auto c = ClampReal(x, limits());
  if (c.wrap != WrapResult::None)
    emit OnWrap(this, int(c.wrap));
  FLastValid = c.value;
  FValue = c.value;
  // The text may round the value (2.46 shows as 2.5 with one digit); Value
  // keeps what was set until the text is next read.
  ShowText(FormatReal(ClampReal(c.value, limits()).value, FNumFormat, FDigits, DecimalSeparator(),
                      ThousandSeparator()));
}

void TRealSpin::SetNumFormat(TNumberFormat f)
{
  if (FNumFormat == f)
    return;
  FNumFormat = f;
  SetValue(FValue);
}

void TRealSpin::SetDigits(int d)
{
  if (FDigits == d)
    return;
  FDigits = d;
  SetValue(FValue);
}

void TRealSpin::step(bool up)
{
  if (ReadOnly()) {
    Beep();
    return;
  }
  if (FOwnerIncrement) {
    double v = FValue;
    if (OnIncrement)
      OnIncrement(this, up, v);
    SetValue(v);
    return;
  }
  const double d = FIncrement * StepMultiplier();
  SetValue(up ? FValue + d : FValue - d);
}

void TRealSpin::UpClick(QObject*)
{
  step(true);
}
void TRealSpin::DownClick(QObject*)
{
  step(false);
}

bool TRealSpin::CharAllowed(QChar c) const
{
  return RealCharAllowed(c, EditorEnabled(), DecimalSeparator(), ThousandSeparator());
}

void TRealSpin::DoExit()
{
  if (text().isEmpty())
    SetValue(FLastValid);
  SetValue(FValue);
}

void TRealSpin::changeEvent(QEvent* e)
{
  TCustomSpin::changeEvent(e);
  // The separators are read afresh on every show, so showing again is all a
  // change of the regional settings needs.
  if (e->type() == QEvent::LocaleChange)
    SetValue(FValue);
}

} // namespace duv
