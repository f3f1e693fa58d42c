// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include "analysis/SpectrumPeaks.h"
#include "app/MeasureCommands.h"
#include "support/DSupport.h"
#include "support/SafeFile.h"
#include "wavefile/FileSpectrogram.h"
#include "wavefile/WaveStretch.h"

#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace duv {

TSpectrogramPngWriter SpectrogramPngWriter;
TCommandRunner RecordCommand;

bool CommandNeedsGui(const QString& Command)
{
  return Command == QLatin1String("spectrogram") || Command == QLatin1String("record");
}

QString CommandLineHelp()
{
  return QStringLiteral(
      "Usage: duvovovi [COMMAND] [ARGS]\n"
      "\n"
      "A desktop audio spectrum analyzer. With no command it opens the main window;\n"
      "a command works without a display and exits.\n"
      "\n"
      "Commands:\n"
      "  info FILE                           print the file's format and sample count\n"
      "  spectrum FILE [--offset SECONDS] [--size N] [--window NAME]\n"
      "                                      print the decibel spectrum of channel 0 at\n"
      "                                      the offset (default 0) over N samples\n"
      "                                      (256, 512, ... 32768; default 256) through\n"
      "                                      a window (default rectangular)\n"
      "  peaks FILE [--offset SECONDS] [--size N] [--window NAME] [--count K]\n"
      "                                      print the K strongest peaks (default 5) of\n"
      "                                      that spectrum, read between bins, as CSV:\n"
      "                                      frequency_hz,level_db,note,cents\n"
      "  spectrogram FILE -o OUT.png [--width W] [--height H] [--size N]\n"
      "              [--colors red-black|rainbow|viridis|magma] [--range DB]\n"
      "              [--channel left|right|mix] [--window NAME]\n"
      "              [--from S] [--to S] [--fmin HZ] [--fmax HZ] [--log-frequency]\n"
      "                                      draw the whole file's spectrum over time\n"
      "                                      as a PNG picture: W x H plot pixels\n"
      "                                      (default 800 x 513), frames of N samples\n"
      "                                      (default 1024), the colour bar reaching\n"
      "                                      DB below full scale (default the bit\n"
      "                                      depth's floor), the channels mixed and a\n"
      "                                      hann window unless chosen otherwise\n"
      "                                      (windows: rectangular, hann, hamming,\n"
      "                                      blackman, blackman-harris, flat-top);\n"
      "                                      only the seconds from S to S and the\n"
      "                                      frequencies from HZ to HZ when given, on\n"
      "                                      a logarithmic frequency axis with\n"
      "                                      --log-frequency (from the first bin's\n"
      "                                      frequency unless --fmin says)\n"
      "  record --seconds S [--format NAME] OUT.wav\n"
      "                                      record S seconds from the default input\n"
      "                                      into a WAV file (Ctrl+C ends it early,\n"
      "                                      the file complete); NAME is RATE-CHANNELS-\n"
      "                                      BITS, e.g. 44100-stereo-16 (the default\n"
      "                                      where the input has it), 11025-mono-8,\n"
      "                                      48000-stereo-24, 96000-mono-float\n"
      "%1"
      "  note HZ                             print the nearest musical note\n"
      "  --help                              show this help\n"
      "  --version                           show the version\n"
      "\n"
      "FILE is a WAV, FLAC, Ogg Vorbis, Opus, MP3, AIFF, AIFC, CAF, W64 or RF64 file;\n"
      "its samples are reduced to 16 bits.\n"
      "\n"
      "Exit status: 0 on success, 1 when a file cannot be read or the output cannot be\n"
      "written, 2 for a usage error.\n")
      .arg(MeasureCommandsHelp());
}

namespace {

double parseNumber(const QString& text, const char* what)
{
  bool ok = false;
  const double v = text.toDouble(&ok); // "." as the separator, whatever the locale
  if (!ok || !std::isfinite(v))
    throw UsageError{QStringLiteral("%1 is not a number: '%2'").arg(what, text)};
  return v;
}

// Says on standard error that a file is shorter than its header declares;
// the command goes on with the samples that are there.
void noteTruncation(const TSoundFile& file, std::ostream& err)
{
  const QString note = TruncationNote(file);
  if (!note.isEmpty())
    err << "duvovovi: " << note.toStdString() << "\n";
}

int infoCommand(const QStringList& args, std::ostream& out, std::ostream& err)
{
  if (args.size() != 1)
    throw UsageError{QStringLiteral("info takes one file name")};
  TSoundFile file;
  // The headers say all info prints: the samples of a long file are not read.
  file.LoadHeader(args[0]); // throws EWaveFileError with a message naming the file
  noteTruncation(file, err);
  WriteFileInfo(file, out);
  return ExitOk;
}

// The stretch a command analyses and how: the file, the offset in seconds,
// the frame length, the window, and for peaks how many.
struct StretchArgs
{
  QString Path;
  double Offset = 0;
  int Size = 256;
  TWindowKind Window = TWindowKind::Rectangular;
  int Count = 5;
};

TWindowKind parseWindow(const QString& name)
{
  const std::optional<TWindowKind> w = WindowFromName(name);
  if (!w)
    throw UsageError{QStringLiteral("unknown window '%1' (windows: %2)")
                         .arg(name, WindowNames().join(QStringLiteral(", ")))};
  return *w;
}

StretchArgs parseStretchArgs(const QStringList& args, const QString& command, bool withCount)
{
  StretchArgs r;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--offset" || a == "--size" || a == "--window" || (withCount && a == "--count")) {
      if (i + 1 >= args.size())
        throw UsageError{QStringLiteral("%1 needs a value").arg(a)};
      const QString& value = args[++i];
      if (a == "--window") {
        r.Window = parseWindow(value);
        continue;
      }
      const double v = parseNumber(value, a == "--offset" ? "the offset"
                                          : a == "--size" ? "the size"
                                                          : "the count");
      if (a == "--offset") {
        if (v < 0)
          throw UsageError{QStringLiteral("the offset cannot be negative")};
        r.Offset = v;
      } else if (a == "--size") {
        if (v != std::trunc(v) || !IsBufferSize(int(v)))
          throw UsageError{QStringLiteral("the size must be one of 256, 512, 1024, 2048, 4096, "
                                          "8192, 16384, 32768")};
        r.Size = int(v);
      } else {
        if (v != std::trunc(v) || v < 1 || v > 16384)
          throw UsageError{QStringLiteral("the count must be a whole number from 1 to 16384")};
        r.Count = int(v);
      }
    } else if (a.startsWith("--") || !r.Path.isEmpty()) {
      throw UsageError{QStringLiteral("unexpected argument '%1'").arg(a)};
    } else {
      r.Path = a;
    }
  }
  if (r.Path.isEmpty())
    throw UsageError{QStringLiteral("%1 needs a file name").arg(command)};
  return r;
}

// The spectrum of the stretch the arguments name, in Analysis and Frame; the
// file's format goes to Format.
void stretchSpectrum(const StretchArgs& args, TAnalysis& analysis, TSpectrumFrame& frame,
                     WAVEFORMATEX& format, std::ostream& err)
{
  // The headers, then only the stretch: a long file is not read whole.
  TSoundFile file;
  file.LoadHeader(args.Path);
  CheckAnalysable(file);
  noteTruncation(file, err);
  const TSoundData& data = file.SoundData();
  format = data.Format;
  const std::int64_t start = StretchOffsetSamples(args.Offset, data.Format.nSamplesPerSec);
  if (start >= data.SamplesPerChannel)
    throw UsageError{QStringLiteral("the offset %1 s is at or beyond the end of %2 (%3 samples)")
                         .arg(ShortestText(args.Offset), args.Path)
                         .arg(data.SamplesPerChannel)};
  StreamedFileSpectrum(analysis, file, start, args.Size, args.Window, frame);
}

int spectrumCommand(const QStringList& args, std::ostream& out, std::ostream& err)
{
  TAnalysis analysis;
  TSpectrumFrame frame;
  WAVEFORMATEX format;
  stretchSpectrum(parseStretchArgs(args, QStringLiteral("spectrum"), false), analysis, frame,
                  format, err);
  WriteSpectrum(frame, out);
  return ExitOk;
}

int peaksCommand(const QStringList& args, std::ostream& out, std::ostream& err)
{
  const StretchArgs a = parseStretchArgs(args, QStringLiteral("peaks"), true);
  TAnalysis analysis;
  TSpectrumFrame frame;
  WAVEFORMATEX format;
  stretchSpectrum(a, analysis, frame, format, err);
  const TPeakSpectrum spectrum{frame.Magnitude, frame.Format.FreqStep(),
                               std::ldexp(1.0, frame.Format.Bits) / 2, frame.Format.Window};
  std::string text = "frequency_hz,level_db,note,cents\n";
  const double floor = DecibelFloor(format.wBitsPerSample);
  for (const TPeak& p : FindPeaks(spectrum, a.Count)) {
    if (!(p.Level > floor))
      break; // what is left is the noise floor, not a peak
    text += QString::number(p.Frequency, 'f', 3).toStdString() + ',' +
            QString::number(p.Level, 'f', 2).toStdString() + ',' + p.Note.Note.toStdString() +
            ',' + (p.Note.Cents < 0 ? "-" : "+") + std::to_string(std::abs(p.Note.Cents)) + '\n';
  }
  out << text;
  return ExitOk;
}

// "1:02:03.5", "2:03.5" or "3.5 s".
QString durationText(double seconds)
{
  if (seconds < 60)
    return QStringLiteral("%1 s").arg(ShortestText(std::round(seconds * 1000) / 1000));
  const auto tenths = std::int64_t(std::llround(seconds * 10));
  const std::int64_t h = tenths / 36000, m = tenths / 600 % 60, t = tenths % 600;
  const QString sec = QStringLiteral("%1.%2").arg(t / 10, 2, 10, QLatin1Char('0')).arg(t % 10);
  return h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(sec)
               : QStringLiteral("%1:%2").arg(m).arg(sec);
}

// What the picture was made from, under its title.
QString spectrogramSubtitle(const TSoundFile& file, const TFileSpectrogramSettings& s)
{
  const WAVEFORMATEX& f = file.SoundData().Format;
  const double seconds =
      f.nSamplesPerSec ? double(file.SoundData().SamplesPerChannel) / f.nSamplesPerSec : 0;
  const double to = s.To >= 0 ? std::min(s.To, seconds) : seconds;
  const double fHigh =
      s.FHigh >= 0 ? std::min(s.FHigh, f.nSamplesPerSec / 2.0) : f.nSamplesPerSec / 2.0;
  const TSampleLayout& l = file.SampleLayout();
  QStringList parts;
  parts << QStringLiteral("%1 Hz").arg(f.nSamplesPerSec);
  if (l.Decoded)
    parts << l.Decoded->Summary();
  else
    parts << (l.Encoding == WAVE_FORMAT_IEEE_FLOAT ? QStringLiteral("%1-bit float").arg(l.Bits)
                                                   : QStringLiteral("%1-bit").arg(l.Bits));
  QString channels = f.nChannels == 1   ? QStringLiteral("mono")
                     : f.nChannels == 2 ? QStringLiteral("stereo")
                                        : QStringLiteral("%1 channels").arg(f.nChannels);
  if (f.nChannels > 1)
    channels += s.Channel == TChannelChoice::Left    ? QStringLiteral(", left")
                : s.Channel == TChannelChoice::Right ? QStringLiteral(", right")
                                                     : QStringLiteral(", mixed");
  parts << channels;
  parts << durationText(seconds);
  parts << QStringLiteral("%1 window, %2 samples").arg(WindowCaption(s.Window)).arg(s.Size);
  // A part of the file or of its frequencies says which.
  if (s.From > 0 || s.To >= 0)
    parts << QStringLiteral("%1 to %2").arg(durationText(s.From), durationText(to));
  if (s.FLow > 0 || s.FHigh >= 0)
    parts << QStringLiteral("%1 to %2 Hz").arg(ShortestText(s.FLow), ShortestText(fHigh));
  return parts.join(QStringLiteral("  \u00b7  "));
}

// The ranges of time and frequency, against the file: neither may be empty
// or inverted once held to its length and half its rate.
void checkRanges(const TFileSpectrogramSettings& s, const TSoundData& data, const QString& path)
{
  const double rate = data.Format.nSamplesPerSec;
  const double seconds = rate > 0 ? data.SamplesPerChannel / rate : 0;
  if (s.To >= 0 && s.To <= s.From)
    throw UsageError{QStringLiteral("the time range is empty: --to %1 is not after --from %2")
                         .arg(ShortestText(s.To), ShortestText(s.From))};
  // In samples, as the picture takes them.
  const auto sample = [rate](double t) { return std::llround(std::min(t * rate, 9e18)); };
  const std::int64_t first = sample(s.From);
  const std::int64_t last = s.To >= 0 ? std::min<std::int64_t>(sample(s.To), data.SamplesPerChannel)
                                      : data.SamplesPerChannel;
  if (first >= data.SamplesPerChannel)
    throw UsageError{QStringLiteral("--from %1 is at or beyond the end of %2 (%3 s)")
                         .arg(ShortestText(s.From), path, ShortestText(seconds))};
  if (last <= first)
    throw UsageError{QStringLiteral("the time range %1 to %2 s holds no sample")
                         .arg(ShortestText(s.From), ShortestText(s.To))};
  if (s.FHigh >= 0 && s.FHigh <= s.FLow)
    throw UsageError{
        QStringLiteral("the frequency range is empty: --fmax %1 is not above --fmin %2")
            .arg(ShortestText(s.FHigh), ShortestText(s.FLow))};
  const double nyquist = rate / 2;
  const double low = s.LogFrequency && s.FLow == 0 ? DefaultLogLow(rate, s.Size) : s.FLow;
  const double high = s.FHigh >= 0 ? std::min(s.FHigh, nyquist) : nyquist;
  if (!(high > low))
    throw UsageError{QStringLiteral("the frequency range from %1 Hz is empty: %2 reaches %3 Hz "
                                    "(half its sample rate)")
                         .arg(ShortestText(low), path, ShortestText(nyquist))};
}

int spectrogramCommand(const QStringList& args, std::ostream& err)
{
  QString path, output;
  TFileSpectrogramSettings settings;
  TColorCount colors = TColorCount::dc32;
  double range = 0; // 0: the floor of the file's width
  const auto whole = [](const QString& text, const char* what, int low, int high) {
    const double v = parseNumber(text, what);
    if (v != std::trunc(v) || v < low || v > high)
      throw UsageError{QStringLiteral("%1 must be a whole number from %2 to %3")
                           .arg(QLatin1String(what))
                           .arg(low)
                           .arg(high)};
    return int(v);
  };
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool takesValue = a == "-o" || a == "--output" || a == "--width" || a == "--height" ||
                            a == "--size" || a == "--colors" || a == "--range" ||
                            a == "--channel" || a == "--window" || a == "--from" || a == "--to" ||
                            a == "--fmin" || a == "--fmax";
    if (a == "--log-frequency") {
      settings.LogFrequency = true;
    } else if (takesValue) {
      if (i + 1 >= args.size())
        throw UsageError{QStringLiteral("%1 needs a value").arg(a)};
      const QString& v = args[++i];
      if (a == "-o" || a == "--output") {
        output = v;
      } else if (a == "--width") {
        settings.Width = whole(v, "the width", 1, 4096);
      } else if (a == "--height") {
        settings.Height = whole(v, "the height", 1, 4096);
      } else if (a == "--size") {
        const double n = parseNumber(v, "the size");
        if (n != std::trunc(n) || !IsBufferSize(int(n)))
          throw UsageError{QStringLiteral("the size must be one of 256, 512, 1024, 2048, 4096, "
                                          "8192, 16384, 32768")};
        settings.Size = int(n);
      } else if (a == "--colors") {
        const TColorScheme* scheme = ColorSchemeNamed(v);
        if (!scheme)
          throw UsageError{
              QStringLiteral("the colors are %1, not '%2'").arg(ColorSchemeNames(), v)};
        colors = scheme->Table;
      } else if (a == "--from" || a == "--to" || a == "--fmin" || a == "--fmax") {
        const bool time = a == "--from" || a == "--to";
        const double n = parseNumber(v, time ? "the time" : "the frequency");
        if (n < 0)
          throw UsageError{QStringLiteral("%1 cannot be negative").arg(a)};
        (a == "--from"   ? settings.From
         : a == "--to"   ? settings.To
         : a == "--fmin" ? settings.FLow
                         : settings.FHigh) = n;
      } else if (a == "--range") {
        range = parseNumber(v, "the range");
        if (!(range > 0) || range > 1000)
          throw UsageError{QStringLiteral("the range must be more than 0 and at most 1000 dB")};
      } else if (a == "--channel") {
        if (v == "left")
          settings.Channel = TChannelChoice::Left;
        else if (v == "right")
          settings.Channel = TChannelChoice::Right;
        else if (v == "mix")
          settings.Channel = TChannelChoice::Mix;
        else
          throw UsageError{QStringLiteral("the channel is left, right or mix, not '%1'").arg(v)};
      } else {
        const std::optional<TWindowKind> w = WindowFromName(v);
        if (!w)
          throw UsageError{QStringLiteral("unknown window '%1': the windows are %2")
                               .arg(v, WindowNames().join(QStringLiteral(", ")))};
        settings.Window = *w;
      }
    } else if (a.startsWith("-") || !path.isEmpty()) {
      throw UsageError{QStringLiteral("unexpected argument '%1'").arg(a)};
    } else {
      path = a;
    }
  }
  if (path.isEmpty())
    throw UsageError{QStringLiteral("spectrogram needs a file name")};
  if (output.isEmpty())
    throw UsageError{QStringLiteral("spectrogram needs an output picture: -o OUT.png")};
  const QFileInfo in(path), out(output);
  if (out.exists() && in.exists() && out.canonicalFilePath() == in.canonicalFilePath())
    throw UsageError{QStringLiteral("the output %1 is the input file").arg(output)};

  // The headers first: the samples are streamed as the picture is made.
  TSoundFile file;
  file.LoadHeader(path);
  CheckAnalysable(file);
  if (settings.Channel == TChannelChoice::Right && file.SoundData().Format.nChannels < 2)
    throw UsageError{QStringLiteral("%1 is mono: it has no right channel").arg(path)};
  checkRanges(settings, file.SoundData(), path);
  noteTruncation(file, err);
  try {
    // Opened before the work, so that an output that cannot be written (or
    // is not a regular file) fails at once; it replaces what was there only
    // once the picture is written whole.
    TFileWriter picture(output);
    const TFileSpectrogram grid = ComputeFileSpectrogram(file, settings);
    TSpectrogramPicture look;
    look.Title = in.fileName();
    look.Subtitle = spectrogramSubtitle(file, settings);
    look.Colors = colors;
    look.Range = range > 0 ? range : -DecibelFloor(grid.Bits);
    if (!SpectrogramPngWriter(grid, look, picture.Device()))
      picture.Fail();
    picture.Commit();
  } catch (const EFileWriteError& e) {
    throw std::runtime_error(
        QStringLiteral("Cannot write %1: %2").arg(output, e.Reason()).toStdString());
  }
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
      return infoCommand(rest, out, err);
    if (command == "peaks")
      return peaksCommand(rest, out, err);
    if (command == "spectrum")
      return spectrumCommand(rest, out, err);
    if (command == "spectrogram") {
      // The picture's text needs the fonts of a GUI application: the GUI
      // part makes one for this command and sets the writer.
      if (!SpectrogramPngWriter)
        throw std::logic_error("spectrogram runs in the GUI part");
      return spectrogramCommand(rest, err);
    }
    if (command == "note")
      return noteCommand(rest, out);
    if (command == "bands")
      return BandsCommand(rest, out, err);
    if (command == "measure")
      return MeasureCommand(rest, out, err);
    if (command == "record") {
      // Sound devices are the GUI part's (app/RecordCommand.h).
      if (!RecordCommand)
        throw std::logic_error("record runs in the GUI part");
      return RecordCommand(rest, out, err);
    }
    throw UsageError{QStringLiteral("unknown command '%1'").arg(command)};
  } catch (const UsageError& e) {
    err << "duvovovi: " << e.text.toStdString() << "\nTry 'duvovovi --help'.\n";
    return ExitUsage;
  } catch (const std::exception& e) {
    err << "duvovovi: " << e.what() << "\n";
    return ExitFileError;
  }
}

void ReserveStandardStreams()
{
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
      // Takes the lowest free number, which is fd. Read-only for the
      // outputs, so that writing there still fails as it would have.
      const int null = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
      if (null >= 0 && null != fd)
        ::close(null);
    }
}

std::streamsize TStandardOutput::xsputn(const char* s, std::streamsize n)
{
  std::streamsize done = 0;
  while (FError == 0 && done < n) {
    const ssize_t w = ::write(1, s + done, std::size_t(n - done));
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      FError = w < 0 ? errno : EIO;
    else
      done += w;
  }
  return done;
}

TStandardOutput::int_type TStandardOutput::overflow(int_type c)
{
  if (traits_type::eq_int_type(c, traits_type::eof()))
    return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

int TStandardOutput::Finish(int Code, std::ostream& err) const
{
  if (FError == 0)
    return Code;
  err << "duvovovi: Cannot write standard output: " << qt_error_string(FError).toStdString()
      << "\n";
  return Code == ExitOk ? ExitFileError : Code;
}

} // namespace duv
