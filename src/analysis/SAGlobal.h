// The analysis state every path shares (live capture, wave files, the
// synthesizer) and the maths that turns a transformed frame into decibels:
// frame lengths, the axis set-up numbers, the per-frame conversion and the
// naming of a frequency as a musical note.
#pragma once

#include "analysis/Fourier.h"
#include "analysis/WindowFunctions.h"

#include <QString>
#include <cstdint>
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
// The line count follows the capture rate and the shared frame length, since
// that is how often lines arrive during live capture.
TSpectrumSetup ComputeSpectrumSetup(int Bits, int Size, double SampleRate, double TimeSpan,
                                    int CaptureRate, int BufferSize);

// One frame's spectrum as the views show it.
struct TSpectrumFrame
{
  double DCOffset = 0;             // Magnitude[0]
  std::vector<double> X;           // Hz of bins 1 .. H-1
  std::vector<double> Y;           // dB of bins 1 .. H-1, never below the floor
  std::vector<double> SpectrumLine; // H entries: bins 1 .. H-1, then a trailing 0
};

// The state shared by the analysis paths. Arrays are sized for the largest
// frame so no frame allocates them.
class TAnalysis
{
public:
  TAnalysis();

  int BufferSize = 2048;
  std::vector<double> RealData;  // 32768
  std::vector<double> ImagData;  // 32768
  std::vector<double> Magnitude; // 16385
  std::vector<double> Phase;     // 16385
  double FreqStep = 0;
  double MaxFreq = 0;
  TFastFourier FFT;
  // The window every path applies to its frame before the transform.
  TWindowKind Window = TWindowKind::Rectangular;

  // Windows RealData[0 .. n-1] and transforms it with ImagData in place.
  void Transform(int n);

  // Stores FreqStep and MaxFreq of a set-up.
  TSpectrumSetup SetupSpectrum(int Bits, int Size, double SampleRate, double TimeSpan,
                               int CaptureRate);

  // Converts the frame just transformed (BufferSize points) to decibels
  // against a full-scale sine of the given width. `out` keeps its capacity
  // from frame to frame.
  void ComputeSpectrum(int Bits, TSpectrumFrame& out);
};

// The nearest musical note and octave, e.g. "A - 4" for 440 Hz; "Too Low"
// below 16.352 Hz.
QString NoteName(double Freq);
// Semitones above C 0 (16.352 Hz), the scale NoteName rounds on.
long double NoteSemitones(double Freq);
// The name of the note that many semitones above C 0, e.g. "A - 4" for 57.
QString NoteNameOf(std::int64_t Semitone);

} // namespace duv
