// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/CalibrationDialog.h"

#include "app/pages/MeasureState.h"
#include "app/pages/PageSupport.h"
#include "app/pages/SAGlobalView.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "support/DSupport.h"
#include "support/UiSupport.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <span>

namespace duv {

TCalibrationDialog::TCalibrationDialog(TMeasureState& State, TSpectrumView& Spectrum,
                                       QWidget* Parent)
    : QDialog(Parent), FState(State), FSpectrum(Spectrum)
{
  setWindowTitle(QStringLiteral("Calibration"));
  FitTitleWidth(*this);
  setObjectName(QStringLiteral("CalibrationDlg"));
  auto* v = new QVBoxLayout(this);

  auto* level = new QGroupBox(QStringLiteral("Level"), this);
  auto* lv = new QVBoxLayout(level);
  CalibratedChk = new QCheckBox(QStringLiteral("Calibrated (levels in dB SPL)"), level);
  CalibratedChk->setAccessibleName(QStringLiteral("Calibrated"));
  lv->addWidget(CalibratedChk);
  auto* offsetRow = Row(4);
  OffsetSpin = MakeSpin(QStringLiteral("Offset"), 0, 0.1, level);
  OffsetSpin->SetUnitsString(QStringLiteral("dB"));
  OffsetSpin->SetNumFormat(nfFixed);
  OffsetSpin->SetDigits(2);
  Limit(OffsetSpin, -300, 300);
  OffsetSpin->setToolTip(QStringLiteral("Added to every level: dB SPL less dB against full scale"));
  offsetRow->addWidget(Caption(QStringLiteral("Offset"), OffsetSpin, level));
  offsetRow->addWidget(OffsetSpin, 1);
  lv->addLayout(offsetRow);
  auto* calibrateRow = Row(4);
  ReferenceSpin = MakeSpin(QStringLiteral("Reference"), 94, 0.1, level);
  ReferenceSpin->SetUnitsString(QStringLiteral("dB SPL"));
  ReferenceSpin->SetNumFormat(nfFixed);
  ReferenceSpin->SetDigits(1);
  Limit(ReferenceSpin, 0, 200);
  ReferenceSpin->setToolTip(QStringLiteral("The level the calibrator plays"));
  calibrateRow->addWidget(Caption(QStringLiteral("Reference"), ReferenceSpin, level));
  calibrateRow->addWidget(ReferenceSpin, 1);
  CalibrateBtn = new QPushButton(QStringLiteral("Calibrate"), level);
  CalibrateBtn->setToolTip(QStringLiteral("While the calibrator plays into the input: make its "
                                          "level read the reference"));
  calibrateRow->addWidget(CalibrateBtn);
  lv->addLayout(calibrateRow);
  auto* input = new TReadOutPanel(QStringLiteral(" Input:"), level);
  InputDis = input->AddReadOut(14);
  lv->addWidget(input);
  v->addWidget(level);

  auto* mic = new QGroupBox(QStringLiteral("Microphone"), this);
  auto* mv = new QVBoxLayout(mic);
  auto* file = new TReadOutPanel(QStringLiteral(" File:"), mic);
  MicDis = file->AddReadOut(30);
  mv->addWidget(file);
  MicNote = new QLabel(mic);
  MicNote->setWordWrap(true);
  mv->addWidget(MicNote);
  auto* micButtons = Row(4);
  LoadBtn = new QPushButton(QStringLiteral("Load..."), mic);
  LoadBtn->setToolTip(QStringLiteral("A calibration file: an optional line such as *1000Hz "
                                     "-38.6, then frequency and gain lines"));
  RemoveBtn = new QPushButton(QStringLiteral("Remove"), mic);
  micButtons->addWidget(LoadBtn);
  micButtons->addWidget(RemoveBtn);
  micButtons->addStretch(1);
  mv->addLayout(micButtons);
  v->addWidget(mic);

  auto* bottom = Row(4);
  bottom->addStretch(1);
  CloseBtn = new QPushButton(QStringLiteral("Close"), this);
  bottom->addWidget(CloseBtn);
  v->addLayout(bottom);

  AskMicFile = [this] {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Load Microphone Calibration"),
                                        QString(),
                                        QStringLiteral("Calibration files (*.txt *.cal *.frd);;"
                                                       "All files (*)"));
  };
  connect(CalibratedChk, &QCheckBox::toggled, this, [this](bool on) { FState.SetCalibrated(on); });
  connect(OffsetSpin, &TRealSpin::OnChange, this,
          [this] { FState.SetOffset(OffsetSpin->Value()); });
  connect(CalibrateBtn, &QPushButton::clicked, this, Guarded([this] { CalibrateBtnClick(); }));
  connect(LoadBtn, &QPushButton::clicked, this, Guarded([this] { LoadBtnClick(); }));
  connect(RemoveBtn, &QPushButton::clicked, this, [this] { FState.RemoveMicFile(); });
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
  connect(&State, &TMeasureState::OnChange, this, &TCalibrationDialog::StateChange);
  // The input's level follows the frames while the dialog is open.
  connect(&Spectrum, &TSpectrumView::OnFrameShown, this,
          [this](std::span<const double>, const TSpectrumFrame& Frame) {
            if (isVisible())
              ShowInput(Frame);
          });
  StateChange();
}

void TCalibrationDialog::ShowInput(const TSpectrumFrame& Frame)
{
  const std::optional<double> level = InputLevel(Frame, FState.Correction());
  InputDis->SetText(level ? FormatFixed(*level, 1) + QStringLiteral(" dB") : QString());
}

void TCalibrationDialog::showEvent(QShowEvent* Event)
{
  QDialog::showEvent(Event);
  ShowInput(FSpectrum.LastFrame());
}

double TCalibrationDialog::Reference() const
{
  return ReferenceSpin->Value();
}

void TCalibrationDialog::SetReference(double Db)
{
  ReferenceSpin->SetValue(Db);
}

void TCalibrationDialog::StateChange()
{
  const TLevelCorrection& c = FState.Correction();
  // Shown without echoing back into the state.
  const QSignalBlocker a(CalibratedChk), b(OffsetSpin);
  CalibratedChk->setChecked(c.Calibrated);
  if (OffsetSpin->Value() != c.Offset)
    OffsetSpin->SetValue(c.Offset);
  MicDis->SetText(FState.MicFile().isEmpty() ? QStringLiteral("none")
                                             : QFileInfo(FState.MicFile()).fileName());
  MicDis->setToolTip(FState.MicFile());
  QString note = FState.MicNote();
  if (note.isEmpty() && !c.Mic.Empty()) {
    note = QStringLiteral("%1 points").arg(c.Mic.Response.size());
    if (c.Mic.Sensitivity)
      note += QStringLiteral(", %1 dB at 94 dB SPL and %2 Hz")
                  .arg(FormatFixed(*c.Mic.Sensitivity, 1), FormatFixed(c.Mic.SensitivityHz, 0));
  }
  MicNote->setText(note);
  RemoveBtn->setEnabled(!FState.MicFile().isEmpty());
}

void TCalibrationDialog::CalibrateBtnClick()
{
  FState.Calibrate(Reference(), FSpectrum.LastFrame());
}

void TCalibrationDialog::LoadBtnClick()
{
  const QString path = AskMicFile ? AskMicFile() : QString();
  if (!path.isEmpty())
    FState.LoadMicFile(path);
}

} // namespace duv
