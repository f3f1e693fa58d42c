#include "support/UiSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
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

void PrintPage(QPrinter& printer, const char* failure, const std::function<void(QPainter&)>& draw)
{
  QPainter painter;
  if (!painter.begin(&printer))
    throw std::runtime_error(failure);
  draw(painter);
  if (!painter.end())
    throw std::runtime_error(failure);
}

} // namespace duv
