// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/UiSupport.h"

#include "support/SafeFile.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <stdexcept>

namespace duv {

double DesignScale(const QFont& font)
{
  // Bold and italic are the same design at another weight: measure the
  // upright regular face so that a bold read-out scales like its neighbours.
  QFont plain = font;
  plain.setBold(false);
  plain.setItalic(false);
  const QFontMetricsF m(plain);
  static const QString letters =
      QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
  const double height = m.height() / 13.0;
  const double width = m.horizontalAdvance(letters) / letters.size() / 6.0;
  return std::max({1.0, height, width});
}

int DesignPixels(int pixels, double scale) { return Round(pixels * static_cast<long double>(scale)); }

QString AskPdfFileName(QWidget* parent, const QString& suggestedName)
{
  QString name = QFileDialog::getSaveFileName(parent, QObject::tr("Print to PDF"),
                                              QDir::home().filePath(suggestedName),
                                              QObject::tr("PDF files (*.pdf)"));
  if (!name.isEmpty() && !name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
    name += QLatin1String(".pdf");
  return name;
}

std::unique_ptr<QPrinter> MakePdfPrinter(const QString& fileName)
{
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(fileName);
  return printer;
}

std::unique_ptr<QPrinter> ChoosePrinter(QWidget* parent,
                                        const std::function<QString(QWidget*)>& askPdf)
{
  QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull() && !QPrinterInfo::availablePrinters().isEmpty())
    info = QPrinterInfo::availablePrinters().front(); // printers, but none marked default
  if (!info.isNull())
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  const QString name = askPdf ? askPdf(parent) : QString();
  if (name.isEmpty())
    return nullptr;
  return MakePdfPrinter(name);
}

namespace {
void paintPage(QPrinter& printer, const char* failure, const std::function<void(QPainter&)>& draw)
{
  QPainter painter;
  if (!painter.begin(&printer))
    throw std::runtime_error(failure);
  draw(painter);
  if (!painter.end())
    throw std::runtime_error(failure);
}
} // namespace

void PrintPage(QPrinter& printer, const char* failure, const std::function<void(QPainter&)>& draw)
{
  const QString target =
      printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
  if (target.isEmpty()) {
    paintPage(printer, failure, draw);
    return;
  }
  // The printer writes its file in place as it goes, and opens whatever the
  // name names. So the page goes to a scratch file first and reaches the
  // named file through the program's one writer, which refuses a device or
  // a FIFO at once and replaces the file only with a whole page.
  TFileWriter file(target);
  const QTemporaryDir scratch;
  if (!scratch.isValid())
    throw EFileWriteError(target, QStringLiteral("no temporary folder for the page"));
  printer.setOutputFileName(scratch.filePath(QStringLiteral("page.pdf")));
  try {
    paintPage(printer, failure, draw);
  } catch (...) {
    printer.setOutputFileName(target);
    throw;
  }
  printer.setOutputFileName(target);
  QFile page(scratch.filePath(QStringLiteral("page.pdf")));
  const QByteArray bytes = page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
  // The printer does not report failed writes; a whole PDF ends so.
  if (!bytes.trimmed().endsWith("%%EOF"))
    throw EFileWriteError(target, QStringLiteral("the page could not be written whole"));
  if (file.Device().write(bytes) != bytes.size())
    file.Fail();
  file.Commit();
}

std::function<void(const QString&)> ShowExceptionText = [](const QString& text) {
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), text);
};

void ReportException(std::exception_ptr Error)
{
  if (!ShowExceptionText)
    return;
  try {
    std::rethrow_exception(Error);
  } catch (const std::exception& e) {
    ShowExceptionText(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowExceptionText(QStringLiteral("An unexpected error occurred."));
  }
}

} // namespace duv

namespace duv {

namespace {

// Widens a dialog to its title whenever it is shown.
class TTitleWidth : public QObject
{
public:
  using QObject::QObject;
  bool eventFilter(QObject* Watched, QEvent* Event) override
  {
    if (Event->type() == QEvent::Show)
      if (auto* w = qobject_cast<QWidget*>(Watched)) {
        // The title bar's font is the window system's; the application
        // font is the best guess at its size. The frame's icon and buttons
        // take about seven lines' height beside it.
        const QFontMetrics m(QApplication::font());
        const int need = m.horizontalAdvance(w->windowTitle()) + 7 * m.height();
        if (w->width() < need)
          w->resize(need, w->height());
      }
    return false;
  }
};

} // namespace

void FitTitleWidth(QWidget& Dialog)
{
  Dialog.installEventFilter(new TTitleWidth(&Dialog));
}

} // namespace duv
