// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/WindowFunctions.h"

#include "analysis/RealFourier.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <map>
#include <mutex>
#include <numbers>

namespace duv {

namespace {

struct Definition
{
  TWindowKind Kind;
  const char* Name;
  const char* Caption;
  // Cosine-sum coefficients a0 .. a4: w = a0 - a1 cos x + a2 cos 2x - ...
  std::array<double, 5> A;
};

constexpr Definition Definitions[] = {
    {TWindowKind::Rectangular, "rectangular", "Rectangular", {1, 0, 0, 0, 0}},
    {TWindowKind::Hann, "hann", "Hann", {0.5, 0.5, 0, 0, 0}},
    {TWindowKind::Hamming, "hamming", "Hamming", {0.54, 0.46, 0, 0, 0}},
    {TWindowKind::Blackman, "blackman", "Blackman", {0.42, 0.5, 0.08, 0, 0}},
    {TWindowKind::BlackmanHarris,
     "blackman-harris",
     "Blackman-Harris",
     {0.35875, 0.48829, 0.14128, 0.01168, 0}},
    {TWindowKind::FlatTop,
     "flat-top",
     "Flat Top",
     {0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368}},
};

const Definition& Of(TWindowKind Kind)
{
  for (const Definition& d : Definitions)
    if (d.Kind == Kind)
      return d;
  return Definitions[0];
}

} // namespace

QString WindowName(TWindowKind Kind) { return QString::fromLatin1(Of(Kind).Name); }

QString WindowCaption(TWindowKind Kind) { return QString::fromLatin1(Of(Kind).Caption); }

std::optional<TWindowKind> WindowFromName(const QString& Name)
{
  for (const Definition& d : Definitions)
    if (Name == QLatin1String(d.Name))
      return d.Kind;
  return std::nullopt;
}

QStringList WindowNames()
{
  QStringList names;
  for (const Definition& d : Definitions)
    names << QString::fromLatin1(d.Name);
  return names;
}

std::array<double, 5> WindowTerms(TWindowKind Kind) { return Of(Kind).A; }

double WindowLobe(TWindowKind Kind, double x)
{
  // The transform of a cosine sum is a sum of shifted sinc lobes: a0 at the
  // tone and a_m / 2 at m bins either side.
  const auto sinc = [](double v) {
    return std::abs(v) < 1e-12 ? 1.0 : std::sin(std::numbers::pi * v) / (std::numbers::pi * v);
  };
  const std::array<double, 5>& a = Of(Kind).A;
  double w = a[0] * sinc(x);
  for (int m = 1; m < 5; ++m)
    w += a[std::size_t(m)] / 2 * (sinc(x - m) + sinc(x + m));
  return w / a[0];
}

std::shared_ptr<const std::vector<double>> WindowCoefficients(TWindowKind Kind, int n)
{
  static std::mutex lock;
  static std::map<std::pair<TWindowKind, int>, std::shared_ptr<const std::vector<double>>> cache;
  n = std::max(n, 0);
  const std::lock_guard guard(lock);
  auto& slot = cache[{Kind, n}];
  if (!slot) {
    const Definition& d = Of(Kind);
    auto w = std::make_shared<std::vector<double>>(std::size_t(n));
    for (int i = 0; i < n; ++i) {
      const long double x = 2 * std::numbers::pi_v<long double> * i / n;
      // The window's values rely on this long-double sum to the bit. The
      // term of cos 0 is a0 itself, and a zero coefficient adds nothing
      // (a signed zero leaves a sum as it was), so neither is evaluated.
      long double v = d.A[0];
      for (int k = 1; k < 5; ++k)
        if (d.A[std::size_t(k)] != 0)
          v += (k % 2 ? -1 : 1) * d.A[std::size_t(k)] * std::cos(k * x);
      // The mean of a periodic cosine sum is a0: dividing by it corrects the
      // coherent gain.
      (*w)[std::size_t(i)] = static_cast<double>(v / d.A[0]);
    }
    slot = std::move(w);
  }
  return slot;
}

std::shared_ptr<const std::vector<double>> WindowTable(TWindowKind Kind, int n)
{
  if (n < 4 || !std::has_single_bit(unsigned(n)))
    return WindowCoefficients(Kind, n);
  static std::mutex lock;
  static std::map<std::pair<TWindowKind, int>, std::shared_ptr<const std::vector<double>>> cache;
  const std::lock_guard guard(lock);
  auto& slot = cache[{Kind, n}];
  if (!slot) {
    const std::array<double, 5>& a = Of(Kind).A;
    const std::vector<double>& c = *CosineTable(n);
    auto w = std::make_shared<std::vector<double>>(std::size_t(n));
    // cos(k 2 pi i/n) is the table's entry k i mod n. The window is even
    // about n/2, so the second half mirrors the first.
    for (int i = 0; i <= n / 2; ++i) {
      double v = a[0];
      for (int k = 1; k < 5; ++k)
        if (a[std::size_t(k)] != 0)
          v += (k % 2 ? -1 : 1) * a[std::size_t(k)] * c[std::size_t((k * i) & (n - 1))];
      (*w)[std::size_t(i)] = v / a[0];
      if (i > 0 && i < n / 2)
        (*w)[std::size_t(n - i)] = v / a[0];
    }
    slot = std::move(w);
  }
  return slot;
}

void ApplyWindow(TWindowKind Kind, double* x, int n)
{
  if (Kind == TWindowKind::Rectangular || n <= 0)
    return;
  const auto w = WindowCoefficients(Kind, n);
  for (int i = 0; i < n; ++i)
    x[i] *= (*w)[std::size_t(i)];
}

} // namespace duv
