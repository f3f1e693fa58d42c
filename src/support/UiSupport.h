// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the widget layer: colour words to and from QColor, and where a
// print goes.
#pragma once

#include "support/DSupport.h"

#include <QColor>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

class QFont;
class QPainter;
class QPrinter;
class QWidget;

namespace duv {

inline QColor ToQColor(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
inline TColor FromQColor(const QColor& c) { return MakeColor(c.red(), c.green(), c.blue()); }

// Fixed geometry (window, dialog and panel sizes, margins that hold text) is
// laid out for a design font of 8 points: 13 pixels a line and 6 pixels a
// letter on average. A desktop's font is usually larger, so that geometry is
// multiplied by the ratio of the real font's metrics to the design font's,
// the larger of the height and width ratios. A font no larger than the
// design font gives 1, so the designed pixels stay exact there.
double DesignScale(const QFont& font);

// A small dialog that, when shown, is at least as wide as its title needs,
// with room for the frame's buttons, so that the title is not cut short.
void FitTitleWidth(QWidget& Dialog);
// A design length in pixels at a scale.
int DesignPixels(int pixels, double scale);

// Asks for the name of a PDF file to print into; empty when cancelled. The
// ".pdf" ending is added when missing.
QString AskPdfFileName(QWidget* parent, const QString& suggestedName);

// A vector PDF printer writing to fileName.
std::unique_ptr<QPrinter> MakePdfPrinter(const QString& fileName);

// The printer a print command uses: the default printer (or the first one
// installed when none is marked default); on a machine with no printer, a
// PDF file named through askPdf. Null when the user cancels.
std::unique_ptr<QPrinter> ChoosePrinter(QWidget* parent,
                                        const std::function<QString(QWidget*)>& askPdf);

// How printing fails, for every print command of the program: a printer
// that will not start or finish the job is an error the user must see, so
// PrintPage throws std::runtime_error with `failure` as its text, and the
// application's handler shows it in a message box. A user who cancels the
// PDF file dialog has not failed: nothing is printed and nothing is thrown.
// A PDF file is written as every file of the program is (TFileWriter): whole
// or not at all, and never over a device or a FIFO (EFileWriteError).
//
// One job on printer: draw paints the page.
void PrintPage(QPrinter& printer, const char* failure, const std::function<void(QPainter&)>& draw);

// Shows the text of an exception that reached the event loop or a guarded
// handler: a message box over the active window, unless replaced (the tests
// record the texts instead).
extern std::function<void(const QString& Text)> ShowExceptionText;
// Shows a caught exception through ShowExceptionText.
void ReportException(std::exception_ptr Error);

// A handler for a Qt connection that may throw. Qt does not let an exception
// leave a slot, so the handler's exception is caught here, where it is
// connected, and shown as the application shows any. The handler takes the
// signal's arguments, or none.
template <typename F> auto Guarded(F Handler)
{
  return [Handler = std::move(Handler)](auto&&... Args) {
    try {
      // Qt may try the handler with fewer arguments than the signal has, to
      // count what it takes; a count it cannot take compiles to nothing.
      if constexpr (std::is_invocable_v<const F&, decltype(Args)...>)
        Handler(std::forward<decltype(Args)>(Args)...);
      else if constexpr (std::is_invocable_v<const F&>)
        Handler();
    } catch (...) {
      ReportException(std::current_exception());
    }
  };
}

} // namespace duv
