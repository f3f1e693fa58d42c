// SPDX-License-Identifier: GPL-3.0-or-later
// The headless subcommands of the executable, for scripting and batch work.
#pragma once

#include "spectrogram/SpectrogramLook.h"
#include "wavefile/FileAnalysis.h"

#include <QStringList>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <streambuf>

namespace duv {

// Exit codes of the command line.
enum ExitCode { ExitOk = 0, ExitFileError = 1, ExitUsage = 2 };

// Thrown by a subcommand for a usage error: the message goes to standard
// error, status 2.
struct UsageError
{
  QString text;
};

// Runs a subcommand (args exclude the program name) and returns the exit
// code. Writes results to out and messages to err. `spectrogram` draws text,
// so it needs a QGuiApplication and SpectrogramPngWriter (CommandNeedsGui).
int RunCommandLine(const QStringList& args, std::ostream& out, std::ostream& err);

// How `spectrogram` draws its picture: drawing needs Qt Gui, so the GUI part
// sets it (to WriteSpectrogramPng); unset, the command cannot run.
extern TSpectrogramPngWriter SpectrogramPngWriter;

// How `record` records: it needs Qt Multimedia, so the GUI part sets it (to
// RunRecordCommand); unset, the command cannot run.
using TCommandRunner =
    std::function<int(const QStringList& Args, std::ostream& Out, std::ostream& Err)>;
extern TCommandRunner RecordCommand;

// Whether the subcommand runs in the GUI part: it needs fonts (though no
// display), or sound devices.
bool CommandNeedsGui(const QString& Command);

// The --help text.
QString CommandLineHelp();

// Opens /dev/null on whichever of the standard streams 0, 1 and 2 the
// program was started without, so that no file it opens takes their numbers
// (a message for standard error would land in the picture being written).
// Writes to a closed output still fail, for TStandardOutput to see.
void ReserveStandardStreams();

// The commands' standard output: written straight to descriptor 1, so that
// a write that fails (a full disk, a closed output) is known with its reason
// rather than lost in a buffer at exit.
class TStandardOutput : public std::streambuf
{
public:
  // Code, or for ExitOk ExitFileError when a write failed, with a message on
  // err: output that did not arrive is not success.
  int Finish(int Code, std::ostream& err) const;

protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int_type overflow(int_type c) override;

private:
  int FError = 0; // errno of the first failed write
};

} // namespace duv
