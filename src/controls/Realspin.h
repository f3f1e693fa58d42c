// SPDX-License-Identifier: GPL-3.0-or-later
// A spin edit holding a double, shown in one of four number formats.
#pragma once

#include "controls/SpinButtons.h"
#include "controls/SpinValues.h"

#include <functional>

namespace duv {

class TRealSpin;
// The owner's own stepping: given the direction, it replaces Value.
using TRealIncEvent = std::function<void(TRealSpin* Sender, bool Inc, double& Value)>;

class TRealSpin : public TCustomSpin
{
  Q_OBJECT
public:
  explicit TRealSpin(QWidget* parent = nullptr);

  double Value() const { return FValue; }
  // Clamps, stores and shows x; non-finite values are ignored.
  void SetValue(double x);
  double MinValue() const { return FMinValue; }
  void SetMinValue(double v) { FMinValue = v; }
  double MaxValue() const { return FMaxValue; }
  void SetMaxValue(double v) { FMaxValue = v; }
  double Increment() const { return FIncrement; }
  void SetIncrement(double v) { FIncrement = v; }
  TNumberFormat NumFormat() const { return FNumFormat; }
  void SetNumFormat(TNumberFormat f);
  int Digits() const { return FDigits; }
  void SetDigits(int d);
  bool OwnerIncrement() const { return FOwnerIncrement; }
  void SetOwnerIncrement(bool v) { FOwnerIncrement = v; }

  TRealIncEvent OnIncrement;

  void UpClick(QObject* Sender) override;
  void DownClick(QObject* Sender) override;

protected:
  bool CharAllowed(QChar c) const override;
  void TextChanged() override;
  void DoExit() override;
  void changeEvent(QEvent* e) override;

private:
  RealLimits limits() const { return {UseLimit(), Wrap(), FMinValue, FMaxValue}; }
  double parse() const;
  void step(bool up);

  double FValue = 0;
  double FLastValid = 0;
  double FMinValue = 0;
  double FMaxValue = 0;
  double FIncrement = 1.0;
  TNumberFormat FNumFormat = nfStandard;
  int FDigits = 5;
  bool FOwnerIncrement = false;
};

} // namespace duv
