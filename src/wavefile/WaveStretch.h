// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing a stretch of a loaded file by its start in seconds, and copying
// it into the transform arrays.
#pragma once

#include "wavefile/WaveFileParser.h"

#include <cstdint>

namespace duv {

// The sample at `seconds` into a file of `rate` Hz, truncated toward zero,
// except that a product within rounding error of a whole number is that
// number: 1.0 s at 44100 Hz is sample 44100, not 44099. Negative or NaN
// inputs give 0.
std::int64_t StretchOffsetSamples(double seconds, double rate);

// Copies channel 0 from `offset` into re[0..n-1] (raw stored values, as
// doubles). Past the end of the file the stretch is
// padded with silence (the silent level of the file's width), so the
// transform always gets its power-of-two count. Returns
// the number of real samples copied (0 when the offset is at or beyond the
// end, or the channel was not unpacked).
int FillStretch(const TSoundData& data, std::int64_t offset, int n, double* re);

} // namespace duv
