// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up pieces that need their own application object: the handler that
// turns an exception into a message, and the check for a display.
#include "app/Application.h"
#include "app/SAMain.h"
#include "audio/Waveread.h"
#include "wavefile/WavWriter.h"

#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

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
      "tone.wav", duv::test::WavBuilder().fmt(1, 8000, 16).chunk("data", QByteArray(4000, '\1')).finish());
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
    EXPECT_TRUE(shown[0].startsWith("Cannot open file /no/such/dir/missing.wav")) << shown[0].toStdString();
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

int main(int argc, char** argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
