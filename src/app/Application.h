// The application object of the window: an exception thrown by any handler
// reaches the user as a message box, and the program goes on.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace duv {

class TApplication : public QApplication
{
  Q_OBJECT
public:
  TApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the text of a caught exception; a message box unless replaced.
  static std::function<void(const QString& Text)> ShowException;
};

// Shows a caught exception as the application shows any: its text through
// TApplication::ShowException.
void ReportException(std::exception_ptr Error);

// A handler for a Qt connection that may throw. Qt does not let an exception
// leave a slot, so the handler's exception is caught here, where it is
// connected, and shown as the application shows any. The handler takes the
// signal's arguments, or none.
template <typename F> auto Guarded(F Handler)
{
  return [Handler = std::move(Handler)](auto&&... Args) {
    try {
      if constexpr (std::is_invocable_v<const F&, decltype(Args)...>)
        Handler(std::forward<decltype(Args)>(Args)...);
      else
        Handler();
    } catch (...) {
      ReportException(std::current_exception());
    }
  };
}

class TForm1;

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
