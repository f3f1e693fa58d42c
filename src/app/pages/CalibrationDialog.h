// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration dialog: levels in dB SPL through an offset, typed or found
// with "Calibrate" while a calibrator plays, and a microphone's calibration
// file. Changes take effect at once; the dialog does not hold the window.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace duv {

class TMeasureState;
class TReadOut;
class TRealSpin;
class TSpectrumView;
struct TSpectrumFrame;

class TCalibrationDialog : public QDialog
{
  Q_OBJECT
public:
  // Calibrates from the frame Spectrum showed last.
  TCalibrationDialog(TMeasureState& State, TSpectrumView& Spectrum, QWidget* Parent = nullptr);

  // Asks for a calibration file to load; empty when cancelled. Replaceable,
  // so loading can be driven without a file dialog.
  std::function<QString()> AskMicFile;

  // The reference level a calibrator plays, in dB SPL.
  double Reference() const;
  void SetReference(double Db);

  // Handlers.
  void CalibrateBtnClick();
  void LoadBtnClick();

protected:
  void showEvent(QShowEvent* Event) override;

private:
  void StateChange();
  void ShowInput(const TSpectrumFrame& Frame);

  TMeasureState& FState;
  TSpectrumView& FSpectrum;
  QCheckBox* CalibratedChk = nullptr;
  TRealSpin* OffsetSpin = nullptr;
  TRealSpin* ReferenceSpin = nullptr;
  QPushButton* CalibrateBtn = nullptr;
  TReadOut* InputDis = nullptr;
  TReadOut* MicDis = nullptr;
  QLabel* MicNote = nullptr;
  QPushButton *LoadBtn = nullptr, *RemoveBtn = nullptr, *CloseBtn = nullptr;
};

} // namespace duv
