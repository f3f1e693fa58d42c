#include "analysis/Windows.h"

#include <cmath>
#include <numbers>

namespace duv {

namespace {

struct TWindowEntry
{
  TWindowKind Kind;
  const char* Name;
};

constexpr TWindowEntry Windows[] = {
    {TWindowKind::Hann, "hann"},
    {TWindowKind::Rectangular, "rectangular"},
};

} // namespace

std::optional<TWindowKind> WindowByName(const QString& Name)
{
  for (const TWindowEntry& w : Windows)
    if (Name.compare(QLatin1String(w.Name), Qt::CaseInsensitive) == 0)
      return w.Kind;
  return std::nullopt;
}

QString WindowName(TWindowKind Kind)
{
  for (const TWindowEntry& w : Windows)
    if (w.Kind == Kind)
      return QLatin1String(w.Name);
  return {};
}

QStringList WindowNames()
{
  QStringList names;
  for (const TWindowEntry& w : Windows)
    names << QLatin1String(w.Name);
  return names;
}

std::vector<double> WindowCoefficients(TWindowKind Kind, int N)
{
  std::vector<double> w(std::size_t(std::max(N, 0)), 1.0);
  if (Kind == TWindowKind::Hann)
    for (int n = 0; n < N; ++n)
      w[std::size_t(n)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / N);
  return w;
}

int WindowHop(TWindowKind Kind, int N)
{
  return Kind == TWindowKind::Hann ? std::max(N / 2, 1) : std::max(N, 1);
}

} // namespace duv
