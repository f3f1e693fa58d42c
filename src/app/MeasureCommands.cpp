// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MeasureCommands.h"

#include "analysis/Calibration.h"
#include "analysis/Distortion.h"
#include "analysis/OctaveBands.h"
#include "app/CommandLine.h"
#include "support/DSupport.h"
#include "wavefile/FileAnalysis.h"
#include "wavefile/WaveStretch.h"

#include <QMap>
#include <cmath>
#include <ostream>
#include <stdexcept>
#include <string>

namespace duv {

namespace {

// Frames of the whole-file band analysis, and of a measured sine.
constexpr int DefaultBandsSize = 8192;
constexpr int DefaultMeasureSize = 32768;

// Options with their values, and the one file name.
struct Options
{
  QString Path;
  QMap<QString, QString> Values;
  bool Has(const char* Name) const { return Values.contains(QLatin1String(Name)); }
  QString Value(const char* Name) const { return Values.value(QLatin1String(Name)); }
};

Options parseOptions(const QStringList& Args, const QString& Command, const QStringList& Known)
{
  Options o;
  for (int i = 0; i < Args.size(); ++i) {
    const QString& a = Args[i];
    if (Known.contains(a)) {
      if (i + 1 >= Args.size())
        throw UsageError{QStringLiteral("%1 needs a value").arg(a)};
      o.Values[a.mid(2)] = Args[++i];
    } else if (a.startsWith(QLatin1String("--")) || !o.Path.isEmpty()) {
      throw UsageError{QStringLiteral("unexpected argument '%1'").arg(a)};
    } else {
      o.Path = a;
    }
  }
  if (o.Path.isEmpty())
    throw UsageError{QStringLiteral("%1 needs a file name").arg(Command)};
  return o;
}

double number(const QString& Text, const char* What)
{
  bool ok = false;
  const double v = Text.toDouble(&ok);
  if (!ok || !std::isfinite(v))
    throw UsageError{QStringLiteral("%1 is not a number: '%2'").arg(QLatin1String(What), Text)};
  return v;
}

double offsetOption(const Options& o)
{
  const double v = o.Has("offset") ? number(o.Value("offset"), "the offset") : 0.0;
  if (v < 0)
    throw UsageError{QStringLiteral("the offset cannot be negative")};
  return v;
}

int sizeOption(const Options& o, int Default)
{
  if (!o.Has("size"))
    return Default;
  const double v = number(o.Value("size"), "the size");
  if (v != std::trunc(v) || !IsBufferSize(int(v)))
    throw UsageError{
        QStringLiteral("the size must be one of 256, 512, 1024, 2048, 4096, 8192, 16384, 32768")};
  return int(v);
}

// The largest buffer size at most Count; 256 for less.
int fittingSize(std::int64_t Count, int Limit)
{
  int n = BufferSizes[0];
  for (int size : BufferSizes)
    if (size <= Limit && size <= Count)
      n = size;
  return n;
}

// The file's headers, checked; a truncation note goes to err.
void openFile(TSoundFile& File, const QString& Path, std::ostream& err)
{
  File.LoadHeader(Path); // throws EWaveFileError naming the file
  CheckAnalysable(File);
  const QString note = TruncationNote(File);
  if (!note.isEmpty())
    err << "duvovovi: " << note.toStdString() << "\n";
}

std::int64_t startSample(const TSoundFile& File, double Offset, const QString& Path)
{
  const TSoundData& data = File.SoundData();
  const std::int64_t start = StretchOffsetSamples(Offset, data.Format.nSamplesPerSec);
  if (start >= data.SamplesPerChannel)
    throw UsageError{QStringLiteral("the offset %1 s is at or beyond the end of %2 (%3 samples)")
                         .arg(ShortestText(Offset), Path)
                         .arg(data.SamplesPerChannel)};
  return start;
}

TFrameFormat frameFormat(const TSoundFile& File, int Size, TWindowKind Window)
{
  const WAVEFORMATEX& f = File.SoundData().Format;
  TFrameFormat format;
  format.SampleRate = f.nSamplesPerSec;
  format.Size = Size;
  format.Bits = f.wBitsPerSample;
  format.Channels = f.nChannels;
  format.Window = Window;
  return format;
}

} // namespace

QString MeasureCommandsHelp()
{
  return QStringLiteral(
      "  bands FILE [--fraction 1|3] [--weighting A|C|Z] [--offset SECONDS]\n"
      "        [--size N] [--window NAME]\n"
      "                                      print the octave (1) or third-octave (3,\n"
      "                                      the default) band levels of channel 0 as\n"
      "                                      CSV: centre_hz,level_db; the whole file's\n"
      "                                      power averaged over hann frames of N\n"
      "                                      samples (default 8192) that overlap by\n"
      "                                      half, or with --offset one frame there;\n"
      "                                      weighting Z (none) by default; bands\n"
      "                                      narrower than a bin are left out\n"
      "  measure FILE [--offset SECONDS] [--size N]\n"
      "                                      print the distortion and noise figures\n"
      "                                      of a sine in channel 0 at the offset\n"
      "                                      (default 0) over N samples (default\n"
      "                                      32768, or the largest size the rest of\n"
      "                                      the file fills): frequency, level, THD,\n"
      "                                      THD+N, SNR and SINAD\n");
}

int BandsCommand(const QStringList& Args, std::ostream& out, std::ostream& err)
{
  const Options o = parseOptions(Args, QStringLiteral("bands"),
                                 {"--fraction", "--weighting", "--offset", "--size", "--window"});
  int fraction = ThirdOctaveFraction;
  if (o.Has("fraction")) {
    const QString f = o.Value("fraction");
    if (f != QLatin1String("1") && f != QLatin1String("3"))
      throw UsageError{
          QStringLiteral("the fraction is 1 (octaves) or 3 (third octaves), not '%1'").arg(f)};
    fraction = f.toInt();
  }
  TLevelCorrection correction;
  if (o.Has("weighting")) {
    const std::optional<TWeighting> w = WeightingFromName(o.Value("weighting"));
    if (!w)
      throw UsageError{
          QStringLiteral("the weighting is A, C or Z, not '%1'").arg(o.Value("weighting"))};
    correction.Weighting = *w;
  }
  TWindowKind window = TWindowKind::Hann;
  if (o.Has("window")) {
    const std::optional<TWindowKind> w = WindowFromName(o.Value("window"));
    if (!w)
      throw UsageError{QStringLiteral("unknown window '%1' (windows: %2)")
                           .arg(o.Value("window"), WindowNames().join(QStringLiteral(", ")))};
    window = *w;
  }
  const double offset = offsetOption(o);
  int size = sizeOption(o, DefaultBandsSize);

  TSoundFile file;
  openFile(file, o.Path, err);
  const std::int64_t samples = file.SoundData().SamplesPerChannel;
  TAnalysis analysis;
  TSpectrumFrame frame;
  TLevelCorrector corrector;
  corrector.SetCorrection(correction);
  std::vector<double> powers, totals;
  std::vector<TBand> bands;
  int frames = 0;
  const auto add = [&] {
    if (bands.empty()) {
      bands = ResolvedBands(fraction, frame.Format);
      totals.assign(bands.size(), 0.0);
    }
    const int H = int(frame.Magnitude.size());
    BinPowers(frame, corrector.Gains(frame.Format.FreqStep(), H), powers);
    AddBandPowers(powers, frame.Format.FreqStep(), bands, totals);
    ++frames;
  };
  if (o.Has("offset")) {
    StreamedFileSpectrum(analysis, file, startSample(file, offset, o.Path), size, window, frame);
    add();
  } else {
    // The whole file, in frames that overlap by half; a file shorter than a
    // frame is one frame of the largest size it fills.
    size = fittingSize(samples, size);
    const int hop = size / 2;
    const TFrameFormat format = frameFormat(file, size, window);
    TSampleReader reader(file);
    std::vector<std::int16_t> raw(std::size_t(size), 0);
    std::vector<double> stretch(std::size_t(size), 0.0);
    for (std::int64_t at = 0; at == 0 || at + size <= samples; at += hop) {
      // The second half of the last frame is the first of this one.
      const bool overlaps = at > 0;
      const std::int64_t from = overlaps ? at + hop : at;
      const std::int64_t count = std::min<std::int64_t>(at + size, samples) - from;
      if (overlaps)
        std::copy(raw.begin() + hop, raw.end(), raw.begin());
      std::int16_t* into = raw.data() + (overlaps ? hop : 0);
      std::fill(into, raw.data() + size, std::int16_t(0));
      if (count > 0)
        reader.Read(from, count, into, nullptr);
      // Past the file's end a frame is silence: what Analyze pads with.
      const std::int64_t filled = (overlaps ? hop : 0) + std::max<std::int64_t>(count, 0);
      std::copy(raw.begin(), raw.end(), stretch.begin());
      analysis.Analyze(std::span(stretch).first(std::size_t(filled)), format, frame);
      add();
    }
  }
  const double floor = DecibelFloor(frame.Format.Bits) + correction.Shift();
  std::string text = "centre_hz,level_db\n";
  for (std::size_t i = 0; i < bands.size(); ++i)
    text += BandName(bands[i], false).toStdString() + ',' +
            QString::number(PowerLevel(totals[i] / frames, floor), 'f', 2).toStdString() + '\n';
  out << text;
  return ExitOk;
}

int MeasureCommand(const QStringList& Args, std::ostream& out, std::ostream& err)
{
  const Options o = parseOptions(Args, QStringLiteral("measure"), {"--offset", "--size"});
  const double offset = offsetOption(o);
  const int size = sizeOption(o, DefaultMeasureSize);
  TSoundFile file;
  openFile(file, o.Path, err);
  const std::int64_t start = startSample(file, offset, o.Path);
  const std::int64_t left = file.SoundData().SamplesPerChannel - start;
  if (left < BufferSizes[0])
    throw std::runtime_error(QStringLiteral("%1 has only %2 samples from the offset: a "
                                            "measurement needs at least 256")
                                 .arg(o.Path)
                                 .arg(left)
                                 .toStdString());
  const int n = fittingSize(left, size);
  std::vector<std::int16_t> raw(static_cast<std::size_t>(n));
  TSampleReader(file).Read(start, n, raw.data(), nullptr);
  const std::vector<double> samples(raw.begin(), raw.end());
  const WAVEFORMATEX& f = file.SoundData().Format;
  TDistortionMeter meter;
  const std::optional<TDistortion> figures =
      meter.Measure(samples, f.nSamplesPerSec, f.wBitsPerSample);
  if (!figures)
    throw std::runtime_error(
        QStringLiteral("%1: no tone stands out of the noise to measure").arg(o.Path).toStdString());
  out << DistortionLines(*figures, QStringLiteral("dB")).join(QLatin1Char('\n')).toStdString()
      << "\n";
  return ExitOk;
}

} // namespace duv
