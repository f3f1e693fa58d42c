// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/WaveStretch.h"

#include "analysis/SAGlobal.h"

#include <algorithm>
#include <cmath>

namespace duv {

std::int64_t StretchOffsetSamples(double seconds, double rate)
{
  const long double p = static_cast<long double>(seconds) * rate;
  if (!(p > 0))
    return 0;
  if (p >= 9.0e18L)
    return INT64_MAX;
  const long double nearest = std::nearbyint(p);
  // Decimal seconds rarely have an exact binary form; a relative slack far
  // below one sample in any file keeps whole positions whole.
  if (std::fabs(p - nearest) <= 1e-9L * std::max<long double>(1, p))
    return static_cast<std::int64_t>(nearest);
  return static_cast<std::int64_t>(std::trunc(p));
}

int FillStretch(const TSoundData& data, std::int64_t offset, int n, double* re)
{
  const TSoundArray& ch = data.Channels[0];
  const std::int64_t available = std::min<std::int64_t>(data.SamplesPerChannel, ch.size());
  int used = 0;
  if (offset >= 0 && offset < available)
    used = int(std::min<std::int64_t>(n, available - offset));
  for (int i = 0; i < used; ++i)
    re[i] = ch[offset + i];
  std::fill(re + used, re + n, SilentLevel(data.Format.wBitsPerSample));
  return used;
}

} // namespace duv
