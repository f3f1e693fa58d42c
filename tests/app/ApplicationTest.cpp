// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up pieces that need their own application object: the handler that
// turns an exception into a message, and the check for a display.
#include "app/Application.h"
#include "app/SAMain.h"
#include "audio/Waveread.h"
#include "wavefile/WavWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

using namespace duv;

namespace {

// Sets an environment variable (or unsets it, for a null value) for a scope.
class EnvGuard
{
public:
  EnvGuard(const char* name, const char* value) : Name(name), Had(qEnvironmentVariableIsSet(name))
  {
    Old = qgetenv(name);
    if (value)
      qputenv(name, value);
    else
      qunsetenv(name);
  }
  ~EnvGuard()
  {
    if (Had)
      qputenv(Name, Old);
    else
      qunsetenv(Name);
  }

private:
  const char* Name;
  bool Had;
  QByteArray Old;
};

} // namespace

// Guards the application's error handler: an exception thrown by an event
// handler or a timer reaches the user as a message, and events after it are
// still handled.
TEST(Application, ExceptionsBecomeMessagesAndTheProgramGoesOn)
{
  QStringList shown;
  const auto previous = TApplication::ShowException;
  TApplication::ShowException = [&shown](const QString& text) { shown << text; };

  // A handler that throws from an event, as the open command does for a file
  // it cannot read. (Not through a button: unwinding through its click
  // handling leaks a few bytes inside the toolkit.)
  struct Thrower : QObject
  {
    bool event(QEvent* e) override
    {
      if (e->type() == QEvent::User)
        throw std::runtime_error("Cannot open file tone.wav");
      return QObject::event(e);
    }
  } thrower;
  QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
  QCoreApplication::sendPostedEvents(&thrower);
  ASSERT_EQ(shown, QStringList{"Cannot open file tone.wav"});

  bool later = false;
  QTimer::singleShot(0, [] { throw std::invalid_argument("bad size"); });
  QTimer::singleShot(5, [&later] { later = true; });
  EXPECT_TRUE(QTest::qWaitFor([&later] { return later; }, 2000));
  EXPECT_EQ(shown.value(1), "bad size");
  TApplication::ShowException = previous;
}

// Guards the start without a display: one clear line saying what to do,
// instead of the platform plugin's abort; a chosen platform or a display
// that exists opens the window.
TEST(Application, MissingDisplayIsExplained)
{
  EnvGuard platform("QT_QPA_PLATFORM", nullptr);
  EnvGuard wayland("WAYLAND_DISPLAY", nullptr);
  {
    EnvGuard display("DISPLAY", nullptr);
    const QString text = MissingDisplayMessage();
    EXPECT_TRUE(text.contains("no display was found")) << text.toStdString();
    EXPECT_TRUE(text.contains("xvfb-run"));
    EXPECT_FALSE(text.contains('\n'));
  }
  {
    EnvGuard display("DISPLAY", ":4711");
    EXPECT_TRUE(MissingDisplayMessage().contains(":4711"));
  }
  {
    EnvGuard display("DISPLAY", "localhost:10.0"); // forwarded over ssh: left to the toolkit
    EXPECT_TRUE(MissingDisplayMessage().isEmpty());
  }
  {
    EnvGuard display("DISPLAY", nullptr);
    EnvGuard chosen("QT_QPA_PLATFORM", "offscreen");
    EXPECT_TRUE(MissingDisplayMessage().isEmpty());
  }
}

// Guards opening a file given on the command line (a double-click in a file
// manager): it opens in the window like a file from the open dialog; one
// that cannot be opened shows its error and the window still opens; a
// subcommand is never taken for a file.
TEST(Application, FileOnTheCommandLine)
{
  EXPECT_TRUE(IsFileArgument({"tone.wav"}));
  EXPECT_TRUE(IsFileArgument({"/home/me/Sounds/TONE.WAV"}));
  EXPECT_TRUE(IsFileArgument({"recordings/take1"}));
  EXPECT_TRUE(IsFileArgument({"song.FLAC"}));
  EXPECT_TRUE(IsFileArgument({"talk.opus"}));
  EXPECT_FALSE(IsFileArgument({"info"}));
  EXPECT_FALSE(IsFileArgument({"--help"}));
  EXPECT_FALSE(IsFileArgument({"info", "tone.wav"}));

  SetWaveMessageHandler([](const QString&) {});
  QStringList shown;
  const auto previous = TApplication::ShowException;
  TApplication::ShowException = [&shown](const QString& text) { shown << text; };
  const QString tone = duv::test::writeTemp(
      "tone.wav",
      duv::test::WavBuilder().fmt(1, 8000, 16).chunk("data", QByteArray(4000, '\1')).finish());
  {
    TForm1 form;
    StartWindow(form, tone);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), "tone.wav - Duvovovi");
    EXPECT_TRUE(form.WaveFilePageActive());
  }
  {
    TForm1 form;
    StartWindow(form, "/no/such/dir/missing.wav");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), "Duvovovi");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith("Cannot open file /no/such/dir/missing.wav"))
        << shown[0].toStdString();
  }
  TApplication::ShowException = previous;

  // The program itself: a missing file keeps the window open (showing its
  // error) instead of failing as an unknown command.
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start(DUVOVOVI_PROGRAM, {"/no/such/dir/missing.wav"});
  ASSERT_TRUE(program.waitForStarted());
  EXPECT_FALSE(program.waitForFinished(1500)) << program.readAllStandardError().toStdString();
  program.kill();
  program.waitForFinished();
}

// Guards the end by SIGTERM and SIGINT: the window closes by its normal path
// (exit status 0, the settings it saves on closing written), even with the
// device's message box open over it; a SIGINT the program was started with
// ignored (a script's background job) stays ignored.
TEST(Application, StopSignalsCloseTheWindow)
{
  struct Case
  {
    int Signal;
    bool Ignored;
  };
  for (const Case c : {Case{SIGTERM, false}, Case{SIGINT, false}, Case{SIGINT, true}}) {
    SCOPED_TRACE(testing::Message() << "signal " << c.Signal << (c.Ignored ? " ignored" : ""));
    QTemporaryDir config;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", config.path());
    // No sound server: the window opens with its "no device" message box.
    env.insert("PULSE_SERVER", "unix:/nonexistent/duvovovi-no-server");
    program.setProcessEnvironment(env);
    program.setChildProcessModifier([ignored = c.Ignored] {
      ::signal(SIGINT, ignored ? SIG_IGN : SIG_DFL);
      ::signal(SIGTERM, SIG_DFL);
    });
    program.start(DUVOVOVI_PROGRAM, {});
    ASSERT_TRUE(program.waitForStarted());
    // Ready once its SIGTERM handler is in (a bit of SigCgt); a signal
    // before that would end it as any program.
    const auto catches = [&](int signal) {
      QFile status(QStringLiteral("/proc/%1/status").arg(program.processId()));
      if (!status.open(QIODevice::ReadOnly))
        return false;
      for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
          return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1) & 1) != 0;
      return false;
    };
    for (int i = 0; i < 300 && !catches(SIGTERM); ++i)
      QThread::msleep(50);
    ASSERT_TRUE(catches(SIGTERM)) << "no handler for SIGTERM";
    EXPECT_EQ(catches(SIGINT), !c.Ignored);
    QThread::msleep(500); // the window shown, its message box up
    // Never kill(0): a process that is gone has the id 0, which would
    // signal the test's whole process group.
    const auto send = [&](int signal) {
      if (program.state() == QProcess::Running && program.processId() > 0)
        ::kill(pid_t(program.processId()), signal);
    };
    send(c.Signal);
    if (c.Ignored) {
      EXPECT_FALSE(program.waitForFinished(1000)) << "an ignored SIGINT ended the window";
      send(SIGTERM);
    }
    ASSERT_TRUE(program.waitForFinished(10000)) << "still running after the signal";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    QString ini;
    for (QDirIterator it(config.path(), {"*.ini"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
      ini = it.next();
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "no settings file written";
    EXPECT_TRUE(file.readAll().contains("[Settings]"));
  }
}

int main(int argc, char** argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
