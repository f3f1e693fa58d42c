// SPDX-License-Identifier: GPL-3.0-or-later
// A spectrum over time as a grid of levels: what the file spectrogram
// computes and what its pictures draw. Plain data, so the code that computes
// it and the code that draws it know nothing of each other.
#pragma once

#include <cstdint>
#include <vector>

namespace duv {

// Levels in dB against a full-scale sine of Bits, the width the samples were
// unpacked to: a full-scale sine reads 0 dB at its row, as in the window.
struct TFileSpectrogram
{
  int Width = 0, Height = 0;
  std::vector<float> Levels; // column after column, each from row 0 (0 Hz) up; -inf for silence
  int Bits = 0;
  double SampleRate = 0;
  double Seconds = 0; // the file's length
  // What the columns and rows stand for: time From .. To in seconds across,
  // FLow .. FHigh in Hz up, logarithmic with LogFrequency. Unset (To <= From,
  // FHigh <= FLow): the whole file, and 0 Hz to half the sample rate.
  double From = 0, To = 0;
  double FLow = 0, FHigh = 0;
  bool LogFrequency = false;
  // How many frames the busiest column averages (1 when frames overlap so
  // that each column has one of its own).
  std::int64_t FramesPerColumn = 0;
  int ThreadsUsed = 0;

  double TimeFrom() const { return To > From ? From : 0; }
  double TimeTo() const { return To > From ? To : Seconds; }
  double FreqLow() const { return FHigh > FLow ? FLow : 0; }
  double FreqHigh() const { return FHigh > FLow ? FHigh : SampleRate / 2; }

  float Level(int Column, int Row) const
  {
    return Levels[std::size_t(Column) * std::size_t(Height) + std::size_t(Row)];
  }
};

} // namespace duv
