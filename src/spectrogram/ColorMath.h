// SPDX-License-Identifier: GPL-3.0-or-later
// Colour arithmetic behind the colour bar: brightness, contrast, RGB vectors
// and hue/saturation/value conversion. Pure: no Qt types.
#pragma once

#include "support/DSupport.h"

namespace duv {

// A colour as three channel fractions 0..1 (red, green, blue).
struct TColorVector
{
  double X = 0, Y = 0, Z = 0;
};

// Hue in degrees (-1 for black), saturation and value 0..1.
struct THSV
{
  long double H = -1, S = 0, V = 0;
};

// (R + G + B) div 3.
int Brightness(TColor color);

// Each channel 255 when below 128, else 0: readable text on that colour.
TColor ContrastColor(TColor color);

TColorVector ColorToVector(TColor color);

// Channels scaled by 255, clamped to 0..255 and rounded ties to even.
TColor VectorToColor(const TColorVector& v);

THSV ColorToHSV(TColor color);

TColor HSVToColor(long double h, long double s, long double v);
inline TColor HSVToColor(const THSV& hsv)
{
  return HSVToColor(hsv.H, hsv.S, hsv.V);
}

} // namespace duv
