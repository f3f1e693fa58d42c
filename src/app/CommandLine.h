// The headless subcommands of the executable, for scripting and batch work.
#pragma once

#include "analysis/SAGlobal.h"
#include "wavefile/WaveFileParser.h"

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

// The lines `info` prints about a loaded file.
void WriteFileInfo(const TSoundFile& File, std::ostream& out);

// Throws EWaveFileError when a loaded file holds nothing `spectrum` can
// analyse: no samples, or samples of a width that is not unpacked.
void CheckAnalysable(const TSoundFile& File);

// The spectrum of channel 0 of an analysable file over Size samples (a
// buffer size) from sample Start, computed in Analysis into Frame; past the
// end the stretch is zero.
void FileSpectrum(TAnalysis& Analysis, const TSoundData& Data, std::int64_t Start, int Size,
                  TSpectrumFrame& Frame);

// The spectrum as `spectrum` prints it: the DC offset, then CSV rows.
void WriteSpectrum(const TSpectrumFrame& Frame, std::ostream& out);

} // namespace duv
