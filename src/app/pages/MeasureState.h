// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement settings the views share: the frequency weighting, the
// calibration (on or off, its offset) and the microphone's calibration file.
// They are kept in section "Measurement" of the program's INI file, written
// whole at every change, and read at start-up.
#pragma once

#include "analysis/Calibration.h"

#include <QObject>
#include <QString>

namespace duv {

class TMeasureState : public QObject
{
  Q_OBJECT
public:
  explicit TMeasureState(QObject* Parent = nullptr);

  const TLevelCorrection& Correction() const { return FCorrector.Correction(); }
  // The correction with its per-bin gains, for the views that apply it.
  TLevelCorrector& Corrector() { return FCorrector; }

  void SetWeighting(TWeighting Weighting);
  void SetCalibrated(bool Calibrated);
  // dB added to every level when calibrated.
  void SetOffset(double Offset);
  // Calibrates from a frame of a calibrator of Reference dB SPL: the offset
  // that makes its input level read Reference, and calibration on. Throws
  // std::runtime_error when the frame has no input to calibrate from.
  void Calibrate(double Reference, const TSpectrumFrame& Frame);

  // Reads a microphone calibration file; its sensitivity line, when it has
  // one, sets the offset and turns calibration on. Throws
  // EMicCalibrationError, and nothing changes then.
  void LoadMicFile(const QString& Path);
  void RemoveMicFile();
  const QString& MicFile() const { return FMicFile; }
  // Why the remembered file could not be read at start-up; empty otherwise.
  const QString& MicNote() const { return FMicNote; }

  // The INI file the settings live in; none (the default) keeps them in
  // memory only.
  void SetIniPath(const QString& Path) { FIniPath = Path; }
  // Puts back what the file holds; values it lacks or cannot be used keep
  // the defaults (no weighting, not calibrated).
  void LoadSettings();
  // False when the file could not be written.
  bool SaveSettings() const;

Q_SIGNALS:
  // Any setting changed.
  void OnChange();

private:
  void Change(const TLevelCorrection& Correction);

  TLevelCorrector FCorrector;
  QString FMicFile, FMicNote, FIniPath;
};

} // namespace duv
