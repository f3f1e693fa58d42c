// SPDX-License-Identifier: GPL-3.0-or-later
// The Synthesize page: the base wave, its sweep and modulation, "Display Test
// Signal" and "Play Sound". Every setting but "Play Sound" shows a new frame.
// It owns the synthesizer module, which sends frames down the live path.
#pragma once

#include "synth/SynthWave.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace duv {

class TCheckedGroup;
class TRadioGroup;
class TReadOut;
class TRealSpin;
class TSARealTime;
class TSASynthesizer;
class TWaveReader;

class TSynthesizePage : public QWidget
{
  Q_OBJECT
public:
  TSynthesizePage(TSARealTime& RealTime, TWaveReader& Reader, QWidget* Parent = nullptr);
  ~TSynthesizePage() override;

  TSASynthesizer& Synthesizer() { return *FSynthesizer; }

  // Sets the page's controls to Params, as a user would one by one (each
  // change shows a frame); its frame length and rate are not the page's.
  void SetParams(const TSynthParams& Params);
  void SetPlaySound(bool On);

  // " Frame:" says how long a frame is and at what rate: the live set-up's.
  void ShowFrameSetup();
  QString FrameText() const;

  // Handlers.
  void TestBtnClick();

Q_SIGNALS:
  // A test frame is about to be shown (the window stops live capture, which
  // would overwrite it).
  void OnTestSignal();

private:
  std::unique_ptr<TSASynthesizer> FSynthesizer;
  QPushButton* TestBtn = nullptr;
  TReadOut* FrameDis = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  TRealSpin *FreqSpin = nullptr, *AmpSpin = nullptr, *DCSpin = nullptr, *Freq2Spin = nullptr;
  TRadioGroup* BaseTypeRadio = nullptr;
  QCheckBox* SweepChk = nullptr;
  TCheckedGroup* ModulateChk = nullptr;
  TRadioGroup* ModTypeRadio = nullptr;
  TRealSpin *MFreqSpin = nullptr, *MAmpSpin = nullptr;
  QCheckBox* PlaySoundChk = nullptr;
};

} // namespace duv
