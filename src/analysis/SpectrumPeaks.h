// SPDX-License-Identifier: GPL-3.0-or-later
// Peaks of a magnitude spectrum, refined between bins: the frequency and
// level of a tone that falls between two bins, its nearest note and how far
// it is from it in cents.
#pragma once

#include "analysis/WindowFunctions.h"

#include <QString>
#include <optional>
#include <span>
#include <vector>

namespace duv {

// The nearest note of a frequency and its deviation from it in cents
// (-50 .. +50), e.g. "A - 4" and +23 for 446 Hz. "Too Low" with 0 cents
// below the lowest note.
struct TNoteCents
{
  QString Note;
  int Cents = 0;
};
TNoteCents NoteAndCents(double Freq);

struct TPeak
{
  double Frequency = 0; // Hz
  double Level = 0;     // dB against the full-scale reference
  TNoteCents Note;
};

// The spectrum a peak is looked for in: single-sided amplitudes of bins
// 0 .. size-1 (bin 0 is DC and never a peak), the bin width, the full-scale
// reference of the sample width, and the window the frame went through.
struct TPeakSpectrum
{
  std::span<const double> Magnitude;
  double FreqStep = 0;
  double Reference = 1;
  TWindowKind Window = TWindowKind::Rectangular;
};

// The peak around bin k, refined by the two-bin method for a single tone:
// the ratio of the larger neighbour to the bin, inverted through the
// window's own main lobe, gives the tone's offset (at most half a bin) and
// the lobe's height there its level. Hann has a closed form; the other
// windows' lobes are inverted numerically.
TPeak RefinePeak(const TPeakSpectrum& Spectrum, int k);

// The strongest bin's refined peak; none for a spectrum without one.
std::optional<TPeak> StrongestPeak(const TPeakSpectrum& Spectrum);

// The Count strongest peaks after refinement, strongest first; the bins of
// one flat top count as one peak, and a peak in the last bin counts (it is
// not refined, having no neighbour above).
std::vector<TPeak> FindPeaks(const TPeakSpectrum& Spectrum, int Count);

// "440.0 Hz  -3.0 dB  A - 4 +0 cents", in the user's locale.
QString PeakText(const TPeak& Peak);

} // namespace duv
