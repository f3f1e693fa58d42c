// SPDX-License-Identifier: GPL-3.0-or-later
// The application object of the window: an exception thrown by any handler
// reaches the user as a message box, and the program goes on.
#pragma once

#include "support/UiSupport.h"
#include "app/StartUp.h"

#include <QApplication>
#include <functional>

namespace duv {

class TApplication : public QApplication
{
  Q_OBJECT
public:
  TApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the text of a caught exception; a message box unless replaced.
  static inline std::function<void(const QString& Text)>& ShowException = ShowExceptionText;
};

class TForm1;

// The program's messages open over its main window: an error a handler
// throws (over the active window, else the main one) and the input device's
// messages, which may come while the window is being made and then wait
// until it is shown. Installed by the program's start-up; tests keep their
// own handlers.
void InstallWindowMessages();

// Shows the main window and opens Path in it when one is given (a file
// double-clicked in a file manager). A file that cannot be opened shows its
// error over the window, which stays open.
void StartWindow(TForm1& Form, const QString& Path);

} // namespace duv
