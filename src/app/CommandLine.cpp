#include "app/CommandLine.h"

#include "support/DSupport.h"
#include "wavefile/WaveStretch.h"

#include <cmath>
#include <ostream>
#include <string>

namespace duv {

QString CommandLineHelp()
{
  return QStringLiteral(
      "Usage: duvovovi [COMMAND] [ARGS]\n"
      "\n"
      "A desktop audio spectrum analyzer. With no command it opens the main window;\n"
      "a command works without a display and exits.\n"
      "\n"
      "Commands:\n"
      "  info FILE.wav                       print the file's format and sample count\n"
      "  spectrum FILE.wav [--offset SECONDS] [--size N]\n"
      "                                      print the decibel spectrum of channel 0 at\n"
      "                                      the offset (default 0) over N samples\n"
      "                                      (256, 512, ... 32768; default 256)\n"
      "  note HZ                             print the nearest musical note\n"
      "  --help                              show this help\n"
      "  --version                           show the version\n"
      "\n"
      "Exit status: 0 on success, 1 when a file cannot be read, 2 for a usage error.\n");
}

namespace {

// Thrown for a usage error: the message goes to standard error, status 2.
struct UsageError
{
  QString text;
};

double parseNumber(const QString& text, const char* what)
{
  bool ok = false;
  const double v = text.toDouble(&ok); // "." as the separator, whatever the locale
  if (!ok || !std::isfinite(v))
    throw UsageError{QStringLiteral("%1 is not a number: '%2'").arg(what, text)};
  return v;
}

int infoCommand(const QStringList& args, std::ostream& out)
{
  if (args.size() != 1)
    throw UsageError{QStringLiteral("info takes one file name")};
  TSoundFile file;
  // The headers say all info prints: the samples of a long file are not read.
  file.LoadHeader(args[0]); // throws EWaveFileError with a message naming the file
  WriteFileInfo(file, out);
  return ExitOk;
}

int spectrumCommand(const QStringList& args, std::ostream& out)
{
  QString path;
  double offset = 0;
  int size = 256;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--offset" || a == "--size") {
      if (i + 1 >= args.size())
        throw UsageError{QStringLiteral("%1 needs a value").arg(a)};
      const double v = parseNumber(args[++i], a == "--offset" ? "the offset" : "the size");
      if (a == "--offset") {
        if (v < 0)
          throw UsageError{QStringLiteral("the offset cannot be negative")};
        offset = v;
      } else {
        if (v != std::trunc(v) || !IsBufferSize(int(v)))
          throw UsageError{QStringLiteral("the size must be one of 256, 512, 1024, 2048, 4096, "
                                          "8192, 16384, 32768")};
        size = int(v);
      }
    } else if (a.startsWith("--") || !path.isEmpty()) {
      throw UsageError{QStringLiteral("unexpected argument '%1'").arg(a)};
    } else {
      path = a;
    }
  }
  if (path.isEmpty())
    throw UsageError{QStringLiteral("spectrum needs a file name")};

  TSoundFile file;
  file.SetFileName(path);
  CheckAnalysable(file);
  const TSoundData& data = file.SoundData();
  const std::int64_t start = StretchOffsetSamples(offset, data.Format.nSamplesPerSec);
  if (start >= data.SamplesPerChannel)
    throw UsageError{QStringLiteral("the offset %1 s is at or beyond the end of %2 (%3 samples)")
                         .arg(ShortestText(offset), path)
                         .arg(data.SamplesPerChannel)};
  TAnalysis analysis;
  TSpectrumFrame frame;
  FileSpectrum(analysis, data, start, size, frame);
  WriteSpectrum(frame, out);
  return ExitOk;
}

int noteCommand(const QStringList& args, std::ostream& out)
{
  if (args.size() != 1)
    throw UsageError{QStringLiteral("note takes one frequency in Hz")};
  out << NoteName(parseNumber(args[0], "the frequency")).toStdString() << "\n";
  return ExitOk;
}

} // namespace

int RunCommandLine(const QStringList& args, std::ostream& out, std::ostream& err)
{
  if (args.isEmpty() || args.front() == "--help" || args.front() == "-h") {
    out << CommandLineHelp().toStdString();
    return ExitOk;
  }
  const QString& command = args.front();
  const QStringList rest = args.mid(1);
  try {
    if (command == "info")
      return infoCommand(rest, out);
    if (command == "spectrum")
      return spectrumCommand(rest, out);
    if (command == "note")
      return noteCommand(rest, out);
    throw UsageError{QStringLiteral("unknown command '%1'").arg(command)};
  } catch (const UsageError& e) {
    err << "duvovovi: " << e.text.toStdString() << "\nTry 'duvovovi --help'.\n";
    return ExitUsage;
  } catch (const std::exception& e) {
    err << "duvovovi: " << e.what() << "\n";
    return ExitFileError;
  }
}

} // namespace duv
