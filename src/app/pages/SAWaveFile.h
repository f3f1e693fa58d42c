// SPDX-License-Identifier: GPL-3.0-or-later
// The Wave File page: shows an opened file's format, draws each channel over
// the whole file, and analyses or plays a stretch of the first channel chosen
// by its start in seconds and its length, with two marker lines on the left
// trace showing where the stretch lies.
#pragma once

#include "wavefile/WaveFileParser.h"

#include "support/WaveFormat.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QComboBox;

namespace duv {

class TGraphBox;
class TReadOut;
class TRealSpin;
class TSAGraphs;
class TSpectrumView;

// The controls this module reads and writes, filled by the main window (or a
// test).
struct TWaveFileControls
{
  TGraphBox& LeftGraph;
  TGraphBox& RightGraph;
  TReadOut& ChannelDis;
  TReadOut& HzDis;
  TReadOut& ByteSecDis;
  TReadOut& BlockAlignDis;
  TReadOut& BitsDis;
  TReadOut& SamplesDis;
  QComboBox& BufferSizeCombo2;
  TRealSpin& OffsetSpin;
  QAbstractButton& AutoFourierChk;
  QAbstractButton& AutoPlayChk;
  TRealSpin& TimeSpin;
};

class TSAWaveFile
{
public:
  TSAWaveFile(TSpectrumView& Spectrum, TSAGraphs& Graphs, const TWaveFileControls& Controls);
  ~TSAWaveFile();

  // The loaded file; replaced only by a load that succeeded.
  const TSoundFile& SoundFile() const { return *FSoundFile; }
  // What the page shows: a copy taken by ShowWaveFile, sharing the samples.
  const TSoundData& SoundData() const { return FSoundData; }

  // Reads Path unless it is the file already loaded. A file that cannot be
  // read throws EWaveFileError and leaves the loaded file as it was; false
  // when the user cancelled a long load, which also leaves it as it was.
  // A load still going after ProgressDelayMs shows a progress dialog with a
  // Cancel button over the window.
  bool SetFileName(const QString& Path);
  // Takes a capture's samples as the loaded file, named Name (the window's
  // caption shows it): it is then shown, analysed and played as a file is.
  void SetCapture(const TSoundData& Data, const QString& Name);
  int ProgressDelayMs = 500;
  // What the window's status says about the loaded file: that it is
  // truncated (shown as far as it goes), or nothing.
  QString LoadNote() const { return TruncationNote(*FSoundFile); }

  void ShowWaveFile();
  void ShowFileFormat();
  // The end of the file bounds the offset.
  void LimitOffset();
  // The file's channels on the oscilloscope band, and the spectrum set up
  // for its stretches: the views show the file from now on.
  void ShowFileTraces();
  // Whether the views show this page's file (rather than live frames).
  bool FileShown() const;
  // One channel as a trace over the whole file, its X labels in seconds.
  void PlotChannel(TGraphBox& Graph, const TSoundArray& Samples, double YMin, double YMax,
                   double Rate);
  void SetupFileSpectrum();
  void AnalyzeStretch();
  void PlayStretch();
  void PlayChannelSamples(const TSoundData& Data, int Channel, int Count, std::int64_t Offset);

  // The stretch's first sample: the offset in seconds at the file's rate.
  std::int64_t StretchOffset() const;
  // Whether the channels hold samples to analyse and play.
  bool HasSamples() const;

  void OffsetSpinChange();
  void BufferSizeCombo2Change();
  // A click on the left trace at (X, Y) moves the stretch there.
  void LeftGraphMouseDown(int X, int Y);
  // The two blue lines at the stretch's ends, over the finished left trace.
  void DrawStretchMarker();

  // The samples of the last stretch played; the output device reads them.
  std::vector<std::uint8_t> PlayBuffer8;
  std::vector<std::int16_t> PlayBuffer16;

  // Plays a buffer (PlayWave by default); replaceable so that what would be
  // played can be checked without a sound device.
  std::function<void(WAVEFORMATEX Format, const void* Data, std::uint32_t Size, bool Wait)> Play;
  // Whether a sound is still playing, and stopping it: the output device's by
  // default, replaceable like Play.
  std::function<bool()> Playing;
  std::function<void()> StopPlaying;

private:
  int SelectedSize() const;

  TSpectrumView& FSpectrum;
  TSAGraphs& FGraphs;
  TWaveFileControls FControls;
  std::unique_ptr<TSoundFile> FSoundFile;
  TSoundData FSoundData;
  std::vector<double> FStretch; // the analysed stretch, kept between analyses
};

// " Bits" of a file: its own width, and the width it is read at when that
// differs, for example "24 (read as 16)" or "32 float (read as 16)".
QString BitsText(const TSampleLayout& Layout, int ReadBits);

// A 4-bit sample (0 .. 15) as a 16-bit one, spread evenly around 0.
std::int16_t FourBitTo16(int Sample);

} // namespace duv
