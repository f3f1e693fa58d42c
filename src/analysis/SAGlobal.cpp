// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/SAGlobal.h"

#include "analysis/SpectrumMath.h"
#include "support/DSupport.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace duv {

int ComboBufferSize(int itemIndex)
{
  return (itemIndex >= 0 && itemIndex < 8) ? BufferSizes[itemIndex] : 256;
}

bool IsBufferSize(int n)
{
  for (int s : BufferSizes)
    if (s == n)
      return true;
  return false;
}

TSpectrumSetup ComputeSpectrumSetup(int Bits, int Size, double SampleRate, double TimeSpan,
                                    int CaptureRate, int CaptureSize)
{
  TSpectrumSetup s;
  s.Floor = DecibelFloor(Bits);
  const long double framesPerSecond =
      CaptureSize > 0 ? static_cast<long double>(CaptureRate) / CaptureSize : 0.0L;
  s.LineCount = std::max(0, Trunc(framesPerSecond * TimeSpan));
  s.FreqStep = Size > 0 ? SampleRate / Size : 0.0;
  s.MaxFreq = (Size / 2.0) * s.FreqStep;
  s.ImageWidth = Size / 2;
  return s;
}

TAnalysis::TAnalysis() : FReal(MaxBufferSize, 0.0), FImag(MaxBufferSize, 0.0) {}

double SilentLevel(int Bits)
{
  return Bits == 8 ? 128 : Bits == 4 ? 7.5 : 0;
}

void TAnalysis::Analyze(std::span<const double> Samples, const TFrameFormat& Format,
                        TSpectrumFrame& Frame)
{
  transform(Samples, Format, true, Frame);
}

void TAnalysis::AnalyzeWindowed(std::span<const double> Samples, const TFrameFormat& Format,
                                TSpectrumFrame& Frame)
{
  transform(Samples, Format, false, Frame);
}

void TAnalysis::transform(std::span<const double> Samples, const TFrameFormat& Format, bool Window,
                          TSpectrumFrame& Frame)
{
  const int n = Format.Size;
  if (!IsBufferSize(n))
    throw std::invalid_argument("a frame is one of the buffer sizes");
  const std::size_t used = std::min(Samples.size(), std::size_t(n));
  const double silent = Window ? SilentLevel(Format.Bits) : 0.0;
  if (silent == 0)
    std::copy_n(Samples.begin(), used, FReal.begin());
  else
    for (std::size_t i = 0; i < used; ++i)
      FReal[i] = Samples[i] - silent;
  std::fill(FReal.begin() + std::ptrdiff_t(used), FReal.begin() + n, 0.0);
  std::fill(FImag.begin(), FImag.begin() + n, 0.0);
  double removed = 0;
  if (silent != 0) {
    double windowSum = n;
    if (Format.Window != TWindowKind::Rectangular) {
      const auto w = WindowCoefficients(Format.Window, n);
      windowSum = 0;
      for (double c : *w)
        windowSum += c;
    }
    removed = silent * windowSum;
  }
  if (Window)
    ApplyWindow(Format.Window, FReal.data(), n);
  FFT.ForwardTransform(FReal.data(), FImag.data(), n);
  ComputeSpectrum(FReal.data(), FImag.data(), Format, Frame, removed);
}

void TAnalysis::ComputeSpectrum(const double* Re, const double* Im, const TFrameFormat& Format,
                                TSpectrumFrame& Frame, double RemovedDC) const
{
  Frame.Format = Format;
  const int Bits = Format.Bits;
  const double floor = DecibelFloor(Bits);
  const double freqStep = Format.FreqStep();
  const int H = std::min(Format.Size, MaxBufferSize) / 2;
  // Magnitudes only: nothing shows the phases.
  Frame.Magnitude.resize(std::size_t(std::max(H, 0)));
  FFT.Magnitude(Re, Im, Frame.Magnitude.data(), H);

  Frame.DCOffset = H > 0 ? Frame.Magnitude[0] : 0.0;
  if (H > 0 && RemovedDC != 0)
    Frame.DCOffset = PlainMagnitude(Re[0] + RemovedDC, Im[0], H);
  const int count = std::max(0, H - 1);
  Frame.X.resize(count);
  Frame.Y.resize(count);
  Frame.SpectrumLine.assign(std::max(0, H), 0.0);
  Decibels(Frame.Magnitude.data() + 1, Frame.Y.data(), count, Bits);
  for (int k = 1; k < H; ++k) {
    double v = Frame.Y[k - 1];
    // Written so that -inf from a silent bin and NaN both land on the floor.
    if (!(v >= floor))
      v = floor;
    Frame.X[k - 1] = k * freqStep;
    Frame.Y[k - 1] = v;
    Frame.SpectrumLine[k - 1] = v;
  }
  const TPeakSpectrum peaks{Frame.Magnitude, freqStep, std::ldexp(1.0, Bits) / 2, Format.Window};
  Frame.Peak = StrongestPeak(peaks);
  if (Frame.Peak && !(Frame.Peak->Level > floor))
    Frame.Peak.reset(); // the floor is not a peak
}

long double NoteSemitones(double Freq)
{
  return std::log10(static_cast<long double>(Freq) / 16.352L) / 0.025085833L;
}

QString NoteNameOf(std::int64_t Semitone)
{
  static const char* const names[12] = {"C",     "C#/Db", "D",     "D#/Eb", "E",     "F",
                                        "F#/Gb", "G",     "G#/Ab", "A",     "A#/Bb", "B"};
  if (Semitone < 0)
    return QStringLiteral("Too Low");
  return QString::fromLatin1(names[Semitone % 12]) + " - " + QString::number(Semitone / 12);
}

QString NoteName(double Freq)
{
  // Written so that NaN is too low as well.
  if (!(Freq >= 16.352))
    return QStringLiteral("Too Low");
  return NoteNameOf(Round64(NoteSemitones(Freq)));
}

} // namespace duv
