// SPDX-License-Identifier: GPL-3.0-or-later
// The Real Time page: the input, buffer size and capture format, the rate
// figures, Start and Stop, the oscilloscope and spectrum switches with the
// channel choice, and the frame count. It owns the live frame path.
#pragma once

#include "audio/Waveread.h"

#include <QString>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace duv {

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

  // Handlers.
  void InputBtnClick();
  void StartBtnClick();
  void StopBtnClick();
  // Stops capture for another source (a file, a test signal); the buttons
  // then say that nothing is captured.
  void StopCapture();
  void RestartCapture();
  void WaveReader1WaveIn(const void* Buffer, int SampleCount, const TWaveDataFormat& Format);
  void BuffSizeComboChange();
  void FormatComboChange();
  // A new colour scheme: the displays are set up again.
  void ColorSchemeChange();

Q_SIGNALS:
  // The live frame length or format changed (the synthesizer's frames follow
  // both).
  void OnSetupChange();

private:
  TWaveReader& WaveReader1;
  std::unique_ptr<TSARealTime> FRealTime;
  QPushButton* InputBtn = nullptr;
  QComboBox* BuffSizeCombo = nullptr;
  QComboBox* FormatCombo = nullptr;
  TReadOut* BandWidthDis = nullptr;
  TReadOut* ResDis = nullptr;
  TReadOut* FPSDis = nullptr;
  TSpeedButton* StartBtn = nullptr;
  TSpeedButton* StopBtn = nullptr;
  QCheckBox* OscopeChk = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QCheckBox* SpectrumChk = nullptr;
  TRadioGroup* ChannelRadio = nullptr;
  TReadOut* FramesDis = nullptr;
  // Input the device recorded but could not hand over in this capture.
  TReadOut* InputLostDis = nullptr;
};

} // namespace duv
