// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/AxisParams.h"

#include "support/DSupport.h"

#include <algorithm>

namespace duv {

void TAxisParams::Changed(bool LogFixUp)
{
  if (LogFixUp && FLog) {
    if (!(FMax > 0))
      FMax = 1.0;
    if (!(FMin > 0))
      FMin = 1.0;
  }
  if (OnChange)
    OnChange(this);
}

void TAxisParams::SetExponentLabels(bool Value)
{
  if (Assign(FExponentLabels, Value))
    Changed(false);
}

void TAxisParams::SetLog(bool Value)
{
  if (Assign(FLog, Value))
    Changed(true);
}

void TAxisParams::SetMinorLabels(bool Value)
{
  if (Assign(FMinorLabels, Value))
    Changed(false);
}

void TAxisParams::SetMinorLines(bool Value)
{
  if (Assign(FMinorLines, Value))
    Changed(false);
}

void TAxisParams::SetMin(double Value)
{
  if (Assign(FMin, Value))
    Changed(true);
}

void TAxisParams::SetMax(double Value)
{
  if (Assign(FMax, Value))
    Changed(true);
}

void TAxisParams::SetMultiplier(double Value)
{
  if (Assign(FMultiplier, Value))
    Changed(false);
}

void TAxisParams::SetOffset(double Value)
{
  if (Assign(FOffset, Value))
    Changed(false);
}

void TAxisParams::SetLines(int Value)
{
  if (Assign(FLines, Value))
    Changed(false);
}

void TAxisParams::SetAxisUnit(const QString& Value)
{
  if (Assign(FAxisUnit, Value))
    Changed(false);
}

void TAxisParams::SetShowLabels(bool Value)
{
  if (Assign(FShowLabels, Value))
    Changed(false);
}

void TAxisParams::SetUnits(const QString& Value)
{
  if (Assign(FUnits, Value))
    Changed(false);
}

void TAxisParams::SetCycle(double Value)
{
  if (Assign(FCycle, Value))
    Changed(false);
}

void TAxisParams::SetLabelModulo(int Value)
{
  if (Assign(FLabelModulo, std::max(Value, 1))) // every label index is taken modulo it
    Changed(false);
}

void TGraphTitle::Changed()
{
  if (OnChange)
    OnChange(this);
}

void TGraphTitle::SetCaption(const QString& Value)
{
  if (Assign(FCaption, Value)) // case-sensitive for the caption
    Changed();
}

void TGraphTitle::SetShowCaption(bool Value)
{
  if (Assign(FShowCaption, Value))
    Changed();
}

void TGraphTitle::SetBoxed(bool Value)
{
  if (Assign(FBoxed, Value))
    Changed();
}

void TGraphTitle::SetPosition(TTitlePosition Value)
{
  if (Assign(FPosition, Value))
    Changed();
}

} // namespace duv
