// SPDX-License-Identifier: GPL-3.0-or-later
// The window side of the shared analysis state: sets the spectrum graph and
// the spectrogram up for a format, a frame length and a time span, and shows
// each transformed frame there (spectrum trace, DC read-out, spectrogram row).
// Live capture, wave files and the synthesizer all come through here, and it
// knows which of the two sources, live frames or the Wave File page's file,
// the views show.
#pragma once

#include "analysis/SAGlobal.h"
#include "analysis/TraceHold.h"
#include "support/WaveFormat.h"

#include <QObject>

namespace duv {

class TGraphBox;
class TLevelCorrector;
class TReadOut;
class TSAGraphs;
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

// What the views show: live frames (capture or the synthesizer) or the Wave
// File page's file. The live set-up leaves a shown file's traces and axes
// alone; a live frame takes the views back.
enum class TViewSource { Live, File };

// Whether two frames go on the same spectrum axes: the same rate and length
// (the frequency axis) and the same width (the level floor).
bool SameAxes(const TFrameFormat& A, const TFrameFormat& B);

class TSpectrumView : public QObject
{
  Q_OBJECT
public:
  explicit TSpectrumView(const TSpectrumControls& Controls);

  // The saved ranges the spectrum's reset buttons return to follow every
  // set-up of the spectrum graph.
  void SetViewCommands(TSAGraphs* Graphs) { FGraphs = Graphs; }

  TViewSource Source() const { return FSource; }
  void SetSource(TViewSource Source) { FSource = Source; }

  // Weighting and calibration of the levels shown (trace, peak and
  // spectrogram rows); none, dB against full scale, by default. The
  // corrector stays the caller's.
  void SetCorrector(TLevelCorrector* Corrector) { FCorrector = Corrector; }
  // After the corrector's settings changed: the level axes move with its
  // shift, and the last frame is shown again under them.
  void CorrectionChanged();

  // The averaged or held trace drawn over the live one.
  TTraceHold& Hold() { return FHold; }
  // The spectrum shown last.
  const TSpectrumFrame& LastFrame() const { return FFrame; }
  // Starts the second trace over and removes it from the graph.
  void ResetHold();

  // The window every frame goes through before its transform; a new one
  // starts the second trace over.
  TWindowKind Window() const { return FWindow; }
  void SetWindow(TWindowKind Window);

  // Bits: sample width; Size: frame length; SampleRate in Hz; TimeSpan in s.
  // The spectrogram starts over.
  void SetupSpectrum(int Bits, int Size, double SampleRate, double TimeSpan);
  void SetupSpectrum(const TFrameFormat& Format, double TimeSpan);
  // The format (rate, length, width) the graph and the spectrogram are set
  // up for, and the time span.
  const TFrameFormat& Setup() const { return FSetup; }
  double TimeSpan() const { return FTimeSpan; }
  // Analyses one frame (its first samples; the rest of Format.Size is zero)
  // through the chosen window and shows it: the spectrum trace, the DC and
  // peak read-outs and a spectrogram row. A frame whose rate, length or
  // width differs from the set-up sets the views up for itself first, so it
  // is always shown on its own axes. A frame shown again from the capture
  // history (Live false) is drawn and read out as any other, but adds no
  // spectrogram row and does not enter the averaged or held trace.
  void ShowSpectrum(std::span<const double> Samples, const TFrameFormat& Format, bool Live = true);
  // Removes the trace and the read-outs of the last frame: the views then
  // show nothing that belongs to another source. OnFrameShown tells it with
  // no samples and an empty spectrum.
  void ClearTrace();

Q_SIGNALS:
  // A frame was shown: its samples (valid during the call only) and its
  // spectrum, corrected.
  void OnFrameShown(std::span<const double> Samples, const TSpectrumFrame& Frame);

private:
  // The reset buttons return to the spectrum graph's ranges as set up now.
  void SpectrumDefaultsChanged();

  TSpectrumControls FControls;
  TSAGraphs* FGraphs = nullptr;
  TViewSource FSource = TViewSource::Live;
  TFrameFormat FSetup;
  double FTimeSpan = 0;
  TAnalysis FAnalysis;
  TWindowKind FWindow = TWindowKind::Rectangular;
  QString PeakReadOut() const;
  TSpectrumFrame FFrame; // kept, so a frame allocates nothing
  TTraceHold FHold;
  TLevelCorrector* FCorrector = nullptr;
  double FShift = 0; // dB the level axes are moved by
};

} // namespace duv
