#include "support/UiSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace duv {

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

} // namespace duv
