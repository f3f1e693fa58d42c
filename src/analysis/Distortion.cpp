// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Distortion.h"

#include "support/DSupport.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace duv {

namespace {

constexpr double KaiserBeta = 20;
constexpr int HighestHarmonic = 10;
constexpr int MinimumSize = 256;

// The modified Bessel function of order 0, by its power series.
double BesselI0(double x)
{
  double sum = 1, term = 1;
  for (int k = 1; k < 500 && term > 1e-17 * sum; ++k) {
    const double h = x / (2 * k);
    term *= h * h;
    sum += term;
  }
  return sum;
}

// A percentage with four significant digits, never in exponent form.
QString PercentText(double Ratio, bool Locale)
{
  const double p = Percent(Ratio);
  int decimals =
      p > 0 && std::isfinite(p) ? std::clamp(3 - int(std::floor(std::log10(p))), 0, 12) : 3;
  // 0.99996 rounds to 1.0000: a digit more than four.
  if (decimals > 0 && std::abs(RoundToDecimals(decimals, p)) >= std::pow(10.0, 3 - decimals + 1))
    --decimals;
  return Locale ? FormatFixed(p, decimals) : QString::number(p, 'f', decimals);
}

QString DecibelText(double Value, int Decimals, bool Locale)
{
  if (std::isinf(Value))
    return Value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
  return Locale ? FormatFixed(Value, Decimals) : QString::number(Value, 'f', Decimals);
}

} // namespace

double RatioDecibels(double Ratio)
{
  return 20 * std::log10(Ratio);
}

std::optional<TDistortion> TDistortionMeter::Measure(std::span<const double> Samples, double Rate,
                                                     int Bits)
{
  int n = 0;
  for (int size : BufferSizes)
    if (std::size_t(size) <= Samples.size())
      n = size;
  if (n < MinimumSize || !(Rate > 0))
    return std::nullopt;
  if (FWindow.size() != std::size_t(n)) {
    // A periodic window scaled to a mean of 1, as the display's windows are.
    FWindow.resize(std::size_t(n));
    double sum = 0, squares = 0;
    for (int i = 0; i < n; ++i) {
      const double r = 2.0 * i / n - 1;
      FWindow[std::size_t(i)] = BesselI0(KaiserBeta * std::sqrt(std::max(0.0, 1 - r * r)));
      sum += FWindow[std::size_t(i)];
    }
    for (double& w : FWindow) {
      w *= n / sum;
      squares += w * w;
    }
    FNoiseBandwidth = squares / n;
  }
  // Centred on silence before the window, so that the offset of unsigned
  // samples stays in the DC bins.
  FBuffer.resize(std::size_t(n));
  const double silent = SilentLevel(Bits);
  for (std::size_t i = 0; i < FBuffer.size(); ++i)
    FBuffer[i] = (Samples[i] - silent) * FWindow[i];
  FAnalysis.AnalyzeWindowed(FBuffer, {Rate, n, Bits, 1, 0, TWindowKind::Rectangular}, FFrame);

  // Powers against a full-scale sine: a tone's lobe sums to its power.
  const int H = n / 2, L = DistortionLobe;
  const double reference = std::ldexp(1.0, Bits) / 2;
  const double scale = 1 / (reference * reference * FNoiseBandwidth);
  FPower.resize(std::size_t(H));
  for (int k = 0; k < H; ++k)
    FPower[std::size_t(k)] =
        FFrame.Magnitude[std::size_t(k)] * FFrame.Magnitude[std::size_t(k)] * scale;

  // Bins up to L belong to DC; the rest are the fundamental's, a harmonic's
  // or noise.
  const int first = L + 1, last = H - 1;
  if (last - first < 4 * L)
    return std::nullopt;
  const int peak = int(std::max_element(FPower.begin() + first, FPower.end()) - FPower.begin());
  FTaken.assign(std::size_t(H), 0);
  // Sums the lobe around bin Centre over bins not yet taken, and takes them.
  const auto lobe = [&](int Centre, double& Sum, double& Moment) {
    int count = 0;
    Sum = Moment = 0;
    for (int k = std::max(first, Centre - L); k <= std::min(last, Centre + L); ++k) {
      if (FTaken[std::size_t(k)])
        continue;
      FTaken[std::size_t(k)] = 1;
      Sum += FPower[std::size_t(k)];
      Moment += k * FPower[std::size_t(k)];
      ++count;
    }
    return count;
  };
  double fundamental = 0, moment = 0;
  const int fundamentalBins = lobe(peak, fundamental, moment);
  if (!(fundamental > 0))
    return std::nullopt;
  // The lobe's centre of power lies on the tone: the window's lobe is
  // symmetric and falls below double precision within the sum.
  const double tone = moment / fundamental;

  TDistortion r;
  std::vector<std::pair<double, int>> harmonics;
  for (int h = 2; h <= HighestHarmonic; ++h) {
    const double at = h * tone;
    if (at + L > last)
      break;
    double sum = 0, unused = 0;
    const int bins = lobe(int(std::lround(at)), sum, unused);
    harmonics.emplace_back(sum, bins);
    ++r.Harmonics;
  }
  double noise = 0;
  int noiseBins = 0;
  for (int k = first; k <= last; ++k)
    if (!FTaken[std::size_t(k)]) {
      noise += FPower[std::size_t(k)];
      ++noiseBins;
    }
  if (noiseBins == 0)
    return std::nullopt;
  // The noise under the lobes is estimated from the bins around them.
  const double density = noise / noiseBins;
  const double signal = fundamental - density * fundamentalBins;
  if (!(signal > 10 * density * fundamentalBins))
    return std::nullopt;
  double distortion = 0;
  for (const auto& [sum, bins] : harmonics)
    distortion += std::max(0.0, sum - density * bins);
  const double noiseTotal = density * H; // 0 Hz to half the rate
  const double rest = distortion + noiseTotal;

  r.Frequency = tone * FFrame.Format.FreqStep();
  r.Level = 10 * std::log10(signal);
  r.THD = std::sqrt(distortion / signal);
  r.THDN = std::sqrt(rest / signal);
  r.SNR = 10 * std::log10(signal / noiseTotal);
  r.SINAD = 10 * std::log10((signal + rest) / rest);
  return r;
}

QStringList DistortionLines(const TDistortion& f, const QString& LevelUnit)
{
  return {QStringLiteral("Frequency: %1 Hz").arg(QString::number(f.Frequency, 'f', 3)),
          QStringLiteral("Level: %1 %2").arg(DecibelText(f.Level, 2, false), LevelUnit),
          QStringLiteral("THD: %1 %").arg(PercentText(f.THD, false)),
          QStringLiteral("THD: %1 dB").arg(DecibelText(RatioDecibels(f.THD), 2, false)),
          QStringLiteral("THD+N: %1 %").arg(PercentText(f.THDN, false)),
          QStringLiteral("THD+N: %1 dB").arg(DecibelText(RatioDecibels(f.THDN), 2, false)),
          QStringLiteral("SNR: %1 dB").arg(DecibelText(f.SNR, 2, false)),
          QStringLiteral("SINAD: %1 dB").arg(DecibelText(f.SINAD, 2, false))};
}

QString RatioText(double Ratio)
{
  return QStringLiteral("%1 % (%2 dB)")
      .arg(PercentText(Ratio, true), DecibelText(RatioDecibels(Ratio), 1, true));
}

QString DecibelsText(double Value)
{
  return DecibelText(Value, 1, true);
}

} // namespace duv
