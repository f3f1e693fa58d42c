// SPDX-License-Identifier: GPL-3.0-or-later
// A spin edit holding a 64-bit integer, in decimal or hexadecimal.
#pragma once

#include "controls/SpinButtons.h"
#include "controls/SpinValues.h"

#include <cstdint>
#include <functional>

namespace duv {

class TIntegerSpin;
// The owner's own stepping: given the direction, it replaces Value.
using TIntegerIncEvent = std::function<void(TIntegerSpin* Sender, bool Inc, std::int64_t& Value)>;

class TIntegerSpin : public TCustomSpin
{
  Q_OBJECT
public:
  explicit TIntegerSpin(QWidget* parent = nullptr);

  // Read from the text every time: the clamped number, or the last valid
  // value when the text does not parse.
  std::int64_t Value() const;
  void SetValue(std::int64_t x);
  std::int64_t MinValue() const { return FMinValue; }
  void SetMinValue(std::int64_t v) { FMinValue = v; }
  std::int64_t MaxValue() const { return FMaxValue; }
  void SetMaxValue(std::int64_t v) { FMaxValue = v; }
  std::int64_t Increment() const { return FIncrement; }
  void SetIncrement(std::int64_t v) { FIncrement = v; }
  bool OwnerIncrement() const { return FOwnerIncrement; }
  void SetOwnerIncrement(bool v) { FOwnerIncrement = v; }
  bool HexMode() const { return FHexMode; }
  void SetHexMode(bool v);
  int HexDigits() const { return FHexDigits; }
  void SetHexDigits(int d);

  TIntegerIncEvent OnIncrement;

  void UpClick(QObject* Sender) override;
  void DownClick(QObject* Sender) override;

protected:
  bool CharAllowed(QChar c) const override;
  void DoExit() override;

private:
  IntLimits limits() const { return {UseLimit(), Wrap(), FMinValue, FMaxValue}; }
  void step(bool up);

  mutable std::int64_t FLastValid = 0;
  std::int64_t FMinValue = 0;
  std::int64_t FMaxValue = 0;
  std::int64_t FIncrement = 1;
  bool FOwnerIncrement = false;
  bool FHexMode = false;
  int FHexDigits = 4;
};

} // namespace duv
