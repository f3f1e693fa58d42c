// The headless subcommands of the executable, for scripting and batch work.
#pragma once

#include "spectrogram/SpectrogramLook.h"
#include "wavefile/FileAnalysis.h"

#include <QStringList>
#include <cstdint>
#include <iosfwd>

namespace duv {

// Exit codes of the command line.
enum ExitCode { ExitOk = 0, ExitFileError = 1, ExitUsage = 2 };

// Runs a subcommand (args exclude the program name) and returns the exit
// code. Writes results to out and messages to err. `spectrogram` draws text,
// so it needs a QGuiApplication and SpectrogramPngWriter (CommandNeedsGui).
int RunCommandLine(const QStringList& args, std::ostream& out, std::ostream& err);

// How `spectrogram` draws its picture: drawing needs Qt Gui, so the GUI part
// sets it (to WriteSpectrogramPng); unset, the command cannot run.
extern TSpectrogramPngWriter SpectrogramPngWriter;

// Whether the subcommand needs a QGuiApplication rather than a
// QCoreApplication: it needs fonts, though no display.
bool CommandNeedsGui(const QString& Command);

// The --help text.
QString CommandLineHelp();

} // namespace duv
