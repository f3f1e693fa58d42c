// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: the headless commands run here, on Qt Core alone; with no
// arguments, a file to open, or a command that draws, the GUI part takes
// over (app/StartUp.h).
#include "app/CommandLine.h"
#include "app/StartUp.h"

#include <iostream>
#include <ostream>

int main(int argc, char** argv)
{
  duv::ReserveStandardStreams();
  QStringList args;
  for (int i = 1; i < argc; ++i)
    args << QString::fromLocal8Bit(argv[i]);
  if (duv::RunsInGuiPart(args))
    return duv::RunGuiPart(argc, argv);
  // Output that did not arrive (a full disk, a closed standard output) is a
  // failure, not exit 0 with an empty file.
  duv::TStandardOutput output;
  std::ostream out(&output);
  if (args.front() == "--version") {
    out << "duvovovi " DUVOVOVI_VERSION "\n";
    return output.Finish(0, std::cerr);
  }
  // No application object: the headless commands use nothing it sets up
  // (an event loop, plugins, the application's name), and going without
  // saves a tenth of their start-up and a megabyte.
  return output.Finish(duv::RunCommandLine(args, out, std::cerr), std::cerr);
}
