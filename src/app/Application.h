// SPDX-License-Identifier: GPL-3.0-or-later
// The application object of the window: an exception thrown by any handler
// reaches the user as a message box, and the program goes on.
#pragma once

#include "support/UiSupport.h"

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

// Whether the program's arguments name a file to open in the window rather
// than a subcommand: one argument that looks like a path.
bool IsFileArgument(const QStringList& Args);

// Why no window can be opened here (no display to draw on), as one line for
// the user; empty when a window can open. Checked before Qt starts, so the
// user never sees a platform-plugin error instead.
QString MissingDisplayMessage();

} // namespace duv
