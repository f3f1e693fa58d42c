// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/Loopback.h"

#include "support/DSupport.h"
#include "synth/SynthWave.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace duv {

namespace {

// The sweep's frames: fine enough for the 20 Hz third octave at 48 kHz, and
// a hop of a quarter, at which Hann's squares add up to a constant, so that
// no moment of the sweep weighs more than another.
constexpr int SweepFrame = 16384;
constexpr int SweepHop = SweepFrame / 4;
// The sine is read this long after it starts, past any fade-in of the path.
constexpr double SettleSeconds = 0.25;
// The sweep's ends rise and fall over this long, so they do not click.
constexpr double FadeSeconds = 0.01;

std::int64_t Samples(double Seconds, int Rate)
{
  return std::llround(Seconds * Rate);
}

// The band energies of Signal[From .. From + Count), zero beyond its end.
std::vector<double> BandEnergies(std::span<const double> Signal, std::int64_t From,
                                 std::int64_t Count, int Rate, std::span<const TBand> Bands)
{
  TAnalysis analysis;
  TSpectrumFrame frame;
  std::vector<double> buffer(SweepFrame), powers, totals(Bands.size(), 0.0);
  const TFrameFormat format{double(Rate), SweepFrame, 16, 1, 0, TWindowKind::Hann};
  for (std::int64_t at = From - SweepFrame; at < From + Count; at += SweepHop) {
    for (int i = 0; i < SweepFrame; ++i) {
      const std::int64_t k = at + i;
      buffer[std::size_t(i)] =
          k >= From && k < From + Count && k >= 0 && k < std::int64_t(Signal.size())
              ? Signal[std::size_t(k)]
              : 0.0;
    }
    analysis.Analyze(buffer, format, frame);
    BinPowers(frame, {}, powers);
    AddBandPowers(powers, format.FreqStep(), Bands, totals);
  }
  return totals;
}

} // namespace

std::int64_t TLoopbackSettings::SineSamples() const
{
  return Samples(SineSeconds, Rate);
}

std::int64_t TLoopbackSettings::SweepStart() const
{
  return SineSamples() + Samples(GapSeconds, Rate);
}

std::int64_t TLoopbackSettings::SweepSamples() const
{
  return Samples(SweepSeconds, Rate);
}

std::int64_t TLoopbackSettings::TotalSamples() const
{
  return SweepStart() + SweepSamples() + Samples(TailSeconds, Rate);
}

double TLoopbackSettings::SweepEnd() const
{
  return std::min(SweepTo, 0.45 * Rate);
}

std::vector<double> LoopbackSignal(const TLoopbackSettings& s)
{
  std::vector<double> signal(std::size_t(std::max<std::int64_t>(s.TotalSamples(), 0)), 0.0);
  TSynthParams sine;
  sine.Freq = s.Frequency;
  sine.Amp = s.Amplitude;
  sine.FrameLength = std::int32_t(s.SineSamples());
  sine.Rate = s.Rate;
  const std::vector<double> tone = GenerateWave(sine);
  std::copy(tone.begin(), tone.end(), signal.begin());

  // Exponential: the phase of a sweep whose frequency is f1 e^(t/T ln(f2/f1)).
  const double f1 = s.SweepFrom, f2 = s.SweepEnd();
  const std::int64_t n = s.SweepSamples(), fade = Samples(FadeSeconds, s.Rate);
  const double seconds = double(n) / s.Rate, rate = std::log(f2 / f1) / seconds;
  for (std::int64_t i = 0; i < n; ++i) {
    const double t = double(i) / s.Rate;
    const double phase = 2 * std::numbers::pi * f1 * (std::exp(rate * t) - 1) / rate;
    const double edge = std::min({1.0, double(i) / fade, double(n - 1 - i) / fade});
    const double gain = edge < 1 ? std::sin(std::numbers::pi / 2 * edge) : 1.0;
    signal[std::size_t(s.SweepStart() + i)] = s.Amplitude * gain * std::sin(phase);
  }
  return signal;
}

double TLoopbackResult::Spread() const
{
  if (Response.empty())
    return 0;
  const auto [lo, hi] = std::minmax_element(
      Response.begin(), Response.end(),
      [](const TResponsePoint& a, const TResponsePoint& b) { return a.Gain < b.Gain; });
  return hi->Gain - lo->Gain;
}

std::int64_t SignalOnset(std::span<const double> Captured, double Amplitude, double Scale)
{
  const double threshold = Amplitude * Scale / 4;
  for (std::size_t i = 0; i < Captured.size(); ++i)
    if (std::abs(Captured[i]) > threshold)
      return std::int64_t(i);
  return -1;
}

TLoopbackResult AnalyseLoopback(const TLoopbackSettings& s, std::span<const double> Played,
                                std::span<const double> Captured)
{
  const std::int64_t onset = SignalOnset(Captured, s.Amplitude, 32767);
  if (onset < 0)
    throw std::runtime_error("No signal came back: is the input hearing the output?");
  TLoopbackResult r;
  // The sine starts at a zero crossing, so its onset is within a quarter
  // period of where it crossed the threshold.
  r.Delay = onset;
  const std::int64_t margin = Samples(SettleSeconds, s.Rate);
  const std::int64_t sweepFrom = s.SweepStart() - margin;
  const std::int64_t sweepCount = s.SweepSamples() + 2 * margin;
  if (onset + sweepFrom + sweepCount > std::int64_t(Captured.size()))
    throw std::runtime_error("The signal came back cut short: the capture ended before it did.");

  TDistortionMeter meter;
  const std::int64_t sineFrom = onset + margin;
  const std::int64_t sineCount =
      std::min<std::int64_t>(MaxBufferSize, s.SineSamples() - 2 * margin);
  const auto figures =
      meter.Measure(Captured.subspan(std::size_t(sineFrom), std::size_t(sineCount)), s.Rate, 16);
  if (!figures)
    throw std::runtime_error("The sine came back buried in noise: no tone stands out.");
  r.Figures = *figures;

  // Bands that the sweep passes through whole.
  std::vector<TBand> bands;
  const TFrameFormat format{double(s.Rate), SweepFrame, 16, 1, 0, TWindowKind::Hann};
  for (const TBand& b : ResolvedBands(ThirdOctaveFraction, format))
    if (b.Low >= 1.5 * s.SweepFrom && b.High <= s.SweepEnd())
      bands.push_back(b);
  const std::vector<double> played = BandEnergies(Played, sweepFrom, sweepCount, s.Rate, bands);
  const std::vector<double> heard =
      BandEnergies(Captured, onset + sweepFrom, sweepCount, s.Rate, bands);
  for (std::size_t i = 0; i < bands.size(); ++i)
    r.Response.push_back({bands[i], 10 * std::log10(heard[i] / played[i])});
  return r;
}

QString LoopbackReport(const TLoopbackResult& Result)
{
  QStringList lines = DistortionLines(Result.Figures, QStringLiteral("dB"));
  lines << QStringLiteral("Delay: %1 samples").arg(Result.Delay);
  lines << QStringLiteral("Response spread: %1 dB").arg(QString::number(Result.Spread(), 'f', 2));
  lines << QString() << QStringLiteral("centre_hz gain_db");
  for (const TResponsePoint& p : Result.Response)
    // A gain that rounds to zero reads 0.00, never -0.00.
    lines << QStringLiteral("%1 %2").arg(
        BandName(p.Band, false), QString::number(std::abs(p.Gain) < 0.005 ? 0.0 : p.Gain, 'f', 2));
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace duv
