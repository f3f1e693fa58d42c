// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/ColorMath.h"

#include <algorithm>
#include <cmath>

namespace duv {

namespace {
// Channel fraction to an 8-bit channel; out-of-range values (a gradient can
// overshoot by rounding) are held to 0..255 rather than wrapping.
int ToChannel(long double x)
{
  return std::clamp(Round(x * 255), 0, 255);
}
} // namespace

int Brightness(TColor color)
{
  return (RedOf(color) + GreenOf(color) + BlueOf(color)) / 3;
}

TColor ContrastColor(TColor color)
{
  auto flip = [](int c) { return c < 128 ? 255 : 0; };
  return MakeColor(flip(RedOf(color)), flip(GreenOf(color)), flip(BlueOf(color)));
}

TColorVector ColorToVector(TColor color)
{
  return {RedOf(color) / 255.0, GreenOf(color) / 255.0, BlueOf(color) / 255.0};
}

TColor VectorToColor(const TColorVector& v)
{
  auto channel = [](double x) { return Round(std::clamp(x * 255.0, 0.0, 255.0)); };
  return MakeColor(channel(v.X), channel(v.Y), channel(v.Z));
}

THSV ColorToHSV(TColor color)
{
  const long double r = RedOf(color) / 255.0L;
  const long double g = GreenOf(color) / 255.0L;
  const long double b = BlueOf(color) / 255.0L;
  const long double mx = std::max({r, g, b});
  const long double mn = std::min({r, g, b});
  THSV hsv{-1, 0, mx};
  if (mx == 0)
    return hsv;
  const long double d = mx - mn;
  hsv.S = d / mx;
  long double h;
  if (d == 0)
    h = 0;
  else if (r == mx)
    h = (g - b) / d;
  else if (g == mx)
    h = 2 + (b - r) / d;
  else
    h = 4 + (r - g) / d;
  h *= 60;
  while (h < 0)
    h += 360;
  hsv.H = h;
  return hsv;
}

TColor HSVToColor(long double h, long double s, long double v)
{
  if (s == 0) {
    const int c = ToChannel(v);
    return MakeColor(c, c, c);
  }
  const double hh = static_cast<double>(h / 60);
  const long double i = std::floor(static_cast<long double>(hh));
  const long double f = hh - i;
  const long double p = v * (1 - s);
  const long double q = v * (1 - s * f);
  const long double t = v * (1 - s * (1 - f));
  long double r, g, b;
  // NaN or huge hues fall through to the last sextant like negative ones.
  const int sextant = (i >= 0 && i <= 5) ? static_cast<int>(i) : -1;
  switch (sextant) {
  case 0:
    r = v, g = t, b = p;
    break;
  case 1:
    r = q, g = v, b = p;
    break;
  case 2:
    r = p, g = v, b = t;
    break;
  case 3:
    r = p, g = q, b = v;
    break;
  case 4:
    r = t, g = p, b = v;
    break;
  default:
    r = v, g = p, b = q;
    break;
  }
  return MakeColor(ToChannel(r), ToChannel(g), ToChannel(b));
}

} // namespace duv
