// SPDX-License-Identifier: GPL-3.0-or-later
// Frequency weightings of sound level meters: A (the ear at moderate
// levels), C (nearly flat, loud sounds) and Z (none). The curves are the
// analytic pole-zero forms, normalised to 0 dB at 1 kHz.
#pragma once

#include <QString>
#include <optional>

namespace duv {

enum class TWeighting { Z, A, C };

inline constexpr TWeighting AllWeightings[] = {TWeighting::Z, TWeighting::A, TWeighting::C};

// "A", "C" or "Z": the name on the command line, in lists and in the
// settings.
QString WeightingName(TWeighting Weighting);
// Either case; none for anything else.
std::optional<TWeighting> WeightingFromName(const QString& Name);

// The weighting's gain in dB at Hz: 0 at 1 kHz, -inf at 0 Hz (A and C), 0
// everywhere for Z. NaN for a NaN frequency.
double WeightingDecibels(TWeighting Weighting, double Hz);

} // namespace duv
