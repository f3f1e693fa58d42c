#include "app/CommandLine.h"

#include <ostream>

namespace duv {

QString CommandLineHelp()
{
  return QStringLiteral(
      "Usage: duvovovi [COMMAND] [ARGS]\n"
      "\n"
      "A desktop audio spectrum analyzer. With no command it opens the main window;\n"
      "a command works without a display and exits.\n"
      "\n"
      "Commands:\n"
      "  info FILE.wav                       print the file's format and sample count\n"
      "  spectrum FILE.wav [--offset SECONDS] [--size N]\n"
      "                                      print the decibel spectrum of channel 0 at\n"
      "                                      the offset (default 0) over N samples\n"
      "                                      (256, 512, ... 32768; default 256)\n"
      "  note HZ                             print the nearest musical note\n"
      "  --help                              show this help\n"
      "  --version                           show the version\n"
      "\n"
      "Exit status: 0 on success, 1 when a file cannot be read, 2 for a usage error.\n");
}

int RunCommandLine(const QStringList& args, std::ostream& out, std::ostream& err)
{
  if (args.isEmpty() || args.front() == "--help" || args.front() == "-h") {
    out << CommandLineHelp().toStdString();
    return ExitOk;
  }
  err << "duvovovi: unknown command '" << args.front().toStdString() << "'\n"
      << "Try 'duvovovi --help'.\n";
  return ExitUsage;
}

} // namespace duv
