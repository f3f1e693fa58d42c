// SPDX-License-Identifier: GPL-3.0-or-later
// Distortion and noise figures of a sine: the fundamental's frequency and
// level, THD, THD+N, SNR and SINAD. The frame goes through a Kaiser window
// of its own (beta 20: sidelobes some 180 dB down), so that neither the
// fundamental's leakage nor the display's choice of window colours the
// figures.
#pragma once

#include "analysis/SAGlobal.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <vector>

namespace duv {

struct TDistortion
{
  double Frequency = 0; // Hz, read between bins
  double Level = 0;     // dB against a full-scale sine
  double THD = 0;       // harmonics' amplitude over the fundamental's: 0.01 is 1 %
  double THDN = 0;      // harmonics and noise over the fundamental
  double SNR = 0;       // dB: the fundamental over the noise (harmonics left out)
  double SINAD = 0;     // dB: everything over everything but the fundamental
  int Harmonics = 0;    // harmonics counted: the 2nd up to the 10th, below half the rate
};

// Bins either side of a tone's bin that its lobe is summed over.
inline constexpr int DistortionLobe = 8;

class TDistortionMeter
{
public:
  // The figures of the first N samples, N the largest buffer size that
  // Samples holds, at Rate, with a full-scale sine of Bits reading 0 dB.
  // Noise is taken as spread evenly from 0 Hz to half the rate. None for
  // fewer than 256 samples, or when no tone stands 10 dB above the noise.
  std::optional<TDistortion> Measure(std::span<const double> Samples, double Rate, int Bits);

private:
  TAnalysis FAnalysis;
  TSpectrumFrame FFrame;
  std::vector<double> FWindow, FBuffer, FPower;
  std::vector<char> FTaken;
  double FNoiseBandwidth = 1;
};

// A ratio in percent and in dB (20 log10).
inline double Percent(double Ratio)
{
  return 100 * Ratio;
}
double RatioDecibels(double Ratio);

// What `measure` prints, one "name: value unit" line each, "." as the
// decimal separator: Frequency, Level (in LevelUnit), THD and THD+N in % and
// in dB, SNR and SINAD.
QStringList DistortionLines(const TDistortion& Figures, const QString& LevelUnit);
// "1.118 % (-39.0 dB)" in the user's locale: a ratio as the read-outs show it.
QString RatioText(double Ratio);
// A level or a ratio in dB with one decimal in the user's locale; "inf" for
// a ratio with nothing under it.
QString DecibelsText(double Value);

} // namespace duv
