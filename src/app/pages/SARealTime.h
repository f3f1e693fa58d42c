// SPDX-License-Identifier: GPL-3.0-or-later
// The path from a captured buffer to the screen, and the set-up before it:
// the oscilloscope and spectrum axes for the chosen format and buffer size,
// the bandwidth, resolution and frame-rate figures, starting capture, and
// each frame's count, trace and spectrum. The synthesizer sends its frames
// down the same path.
#pragma once

#include "support/WaveFormat.h"

#include <vector>

class QAbstractButton;
class QComboBox;

namespace duv {

class TGraphBox;
class TRadioGroup;
class TReadOut;
class TRealSpin;
class TSAGraphs;
class TSpectrumView;
class TWaveReader;

// The controls this module reads and writes, filled by the main window (or a
// test).
struct TRealTimeControls
{
  TGraphBox& LeftGraph;
  TGraphBox& RightGraph;
  QAbstractButton& OscopeChk;
  QAbstractButton& SpectrumChk;
  TRadioGroup& ChannelRadio;
  TReadOut& FramesDis;
  TReadOut& BandWidthDis;
  TReadOut& ResDis;
  TReadOut& FPSDis;
  QComboBox& BuffSizeCombo;
  TRealSpin& TimeSpin;
  TWaveReader& WaveReader1;
};

class TSARealTime
{
public:
  TSARealTime(TSpectrumView& Spectrum, TSAGraphs& Graphs, const TRealTimeControls& Controls);

  // Frames handled since the last UpdateBufferSize.
  int FrameCount() const { return FFrameCount; }
  // The frame length capture and the displays are set up for.
  int BufferSize() const { return FBufferSize; }

  // Sets the displays up for the live settings. While the Wave File page's
  // file is shown, its traces and axes stay: only the spectrogram takes the
  // new time span and colours, on the file's axes.
  void SetupRealTimeAxes();
  void UpdateBufferSize();
  void ShowRateFigures();
  void StartCapture();
  // The views show live frames from now on: the file's traces go.
  void ShowLiveSource();
  // Buffer: Count frames of interleaved samples in Format.
  void ProcessFrame(const void* Buffer, int Count, const TWaveDataFormat& Format);
  // A frame that arrives while the views are paused: counted, not shown.
  void CountFrame();
  // A frame from the capture history, shown in place of the live one: drawn
  // and analysed as a live frame is, but not counted, and it adds no
  // spectrogram row.
  void ShowPastFrame(const void* Buffer, int Count, const TWaveDataFormat& Format);
  void PlotOscilloscope(const void* Buffer, int Count, const TWaveDataFormat& Format);
  // Live false: a frame of the past (see ShowPastFrame).
  void AnalyzeFrame(const void* Buffer, int Count, const TWaveDataFormat& Format, bool Live = true);

private:
  // Sets the channel graphs up for frames of Count samples of that width and
  // channel count; a mono set-up empties the right channel's graph.
  void SetupScope(int Count, int Bits, int Channels);

  TSpectrumView& FSpectrum;
  TSAGraphs& FGraphs;
  TRealTimeControls FControls;
  int FFrameCount = 0;
  int FBufferSize = 256;
  std::vector<double> FSamples; // the analysed channel of a frame, kept between frames
  // What the channel graphs are set up for; a frame of another layout sets
  // them up for itself.
  struct TScopeLayout
  {
    int Count = 0, Bits = 0, Channels = 0;
    bool operator==(const TScopeLayout&) const = default;
  } FScopeLayout;
};

} // namespace duv
