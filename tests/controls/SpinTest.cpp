// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Realspin.h"
#include "controls/intspin.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace duv;

namespace {

// A spin whose beep is counted and whose Ctrl key is set by the test.
template <class Spin> class Probe : public Spin
{
public:
  using Spin::Spin;
  int beeps = 0;
  bool ctrl = false;
  void Beep() override { ++beeps; }
  bool ControlHeld() const override { return ctrl; }
};

void leaveField(QWidget* w)
{
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(w, &out);
}

void typeOver(QLineEdit* e, const QString& s)
{
  e->selectAll();
  QTest::keyClicks(e, s);
}

} // namespace

// Guards TimeSpin's limits, OnChange on a clamped set, and Ctrl x10 from arrows and keys.
TEST(RealSpin, TimeSpinLimitsAndSteps)
{
  Probe<TRealSpin> spin;
  spin.SetUseLimit(true);
  spin.SetIncrement(1);
  spin.SetMaxValue(600);
  spin.SetMinValue(1);
  QSignalSpy changes(&spin, &TCustomSpin::OnChange);
  spin.SetValue(700);
  EXPECT_EQ(spin.text(), "600");
  EXPECT_EQ(spin.Value(), 600);
  EXPECT_EQ(changes.count(), 1);

  spin.SetValue(1);
  spin.DownClick(nullptr);
  EXPECT_EQ(spin.Value(), 1);
  EXPECT_EQ(spin.text(), "1");

  spin.SetValue(10);
  spin.ctrl = true;
  spin.UpClick(nullptr);
  EXPECT_EQ(spin.Value(), 20);
  spin.ctrl = false;
  // The key's own modifiers decide, whatever the keyboard state says.
  QTest::keyClick(&spin, Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(spin.text(), "30");
  QTest::keyClick(&spin, Qt::Key_Down);
  EXPECT_EQ(spin.text(), "29");
  // The arrow button steps too.
  QTest::mouseClick(spin.UpDown()->UpButton(), Qt::LeftButton);
  EXPECT_EQ(spin.Value(), 30);
}

// Guards the last-valid-value fallback for unparsable or emptied text, restored on leaving.
TEST(RealSpin, UnparsablePasteKeepsLastValue)
{
  TRealSpin spin;
  spin.SetValue(3.5);
  QGuiApplication::clipboard()->setText("abc");
  spin.selectAll();
  spin.paste();
  EXPECT_EQ(spin.text(), "abc");
  EXPECT_EQ(spin.Value(), 3.5);
  leaveField(&spin);
  EXPECT_EQ(spin.text(), "3.5");
  // An emptied field gets the last valid value back too.
  spin.clear();
  EXPECT_EQ(spin.Value(), 3.5);
  leaveField(&spin);
  EXPECT_EQ(spin.text(), "3.5");
}

// Guards OnChange: silent for an unchanged text and under BlockChangeEvent (Value still follows).
TEST(RealSpin, ChangeEventRules)
{
  TRealSpin spin;
  spin.SetValue(4);
  QSignalSpy changes(&spin, &TCustomSpin::OnChange);
  spin.SetValue(4);
  EXPECT_EQ(changes.count(), 0);
  spin.SetBlockChangeEvent(true);
  typeOver(&spin, "7.25");
  EXPECT_EQ(spin.Value(), 7.25);
  EXPECT_EQ(changes.count(), 0);
  spin.SetBlockChangeEvent(false);
  QTest::keyClick(&spin, Qt::Key_5);
  EXPECT_EQ(spin.Value(), 7.255);
  EXPECT_EQ(changes.count(), 1);
}

// Guards that a rounded display does not overwrite the value that was set.
TEST(RealSpin, FixedFormatKeepsExactValue)
{
  TRealSpin spin;
  spin.SetNumFormat(nfFixed);
  spin.SetDigits(1);
  spin.SetValue(2.46);
  EXPECT_EQ(spin.text(), "2.5");
  EXPECT_EQ(spin.Value(), 2.46);
  leaveField(&spin);
  EXPECT_EQ(spin.Value(), 2.46);
  typeOver(&spin, "2.5");
  EXPECT_EQ(spin.Value(), 2.5);
}

// Guards the editor lock: refused keys beep and change nothing, paste blocked, arrows still step.
TEST(RealSpin, EditorDisabledStillSteps)
{
  Probe<TRealSpin> spin;
  spin.SetValue(5);
  spin.SetEditorEnabled(false);
  spin.setCursorPosition(1);
  QTest::keyClick(&spin, Qt::Key_7);
  QTest::keyClick(&spin, Qt::Key_Backspace);
  QTest::keyClick(&spin, Qt::Key_Delete);
  EXPECT_EQ(spin.text(), "5");
  EXPECT_EQ(spin.beeps, 3);
  QGuiApplication::clipboard()->setText("9");
  spin.selectAll();
  QTest::keyClick(&spin, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(spin.text(), "5");
  QTest::mouseClick(spin.UpDown()->UpButton(), Qt::LeftButton);
  EXPECT_EQ(spin.Value(), 6);
  // A letter is refused even with the editor open; Enter is not typed.
  spin.SetEditorEnabled(true);
  QTest::keyClick(&spin, Qt::Key_A);
  EXPECT_EQ(spin.beeps, 4);
  EXPECT_EQ(spin.text(), "6");
  // A read-only spin beeps on a step and keeps its value.
  spin.SetReadOnly(true);
  spin.UpClick(nullptr);
  EXPECT_EQ(spin.Value(), 6);
  EXPECT_EQ(spin.beeps, 5);
}

// Guards OnWrap and the owner's stepping hook.
TEST(RealSpin, WrapAndOwnerIncrement)
{
  TRealSpin spin;
  spin.SetUseLimit(true);
  spin.SetWrap(true);
  spin.SetMaxValue(360);
  spin.SetIncrement(15);
  spin.SetValue(350);
  QSignalSpy wraps(&spin, &TCustomSpin::OnWrap);
  spin.UpClick(nullptr);
  EXPECT_EQ(spin.Value(), 5);
  ASSERT_EQ(wraps.count(), 1);
  EXPECT_EQ(wraps[0][1].toInt(), 0);
  spin.DownClick(nullptr);
  EXPECT_EQ(spin.Value(), 350);
  EXPECT_EQ(wraps[1][1].toInt(), 1);

  spin.SetOwnerIncrement(true);
  spin.OnIncrement = [](TRealSpin*, bool inc, double& v) { v = inc ? v * 2 : v / 2; };
  spin.SetValue(10);
  spin.UpClick(nullptr);
  EXPECT_EQ(spin.Value(), 20);
  spin.DownClick(nullptr);
  EXPECT_EQ(spin.Value(), 10);
}

// Guards the re-show with fresh separators after a regional settings change.
TEST(RealSpin, LocaleChangeReshows)
{
  TRealSpin spin;
  spin.SetValue(2.5);
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  QEvent change(QEvent::LocaleChange);
  QApplication::sendEvent(&spin, &change);
  EXPECT_EQ(spin.text(), "2,5");
  typeOver(&spin, "1.234,5");
  EXPECT_EQ(spin.Value(), 1234.5);
  QLocale::setDefault(saved);
}

// Guards integer reads: typed values over the limit read clamped, the text fixed on leaving.
TEST(IntegerSpin, DepthBandTyping)
{
  Probe<TIntegerSpin> spin;
  spin.SetUseLimit(true);
  spin.SetMaxValue(32);
  spin.SetMinValue(1);
  spin.SetValue(16);
  typeOver(&spin, "5");
  EXPECT_EQ(spin.Value(), 5);
  typeOver(&spin, "99");
  EXPECT_EQ(spin.Value(), 32);
  EXPECT_EQ(spin.text(), "99");
  leaveField(&spin);
  EXPECT_EQ(spin.text(), "32");
  // A decimal point may be typed but leaves the last valid value in force.
  typeOver(&spin, "3.5");
  EXPECT_EQ(spin.Value(), 32);
  QTest::keyClick(&spin, Qt::Key_E);
  EXPECT_EQ(spin.beeps, 1);
  spin.ctrl = true;
  spin.SetValue(2);
  spin.UpClick(nullptr);
  EXPECT_EQ(spin.Value(), 12);
}

// Guards hex display, switching it off and on, and hex typing.
TEST(IntegerSpin, HexMode)
{
  Probe<TIntegerSpin> spin;
  spin.SetValue(255);
  spin.SetHexMode(true);
  EXPECT_EQ(spin.text(), "00FF");
  EXPECT_EQ(spin.Value(), 255);
  typeOver(&spin, "1a");
  EXPECT_EQ(spin.Value(), 26);
  QTest::keyClick(&spin, Qt::Key_G);
  EXPECT_EQ(spin.beeps, 1);
  spin.SetValue(255);
  spin.SetHexMode(false);
  EXPECT_EQ(spin.text(), "255");
}

// Guards auto-repeat: a click per tick, one on release, none after release or for a short click.
TEST(AutoButton, RepeatSchedule)
{
  TAutoButton b;
  b.resize(15, 10);
  b.SetDoRepeat(true);
  QSignalSpy clicks(&b, &QAbstractButton::clicked);
  QSignalSpy ups(&b, &TAutoButton::OnMouseUp);
  QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_NE(b.RepeatTimer(), nullptr);
  EXPECT_TRUE(b.RepeatTimer()->isActive());
  EXPECT_EQ(b.RepeatTimer()->interval(), 400);
  EXPECT_EQ(clicks.count(), 0);
  for (int i = 0; i < 7; ++i)
    b.RepeatTick();
  EXPECT_EQ(b.RepeatTimer()->interval(), 100);
  EXPECT_EQ(clicks.count(), 7);
  QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks.count(), 8);
  EXPECT_FALSE(b.RepeatTimer()->isActive());
  EXPECT_EQ(ups.count(), 1);
  // A tick after release (a late timer event) clicks nothing.
  b.RepeatTick();
  EXPECT_EQ(clicks.count(), 8);
  // A short click gives exactly one.
  QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks.count(), 9);
}

// Guards the composite's geometry: arrows inside the border, units label left of them, overlap.
TEST(CustomSpin, Layout)
{
  TRealSpin spin;
  spin.resize(121, 21);
  spin.show();
  const QRect b = spin.UpDown()->geometry();
  EXPECT_EQ(b, QRect(121 - 15 - 2, 2, 15, 17));
  EXPECT_FALSE(spin.UnitsPanel()->isVisibleTo(&spin));
  spin.SetUnitsString("Sec");
  const int tw = QFontMetrics(spin.font()).horizontalAdvance("Sec") + 6;
  EXPECT_TRUE(spin.UnitsPanel()->isVisibleTo(&spin));
  EXPECT_EQ(spin.UnitsPanel()->geometry(), QRect(b.x() - tw, 2, tw, 17));
  EXPECT_EQ(spin.textMargins().right(), 15 + 2 + tw);
  spin.SetPanelWidth(30);
  EXPECT_EQ(spin.UnitsPanel()->geometry(), QRect(b.x() - 30, 2, 30, 17));
  EXPECT_EQ(spin.UpDown()->UpButton()->geometry(), QRect(0, 0, 15, 8));
  EXPECT_EQ(spin.UpDown()->DownButton()->geometry(), QRect(0, 7, 15, 10));
  // Too small a height is raised to the font's need.
  spin.resize(121, 5);
  EXPECT_GE(spin.height(), QFontMetrics(spin.font()).height() + 4);
}

// Guards the arrow glyph: black triangle where the layout puts it, grey when disabled.
TEST(ArrowButton, DrawsTriangle)
{
  TArrowButton b;
  b.resize(15, 10);
  b.SetUpArrow(true);
  QImage img(b.size(), QImage::Format_RGB32);
  b.render(&img);
  const int x0 = (15 - 7) / 2;
  const int y0 = (10 - 3) / 2 - 1; // up arrow: tip at y0, base at y0 + 3
  EXPECT_EQ(QColor(img.pixel(x0 + 3, y0)), QColor(Qt::black));
  EXPECT_EQ(QColor(img.pixel(x0, y0 + 3)), QColor(Qt::black));
  EXPECT_EQ(QColor(img.pixel(x0 + 6, y0 + 3)), QColor(Qt::black));
  EXPECT_NE(QColor(img.pixel(x0, y0)), QColor(Qt::black));
  b.SetUpArrow(false);
  b.setEnabled(false);
  b.render(&img);
  const int d0 = (10 - 3) / 2; // down arrow: base at d0, tip at d0 + 3
  EXPECT_EQ(QColor(img.pixel(x0, d0)), QColor(128, 128, 128));
  EXPECT_EQ(QColor(img.pixel(x0 + 3, d0 + 3)), QColor(128, 128, 128));
  EXPECT_NE(QColor(img.pixel(x0, d0 + 3)), QColor(128, 128, 128));
}

// Guards the up-down keys and focus hand-over, and the grey units label of a disabled spin.
TEST(UpDownButton, KeysFocusAndUnits)
{
  QWidget window;
  auto* spin = new TIntegerSpin(&window);
  spin->setGeometry(10, 10, 121, 21);
  spin->SetValue(5);
  spin->SetUnitsString("db");
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  TUpDownButton* ud = spin->UpDown();
  QTest::mousePress(ud->DownButton(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(ud->Pressed());
  EXPECT_TRUE(spin->hasFocus());
  EXPECT_EQ(spin->selectedText(), "5");
  QTest::mouseRelease(ud->DownButton(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(ud->Pressed());
  EXPECT_EQ(spin->Value(), 4);

  // As a tab stop of its own it tracks the arrow last used.
  ud->setFocusPolicy(Qt::TabFocus);
  ud->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(ud->hasFocus());
  EXPECT_TRUE(ud->UpButton()->Focused());
  QTest::keyClick(ud, Qt::Key_Down);
  EXPECT_TRUE(ud->DownButton()->Focused());
  EXPECT_FALSE(ud->UpButton()->Focused());
  QTest::keyClick(ud, Qt::Key_Space);
  EXPECT_EQ(spin->Value(), 2);
  QTest::keyClick(ud, Qt::Key_Up);
  EXPECT_EQ(spin->Value(), 3);

  spin->setEnabled(false);
  QImage img(spin->UnitsPanel()->size(), QImage::Format_RGB32);
  spin->UnitsPanel()->render(&img);
  bool grey = false, black = false;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      grey |= QColor(img.pixel(x, y)) == QColor(128, 128, 128);
      black |= QColor(img.pixel(x, y)) == QColor(Qt::black);
    }
  EXPECT_TRUE(grey);
  EXPECT_FALSE(black);
}
