// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

#include "app/SAMain.h"
#include "wavefile/SoundDecoder.h"

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

} // namespace duv
