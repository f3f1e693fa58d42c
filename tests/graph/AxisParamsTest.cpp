// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/AxisParams.h"

#include <gtest/gtest.h>

using namespace duv;

// Guards the change notification: one OnChange per changed value, with the
// axis or title as sender, and none for a value already held (strings are
// compared case-sensitively).
TEST(AxisParams, NotifiesOnlyRealChanges)
{
  TAxisParams a;
  int axisChanges = 0;
  a.OnChange = [&](TAxisParams* sender) {
    EXPECT_EQ(sender, &a);
    ++axisChanges;
  };
  a.SetMin(0);
  a.SetMultiplier(1);
  a.SetUnits("");
  a.SetLabelModulo(1);
  a.SetLog(false);
  EXPECT_EQ(axisChanges, 0);
  a.SetMin(1);
  EXPECT_EQ(axisChanges, 1);
  a.SetUnits("Hz");
  a.SetUnits("hz");
  EXPECT_EQ(axisChanges, 3);

  TGraphTitle t;
  int titleChanges = 0;
  t.OnChange = [&](TGraphTitle* sender) {
    EXPECT_EQ(sender, &t);
    ++titleChanges;
  };
  t.SetCaption("");
  t.SetPosition(tpCenter);
  EXPECT_EQ(titleChanges, 0);
  t.SetCaption("a");
  t.SetCaption("A"); // case matters
  EXPECT_EQ(titleChanges, 2);
}

// Guards the logarithmic fix-up: a logarithmic axis turns a non-positive Min
// or Max into 1, and turning Log off keeps the fixed-up values.
TEST(AxisParams, LogFixUp)
{
  TAxisParams a;
  a.SetMin(0);
  a.SetMax(-5);
  a.SetLog(true);
  EXPECT_EQ(a.Min(), 1.0);
  EXPECT_EQ(a.Max(), 1.0);
  a.SetMin(-3);
  EXPECT_EQ(a.Min(), 1.0);
  a.SetLog(false);
  EXPECT_EQ(a.Min(), 1.0); // turning Log off keeps the fixed-up values
}

// Guards LabelModulo: every label index is taken modulo it, so it is never below 1.
TEST(AxisParams, LabelModuloAtLeastOne)
{
  TAxisParams a;
  a.SetLabelModulo(0);
  EXPECT_EQ(a.LabelModulo(), 1);
  a.SetLabelModulo(-7);
  EXPECT_EQ(a.LabelModulo(), 1);
}
