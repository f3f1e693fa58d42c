// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Calibration.h"

#include "analysis/OctaveBands.h"
#include "analysis/SpectrumMath.h"
#include "analysis/SpectrumPeaks.h"
#include "support/DSupport.h"
#include "support/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include <sys/stat.h>

namespace duv {

namespace {

// A calibration file is a few hundred lines; anything far larger is not one.
constexpr qint64 MaxFileBytes = 4 << 20;
// No microphone adds or loses this much.
constexpr double MaxGain = 100;
// Frequencies a calibration can speak of. Beyond them the log-frequency
// interpolation overflows or underflows (5e-324 Hz next to 20 kHz made
// nearly every gain NaN), and no microphone is measured there.
constexpr double MinHz = 1e-3;
constexpr double MaxHz = 1e7;

bool SensibleHz(double Hz) { return Hz >= MinHz && Hz <= MaxHz; }

std::optional<double> Number(const QString& Text)
{
  bool ok = false;
  const double v = Text.toDouble(&ok); // "." whatever the locale
  return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

[[noreturn]] void Refuse(int Line, const QString& Message)
{
  throw EMicCalibrationError(Line, QStringLiteral("line %1: %2").arg(Line).arg(Message));
}

} // namespace

EMicCalibrationError::EMicCalibrationError(int Line, const QString& Message)
    : std::runtime_error(Message.toStdString()), FLine(Line)
{
}

double TMicCalibration::ResponseAt(double Hz) const
{
  if (Response.empty())
    return 0;
  if (!(Hz > Response.front().first))
    return Response.front().second; // NaN and 0 Hz too
  if (Hz >= Response.back().first)
    return Response.back().second;
  const auto hi = std::upper_bound(Response.begin(), Response.end(), Hz,
                                   [](double f, const auto& p) { return f < p.first; });
  const auto lo = hi - 1;
  const double t = std::log(Hz / lo->first) / std::log(hi->first / lo->first);
  return lo->second + t * (hi->second - lo->second);
}

std::optional<double> TMicCalibration::SensitivityOffset() const
{
  if (!Sensitivity)
    return std::nullopt;
  return 94.0 - *Sensitivity;
}

TMicCalibration ParseMicCalibration(const QByteArray& Text)
{
  static const QRegularExpression sensitivity(
      QStringLiteral(R"(^\*\s*([-+0-9.eE]+)\s*hz\s*[\s,;]\s*([-+0-9.eE]+)\s*(db)?$)"),
      QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression separators(QStringLiteral(R"([\s,;]+)"));
  TMicCalibration mic;
  const QList<QByteArray> lines = Text.split('\n');
  for (int i = 0; i < lines.size(); ++i) {
    const int line = i + 1;
    QString text = QString::fromUtf8(lines[i]).trimmed();
    if (i == 0 && text.startsWith(QChar(0xFEFF)))
      text = text.mid(1).trimmed();
    if (text.isEmpty() || text.startsWith('#') || text.startsWith(';') || text.startsWith('"'))
      continue;
    if (text.startsWith('*')) {
      const QRegularExpressionMatch m = sensitivity.match(text);
      if (!m.hasMatch())
        continue; // a comment
      if (mic.Sensitivity)
        Refuse(line, QStringLiteral("a second sensitivity line"));
      if (!mic.Response.empty())
        Refuse(line, QStringLiteral("the sensitivity line comes before the frequencies"));
      const std::optional<double> hz = Number(m.captured(1)), db = Number(m.captured(2));
      if (!hz || !SensibleHz(*hz) || !db || std::abs(*db) > 200)
        Refuse(line, QStringLiteral("'%1' is not a sensitivity such as *1000Hz -38.6").arg(text));
      mic.SensitivityHz = *hz;
      mic.Sensitivity = *db;
      continue;
    }
    const QStringList fields = text.split(separators, Qt::SkipEmptyParts);
    const std::optional<double> hz = fields.size() >= 2 ? Number(fields[0]) : std::nullopt;
    const std::optional<double> db = fields.size() >= 2 ? Number(fields[1]) : std::nullopt;
    if (fields.size() > 3 || !hz || !db || (fields.size() == 3 && !Number(fields[2])))
      Refuse(line, QStringLiteral("expected a frequency and a gain, found '%1'").arg(text));
    if (!(*hz > 0))
      Refuse(line, QStringLiteral("the frequency %1 Hz is not above 0").arg(fields[0]));
    if (!SensibleHz(*hz))
      Refuse(line, QStringLiteral("the frequency %1 Hz is outside %2 Hz to %3 Hz")
                       .arg(fields[0], ShortestText(MinHz), ShortestText(MaxHz)));
    if (std::abs(*db) > MaxGain)
      Refuse(line, QStringLiteral("the gain %1 dB is beyond %2 dB").arg(fields[1]).arg(MaxGain));
    if (!mic.Response.empty() && !(*hz > mic.Response.back().first))
      Refuse(line, QStringLiteral("%1 Hz after %2 Hz: the frequencies must rise")
                       .arg(fields[0], ShortestText(mic.Response.back().first)));
    mic.Response.emplace_back(*hz, *db);
  }
  if (mic.Empty())
    throw EMicCalibrationError(0, QStringLiteral("it holds no sensitivity and no frequencies"));
  return mic;
}

TMicCalibration LoadMicCalibration(const QString& Path)
{
  const auto refuse = [&Path](int line, const QString& why) -> EMicCalibrationError {
    return EMicCalibrationError(line, QStringLiteral("Cannot use %1: %2").arg(Path, why));
  };
  struct stat st
  {
  };
  if (::stat(QFile::encodeName(Path).constData(), &st) != 0)
    throw refuse(0, QStringLiteral("it cannot be found"));
  if (!S_ISREG(st.st_mode))
    throw refuse(0, NotRegularFileReason(st.st_mode));
  if (st.st_size > MaxFileBytes)
    throw refuse(0, QStringLiteral("it is too large for a calibration file"));
  QFile file(Path);
  if (!file.open(QIODevice::ReadOnly))
    throw refuse(0, file.errorString());
  const QByteArray text = file.read(MaxFileBytes + 1);
  if (text.size() > MaxFileBytes)
    throw refuse(0, QStringLiteral("it is too large for a calibration file"));
  try {
    return ParseMicCalibration(text);
  } catch (const EMicCalibrationError& e) {
    throw refuse(e.Line(), QString::fromStdString(e.what()));
  }
}

double TLevelCorrection::GainAt(double Hz) const
{
  double g = WeightingDecibels(Weighting, Hz);
  if (Calibrated)
    g += Offset - Mic.ResponseAt(Hz);
  return g;
}

QString TLevelCorrection::Unit() const
{
  QString unit = QStringLiteral("dB");
  if (Weighting != TWeighting::Z)
    unit += QStringLiteral("(%1)").arg(WeightingName(Weighting));
  if (Calibrated)
    unit += QStringLiteral(" SPL");
  return unit;
}

void TLevelCorrector::SetCorrection(const TLevelCorrection& Correction)
{
  if (FCorrection == Correction)
    return;
  FCorrection = Correction;
  FStep = -1; // the gains are made again
}

std::span<const double> TLevelCorrector::Gains(double FreqStep, int Bins)
{
  Bins = std::max(Bins, 0);
  if (FreqStep != FStep || FGains.size() != std::size_t(Bins)) {
    FStep = FreqStep;
    FGains.resize(std::size_t(Bins));
    for (int k = 0; k < Bins; ++k)
      FGains[std::size_t(k)] = FCorrection.GainAt(k * FreqStep);
  }
  return FGains;
}

void TLevelCorrector::Apply(TSpectrumFrame& Frame)
{
  const int bits = Frame.Format.Bits;
  const double floor = DecibelFloor(bits) + FCorrection.Shift();
  const int H = int(Frame.Magnitude.size());
  const double step = Frame.Format.FreqStep();
  const std::span<const double> gains = Gains(step, H);
  const int count = std::max(0, H - 1);
  Frame.Y.resize(std::size_t(count));
  Frame.SpectrumLine.assign(std::size_t(std::max(0, H)), 0.0);
  if (count > 0)
    Decibels(Frame.Magnitude.data() + 1, Frame.Y.data(), count, bits);
  for (int k = 1; k < H; ++k) {
    double v = Frame.Y[std::size_t(k - 1)];
    if (!FCorrection.IsIdentity())
      v += gains[std::size_t(k)];
    if (!(v >= floor))
      v = floor;
    Frame.Y[std::size_t(k - 1)] = v;
    Frame.SpectrumLine[std::size_t(k - 1)] = v;
  }
  const TPeakSpectrum peaks{Frame.Magnitude, step, std::ldexp(1.0, bits) / 2, Frame.Format.Window};
  Frame.Peak = StrongestPeak(peaks);
  if (Frame.Peak && !FCorrection.IsIdentity())
    Frame.Peak->Level += FCorrection.GainAt(Frame.Peak->Frequency);
  if (Frame.Peak && !(Frame.Peak->Level > floor))
    Frame.Peak.reset();
}

std::optional<double> InputLevel(const TSpectrumFrame& Frame, const TLevelCorrection& Correction)
{
  if (Frame.Magnitude.size() < 2)
    return std::nullopt;
  std::vector<double> gains;
  if (!Correction.Mic.Response.empty()) {
    gains.resize(Frame.Magnitude.size());
    for (std::size_t k = 0; k < gains.size(); ++k)
      gains[k] = -Correction.Mic.ResponseAt(double(k) * Frame.Format.FreqStep());
  }
  std::vector<double> powers;
  BinPowers(Frame, gains, powers);
  double sum = 0;
  for (std::size_t k = 1; k < powers.size(); ++k)
    sum += powers[k];
  if (!(sum > 0))
    return std::nullopt; // silence has no level to calibrate from
  return 10 * std::log10(sum);
}

} // namespace duv
