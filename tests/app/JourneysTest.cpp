// SPDX-License-Identifier: GPL-3.0-or-later
// Whole journeys through the real window on the rig, with a tone playing into
// its microphone: controls found by their accessible names, the mouse and
// keys sent through the window system as the desktop sends them. The faults
// these guard live between the steps: a state one action leaves behind and
// the next one trusts.
#include "WindowDriver.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "audio/AudioRig.h"
#include "graph/Graphbox.h"
#include "support/UiSupport.h"

#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

using namespace duv;
using namespace duv::test;

namespace {

// The window shown, a 1 kHz tone in its microphone, and every message that
// would have opened a box kept instead.
struct Journey
{
  rig::MessageLog Log;
  std::function<void(const QString&)> PreviousShow = ShowExceptionText;
  std::unique_ptr<rig::PipeWriter> Tone;
  std::unique_ptr<TForm1> Form;

  Journey()
  {
    ShowExceptionText = [this](const QString& t) { Log.Messages << t; };
    Tone = std::make_unique<rig::PipeWriter>(rig::Tone(1000, 12000));
    Form = std::make_unique<TForm1>();
    Form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
  }
  ~Journey()
  {
    Form.reset();
    Tone.reset();
    ShowExceptionText = PreviousShow;
  }
  TForm1& F() { return *Form; }
  QString Messages() const { return Log.Messages.join(" | "); }
  int Frames() { return F().RealTimePage().FramesText().toInt(); }
  // Presses a button of the window by its name, with the mouse.
  void Press(const QString& Name, QWidget* Scope = nullptr)
  {
    QWidget& b = Find<QWidget>(Scope ? *Scope : F(), Name);
    ASSERT_TRUE(b.isVisible() && b.isEnabled()) << Name.toStdString();
    DesktopClick(b, b.rect().center());
  }
  // Shows the tab of Tabs named Name with a click on it.
  void ShowTab(const QString& Tabs, const QString& Name)
  {
    auto& t = Find<QTabWidget>(F(), Tabs);
    for (int i = 0; i < t.count(); ++i)
      if (QString(t.tabText(i)).remove('&') == Name) {
        QTabBar* bar = t.tabBar();
        DesktopClick(*bar, bar->tabRect(i).center());
        ASSERT_EQ(t.currentIndex(), i) << Name.toStdString();
        return;
      }
    ADD_FAILURE() << "no tab " << Name.toStdString();
  }
};

struct Range
{
  double Min, Max;
  bool operator==(const Range&) const = default;
};
Range XRange(const TGraphBox& g) { return {g.XAxis().Min(), g.XAxis().Max()}; }
Range YRange(const TGraphBox& g) { return {g.YAxis().Min(), g.YAxis().Max()}; }

} // namespace

// Guards the double-click that resets a zoomed view: the navigator held the
// first click's press back and replayed it without its time, so the window
// system never paired the next click with it and a zoomed view stayed zoomed.
TEST(Journeys, ZoomThenDoubleClickResets)
{
  SKIP_WITHOUT_RIG();
  Journey j;
  j.Press("Start");
  ASSERT_TRUE(rig::WaitFor([&] { return j.Frames() >= 3; }, 8000)) << j.Messages().toStdString();
  j.ShowTab("Analysis", "Graph");
  TGraphBox& spectrum = Find<TGraphBox>(j.F(), "Spectrum");
  const Range x0 = XRange(spectrum), y0 = YRange(spectrum);
  const QPoint middle(spectrum.PlotLeft() + 40, (spectrum.PlotTop() + spectrum.PlotBottom()) / 2);
  DesktopClick(spectrum, middle); // a click gives the view the focus
  ASSERT_TRUE(spectrum.hasFocus());
  DesktopKey(spectrum, Qt::Key_Plus);
  DesktopKey(spectrum, Qt::Key_Plus, Qt::ControlModifier);
  DesktopKey(spectrum, Qt::Key_Right);
  ASSERT_NE(XRange(spectrum), x0);
  ASSERT_NE(YRange(spectrum), y0);
  DesktopWait(600); // a pause longer than a double-click
  DesktopClick(spectrum, middle);
  ASSERT_NE(XRange(spectrum), x0); // one click is no reset
  DesktopClick(spectrum, middle, {}, 100);
  EXPECT_EQ(XRange(spectrum), x0);
  EXPECT_EQ(YRange(spectrum), y0);
  // A drag, then a double-click, on a channel graph.
  TGraphBox& left = Find<TGraphBox>(j.F(), "Left Channel");
  const Range t0 = XRange(left);
  const QPoint at = left.rect().center();
  DesktopPress(left, at);
  DesktopMove(left, at + QPoint(40, 0));
  DesktopRelease(left, at + QPoint(40, 0));
  ASSERT_NE(XRange(left), t0);
  DesktopWait(600);
  DesktopDoubleClick(left, at);
  EXPECT_EQ(XRange(left), t0);
  EXPECT_TRUE(j.Log.Messages.isEmpty()) << j.Messages().toStdString();
}
