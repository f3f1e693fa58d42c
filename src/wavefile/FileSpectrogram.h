// SPDX-License-Identifier: GPL-3.0-or-later
// A whole file's spectrum over time as a grid of levels, for a picture of
// the file: time in columns, frequency in rows. The file is streamed slice by
// slice, so memory stays flat whatever its length, and a long file is split
// between two threads by halves of the columns.
#pragma once

#include "analysis/SpectrogramGrid.h"
#include "analysis/WindowFunctions.h"
#include "wavefile/WaveFileParser.h"

#include <cstdint>
#include <vector>

namespace duv {

enum class TChannelChoice { Left, Right, Mix };

struct TFileSpectrogramSettings
{
  int Width = 800;  // columns
  int Height = 513; // rows from 0 Hz up to half the sample rate
  int Size = 1024;  // samples per transformed frame: a buffer size
  TWindowKind Window = TWindowKind::Hann;
  // Mix averages the first two channels (a mono file's is its one channel).
  TChannelChoice Channel = TChannelChoice::Mix;
  // 0: two threads for a long file on a machine with two cores or more,
  // else one.
  int Threads = 0;
};

// The step between the frames of a long file: the window's copies a hop
// apart add up to a constant, so every sample weighs alike. A cosine sum up
// to cos kx does so at a hop of Size / m for any m above k: the full size
// for the rectangular window, a half for Hann and Hamming, a quarter for
// Blackman and Blackman-Harris, an eighth for the flat top.
int SpectrogramHop(TWindowKind Window, int Size);

// The spectrogram of a file whose headers File has loaded (LoadHeader is
// enough): Width columns over the whole file and Height rows over 0 Hz to
// half the sample rate.
// - With more frames than columns, frames a hop apart (SpectrogramHop) tile
//   the file, and each column shows the power average of the frames
//   whose middles fall in it, so no sound falls between columns.
// - With fewer, each column gets a frame of its own, centred on it.
// - A row spanning several bins shows the strongest, so a tone keeps its
//   level whatever the height; a row between bins shows the nearest one.
// - 8- and 4-bit samples are unsigned and are centred on their mid level
//   first, so silence has no level.
// Throws EWaveFileError when the samples cannot be read, std::invalid_argument
// for settings out of range (a size that is not a buffer size, a right
// channel of a mono file).
TFileSpectrogram ComputeFileSpectrogram(const TSoundFile& File,
                                        const TFileSpectrogramSettings& Settings);

} // namespace duv
