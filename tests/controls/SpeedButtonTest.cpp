// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/SpeedButton.h"

#include <QAccessible>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace duv;

// Guards what a screen reader is told of a speed button: one that latches
// is a button that can be checked (a toggle button), never a check box, and
// tells its state; its toggle action clicks it; a plain one is a button named
// apart from its short hint, with a press action.
TEST(SpeedButton, AccessibleRoleStateAndAction)
{
  TSpeedButton start(TGlyph::Play, "Start", "Start");
  start.setCheckable(true);
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&start);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::Button);
  EXPECT_TRUE(a->state().checkable);
  EXPECT_FALSE(a->state().checked);
  EXPECT_EQ(a->text(QAccessible::Name), "Start");
  QAccessibleActionInterface* act = a->actionInterface();
  ASSERT_NE(act, nullptr);
  ASSERT_TRUE(act->actionNames().contains(QAccessibleActionInterface::toggleAction()));
  act->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_TRUE(start.isChecked());
  EXPECT_TRUE(a->state().checked);

  TSpeedButton zoom(TGlyph::ZoomIn, "Zoom In");
  zoom.setAccessibleName("Zoom In Time");
  QAccessibleInterface* z = QAccessible::queryAccessibleInterface(&zoom);
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z->role(), QAccessible::Button);
  EXPECT_FALSE(z->state().checkable);
  EXPECT_EQ(z->text(QAccessible::Name), "Zoom In Time");
  EXPECT_EQ(zoom.toolTip(), "Zoom In");
  QSignalSpy clicked(&zoom, &QToolButton::clicked);
  z->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(clicked.count(), 1);
}
