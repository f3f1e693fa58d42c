// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

#include "app/SAMain.h"

#include "audio/Waveread.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <exception>
#include <utility>

namespace duv {

namespace {

QPointer<QWidget>& MessageWindow()
{
  static QPointer<QWidget> window;
  return window;
}

QStringList& WaitingMessages()
{
  static QStringList texts;
  return texts;
}

// A box goes over what the user is working in: a modal dialog, the active
// window, else the main window.
QWidget* DialogParent()
{
  if (QWidget* modal = QApplication::activeModalWidget())
    return modal;
  // A window just closed may still be the active one for a moment.
  if (QWidget* active = QApplication::activeWindow(); active && active->isVisible())
    return active;
  return MessageWindow();
}

void ShowDeviceMessage(const QString& Text)
{
  const QWidget* window = MessageWindow();
  if (!window || !window->isVisible()) {
    WaitingMessages() << Text;
    return;
  }
  QMessageBox::information(DialogParent(), QApplication::applicationDisplayName(), Text);
}

} // namespace

void InstallWindowMessages()
{
  SetWaveMessageHandler(ShowDeviceMessage);
  ShowExceptionText = [](const QString& Text) {
    QMessageBox::critical(DialogParent(), QApplication::applicationDisplayName(), Text);
  };
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportException(std::current_exception());
  }
  return false;
}

void StartWindow(TForm1& Form, const QString& Path)
{
  MessageWindow() = &Form;
  // The pages, the views and the window as the last run left them.
  Form.RestoreViewSettings();
  Form.show();
  if (!WaitingMessages().isEmpty())
    QTimer::singleShot(0, &Form, [] {
      for (const QString& text : std::exchange(WaitingMessages(), {}))
        ShowDeviceMessage(text);
    });
  if (Path.isEmpty())
    return;
  Guarded([&] { Form.OpenWaveFile(QFileInfo(Path).absoluteFilePath()); })();
}

bool IsFileArgument(const QStringList& Args)
{
  if (Args.size() != 1 || Args[0].startsWith(QLatin1Char('-')))
    return false;
  const QString& a = Args[0];
  // Subcommands are plain words; a launcher passes a full path.
  return a.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive) || a.contains(QLatin1Char('/')) ||
         QFileInfo::exists(a);
}

QString MissingDisplayMessage()
{
  // A platform chosen on purpose (offscreen, vnc, wayland...) is trusted.
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return {};
  const QString display = qEnvironmentVariable("DISPLAY");
  if (!display.isEmpty()) {
    // A local X display (":0", "unix:0") has its socket in /tmp/.X11-unix;
    // a remote one (ssh -X, "localhost:10.0") is left for Qt to reach.
    const int colon = display.lastIndexOf(QLatin1Char(':'));
    const QString host = display.left(colon);
    if (colon < 0 || !(host.isEmpty() || host == QLatin1String("unix")))
      return {};
    const QString number = display.mid(colon + 1).section(QLatin1Char('.'), 0, 0);
    if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X") + number))
      return {};
    return QStringLiteral("duvovovi: the display %1 cannot be reached; start the program on a "
                          "desktop, or run it under a virtual display with 'xvfb-run "
                          "scripts/run' or over a remote desktop (ssh -X). The subcommands "
                          "(scripts/run --help) need no display.")
        .arg(display);
  }
  return QStringLiteral("duvovovi: no display was found; start the program on a desktop, or run "
                        "it under a virtual display with 'xvfb-run scripts/run' or over a remote "
                        "desktop (ssh -X). The subcommands (scripts/run --help) need no display.");
}

} // namespace duv
