// The window side of the shared analysis state: sets the spectrum graph and
// the spectrogram up for a format, a frame length and a time span, and shows
// each transformed frame there (spectrum trace, DC read-out, spectrogram row).
// Live capture, wave files and the synthesizer all come through here.
#pragma once

#include "analysis/SAGlobal.h"
#include "analysis/TraceHold.h"
#include "support/WaveFormat.h"

namespace duv {

class TGraphBox;
class TReadOut;
class TSpectroGram;
class TWaveReader;

// The format the reader captures in; without one (no input device) the
// first of the classic formats, so that the displays are set up sensibly.
TWaveDataFormat CurrentCaptureFormat(const TWaveReader& Reader);

// The controls this module writes, filled by the main window (or a test).
struct TSpectrumControls
{
  TGraphBox& SpectrumGraph;
  TSpectroGram& SpectroGram1;
  TReadOut& DCOffsetDis;
  // The strongest peak, refined, with its note.
  TReadOut& PeakDis;
  // The spectrogram's line count follows the capture format's rate.
  TWaveReader& WaveReader1;
};

class TSpectrumView
{
public:
  TSpectrumView(TAnalysis& Analysis, const TSpectrumControls& Controls);

  TAnalysis& Analysis() { return FAnalysis; }
  // The averaged or held trace drawn over the live one.
  TTraceHold& Hold() { return FHold; }
  // The spectrum shown last.
  const TSpectrumFrame& LastFrame() const { return FFrame; }
  // Starts the second trace over and removes it from the graph.
  void ResetHold();

  // Bits: sample width; Size: frame length; SampleRate in Hz; TimeSpan in s.
  // The spectrogram starts over.
  void SetupSpectrum(int Bits, int Size, double SampleRate, double TimeSpan);
  // Shows the frame just transformed (BufferSize points) against a
  // full-scale sine of the given width.
  void ShowSpectrum(int Bits);

private:
  TAnalysis& FAnalysis;
  TSpectrumControls FControls;
  TSpectrumFrame FFrame; // kept, so a frame allocates nothing
  TTraceHold FHold;
};

} // namespace duv
