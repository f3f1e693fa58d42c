// The headless subcommands of the executable, for scripting and batch work.
#pragma once

#include "wavefile/FileAnalysis.h"

#include <QStringList>
#include <cstdint>
#include <iosfwd>

namespace duv {

// Exit codes of the command line.
enum ExitCode { ExitOk = 0, ExitFileError = 1, ExitUsage = 2 };

// Runs a subcommand (args exclude the program name) and returns the exit
// code. Writes results to out and messages to err.
int RunCommandLine(const QStringList& args, std::ostream& out, std::ostream& err);

// The --help text.
QString CommandLineHelp();

} // namespace duv
