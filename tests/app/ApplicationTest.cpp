// Start-up pieces that need their own application object: the handler that
// turns an exception into a message, and the check for a display.
#include "app/Application.h"

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

// Guards the application's error handler: an exception thrown by a click
// handler or a timer reaches the user as a message, and events after it are
// still handled.
TEST(Application, ExceptionsBecomeMessagesAndTheProgramGoesOn)
{
  QStringList shown;
  const auto previous = TApplication::ShowException;
  TApplication::ShowException = [&shown](const QString& text) { shown << text; };

  QPushButton button("Open");
  QObject::connect(&button, &QPushButton::clicked,
                   [] { throw std::runtime_error("Cannot open file tone.wav"); });
  button.show();
  QTest::mouseClick(&button, Qt::LeftButton);
  ASSERT_EQ(shown, QStringList{"Cannot open file tone.wav"});

  bool later = false;
  QTimer::singleShot(0, [] { throw std::invalid_argument("bad size"); });
  QTimer::singleShot(5, [&later] { later = true; });
  QTest::qWaitFor([&later] { return later; }, 2000);
  EXPECT_TRUE(later);
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

int main(int argc, char** argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
