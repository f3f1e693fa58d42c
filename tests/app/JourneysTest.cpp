// SPDX-License-Identifier: GPL-3.0-or-later
// Whole journeys through the real window on the rig, with a tone playing into
// its microphone: controls found by their accessible names, the mouse and
// keys sent through the window system as the desktop sends them. The faults
// these guard live between the steps: a state one action leaves behind and
// the next one trusts.
#include "WindowDriver.h"
#include "app/SAMain.h"
#include "app/ViewSettings.h"
#include "app/pages/RealTimePage.h"
#include "audio/AudioRig.h"
#include "graph/Graphbox.h"
#include "support/UiSupport.h"
#include "wavefile/WavWriter.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSlider>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sys/stat.h>

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

// A second of a tone as a 16-bit mono WAV file in Dir.
QString ToneFile(const QTemporaryDir& Dir, const QString& Name, int Rate, double Hz)
{
  QByteArray data;
  for (int i = 0; i < Rate; ++i)
    data += le16(int(std::lround(10000 * std::sin(2 * M_PI * Hz * i / Rate))));
  const QString path = Dir.filePath(Name);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) ||
      f.write(WavBuilder().fmt(1, Rate, 16).chunk("data", data).finish()) < 0)
    ADD_FAILURE() << "cannot write " << path.toStdString();
  return path;
}

QByteArray ReadAll(const QString& Path)
{
  QFile f(Path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The view settings as text, one "key=value" a line, by key.
QString SettingsText(TForm1& Form)
{
  const QVariantMap values = ReadViewSettings(Form);
  QString out;
  for (auto it = values.begin(); it != values.end(); ++it) {
    // The offscreen platform puts a frame round the window only once it is
    // shown, so the position saved moves by the title bar from run to run;
    // the window's size stands for it.
    if (it.key() == QLatin1String("Geometry")) {
      out += QStringLiteral("WindowSize=%1x%2\n").arg(Form.width()).arg(Form.height());
      continue;
    }
    const QVariant& v = it.value();
    const QString text =
        v.typeId() == QMetaType::QByteArray ? QString(v.toByteArray().toHex()) : v.toString();
    out += it.key() + '=' + text + '\n';
  }
  return out;
}

struct Range
{
  double Min, Max;
  bool operator==(const Range&) const = default;
};
Range XRange(const TGraphBox& g)
{
  return {g.XAxis().Min(), g.XAxis().Max()};
}
Range YRange(const TGraphBox& g)
{
  return {g.YAxis().Min(), g.YAxis().Max()};
}

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

// Guards capture that starts again: start, stop and start in one format,
// then in another, with the capture running long enough after the last
// start for a history cleared at the start and then written into to show its
// fault (the process died of a division by zero some seconds in).
TEST(Journeys, StartStopStartInTwoFormats)
{
  SKIP_WITHOUT_RIG();
  Journey j;
  TRealTimePage& rt = j.F().RealTimePage();
  j.Press("Start");
  ASSERT_TRUE(rig::WaitFor([&] { return j.Frames() >= 3; }, 8000)) << j.Messages().toStdString();
  j.Press("Stop");
  EXPECT_FALSE(rt.Capturing());
  j.Press("Start");
  const int before = j.Frames();
  ASSERT_TRUE(rig::WaitFor([&] { return j.Frames() >= before + 3; }, 8000));
  j.Press("Stop");
  // Another format from the list, with its mnemonic and the arrow key.
  const QString first = rt.FormatName();
  DesktopKey(j.F(), Qt::Key_D, Qt::AltModifier);
  DesktopKey(j.F(), Qt::Key_Down);
  ASSERT_NE(rt.FormatName(), first);
  j.Press("Start");
  ASSERT_TRUE(rt.Capturing()) << j.Messages().toStdString();
  rig::Spin(1000);
  const int early = j.Frames();
  rig::Spin(7000);
  EXPECT_TRUE(rt.Capturing());
  EXPECT_GT(j.Frames(), early + 5) << rt.FormatName().toStdString();
  EXPECT_TRUE(j.Log.Messages.isEmpty()) << j.Messages().toStdString();
}

// Guards the Open dialog used twice: a path typed into it opens that file,
// and so does another typed the second time (the second Open did nothing).
TEST(Journeys, OpenTwoFilesByTypingTheirPaths)
{
  SKIP_WITHOUT_RIG();
  Journey j;
  QTemporaryDir dir;
  const QString a = ToneFile(dir, "first.wav", 11025, 440),
                b = ToneFile(dir, "second.wav", 22050, 1000);
  j.Press("Start"); // the file takes the place of the capture
  for (const QString& path : {a, b}) {
    FileDialogAnswer answer(path);
    // The window manager gives the window back the focus a dialog took.
    j.F().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&j.F()));
    DesktopKey(j.F(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(rig::WaitFor([&] { return !QApplication::activeModalWidget(); }, 8000));
    EXPECT_TRUE(answer.Opened()) << "no dialog for " << path.toStdString();
    EXPECT_FALSE(answer.Cancelled()) << path.toStdString();
    EXPECT_EQ(j.F().windowTitle(), QFileInfo(path).fileName() + " - Duvovovi");
  }
  EXPECT_FALSE(j.F().RealTimePage().Capturing());
  EXPECT_EQ(j.F().InputPages().currentWidget(), (QWidget*)&j.F().WaveFilePage());
  EXPECT_TRUE(j.Log.Messages.isEmpty()) << j.Messages().toStdString();
}

// Guards the marks of a paused capture: Out marked on an earlier frame than
// In saves the same stretch as In there and Out on the later frame (it lost
// both frames, or refused a stretch of adjacent frames as no longer kept);
// the marked stretch then opens for analysis.
TEST(Journeys, PauseMarkOutBeforeInSaveAndAnalyze)
{
  SKIP_WITHOUT_RIG();
  Journey j;
  QTemporaryDir dir;
  TRealTimePage& rt = j.F().RealTimePage();
  j.Press("Start");
  ASSERT_TRUE(rig::WaitFor([&] { return rt.History().Frames() > 44100 * 2; }, 10000))
      << j.Messages().toStdString();
  j.Press("Pause");
  ASSERT_TRUE(rt.Paused());
  auto& slider = Find<QSlider>(j.F(), "History Time");
  // To the oldest frame, then Steps frames on, with the keys.
  const auto moveTo = [&](int Steps) {
    DesktopClick(slider, SliderHandle(slider));
    DesktopKey(slider, Qt::Key_Home);
    for (int i = 0; i < Steps; ++i)
      DesktopKey(slider, Qt::Key_Right);
  };
  const auto save = [&](const QString& Name) {
    const QString path = dir.filePath(Name);
    j.F().AskSaveFileName = [path](const QString&, const QString&, const QString&) { return path; };
    DesktopKey(j.F(), Qt::Key_F, Qt::AltModifier);
    DesktopKey(j.F(), Qt::Key_C); // Save Capture As...
    return ReadAll(path);
  };
  for (int gap : {3, 1}) {
    moveTo(2);
    j.Press("Mark Out");
    moveTo(2 + gap);
    j.Press("Mark In");
    const QByteArray outFirst = save("out-first.wav");
    moveTo(2);
    j.Press("Mark In");
    moveTo(2 + gap);
    j.Press("Mark Out");
    const QByteArray inFirst = save("in-first.wav");
    ASSERT_GT(inFirst.size(), 44) << gap << ": " << j.Messages().toStdString();
    EXPECT_EQ(outFirst.size(), inFirst.size()) << gap;
    EXPECT_TRUE(outFirst == inFirst) << gap;
  }
  DesktopKey(j.F(), Qt::Key_F, Qt::AltModifier);
  DesktopKey(j.F(), Qt::Key_A); // Analyze Capture
  EXPECT_EQ(j.F().InputPages().currentWidget(), (QWidget*)&j.F().WaveFilePage());
  EXPECT_TRUE(j.Log.Messages.isEmpty()) << j.Messages().toStdString();
}

// The window of the journey below, run in a child process of this test: with
// DUVOVOVI_JOURNEY_ROLE=change it changes settings as a user does, prints
// them and lives on until it is killed; with "report" it prints the settings
// it started with and ends.
TEST(JourneyChild, Window)
{
  const QByteArray role = qgetenv("DUVOVOVI_JOURNEY_ROLE");
  if (role.isEmpty())
    GTEST_SKIP() << "runs only as the child of Journeys.SettingsOutliveACrash";
  // The program's own settings file, in the folder the parent chose.
  QStandardPaths::setTestModeEnabled(false);
  QCoreApplication::setApplicationName("duvovovi");
  QuietReader quiet;
  TForm1 form;
  form.RestoreViewSettings();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  if (role == "change") {
    DesktopKey(form, Qt::Key_B, Qt::AltModifier); // Buffer Size
    DesktopKey(form, Qt::Key_Down);
    DesktopKey(form, Qt::Key_Down);
    DesktopKey(form, Qt::Key_D, Qt::AltModifier); // Data Format
    DesktopKey(form, Qt::Key_Down);
    auto& views = Find<QTabWidget>(form, "Analysis");
    DesktopClick(*views.tabBar(), views.tabBar()->tabRect(views.count() - 1).center());
    auto& keep = Find<QWidget>(form, "Keep");
    DesktopClick(keep, keep.rect().center());
    DesktopKey(keep, Qt::Key_Up);
    DesktopKey(keep, Qt::Key_Up);
  }
  std::cout << SettingsText(form).toStdString() << "END" << std::endl;
  if (role == "change")
    for (;;)
      QTest::qWait(100);
  std::_Exit(0);
}

// Guards settings through a crash: settings a user changed are kept when the
// program is killed some seconds later, not only when its window closes.
TEST(Journeys, SettingsOutliveACrash)
{
  SKIP_WITHOUT_RIG();
  QTemporaryDir config;
  const auto run = [&](const char* role, bool kill) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DUVOVOVI_JOURNEY_ROLE", role);
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(config.path());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=JourneyChild.Window"});
    QString out;
    const bool told = rig::WaitFor(
        [&] {
          out += QString::fromUtf8(p.readAllStandardOutput());
          return out.contains("\nEND\n") || p.state() == QProcess::NotRunning;
        },
        20000);
    EXPECT_TRUE(told) << role;
    if (kill) {
      rig::Spin(3000); // time passes before the crash
      p.kill();        // SIGKILL: nothing of the program runs any more
    }
    p.waitForFinished(10000);
    const qsizetype from =
        out.indexOf(QRegularExpression("^[A-Za-z]+=", QRegularExpression::MultilineOption));
    return out.mid(from, out.indexOf("\nEND\n") - from);
  };
  const QString changed = run("change", true);
  const QString restored = run("report", false);
  ASSERT_FALSE(changed.isEmpty());
  EXPECT_EQ(restored.toStdString(), changed.toStdString());
}

// Guards a calibration file that is no file, or holds numbers no
// microphone has: each is refused with a message naming it (and, for a
// number, its line), and nothing hangs or changes.
TEST(Journeys, CalibrationFromAFifoAndAHostileFile)
{
  SKIP_WITHOUT_RIG();
  Journey j;
  QTemporaryDir dir;
  j.Press("Start");
  const QString fifo = dir.filePath("calibration.fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const auto hostile = [&](const QString& name, const QByteArray& text) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
    return f.fileName();
  };
  struct Case
  {
    QString Path;
    QString Says; // in the message
  };
  const Case cases[] = {
      {fifo, "calibration.fifo"},
      {hostile("tiny.txt", "*1000Hz -38.6\n5e-324 0.5\n1000 0\n"), "line 2"},
      {hostile("huge.txt", "20 0.5\n1000 0\n1e308 1\n"), "line 3"},
      {hostile("gain.txt", "20 0.5\n1000 1e308\n"), "line 2"},
  };
  DesktopKey(j.F(), Qt::Key_S, Qt::AltModifier);
  DesktopKey(j.F(), Qt::Key_C); // Calibration...
  QWidget* dialog = j.F().findChild<QWidget*>("CalibrationDlg");
  ASSERT_TRUE(dialog && dialog->isVisible());
  // No file from an earlier run: a refused one must leave none.
  if (Find<QWidget>(*dialog, "Remove").isEnabled())
    j.Press("Remove", dialog);
  for (const Case& c : cases) {
    j.Log.Messages.clear();
    FileDialogAnswer answer(c.Path);
    j.Press("Load...", dialog);
    ASSERT_TRUE(rig::WaitFor([&] { return !QApplication::activeModalWidget(); }, 8000));
    EXPECT_TRUE(answer.Opened()) << c.Path.toStdString();
    EXPECT_EQ(j.Log.Messages.size(), 1)
        << c.Path.toStdString() << ": " << j.Messages().toStdString();
    EXPECT_TRUE(j.Messages().contains(c.Says)) << j.Messages().toStdString();
    EXPECT_FALSE(Find<QWidget>(*dialog, "Remove").isEnabled()) << c.Path.toStdString();
  }
  EXPECT_TRUE(j.F().RealTimePage().Capturing());
}
