// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/SpectrumPeaks.h"

#include "analysis/SAGlobal.h"
#include "support/DSupport.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace duv {

namespace {

double Decibels(double amplitude, double reference)
{
  return 20 * std::log10(amplitude / reference);
}

// The tone's offset from bin k towards its larger neighbour (0 .. 0.5 bins)
// whose window lobe gives the two bins the ratio r = neighbour / bin:
// |W(1 - d)| / |W(d)| rises from its value at 0 to 1 at half a bin. For Hann
// this is the closed form (2r - 1) / (r + 1). Noise or a second tone can
// make r anything: the offset never leaves the half bin.
double TwoBinOffset(TWindowKind w, double r)
{
  if (w == TWindowKind::Hann)
    return std::clamp((2 * r - 1) / (r + 1), 0.0, 0.5);
  const auto ratio = [w](double d) {
    return std::abs(WindowLobe(w, 1 - d)) / std::abs(WindowLobe(w, d));
  };
  if (!(r > ratio(0)))
    return 0;
  if (r >= 1)
    return 0.5;
  double lo = 0, hi = 0.5;
  for (int i = 0; i < 40; ++i) {
    const double mid = (lo + hi) / 2;
    (ratio(mid) < r ? lo : hi) = mid;
  }
  return (lo + hi) / 2;
}

// How much a bin's level can rise when it is refined: the lobe at half a
// bin is the deepest the two-bin offset reaches.
double MostGain(TWindowKind w)
{
  return 1 / std::abs(WindowLobe(w, 0.5));
}

} // namespace

TNoteCents NoteAndCents(double Freq)
{
  // The same semitone scale and rounding as NoteName.
  if (!(Freq >= 16.352))
    return {NoteName(Freq), 0};
  const long double s = NoteSemitones(Freq);
  const std::int64_t n = Round64(s);
  return {NoteNameOf(n), Round(100 * (s - n))};
}

TPeak RefinePeak(const TPeakSpectrum& Spectrum, int k)
{
  const std::span<const double> m = Spectrum.Magnitude;
  TPeak p;
  p.Frequency = k * Spectrum.FreqStep;
  p.Level = Decibels(m[std::size_t(k)], Spectrum.Reference);
  const bool inside = k >= 1 && k + 1 < int(m.size());
  if (inside && m[std::size_t(k)] > 0) {
    const double left = m[std::size_t(k - 1)], mid = m[std::size_t(k)], right = m[std::size_t(k + 1)];
    const bool toRight = right >= left;
    // Bins from k to the tone.
    const double delta =
        TwoBinOffset(Spectrum.Window, (toRight ? right : left) / mid) * (toRight ? 1 : -1);
    p.Level = Decibels(mid / std::abs(WindowLobe(Spectrum.Window, delta)), Spectrum.Reference);
    p.Frequency = (k + delta) * Spectrum.FreqStep;
  }
  p.Note = NoteAndCents(p.Frequency);
  return p;
}

std::optional<TPeak> StrongestPeak(const TPeakSpectrum& Spectrum)
{
  const auto peaks = FindPeaks(Spectrum, 1);
  if (peaks.empty())
    return std::nullopt;
  return peaks.front();
}

std::vector<TPeak> FindPeaks(const TPeakSpectrum& Spectrum, int Count)
{
  const std::span<const double> m = Spectrum.Magnitude;
  const int size = int(m.size());
  std::vector<int> bins;
  for (int k = 1; k < size; ++k) {
    if (!(m[std::size_t(k)] > 0) || m[std::size_t(k)] <= m[std::size_t(k - 1)])
      continue;
    // A flat top counts once, at its first bin, if it falls on its far side.
    int last = k;
    while (last + 1 < size && m[std::size_t(last + 1)] == m[std::size_t(k)])
      ++last;
    if (last + 1 == size || m[std::size_t(last + 1)] < m[std::size_t(k)])
      bins.push_back(k);
    k = last;
  }
  // The order is the refined levels', which can pass a bin's by up to the
  // window's scalloping loss: refine the strongest bins first, until no bin
  // left could reach the Count-th refined level.
  std::stable_sort(bins.begin(), bins.end(),
                   [&m](int a, int b) { return m[std::size_t(a)] > m[std::size_t(b)]; });
  const std::size_t count = std::size_t(std::max(Count, 0));
  if (count == 0)
    return {};
  const double gain = MostGain(Spectrum.Window);
  std::vector<TPeak> peaks;
  std::vector<double> levels; // the refined levels so far, strongest first
  for (int k : bins) {
    if (peaks.size() >= count &&
        !(Decibels(m[std::size_t(k)] * gain, Spectrum.Reference) > levels[count - 1]))
      break;
    peaks.push_back(RefinePeak(Spectrum, k));
    levels.insert(
        std::upper_bound(levels.begin(), levels.end(), peaks.back().Level, std::greater<>()),
        peaks.back().Level);
  }
  // Strongest first; equal levels by frequency.
  std::stable_sort(peaks.begin(), peaks.end(), [](const TPeak& a, const TPeak& b) {
    return a.Level > b.Level || (a.Level == b.Level && a.Frequency < b.Frequency);
  });
  if (peaks.size() > count)
    peaks.resize(count);
  return peaks;
}

QString PeakText(const TPeak& Peak)
{
  QString text = FormatFixed(Peak.Frequency, 1) + QStringLiteral(" Hz  ") +
                 FormatFixed(Peak.Level, 1) + QStringLiteral(" dB  ") + Peak.Note.Note;
  if (Peak.Frequency >= 16.352)
    text += QStringLiteral(" %1%2 cents")
                .arg(Peak.Note.Cents < 0 ? QStringLiteral("-") : QStringLiteral("+"))
                .arg(std::abs(Peak.Note.Cents));
  return text;
}

} // namespace duv
