// Start-up: a subcommand runs headless; otherwise the main window opens.
#include "app/CommandLine.h"

#include <QCoreApplication>
#include <iostream>

int main(int argc, char** argv)
{
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("duvovovi");
  QCoreApplication::setApplicationVersion(DUVOVOVI_VERSION);
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  if (!args.isEmpty() && args.front() == "--version") {
    std::cout << "duvovovi " DUVOVOVI_VERSION "\n";
    return 0;
  }
  // Until the main window exists, no arguments shows the help.
  return duv::RunCommandLine(args, std::cout, std::cerr);
}
