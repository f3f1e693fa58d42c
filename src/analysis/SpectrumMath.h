// SPDX-License-Identifier: GPL-3.0-or-later
// The per-bin arithmetic of a spectrum: magnitudes of the transformed bins
// and their levels in decibels. The shown values have always come from the
// long-double expressions of the Plain functions; the array functions give
// the same doubles, to the bit, at a fraction of the cost.
#pragma once

namespace duv {

// double(sqrtl(re^2 + im^2) / N), in long double throughout: the magnitude
// that TFastFourier::MagnitudeAndPhase gives.
double PlainMagnitude(double re, double im, int N);

// Mag[i] = PlainMagnitude(Re[i], Im[i], N) for i < N.
void Magnitudes(const double* Re, const double* Im, double* Mag, int N);

// double(20 * log10l(magnitude / reference)), reference = 2^bits / 2, in
// long double throughout: the level against a full-scale sine of the sample
// width. Zero gives -inf, NaN gives NaN.
double PlainDecibels(double magnitude, int bits);

// dB[i] = PlainDecibels(Mag[i], bits) for i < count.
void Decibels(const double* Mag, double* dB, int count, int bits);

} // namespace duv
