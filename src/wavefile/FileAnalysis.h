// SPDX-License-Identifier: GPL-3.0-or-later
// What the command line reports about a loaded file: its statistics and the
// spectrum of a stretch of it. Pure computation, so that the fuzz target
// checks exactly what the program prints.
#pragma once

#include "analysis/SAGlobal.h"
#include "wavefile/WaveFileParser.h"

#include <cstdint>
#include <iosfwd>

namespace duv {

// The lines `info` prints about a loaded file.
void WriteFileInfo(const TSoundFile& File, std::ostream& out);

// Throws EWaveFileError when a loaded file (or one whose headers were
// loaded) holds nothing to analyse: no samples, or samples of a width that
// is not unpacked.
void CheckAnalysable(const TSoundFile& File);

// The spectrum of channel 0 of an analysable file over Size samples (a
// buffer size) from sample Start, through Window, with the transform of real
// samples, computed in Analysis into Frame; past the end the stretch is zero.
void FileSpectrum(TAnalysis& Analysis, const TSoundData& Data, std::int64_t Start, int Size,
                  TWindowKind Window, TSpectrumFrame& Frame);

// The same spectrum of a file whose headers alone were loaded: only the
// stretch is read from the file, so a long file costs no more than a short
// one.
void StreamedFileSpectrum(TAnalysis& Analysis, const TSoundFile& File, std::int64_t Start,
                          int Size, TWindowKind Window, TSpectrumFrame& Frame);

// The spectrum as `spectrum` prints it: the DC offset, then CSV rows.
void WriteSpectrum(const TSpectrumFrame& Frame, std::ostream& out);

} // namespace duv
