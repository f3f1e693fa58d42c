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

// The peak around bin k, refined with the interpolation that suits the
// window: for Hann the exact two-bin formula for a single tone (frequency
// and level); for Hamming, Blackman and Blackman-Harris a parabola through
// the log magnitudes of the bin and its neighbours. The sinc lobe of the
// rectangular window and the flat lobe of Flat Top are too far from a
// parabola for a tenth of a bin, so they are read like Hann, by inverting
// their own lobe's two-bin ratio.
TPeak RefinePeak(const TPeakSpectrum& Spectrum, int k);

// The strongest bin's refined peak; none for a spectrum without one.
std::optional<TPeak> StrongestPeak(const TPeakSpectrum& Spectrum);

// The Count strongest local maxima, strongest first; the bins of one flat
// top count as one peak.
std::vector<TPeak> FindPeaks(const TPeakSpectrum& Spectrum, int Count);

// "440.0 Hz  -3.0 dB  A - 4 +0 cents", in the user's locale.
QString PeakText(const TPeak& Peak);

} // namespace duv
