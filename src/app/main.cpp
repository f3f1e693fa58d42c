// Start-up: the headless commands run here, on Qt Core alone; with no
// arguments, a file to open, or a command that draws, the GUI part takes
// over (app/StartUp.h).
#include "app/CommandLine.h"
#include "app/StartUp.h"

#include <iostream>

int main(int argc, char** argv)
{
  QStringList args;
  for (int i = 1; i < argc; ++i)
    args << QString::fromLocal8Bit(argv[i]);
  if (duv::RunsInGuiPart(args))
    return duv::RunGuiPart(argc, argv);
  if (args.front() == "--version") {
    std::cout << "duvovovi " DUVOVOVI_VERSION "\n";
    return 0;
  }
  // No application object: the headless commands use nothing it sets up
  // (an event loop, plugins, the application's name), and going without
  // saves a tenth of their start-up and a megabyte.
  return duv::RunCommandLine(args, std::cout, std::cerr);
}
