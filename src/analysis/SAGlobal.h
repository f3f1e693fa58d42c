// SPDX-License-Identifier: GPL-3.0-or-later
// What every analysis path shares (live capture, wave files, the
// synthesizer, the command line): frame lengths, the axis set-up numbers, the
// frame value and the analysis that makes it, and the naming of a frequency
// as a musical note.
#pragma once

#include "analysis/Fourier.h"
#include "analysis/SpectrumPeaks.h"
#include "analysis/WindowFunctions.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace duv {

// Frame lengths offered by the buffer-size lists, in list order.
inline constexpr int BufferSizes[8] = {256, 512, 1024, 2048, 4096, 8192, 16384, 32768};
inline constexpr int MaxBufferSize = 32768;

// The frame length for a buffer-size list's selected index; anything else,
// -1 (nothing selected) included, gives 256.
int ComboBufferSize(int itemIndex);

// True for one of the eight buffer sizes.
bool IsBufferSize(int n);

// The decibel floor of a sample width: -6 dB per bit.
inline double DecibelFloor(int bits) { return -6.0 * bits; }

// The level of silence in a channel array of a sample width: 8- and 4-bit
// samples are unsigned around their mid level.
double SilentLevel(int Bits);

// The numbers the spectrum graph and the spectrogram are set up with.
struct TSpectrumSetup
{
  double Floor = 0;    // dB, the bottom of the Y axis and of the colour range
  double FreqStep = 0; // Hz between bins
  double MaxFreq = 0;  // Hz at the top of the X axis
  int ImageWidth = 0;  // spectrogram columns: Size div 2
  int LineCount = 0;   // spectrogram rows for the time span
};

// Bits: sample width; Size: frame length; SampleRate in Hz; TimeSpan in s.
// The line count follows the capture: lines arrive once per captured buffer
// of CaptureSize samples at CaptureRate.
TSpectrumSetup ComputeSpectrumSetup(int Bits, int Size, double SampleRate, double TimeSpan,
                                    int CaptureRate, int CaptureSize);

// Where a frame came from and how it was analysed: all a view needs to put it
// on the right axes.
struct TFrameFormat
{
  double SampleRate = 0; // Hz
  int Size = 0;          // samples transformed: one of the buffer sizes
  int Bits = 16;         // sample width: the 0 dB reference and the floor
  int Channels = 1;      // of the source
  int Channel = 0;       // the one analysed
  TWindowKind Window = TWindowKind::Rectangular;

  // Hz between bins, and at the top of the spectrum.
  double FreqStep() const { return Size > 0 ? SampleRate / Size : 0.0; }
  double MaxFreq() const { return (Size / 2.0) * FreqStep(); }
  // How long the frame lasts.
  double Seconds() const { return SampleRate > 0 ? Size / SampleRate : 0.0; }
  bool operator==(const TFrameFormat&) const = default;
};

// One frame's spectrum: what every view of it draws, the spectrum trace, the
// peak read-out and the spectrogram row alike.
struct TSpectrumFrame
{
  TFrameFormat Format;
  double DCOffset = 0;              // of the stored values, before centring on silence
  std::vector<double> Magnitude;    // single-sided amplitudes of bins 0 .. H-1, H = Size / 2
  std::vector<double> X;            // Hz of bins 1 .. H-1
  std::vector<double> Y;            // dB of bins 1 .. H-1, never below the floor
  std::vector<double> SpectrumLine; // H entries: bins 1 .. H-1, then a trailing 0
  std::optional<TPeak> Peak;        // the strongest, refined; none when all is floor
};

// The transform and the arrays it works in. Arrays are sized for the largest
// frame so no frame allocates them; nothing outside reads them: a frame's
// results come back as a TSpectrumFrame.
class TAnalysis
{
public:
  TAnalysis();

  // The spectrum of one frame: Samples are its first stored values (at most
  // Format.Size; the rest is silence), centred on the silent level of
  // Format.Bits, windowed by Format.Window, transformed and converted to
  // decibels against a full-scale sine of Format.Bits. Unsigned samples are
  // centred before the window: otherwise their offset leaks from DC into
  // every bin the window's lobe reaches. Frame keeps its capacity from call
  // to call.
  void Analyze(std::span<const double> Samples, const TFrameFormat& Format, TSpectrumFrame& Frame);

  // The same for samples their caller has centred and windowed already:
  // Format.Window is not applied again.
  void AnalyzeWindowed(std::span<const double> Samples, const TFrameFormat& Format,
                       TSpectrumFrame& Frame);

  // The conversion alone, of a frame already transformed into Re and Im
  // (Format.Size points each). RemovedDC is what centring took from Re[0]:
  // the DC read-out puts it back, and so shows the stored values' offset.
  void ComputeSpectrum(const double* Re, const double* Im, const TFrameFormat& Format,
                       TSpectrumFrame& Frame, double RemovedDC = 0) const;

private:
  void transform(std::span<const double> Samples, const TFrameFormat& Format, bool Window,
                 TSpectrumFrame& Frame);

  std::vector<double> FReal; // 32768
  std::vector<double> FImag; // 32768
  TFastFourier FFT;
};

// The nearest musical note and octave, e.g. "A - 4" for 440 Hz; "Too Low"
// below 16.352 Hz.
QString NoteName(double Freq);
// Semitones above C 0 (16.352 Hz), the scale NoteName rounds on.
long double NoteSemitones(double Freq);
// The name of the note that many semitones above C 0, e.g. "A - 4" for 57.
QString NoteNameOf(std::int64_t Semitone);

} // namespace duv
