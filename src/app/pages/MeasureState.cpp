// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/MeasureState.h"

#include "support/IniSection.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cmath>
#include <stdexcept>

namespace duv {

namespace {

const QString Section = QStringLiteral("Measurement");
// Offsets a user may set; far beyond any real microphone and interface.
constexpr double OffsetLimit = 300;

} // namespace

TMeasureState::TMeasureState(QObject* Parent) : QObject(Parent) {}

void TMeasureState::Change(const TLevelCorrection& Correction)
{
  if (Correction == FCorrector.Correction())
    return;
  FCorrector.SetCorrection(Correction);
  SaveSettings();
  emit OnChange();
}

void TMeasureState::SetWeighting(TWeighting Weighting)
{
  TLevelCorrection c = Correction();
  c.Weighting = Weighting;
  Change(c);
}

void TMeasureState::SetCalibrated(bool Calibrated)
{
  TLevelCorrection c = Correction();
  c.Calibrated = Calibrated;
  Change(c);
}

void TMeasureState::SetOffset(double Offset)
{
  if (!std::isfinite(Offset))
    return;
  TLevelCorrection c = Correction();
  c.Offset = std::clamp(Offset, -OffsetLimit, OffsetLimit);
  Change(c);
}

void TMeasureState::Calibrate(double Reference, const TSpectrumFrame& Frame)
{
  const std::optional<double> level = InputLevel(Frame, Correction());
  if (!level)
    throw std::runtime_error("There is no input to calibrate from: start capture while the "
                             "calibrator plays.");
  TLevelCorrection c = Correction();
  c.Offset = std::clamp(Reference - *level, -OffsetLimit, OffsetLimit);
  c.Calibrated = true;
  Change(c);
}

void TMeasureState::LoadMicFile(const QString& Path)
{
  const TMicCalibration mic = LoadMicCalibration(Path); // throws, changing nothing
  TLevelCorrection c = Correction();
  c.Mic = mic;
  if (const std::optional<double> offset = mic.SensitivityOffset()) {
    c.Offset = std::clamp(*offset, -OffsetLimit, OffsetLimit);
    c.Calibrated = true;
  }
  const bool fileChanged = FMicFile != Path || !FMicNote.isEmpty();
  FMicFile = Path;
  FMicNote.clear();
  if (c == Correction() && fileChanged) {
    SaveSettings();
    emit OnChange();
    return;
  }
  Change(c);
}

void TMeasureState::RemoveMicFile()
{
  const bool fileChanged = !FMicFile.isEmpty();
  FMicFile.clear();
  FMicNote.clear();
  TLevelCorrection c = Correction();
  c.Mic = {};
  if (c == Correction() && fileChanged) {
    SaveSettings();
    emit OnChange();
    return;
  }
  Change(c);
}

void TMeasureState::LoadSettings()
{
  if (FIniPath.isEmpty() || !QFileInfo(FIniPath).isFile())
    return;
  QSettings ini(FIniPath, QSettings::IniFormat);
  ini.beginGroup(Section);
  TLevelCorrection c;
  if (const auto w = WeightingFromName(ini.value(QStringLiteral("Weighting")).toString()))
    c.Weighting = *w;
  c.Calibrated = ini.value(QStringLiteral("Calibrated")).toString().trimmed().toLower() ==
                 QLatin1String("true");
  bool ok = false;
  const double offset = ini.value(QStringLiteral("Offset")).toString().trimmed().toDouble(&ok);
  if (ok && std::isfinite(offset))
    c.Offset = std::clamp(offset, -OffsetLimit, OffsetLimit);
  FMicFile = ini.value(QStringLiteral("MicFile")).toString();
  FMicNote.clear();
  if (!FMicFile.isEmpty()) {
    // The file is read again, as it is now; the offset stays the one saved,
    // which a calibration may have changed since the file was loaded.
    try {
      c.Mic = LoadMicCalibration(FMicFile);
    } catch (const EMicCalibrationError& e) {
      FMicNote = QString::fromStdString(e.what());
    }
  }
  // The defaults need no notice: the views start out with them.
  if (c == Correction() && FMicFile.isEmpty())
    return;
  FCorrector.SetCorrection(c);
  emit OnChange();
}

bool TMeasureState::SaveSettings() const
{
  if (FIniPath.isEmpty())
    return true;
  const TLevelCorrection& c = Correction();
  return SaveIniSection(FIniPath, Section,
                        {{QStringLiteral("Weighting"), WeightingName(c.Weighting)},
                         {QStringLiteral("Calibrated"), c.Calibrated ? "true" : "false"},
                         {QStringLiteral("Offset"), QString::number(c.Offset, 'g', 17)},
                         {QStringLiteral("MicFile"), FMicFile}});
}

} // namespace duv
