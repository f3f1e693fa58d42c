// SPDX-License-Identifier: GPL-3.0-or-later
// The measuring subcommands of the command line: `bands` (octave or
// third-octave levels, weighted) and `measure` (a sine's distortion and
// noise figures). RunCommandLine dispatches to them.
#pragma once

#include <QString>
#include <QStringList>
#include <iosfwd>

namespace duv {

// `bands FILE [--fraction 1|3] [--weighting A|C|Z] [--offset S] [--size N]
// [--window NAME]`: prints centre_hz,level_db. Throws UsageError or the
// file's error.
int BandsCommand(const QStringList& Args, std::ostream& out, std::ostream& err);

// `measure FILE [--offset S] [--size N]`: prints one "name: value unit" line
// per figure.
int MeasureCommand(const QStringList& Args, std::ostream& out, std::ostream& err);

// Their lines of the --help text.
QString MeasureCommandsHelp();

} // namespace duv
