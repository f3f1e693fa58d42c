// SPDX-License-Identifier: GPL-3.0-or-later
// Octave and third-octave bands on the base-10 scale of acoustic band
// filters: exact midband frequencies 1000 * 10^(3x/10b) Hz for a 1/b octave,
// their nominal names (31.5, 1000, 12500 ...), and their levels summed in
// power from a spectrum, each bin's power split between two bands in
// proportion to how much of the bin's width lies on either side of the edge.
#pragma once

#include "analysis/SAGlobal.h"

#include <span>
#include <vector>

namespace duv {

// Bands per octave: 1 (octaves) or 3 (third octaves).
inline constexpr int OctaveFraction = 1;
inline constexpr int ThirdOctaveFraction = 3;

struct TBand
{
  double Nominal = 0; // the name: 31.5, 1000, 12500
  double Centre = 0;  // the exact midband frequency, Hz
  double Low = 0;     // the edges, Hz: Centre / and * 10^(3/20b)
  double High = 0;
};

// Every band of the fraction from the 10 Hz third octave (16 Hz octave) to
// the 20 kHz one, low to high. Fraction is 1 or 3; anything else gives none.
std::vector<TBand> StandardBands(int Fraction);

// The standard bands a frame of this format resolves: those at least one bin
// wide whose upper edge lies within the spectrum (below half the rate).
std::vector<TBand> ResolvedBands(int Fraction, const TFrameFormat& Format);

// The power gain of a window on noise against that on a tone (its
// equivalent noise bandwidth in bins): 1 for the rectangular window, 1.5 for
// Hann.
double NoiseBandwidth(TWindowKind Window);

// The power of each bin of a frame (bins 0 .. H-1) relative to a full-scale
// sine: a tone's bins sum to its power, noise's to its mean square. GainsDb,
// when not empty, holds a gain in dB for each bin (weighting, calibration).
void BinPowers(const TSpectrumFrame& Frame, std::span<const double> GainsDb,
               std::vector<double>& Powers);

// Adds to Totals[i] the power of Bands[i]: bin k covers (k - 1/2 .. k + 1/2)
// x FreqStep, and a bin that straddles an edge gives each side its share.
// Bin 0 (DC) is left out.
void AddBandPowers(std::span<const double> Powers, double FreqStep, std::span<const TBand> Bands,
                   std::span<double> Totals);

// 10 log10 of a power, never below Floor (zero and NaN land there).
double PowerLevel(double Power, double Floor);

// "31.5", "1000", "12.5k" for labels; "31.5", "1000", "12500" in files
// (Short false).
QString BandName(const TBand& Band, bool Short);

} // namespace duv
