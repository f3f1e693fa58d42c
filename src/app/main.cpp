// Start-up: a subcommand runs headless; with no arguments the main window
// opens.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/SAMain.h"

#include <QCoreApplication>
#include <iostream>
#include <memory>

namespace {

int runWindow(int argc, char** argv)
{
  const QString missing = duv::MissingDisplayMessage();
  if (!missing.isEmpty()) {
    std::cerr << missing.toStdString() << "\n";
    return 1;
  }
  duv::TApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("duvovovi"));
  QCoreApplication::setApplicationVersion(QStringLiteral(DUVOVOVI_VERSION));
  QApplication::setApplicationDisplayName(QStringLiteral("Duvovovi"));
  // The main window makes its two dialogs after itself; all live until the
  // program ends.
  duv::TForm1 form;
  form.show();
  return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
  if (argc <= 1)
    return runWindow(argc, argv);
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("duvovovi"));
  QCoreApplication::setApplicationVersion(QStringLiteral(DUVOVOVI_VERSION));
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  if (args.front() == "--version") {
    std::cout << "duvovovi " DUVOVOVI_VERSION "\n";
    return 0;
  }
  return duv::RunCommandLine(args, std::cout, std::cerr);
}
