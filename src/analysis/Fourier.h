// SPDX-License-Identifier: GPL-3.0-or-later
// The program's one transform: an in-place radix-2 decimation-in-time complex
// FFT over parallel real/imaginary arrays, and the per-bin magnitude/phase
// routine that every spectrum passes through.
#pragma once

namespace duv {

class TFastFourier
{
public:
  static constexpr int MaxTransformSize = 32768;

  // Transforms Re[0..N-1], Im[0..N-1] in place. Forward: X[k] = sum x[n]
  // e^(-2 pi i kn/N); Inverse uses e^(+...). Neither direction divides by N.
  // N must be a power of two from 2 to MaxTransformSize (from 4 for a true
  // transform: at 2 the quarter-period shift is 0); any other N throws
  // std::invalid_argument.
  void Transform(double* Re, double* Im, int N, bool Inverse) const;
  void ForwardTransform(double* Re, double* Im, int N) const { Transform(Re, Im, N, false); }

  // Mag[i] = |Re[i] + i Im[i]| / N and Phase[i] in (-pi, pi] for i < N. The
  // program passes half the transform size, giving single-sided amplitudes.
  void MagnitudeAndPhase(const double* Re, const double* Im, double* Mag, double* Phase,
                         int N) const;

  // The magnitudes of MagnitudeAndPhase alone, to the bit, for the frame
  // path, which shows no phase: the phases' arctangents were most of the
  // cost.
  void Magnitude(const double* Re, const double* Im, double* Mag, int N) const;
};

} // namespace duv
