// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CheckedGroup.h"
#include "controls/Realspin.h"

#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

using namespace duv;

namespace {
// The "Modulate Wave" box: a type list, two spins and their labels.
struct ModulateBox
{
  TCheckedGroup group{"Modulate Wave"};
  QRadioButton* type = new QRadioButton("Add", &group);
  TRealSpin* freq = new TRealSpin(&group);
  TRealSpin* amp = new TRealSpin(&group);
  QLabel* freqLabel = new QLabel("Frequency", &group);
  QLabel* ampLabel = new QLabel("Amplitude", &group);
  QList<QWidget*> children() const { return {type, freq, amp, freqLabel, ampLabel}; }
  bool allEnabled(bool e) const
  {
    for (QWidget* w : children())
      if (w->isEnabled() != e)
        return false;
    return true;
  }
};
} // namespace

// Guards the enabling rules: a click enables the contents and fires; NoEventChecked stays silent.
TEST(CheckedGroup, ClickEnablesChildren)
{
  ModulateBox box;
  QSignalSpy clicks(&box.group, &TCheckedGroup::OnCheckClick);
  box.group.SetChecked(false);
  box.group.SetNoEventChecked(false);
  box.group.SetEnableChildren(true);
  box.group.Loaded();
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_TRUE(box.allEnabled(false));
  EXPECT_TRUE(box.group.CaptionBox()->isEnabled());

  box.group.resize(180, 120);
  box.group.show();
  QTest::mouseClick(box.group.CaptionBox(), Qt::LeftButton, {}, QPoint(6, 8));
  EXPECT_TRUE(box.group.Checked());
  EXPECT_TRUE(box.allEnabled(true));
  EXPECT_EQ(clicks.count(), 1);

  box.group.SetNoEventChecked(false);
  EXPECT_TRUE(box.allEnabled(false));
  box.group.SetNoEventChecked(true);
  EXPECT_TRUE(box.allEnabled(true));
  // Same value again: no event, but the children are brought back in line.
  box.freq->setEnabled(false);
  box.group.SetNoEventChecked(true);
  EXPECT_TRUE(box.freq->isEnabled());
  EXPECT_EQ(clicks.count(), 1);
  // Setting Checked acts like a click.
  box.group.SetChecked(false);
  EXPECT_EQ(clicks.count(), 2);
  EXPECT_TRUE(box.allEnabled(false));
}

// Guards run-time additions, caption box placement, and group-wide disabling keeping child states.
TEST(CheckedGroup, AddedChildrenAndGroupEnable)
{
  ModulateBox box;
  box.group.SetEnableChildren(true);
  auto* late = new QLabel("late", &box.group);
  EXPECT_FALSE(late->isEnabled());
  EXPECT_TRUE(box.group.CaptionBox()->isEnabled());
  EXPECT_EQ(box.group.CaptionBox()->objectName(), "InternalCheckBox");
  EXPECT_EQ(box.group.CaptionBox()->text(), "Modulate Wave");
  EXPECT_EQ(box.group.CaptionBox()->x(), 8);
  // The caption plus 22 pixels for the box, or what the style's box needs.
  EXPECT_EQ(box.group.CaptionBox()->width(),
            std::max(QFontMetrics(box.group.font()).horizontalAdvance("Modulate Wave") + 22,
                     box.group.CaptionBox()->sizeHint().width()));

  box.group.SetNoEventChecked(true);
  box.group.setEnabled(false);
  EXPECT_FALSE(box.group.CaptionBox()->isEnabled());
  EXPECT_FALSE(box.type->isEnabled());
  box.group.setEnabled(true);
  EXPECT_TRUE(box.group.CaptionBox()->isEnabled());
  EXPECT_TRUE(box.allEnabled(true));
}

// Guards nesting: an unchecked inner group keeps its contents disabled inside an enabled outer one.
TEST(CheckedGroup, NestedGroups)
{
  TCheckedGroup outer("Outer");
  auto* inner = new TCheckedGroup("Inner", &outer);
  auto* innerChild = new QLabel("x", inner);
  auto* outerChild = new QLabel("y", &outer);
  inner->SetEnableChildren(true);
  outer.SetEnableChildren(true);
  outer.SetNoEventChecked(true);
  EXPECT_TRUE(outerChild->isEnabled());
  EXPECT_TRUE(inner->isEnabled());
  EXPECT_TRUE(inner->CaptionBox()->isEnabled());
  EXPECT_FALSE(innerChild->isEnabled());
  inner->SetChecked(true);
  EXPECT_TRUE(innerChild->isEnabled());
  outer.SetNoEventChecked(false);
  EXPECT_FALSE(inner->isEnabled());
  EXPECT_FALSE(innerChild->isEnabled());
  outer.SetNoEventChecked(true);
  EXPECT_TRUE(innerChild->isEnabled());
}
