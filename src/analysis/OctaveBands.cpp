// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/OctaveBands.h"

#include "support/DSupport.h"

#include <algorithm>
#include <cmath>

namespace duv {

namespace {

// The nominal names of the ten third octaves of a decade, from 1000 Hz.
constexpr double Nominals[10] = {1000, 1250, 1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000};

// Third-octave indexes x (1000 Hz is 0) of the 10 Hz and 20 kHz bands.
constexpr int LowestThird = -20;
constexpr int HighestThird = 13;

} // namespace

std::vector<TBand> StandardBands(int Fraction)
{
  std::vector<TBand> bands;
  if (Fraction != OctaveFraction && Fraction != ThirdOctaveFraction)
    return bands;
  // An octave is three thirds: its bands are every third third octave, the
  // one at 1 kHz among them.
  const int step = 3 / Fraction;
  const double halfWidth = std::pow(10.0, 0.3 / (2 * Fraction));
  for (int x = LowestThird; x <= HighestThird; ++x) {
    if (x % step != 0)
      continue;
    const int decade = x >= 0 ? x / 10 : -((-x + 9) / 10);
    TBand b;
    b.Centre = 1000 * std::pow(10.0, x / 10.0);
    // Divided by an exact power of ten, so that 31.5 is 31.5.
    const double nominal = Nominals[x - 10 * decade];
    b.Nominal = decade >= 0 ? nominal * std::pow(10.0, decade) : nominal / std::pow(10.0, -decade);
    b.Low = b.Centre / halfWidth;
    b.High = b.Centre * halfWidth;
    bands.push_back(b);
  }
  return bands;
}

std::vector<TBand> ResolvedBands(int Fraction, const TFrameFormat& Format)
{
  std::vector<TBand> bands;
  const double step = Format.FreqStep();
  if (!(step > 0))
    return bands;
  for (const TBand& b : StandardBands(Fraction))
    if (b.High - b.Low >= step && b.High <= Format.MaxFreq())
      bands.push_back(b);
  return bands;
}

double NoiseBandwidth(TWindowKind Window)
{
  // For a periodic cosine sum the mean of w^2 is a0^2 + (a1^2 + a2^2 + ...)/2,
  // and the mean of w is a0.
  const std::array<double, 5> a = WindowTerms(Window);
  double sum = a[0] * a[0];
  for (std::size_t m = 1; m < a.size(); ++m)
    sum += a[m] * a[m] / 2;
  return sum / (a[0] * a[0]);
}

void BinPowers(const TSpectrumFrame& Frame, std::span<const double> GainsDb,
               std::vector<double>& Powers)
{
  const std::size_t n = Frame.Magnitude.size();
  Powers.resize(n);
  const double reference = std::ldexp(1.0, Frame.Format.Bits) / 2;
  const double scale = 1 / (reference * reference * NoiseBandwidth(Frame.Format.Window));
  for (std::size_t k = 0; k < n; ++k) {
    double p = Frame.Magnitude[k] * Frame.Magnitude[k] * scale;
    if (k < GainsDb.size())
      p *= std::pow(10.0, GainsDb[k] / 10);
    Powers[k] = p;
  }
}

void AddBandPowers(std::span<const double> Powers, double FreqStep, std::span<const TBand> Bands,
                   std::span<double> Totals)
{
  if (!(FreqStep > 0))
    return;
  const std::size_t bins = Powers.size();
  for (std::size_t i = 0; i < Bands.size() && i < Totals.size(); ++i) {
    // Edges in bins: bin k covers k - 1/2 .. k + 1/2.
    const double lo = Bands[i].Low / FreqStep, hi = Bands[i].High / FreqStep;
    const auto first = std::size_t(std::max(1.0, std::floor(lo + 0.5)));
    const auto last = std::size_t(std::clamp(std::floor(hi + 0.5), 0.0, double(bins) - 1));
    double sum = 0;
    for (std::size_t k = first; k <= last && k < bins; ++k) {
      const double from = std::max(lo, k - 0.5), to = std::min(hi, k + 0.5);
      if (to > from)
        sum += Powers[k] * (to - from);
    }
    Totals[i] += sum;
  }
}

double PowerLevel(double Power, double Floor)
{
  const double v = 10 * std::log10(Power);
  return v >= Floor ? v : Floor; // -inf and NaN fail the test
}

QString BandName(const TBand& Band, bool Short)
{
  const double n = Band.Nominal;
  if (Short && n >= 1000)
    return ShortestText(n / 1000) + QLatin1Char('k');
  return ShortestText(n);
}

} // namespace duv
