// SPDX-License-Identifier: GPL-3.0-or-later
// The Real Time page: the input, buffer size and capture format, the rate
// figures, Start, Stop and Pause, the oscilloscope and spectrum switches with
// the channel choice, the frame count, and the capture history with its time
// slider and marks. It owns the live frame path and the history.
#pragma once

#include "audio/CaptureHistory.h"
#include "audio/Waveread.h"

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace duv {

class TIntegerSpin;
class TRadioGroup;
class TReadOut;
class TRealSpin;
class TSAGraphs;
class TSARealTime;
class TScopeBand;
class TSpectrumView;
class TSpeedButton;

class TRealTimePage : public QWidget
{
  Q_OBJECT
public:
  // The traces go to the band's graphs, the spectra to Spectrum; TimeSpan
  // is the spectrogram's.
  TRealTimePage(TWaveReader& Reader, TSpectrumView& Spectrum, TSAGraphs& Graphs,
                TScopeBand& Scope, TRealSpin& TimeSpan, QWidget* Parent = nullptr);
  ~TRealTimePage() override;

  // The live frame path, which the synthesizer feeds too.
  TSARealTime& RealTime() { return *FRealTime; }

  // What a user does here.
  void SetBufferSize(int Size);
  int BufferSize() const;
  // Picks a capture format the list offers; false when it offers none such.
  bool SetFormat(TWaveTypes Type);
  // The capture format by the name the list shows it under.
  QString FormatName() const;
  bool SetFormatName(const QString& Name);
  void SetChannel(int Channel);
  bool Capturing() const;
  // What a user reads here.
  QString FramesText() const;
  // " Input lost:" as shown: what the device recorded but could not deliver.
  QString InputLostText() const;
  // " Bandwidth:", " Resolution:" and " Frames/Sec:" as shown.
  QStringList RateTexts() const;

  // Sets the displays up for the settings shown (the start of a run).
  void FormCreate();

  // The last minutes of input, kept while capture runs; it starts over at
  // a Start from idle and with a new format.
  const TCaptureHistory& History() const { return FHistory; }
  int HistoryMinutes() const;
  void SetHistoryMinutes(int Minutes);
  // The memory the chosen minutes take at the chosen format, as shown.
  QString HistoryMemoryText() const;

  // Pause: the views hold the frame they show while capture and the history
  // go on; the time slider then moves them through the history. There is
  // something to pause while capturing or with a history to look through.
  bool Paused() const { return FPaused; }
  bool CanPause() const;
  void Pause();
  // Back to the present: the views follow the input again.
  void Resume();
  // Space in the window: Pause or Resume; false when there is nothing to do.
  bool PauseKey();
  // The slider: whole frames (of the buffer size) before (negative) or
  // after the frame the views were paused on, and its range.
  int HistoryPosition() const;
  void SetHistoryPosition(int Frames);
  std::pair<int, int> HistoryRange() const;
  // The frames of the history the views show while paused: [first, end).
  std::pair<std::int64_t, std::int64_t> ShownFrame() const;
  // " Shown:" the time of the shown frame's end back from the newest frame
  // kept (0, then negative), and " Marked:" the part that a save writes,
  // each mark read as its frame was.
  QString ShownText() const;
  QString MarkedText() const;

  // The part "Save Capture As..." writes and "Analyze Capture" opens, as
  // frames of the history: between the marks while paused with marks set
  // (or from one to the end), else all that is kept. Throws a message when
  // there is nothing.
  std::pair<std::int64_t, std::int64_t> CaptureSpan() const;
  // Writes that part as a WAV file, whole or not at all; throws the
  // message of a failure.
  void SaveCapture(const QString& Path) const;
  // That part as the samples of a file, and a name for it.
  TSoundData CaptureData() const;
  QString CaptureName() const;
  // A file name to suggest for it.
  QString CaptureFileName() const;

  // Handlers.
  void InputBtnClick();
  void StartBtnClick();
  void StopBtnClick();
  void PauseBtnClick();
  void MarkInBtnClick();
  void MarkOutBtnClick();
  // Stops capture for another source (a file, a test signal); the buttons
  // then say that nothing is captured.
  void StopCapture();
  void RestartCapture();
  void WaveReader1WaveIn(const void* Buffer, int SampleCount, const TWaveDataFormat& Format);
  // What the device recorded goes into the history.
  void WaveReader1Recorded(const void* Frames, int Count, const TWaveDataFormat& Format);
  void BuffSizeComboChange();
  void FormatComboChange();
  // A new colour scheme: the displays are set up again.
  void ColorSchemeChange();

Q_SIGNALS:
  // The live frame length or format changed (the synthesizer's frames follow
  // both).
  void OnSetupChange();

private:
  // The time of a frame's end, back from the newest frame kept.
  QString HistoryTime(std::int64_t FrameEnd) const;
  QWidget* MakeHistoryBox();
  // The slider's range and the history's read-outs, as the history grows.
  void RefreshHistory();
  // The views show the frame the slider points at.
  void ShowHistoryFrame();
  // The end (one past the last frame) of the frame at slider position P.
  std::int64_t FrameEndAt(int P) const;
  void ShowPauseState();

  TWaveReader& WaveReader1;
  // The window deletes its reader before its pages; a page made beside a
  // reader of its own may go first and must then unhook itself.
  QPointer<TWaveReader> FReaderAlive{&WaveReader1};
  TCaptureHistory FHistory;
  QDateTime FHistoryStart; // when the history's first frame was heard
  unsigned FHistorySerial = 0;
  bool FPaused = false;
  // The history's end when the views were paused, and the frame length then.
  std::int64_t FPauseEnd = 0;
  int FPauseSize = 0;
  // The frames shown when In and Out were marked, [first, end): the marked
  // part runs from the start of the earlier to the end of the later, in
  // whichever order they were set.
  std::optional<std::pair<std::int64_t, std::int64_t>> FMarkIn, FMarkOut;
  // The part the marks set, [first, end), within [From, To).
  std::pair<std::int64_t, std::int64_t> MarkedPart(std::int64_t From, std::int64_t To) const;
  std::vector<char> FPastFrame; // a frame read back from the history
  QTimer* HistoryTimer = nullptr;
  std::unique_ptr<TSARealTime> FRealTime;
  QPushButton* InputBtn = nullptr;
  QComboBox* BuffSizeCombo = nullptr;
  QComboBox* FormatCombo = nullptr;
  TReadOut* BandWidthDis = nullptr;
  TReadOut* ResDis = nullptr;
  TReadOut* FPSDis = nullptr;
  TSpeedButton* StartBtn = nullptr;
  TSpeedButton* StopBtn = nullptr;
  TSpeedButton* PauseBtn = nullptr;
  QCheckBox* OscopeChk = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QCheckBox* SpectrumChk = nullptr;
  TRadioGroup* ChannelRadio = nullptr;
  TReadOut* FramesDis = nullptr;
  // Input the device recorded but could not hand over in this capture.
  TReadOut* InputLostDis = nullptr;
  QGroupBox* HistoryBox = nullptr;
  QSlider* HistorySlider = nullptr;
  TReadOut* ShownDis = nullptr;
  TReadOut* KeptDis = nullptr;
  QPushButton* MarkInBtn = nullptr;
  QPushButton* MarkOutBtn = nullptr;
  TReadOut* MarkedDis = nullptr;
  TIntegerSpin* HistorySpin = nullptr;
  QLabel* HistoryMemory = nullptr;
};

} // namespace duv
