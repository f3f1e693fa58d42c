#include "analysis/SAGlobal.h"

#include "analysis/SpectrumMath.h"
#include "support/DSupport.h"

#include <cmath>

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
                                    int CaptureRate, int BufferSize)
{
  TSpectrumSetup s;
  s.Floor = DecibelFloor(Bits);
  const long double framesPerSecond =
      BufferSize > 0 ? static_cast<long double>(CaptureRate) / BufferSize : 0.0L;
  s.LineCount = std::max(0, Trunc(framesPerSecond * TimeSpan));
  s.FreqStep = Size > 0 ? SampleRate / Size : 0.0;
  s.MaxFreq = (Size / 2.0) * s.FreqStep;
  s.ImageWidth = Size / 2;
  return s;
}

TAnalysis::TAnalysis()
    : RealData(MaxBufferSize, 0.0), ImagData(MaxBufferSize, 0.0),
      Magnitude(MaxBufferSize / 2 + 1, 0.0), Phase(MaxBufferSize / 2 + 1, 0.0)
{
}

void TAnalysis::Transform(int n)
{
  ApplyWindow(Window, RealData.data(), n);
  FFT.ForwardTransform(RealData.data(), ImagData.data(), n);
}

TSpectrumSetup TAnalysis::SetupSpectrum(int Bits, int Size, double SampleRate, double TimeSpan,
                                        int CaptureRate)
{
  const TSpectrumSetup s =
      ComputeSpectrumSetup(Bits, Size, SampleRate, TimeSpan, CaptureRate, BufferSize);
  FreqStep = s.FreqStep;
  MaxFreq = s.MaxFreq;
  return s;
}

void TAnalysis::ComputeSpectrum(int Bits, TSpectrumFrame& out)
{
  const double floor = DecibelFloor(Bits);
  const int N = std::min(BufferSize, MaxBufferSize);
  const int H = N / 2;
  // Magnitudes only: nothing shows the phases.
  FFT.Magnitude(RealData.data(), ImagData.data(), Magnitude.data(), H);

  out.DCOffset = H > 0 ? Magnitude[0] : 0.0;
  const int count = std::max(0, H - 1);
  out.X.resize(count);
  out.Y.resize(count);
  out.SpectrumLine.assign(std::max(0, H), 0.0);
  Decibels(Magnitude.data() + 1, out.Y.data(), count, Bits);
  for (int k = 1; k < H; ++k) {
    double v = out.Y[k - 1];
    // Written so that -inf from a silent bin and NaN both land on the floor.
    if (!(v >= floor))
      v = floor;
    out.X[k - 1] = k * FreqStep;
    out.Y[k - 1] = v;
    out.SpectrumLine[k - 1] = v;
  }
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
