// SPDX-License-Identifier: GPL-3.0-or-later
// "Test Sound Card": plays the synthesizer's sine, a pause and a sweep
// through the output while it captures the chosen input, then reports the
// sine's distortion and noise figures and the gain at each third-octave
// centre. The input must hear the output: a cable from the output to the
// input, or the monitor of the output.
#pragma once

#include "support/WaveFormat.h"
#include "synth/Loopback.h"

#include <QDialog>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace duv {

class TGraphBox;
class TRealSpin;
class TWaveReader;

class TLoopbackDialog : public QDialog
{
  Q_OBJECT
public:
  explicit TLoopbackDialog(QWidget* Parent = nullptr);
  ~TLoopbackDialog() override;

  // Plays the test signal without waiting; replaceable, so that a test can
  // play into a card of its own making.
  std::function<void(WAVEFORMATEX Format, const void* Data, std::uint32_t Size, bool Wait)> Play;
  // Starts capturing from the input of this id (empty: the default input)
  // into Capture, answering whether it runs; and stops it. Replaceable with
  // Play, for a card of a test's own making. The default captures through a
  // wave reader of the dialog's own.
  std::function<bool(const QByteArray& InputId, QString& Problem)> StartCapture;
  std::function<void()> StopCapture;

  // Chooses the input by its description; false when there is none such.
  bool SetInput(const QString& Description);
  void SetFrequency(double Hz);
  void SetAmplitude(double Amplitude);

  // Starts the test (or, while it runs, stops it): the "Start" button.
  void StartBtnClick();
  bool Running() const { return FRunning; }
  // Takes captured samples, 16-bit mono at the test's rate: the reader's
  // buffers come here.
  void Capture(const std::int16_t* Samples, int Count);
  // The settings of the test under way or last run.
  const TLoopbackSettings& Settings() const { return FSettings; }

  // The outcome of the last test: its figures, or why there are none.
  const std::optional<TLoopbackResult>& Result() const { return FResult; }
  QString Status() const;
  QString Report() const;

Q_SIGNALS:
  // A test ended, with a result or a message.
  void OnFinished();

protected:
  void closeEvent(QCloseEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

private:
  void Begin();
  void StartPlaying();
  void Finish(const QString& Problem = QString());
  void ShowResponse();
  void FillInputs();
  bool StartReader(const QByteArray& InputId, QString& Problem);

  QComboBox* InputCombo = nullptr;
  TRealSpin *FreqSpin = nullptr, *AmpSpin = nullptr;
  QPushButton *StartBtn = nullptr, *CloseBtn = nullptr;
  QLabel* StatusLbl = nullptr;
  QPlainTextEdit* ReportText = nullptr;
  TGraphBox* ResponseGraph = nullptr;
  QTimer* Deadline = nullptr;

  TWaveReader* FReader = nullptr; // made for the first test
  TLoopbackSettings FSettings;
  std::vector<double> FPlayed, FCaptured;
  std::vector<std::int16_t> FPlayBuffer;
  std::int64_t FOnset = -1, FScanned = 0;
  bool FRunning = false;
  bool FWaitingForInput = false; // the output starts with the input's first buffer
  bool FFinishing = false;       // the whole signal is in; the analysis is on its way
  std::optional<TLoopbackResult> FResult;
};

} // namespace duv
