// SPDX-License-Identifier: GPL-3.0-or-later
// Levels in real units: a microphone's calibration file (its sensitivity and
// its frequency response), the level offset that turns dB against full scale
// into dB SPL, and the frequency weighting, together applied to a frame's
// levels.
#pragma once

#include "analysis/SAGlobal.h"
#include "analysis/Weighting.h"

#include <QString>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

namespace duv {

// A calibration file that cannot be used. Line() is the 1-based line at
// fault, 0 when the fault is the file's as a whole.
class EMicCalibrationError : public std::runtime_error
{
public:
  EMicCalibrationError(int Line, const QString& Message);
  int Line() const { return FLine; }

private:
  int FLine;
};

// A microphone's calibration: optionally its sensitivity (the level it reads,
// in dB against a full-scale sine, for 94 dB SPL at SensitivityHz), and its
// response, the gain in dB it adds at each frequency, which is taken out.
struct TMicCalibration
{
  std::optional<double> Sensitivity; // dB at 94 dB SPL
  double SensitivityHz = 1000;
  std::vector<std::pair<double, double>> Response; // (Hz, dB), frequencies rising

  bool Empty() const { return !Sensitivity && Response.empty(); }
  // The response at Hz, interpolated on a logarithmic frequency axis and
  // held flat beyond the first and last frequencies; 0 without a response.
  double ResponseAt(double Hz) const;
  // The offset the sensitivity implies: 94 dB SPL reads as Sensitivity.
  std::optional<double> SensitivityOffset() const;
  bool operator==(const TMicCalibration&) const = default;
};

// Reads the text of a calibration file: blank lines; comments starting with
// '#', ';', '"' or '*'; at most one sensitivity line "*1000Hz -38.6"; then
// one "frequency gain" line per point (an optional third column, the phase,
// is ignored; fields split by blanks, tabs, commas or semicolons; '.' as the
// decimal separator), frequencies from 0.001 Hz to 10 MHz and rising, gains
// within 100 dB. Throws
// EMicCalibrationError naming the first bad line.
TMicCalibration ParseMicCalibration(const QByteArray& Text);
// Reads and parses a file (a regular file of at most 4 MB); throws
// EMicCalibrationError, whose message names the file.
TMicCalibration LoadMicCalibration(const QString& Path);

// How levels are shown: the weighting, and when calibrated the offset to dB
// SPL and the microphone's response taken out.
struct TLevelCorrection
{
  TWeighting Weighting = TWeighting::Z;
  bool Calibrated = false;
  double Offset = 0; // dB added to every level when calibrated
  TMicCalibration Mic;

  // Levels are shown as analysed: dB against a full-scale sine.
  bool IsIdentity() const { return Weighting == TWeighting::Z && !Calibrated; }
  // How far the floor and the level axes move.
  double Shift() const { return Calibrated ? Offset : 0.0; }
  // The gain in dB that a level at Hz gets.
  double GainAt(double Hz) const;
  // "dB", "dB(A)", "dB SPL", "dB(C) SPL" ...
  QString Unit() const;
  bool operator==(const TLevelCorrection&) const = default;
};

// A correction with its gains for the bins of one spectrum layout, made once
// per change of either.
class TLevelCorrector
{
public:
  const TLevelCorrection& Correction() const { return FCorrection; }
  void SetCorrection(const TLevelCorrection& Correction);

  // Gains in dB of bins 0 .. Bins-1, FreqStep apart.
  std::span<const double> Gains(double FreqStep, int Bins);
  // Makes a frame's levels (trace, spectrogram line and peak) again from its
  // magnitudes under the correction; the identity gives exactly what the
  // analysis gave.
  void Apply(TSpectrumFrame& Frame);

private:
  TLevelCorrection FCorrection;
  double FStep = -1;
  std::vector<double> FGains;
};

// The level of a frame's input in dB against a full-scale sine, its DC left
// out, the microphone's response taken out when the correction has one:
// what a calibrator reads. None for a frame without bins, and for silence.
std::optional<double> InputLevel(const TSpectrumFrame& Frame, const TLevelCorrection& Correction);

} // namespace duv
