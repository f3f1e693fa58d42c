// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RecordCommand.h"

#include "app/CommandLine.h"
#include "app/StopSignals.h"
#include "audio/CaptureHistory.h"
#include "audio/Waveread.h"
#include "support/DSupport.h"
#include "support/SafeFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <optional>
#include <ostream>

namespace duv {

namespace {

// A usage error: the message goes to standard error, status 2.
struct Usage
{
  QString Text;
};

// How often the loop looks at the input, and how long an input may deliver
// nothing before the recording gives up on it.
constexpr int PollMs = 50;
constexpr int SilentDeviceMs = 10000;

struct RecordArgs
{
  std::optional<double> Seconds;
  TWaveTypes Type = wfNone;
  QString Path;
};

RecordArgs parseArgs(const QStringList& args)
{
  RecordArgs r;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--seconds" || a == "--format") {
      if (i + 1 >= args.size())
        throw Usage{QStringLiteral("%1 needs a value").arg(a)};
      const QString& v = args[++i];
      if (a == "--seconds") {
        bool ok = false;
        const double s = v.toDouble(&ok);
        if (!ok || !std::isfinite(s) || s <= 0)
          throw Usage{QStringLiteral("the seconds must be a number above 0, not '%1'").arg(v)};
        r.Seconds = s;
      } else {
        r.Type = WaveTypeFromName(v);
        if (r.Type == wfNone) {
          QStringList names;
          for (int t = 1; t <= WaveTypeCount; ++t)
            names << WaveTypeName(TWaveTypes(t));
          throw Usage{QStringLiteral("unknown format '%1' (formats: %2)")
                          .arg(v, names.join(QStringLiteral(", ")))};
        }
      }
    } else if (a.startsWith(QLatin1Char('-')) || !r.Path.isEmpty()) {
      throw Usage{QStringLiteral("unexpected argument '%1'").arg(a)};
    } else {
      r.Path = a;
    }
  }
  if (!r.Seconds)
    throw Usage{QStringLiteral("record needs --seconds S")};
  if (r.Path.isEmpty())
    throw Usage{QStringLiteral("record needs an output file: OUT.wav")};
  return r;
}

// The format recorded without --format: the best of the classic twelve, 44.1
// kHz stereo 16-bit where the input has it, a format every player reads.
TWaveTypes bestFormat(const TWaveReader& reader)
{
  const QStringList captions = reader.FormatCaptions();
  for (int t = wf44Khz_Stereo_16Bit; t >= 1; --t)
    if (captions.contains(WaveTypeCaption(t)))
      return TWaveTypes(t);
  return wfNone;
}

} // namespace

QString WaveTypeName(TWaveTypes Type)
{
  const TWaveDataFormat f = WaveTypeFormat(Type);
  if (f.SampleRate == 0)
    return QString();
  return QStringLiteral("%1-%2-%3")
      .arg(f.SampleRate)
      .arg(f.Channels == 2 ? QStringLiteral("stereo") : QStringLiteral("mono"))
      .arg(f.Float ? QStringLiteral("float") : QString::number(8 * f.BytesPerSample));
}

TWaveTypes WaveTypeFromName(const QString& Name)
{
  const QString n = Name.trimmed();
  for (int t = 1; t <= WaveTypeCount; ++t)
    if (n.compare(WaveTypeName(TWaveTypes(t)), Qt::CaseInsensitive) == 0 ||
        n.compare(WaveTypeCaption(t), Qt::CaseInsensitive) == 0)
      return TWaveTypes(t);
  return wfNone;
}

int RunRecordCommand(const QStringList& Args, std::ostream& Out, std::ostream& Err)
{
  Q_UNUSED(Out);
  RecordArgs args;
  try {
    args = parseArgs(Args);
  } catch (const Usage& u) {
    Err << "duvovovi: " << u.Text.toStdString() << "\nTry 'duvovovi --help'.\n";
    return ExitUsage;
  }

  QEventLoop loop;
  // The reader's messages end the recording: the input is missing, cannot
  // record the format, or was lost.
  QStringList messages;
  const TWaveMessageEvent previous = SetWaveMessageHandler([&](const QString& text) {
    messages << text;
    loop.quit();
  });
  struct RestoreHandler
  {
    TWaveMessageEvent Previous;
    ~RestoreHandler() { SetWaveMessageHandler(Previous); }
  } restore{previous};
  const auto fail = [&](const QString& why) {
    Err << "duvovovi: " << why.toStdString() << "\n";
    return int(ExitFileError);
  };

  // A length no WAV file holds is refused before any device is opened,
  // where the format is already known.
  const auto tooLong = [&](TWaveTypes type) {
    const TWaveDataFormat f = WaveTypeFormat(type);
    const std::int64_t maxFrames = MaxWaveDataBytes / (std::int64_t(f.BytesPerSample) * f.Channels);
    // Compared as a double: seconds * rate may pass what an integer holds,
    // and the bytes of a long enough count would wrap to a small one.
    const double frames = *args.Seconds * f.SampleRate;
    if (frames >= 0.5 && frames < double(maxFrames) + 0.5)
      return false;
    Err << "duvovovi: the seconds must make from 1 sample to "
        << QString::number(maxFrames / f.SampleRate).toStdString() << " s in "
        << WaveTypeName(type).toStdString() << " (what a WAV file holds)\nTry 'duvovovi --help'.\n";
    return true;
  };
  if (args.Type != wfNone && tooLong(args.Type))
    return ExitUsage;

  TWaveReader reader;
  if (!messages.isEmpty())
    return fail(messages.join(QStringLiteral("; ")));
  const TWaveTypes type = args.Type != wfNone ? args.Type : bestFormat(reader);
  const TWaveDataFormat format = WaveTypeFormat(type);
  if (format.SampleRate == 0)
    return fail(QStringLiteral("the input \"%1\" records none of the capture formats")
                    .arg(reader.Device().description()));
  if (tooLong(type))
    return ExitUsage;
  const std::int64_t frameBytes = std::int64_t(format.BytesPerSample) * format.Channels;
  const std::int64_t total = std::llround(*args.Seconds * format.SampleRate);

  try {
    // Opened first: an output that cannot be written fails before any
    // recording, and the file appears under its name only when complete.
    TFileWriter file(args.Path);
    QIODevice& out = file.Device();
    const QByteArray header = PcmWaveHeader(format, std::uint32_t(total * frameBytes));
    if (out.write(header) != header.size())
      file.Fail();

    std::int64_t written = 0;
    bool writeFailed = false;
    QElapsedTimer sinceInput;
    reader.SetWaveType(type);
    // Buffers of about 50 ms: Ctrl+C and the end are answered that soon.
    reader.SetSampleCount(std::max(256, format.SampleRate / 20));
    reader.OnRecorded = [&](TWaveReader*, const void* frames, int count, const TWaveDataFormat&) {
      sinceInput.restart();
      const std::int64_t take = std::min<std::int64_t>(count, total - written);
      if (take <= 0 || writeFailed)
        return;
      if (out.write(static_cast<const char*>(frames), take * frameBytes) != take * frameBytes) {
        writeFailed = true;
        loop.quit();
        return;
      }
      written += take;
      if (written >= total)
        loop.quit();
    };
    const TStopSignals stops;
    QObject::connect(&stops, &TStopSignals::Stop, &loop, &QEventLoop::quit);
    QTimer poll;
    poll.setInterval(PollMs);
    bool silent = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      // A stop that came before the loop ran is seen here.
      if (stops.Stopped())
        loop.quit();
      if (sinceInput.elapsed() > SilentDeviceMs) {
        silent = true;
        loop.quit();
      }
    });
    sinceInput.start();
    reader.Start();
    if (reader.IsActive()) {
      poll.start();
      loop.exec();
      poll.stop();
    }
    // The buffers that come back as capture stops still count.
    reader.Stop();
    reader.OnRecorded = nullptr;
    if (!messages.isEmpty())
      return fail(QStringLiteral("%1 %2 was not written.")
                      .arg(messages.join(QStringLiteral(" ")), args.Path));
    if (silent)
      return fail(QStringLiteral("the input \"%1\" delivered no sound for %2 s; %3 was not "
                                 "written.")
                      .arg(reader.Device().description())
                      .arg(SilentDeviceMs / 1000)
                      .arg(args.Path));
    if (writeFailed)
      file.Fail();
    // The header says what was recorded: less than asked after Ctrl+C.
    const std::int64_t bytes = written * frameBytes;
    if ((bytes & 1) && out.write("\0", 1) != 1)
      file.Fail();
    if (!out.seek(0) || out.write(PcmWaveHeader(format, std::uint32_t(bytes))) != header.size())
      file.Fail();
    file.Commit();
    if (written < total)
      Err << "duvovovi: recording ended early: "
          << FormatFixed(double(written) / format.SampleRate, 2).toStdString() << " s of "
          << QString::number(*args.Seconds).toStdString() << " s written to "
          << args.Path.toStdString() << "\n";
    if (reader.InputLost() > 0)
      Err << "duvovovi: " << FormatFixed(reader.InputLost(), 1).toStdString()
          << " s of input could not be read in time and are missing from the recording\n";
  } catch (const EFileWriteError& e) {
    return fail(QStringLiteral("Cannot write %1: %2").arg(args.Path, e.Reason()));
  }
  return ExitOk;
}

} // namespace duv
