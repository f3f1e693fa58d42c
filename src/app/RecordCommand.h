// SPDX-License-Identifier: GPL-3.0-or-later
// The `record` command: records the default input (the one the window's
// Real Time page uses) for a number of seconds into a WAV file, and exits.
// It needs Qt Multimedia, so it runs in the GUI part; the command line
// dispatches it there (CommandLine.h).
#pragma once

#include "support/WaveFormat.h"

#include <QString>
#include <QStringList>
#include <iosfwd>

namespace duv {

// `record --seconds S [--format NAME] OUT.wav`: the exit code, with messages
// on Err. Ctrl+C (SIGINT) or SIGTERM ends the recording early with the file
// complete. The file is written whole or not at all: a device lost, an
// output that cannot be written or a full disk leaves nothing under its name.
int RunRecordCommand(const QStringList& Args, std::ostream& Out, std::ostream& Err);

// A capture format by name: "44100-stereo-16" (rate, mono or stereo, bits or
// "float"), or the caption the window lists it under ("44.1 kHz, Stereo,
// 16-bit"), in any letter case; wfNone for neither.
TWaveTypes WaveTypeFromName(const QString& Name);
// The first of those names.
QString WaveTypeName(TWaveTypes Type);

} // namespace duv
