// SPDX-License-Identifier: GPL-3.0-or-later
// Round tick values for readable axes: steps of 1, 2 or 5 times a power of
// ten, labels as short as the step allows ("1.5k", "−20"), the digits between
// the decades of a logarithmic axis where there is room, and the axis's unit
// at its far end, with the labels that would collide left out. Shared by the
// graphs, the spectrogram, its colour bar and the command line's picture. No
// widget here.
#pragma once

#include "graph/AxisMath.h"

#include <QChar>
#include <QString>
#include <vector>

namespace duv {

// The step between labels of an axis spanning `span` that keeps at most
// `most` labels: 1, 2 or 5 times a power of ten (with `db`, also 3 and 6
// times, and 12, 24 and 48, which suit decibels of sample widths).
double LabelStep(double span, int most, bool db = false);

// Values first + k * step within [Low, High]; a hair beyond either end
// counts, so that rounding never loses an end tick.
std::vector<double> StepTicks(double Low, double High, double Step);

// The step between clock labels of a time axis spanning `span` seconds
// that keeps at most `most` labels: 1, 2 or 5 tenths or seconds, then 10,
// 15, 20 or 30 seconds or minutes, then 1, 2, 3, 6, 12 or 24 hours.
double ClockStep(double span, int most);

// How many decimals a label needs to show multiples of Step.
int StepDecimals(double Step);

// How the labels of one axis are written: in thousands with a "k" where the
// axis reaches them (and the step is not too fine for it), with the decimals
// the step needs.
struct TLabelFormat
{
  bool Kilo = false;
  int Decimals = 0;
};
TLabelFormat LabelFormatFor(double Step, double Largest);
// A label in that format: a true minus sign, and never "−0".
QString RoundLabel(double Value, const TLabelFormat& Format, QChar DecimalPoint = QLatin1Char('.'));

// One axis to tick: the raw value Min at pixel 0 and Max at pixel Pixels
// (either may be the larger); labels show raw values times Multiplier and are
// round in those units.
struct TTickAxis
{
  double Min = 0;
  double Max = 1;
  bool Log = false;
  int Pixels = 100;
  // Labels stacked a line apart (a vertical axis), or side by side, each as
  // wide as its text.
  bool Vertical = false;
  double Multiplier = 1;
  bool Decibels = false; // also steps of 3 and 6
  // Seconds: an axis that reaches a minute steps as a clock does (10 s,
  // 30 s, 1 min, 5 min ... 1 h) and reads m:ss or h:mm:ss, without the unit.
  bool Clock = false;
  QString Unit; // shown once, at the far end; none when empty
  QChar DecimalPoint = QLatin1Char('.');
};

// The ticks of an axis in order along it: each with its raw value, its pixel
// from the start (rounded), a grid line unless it lies on an end, and its
// label where the label does not run into the one before it. A logarithmic
// axis ticks every decade and, room allowing, 2 and 5 or every digit between
// (dotted lines, and labels when they fit). Last comes the unit, at
// Pixels, marked Unit; the labels it would cover are left out. An axis that
// cannot be ticked (no span, no pixels, a log axis reaching zero) has none.
std::vector<TAxisTick> RoundAxisTicks(const TTickAxis& Axis, const TTextMeasure& Font);

} // namespace duv
