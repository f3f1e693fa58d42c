// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include "wavefile/WavWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define DUVOVOVI_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DUVOVOVI_SANITIZED 1
#endif
#endif

using namespace duv;
using namespace duv::test;

namespace {

struct Result
{
  int code;
  std::string out, err;
};

Result run(const QStringList& args)
{
  std::ostringstream out, err;
  const int code = RunCommandLine(args, out, err);
  return {code, out.str(), err.str()};
}

// A mono 16-bit file of a full-scale sine, `cycles` per 256 samples, and
// then a "LIST" chunk of `tail` when it is not empty.
QString sineFile(const char* name, int rate, int samples, int cycles, const QByteArray& tail = {})
{
  QByteArray data;
  for (int i = 0; i < samples; ++i)
    data += le16(int(std::lround(32767 * std::sin(2 * std::numbers::pi * cycles * i / 256))));
  WavBuilder wav;
  wav.fmt(1, rate, 16).chunk("data", data);
  if (!tail.isEmpty())
    wav.chunk("LIST", tail);
  return writeTemp(name, wav.finish());
}

struct ProgramRun
{
  int code = -1; // the exit status, or 128 + the signal that ended it
  std::string err;
  double seconds = 0;
  long maxRssKiB = 0;
  bool killed = false;
};

// Runs the program (DUVOVOVI_PROGRAM in the environment names another build)
// with its output written to `outPath` (discarded by default; closed when
// empty) and its standard error kept, and kills it after ten seconds. Its
// address space is limited to 1 GB (not under AddressSanitizer, which reserves
// far more), so a runaway read fails instead of filling the machine.
ProgramRun runProgram(const QStringList& args, const QString& outPath = "/dev/null")
{
  const QByteArray outName = QFile::encodeName(outPath);
  const char* program = std::getenv("DUVOVOVI_PROGRAM");
  std::vector<QByteArray> words{QByteArray(program && *program ? program : DUVOVOVI_PROGRAM)};
  for (const QString& a : args)
    words.push_back(QFile::encodeName(a));
  std::vector<char*> argv;
  for (QByteArray& w : words)
    argv.push_back(w.data());
  argv.push_back(nullptr);

  int errPipe[2];
  if (::pipe2(errPipe, O_CLOEXEC) != 0)
    return {};
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls until the exec.
    ::dup2(errPipe[1], 2);
    if (!outName.isEmpty())
      ::dup2(::open(outName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    else
      ::close(1);
#ifndef DUVOVOVI_SANITIZED
    const rlimit limit{rlim_t(1) << 30, rlim_t(1) << 30};
    ::setrlimit(RLIMIT_AS, &limit);
#endif
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  ProgramRun run;
  const auto deadline = start + std::chrono::seconds(10);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      run.killed = true;
      break;
    }
    pollfd p{errPipe[0], POLLIN, 0};
    if (::poll(&p, 1, int(left.count())) <= 0)
      continue;
    char buffer[4096];
    const ssize_t n = ::read(errPipe[0], buffer, sizeof buffer);
    if (n <= 0)
      break;
    run.err.append(buffer, std::size_t(n));
  }
  ::close(errPipe[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.maxRssKiB = usage.ru_maxrss;
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

} // namespace

// Guards the peaks command: two tones listed strongest first, refined
// between bins with their notes and cents, the count and the window obeyed,
// and the spectrum command taking the same windows.
TEST(CommandLine, PeaksAndWindows)
{
  QByteArray data;
  for (int i = 0; i < 44100; ++i)
    data += le16(int(std::lround(6000 * std::sin(2 * std::numbers::pi * 440 * i / 44100) +
                                 20000 * std::sin(2 * std::numbers::pi * 1003.7 * i / 44100))));
  const QString path = writeTemp("two.wav", WavBuilder().fmt(1, 44100, 16).chunk("data", data).finish());
  Result r = run({"peaks", path, "--size", "8192", "--window", "hann"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::istringstream lines(r.out);
  std::string header, first, second;
  std::getline(lines, header);
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(header, "frequency_hz,level_db,note,cents");
  const QStringList a = QString::fromStdString(first).split(',');
  const QStringList b = QString::fromStdString(second).split(',');
  ASSERT_EQ(a.size(), 4);
  ASSERT_EQ(b.size(), 4);
  EXPECT_NEAR(a[0].toDouble(), 1003.7, 0.1);
  EXPECT_NEAR(a[1].toDouble(), 20 * std::log10(20000.0 / 32768), 0.05);
  EXPECT_EQ(a[2], "B - 5");
  EXPECT_EQ(a[3], "+28");
  EXPECT_NEAR(b[0].toDouble(), 440, 0.05);
  EXPECT_EQ(b[2], "A - 4");
  EXPECT_EQ(b[3], "+0");

  r = run({"peaks", path, "--size", "8192", "--count", "1"});
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
  EXPECT_EQ(run({"peaks", path, "--count", "0"}).code, 2);
  EXPECT_EQ(run({"peaks", path, "--window", "triangle"}).code, 2);
  EXPECT_EQ(run({"spectrum", path, "--window", "flat-top"}).code, 0);
  // A window changes the spectrum: far from the tones it leaks far less.
  const auto levelAt = [&path](const char* window, const std::string& hz) {
    const Result s = run({"spectrum", path, "--size", "4096", "--window", window});
    const auto at = s.out.find("\n" + hz + ",");
    return std::stod(s.out.substr(s.out.find(',', at) + 1));
  };
  EXPECT_LT(levelAt("blackman-harris", "3003.8818359375"), levelAt("rectangular", "3003.8818359375") - 30);
}

// Guards the statistics lines, in order, with the values after loading.
TEST(CommandLine, Info)
{
  QByteArray s24(12, '\0');
  const QString path =
      writeTemp("info.wav", WavBuilder().fmt(2, 44100, 24).chunk("data", s24).finish());
  const Result r = run({"info", path});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Channels: 2\nHz: 44100\nBytes/Sec: 264600\nBlock Align: 4\nBits: 16\n"
                   "Samples: 2\n");
}

// Guards the spectrum output: header, one row per bin 1 .. N/2-1, exact
// frequencies, a full-scale sine at 0 dB, and the zero padding of a tail.
TEST(CommandLine, Spectrum)
{
  const QString path = sineFile("sine.wav", 8000, 1000, 8);
  Result r = run({"spectrum", path});
  ASSERT_EQ(r.code, 0) << r.err;
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line.rfind("# dc_offset=", 0), 0u);
  std::getline(lines, line);
  EXPECT_EQ(line, "frequency_hz,level_db");
  int rows = 0;
  double peakHz = 0, peakDb = -1000;
  while (std::getline(lines, line)) {
    ++rows;
    const auto comma = line.find(',');
    const double hz = std::stod(line.substr(0, comma)), db = std::stod(line.substr(comma + 1));
    EXPECT_EQ(hz, rows * 31.25);
    if (db > peakDb) {
      peakDb = db;
      peakHz = hz;
    }
  }
  EXPECT_EQ(rows, 127);
  EXPECT_EQ(peakHz, 250.0);
  EXPECT_NEAR(peakDb, 0.0, 0.01);

  // 744 samples of 1000 remain after 0.032 s (256 samples): a 1024 frame is
  // zero-padded and still works.
  r = run({"spectrum", path, "--offset", "0.032", "--size", "1024"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\n3992.1875,"), std::string::npos); // bin 511 of 1024 at 8 kHz
  // Padded with zeros, not with the bytes of a chunk after the samples (the
  // level far from the tone rose from -53 to -17 dB).
  const QString tagged = sineFile("tagged.wav", 8000, 1000, 8, QByteArray(4000, '\x5a'));
  for (const char* command : {"spectrum", "peaks"}) {
    const QStringList args{"--offset", "0.032", "--size", "1024"};
    EXPECT_TRUE(run(QStringList{command, tagged} + args).out ==
                run(QStringList{command, path} + args).out)
        << command << " read the chunk after the samples";
  }
}

// Guards info on a file of gigabytes: it reads the headers alone (a full load
// fails under the program's 1 GB ceiling), and the sample count of 3 GiB of
// 8-bit mono is capped at the largest int, not wrapped to a negative one.
TEST(CommandLine, InfoReadsHeadersAlone)
{
#ifdef DUVOVOVI_SANITIZED
  GTEST_SKIP() << "no memory ceiling under AddressSanitizer";
#endif
  const qint64 dataSize = qint64(3) << 30;
  const QString path =
      writeTemp("long.wav", WavBuilder().fmt(1, 8000, 8).chunk("data", "", dataSize).finish());
  ASSERT_TRUE(QFile::resize(path, QFileInfo(path).size() + dataSize)); // sparse: no disk used
  const QString out = path + ".txt";
  const ProgramRun r = runProgram({"info", path}, out);
  ASSERT_EQ(r.code, 0) << r.err;
  QFile text(out);
  ASSERT_TRUE(text.open(QIODevice::ReadOnly));
  EXPECT_EQ(
      text.readAll().toStdString(),
      "Channels: 1\nHz: 8000\nBytes/Sec: 8000\nBlock Align: 1\nBits: 8\nSamples: 2147483647\n");
  // The same few megabytes as a command that reads no file.
  EXPECT_LT(r.maxRssKiB - runProgram({"note", "440"}).maxRssKiB, 20 * 1024);
}

// Guards the exit codes and messages of bad input.
TEST(CommandLine, Errors)
{
  const QString path = sineFile("err.wav", 8000, 1000, 8);
  EXPECT_EQ(run({}).code, 0);
  EXPECT_EQ(run({"--help"}).code, 0);
  EXPECT_EQ(run({"frobnicate"}).code, 2);
  EXPECT_EQ(run({"info"}).code, 2);
  EXPECT_EQ(run({"note"}).code, 2);
  EXPECT_EQ(run({"note", "4x0"}).code, 2);
  EXPECT_EQ(run({"spectrum", path, "--size", "300"}).code, 2);
  EXPECT_EQ(run({"spectrum", path, "--size"}).code, 2);
  EXPECT_EQ(run({"spectrum", path, "--offset", "-1"}).code, 2);
  EXPECT_EQ(run({"spectrum", path, "--offset", "nan"}).code, 2);
  const Result beyond = run({"spectrum", path, "--offset", "0.125"}); // exactly sample 1000
  EXPECT_EQ(beyond.code, 2);
  EXPECT_NE(beyond.err.find("beyond the end"), std::string::npos);

  const Result missing = run({"info", "/no/such/file.wav"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("Cannot open file /no/such/file.wav"), std::string::npos);
  const QString junk = writeTemp("junk.wav", "junk");
  EXPECT_EQ(run({"spectrum", junk}).code, 1);
  const QString odd = writeTemp("w12.wav", WavBuilder().fmt(1, 8000, 12).chunk("data", QByteArray(64, '\1')).finish());
  const Result oddWidth = run({"spectrum", odd});
  EXPECT_EQ(oddWidth.code, 1);
  EXPECT_EQ(oddWidth.err, "duvovovi: " + odd.toStdString() + ": 12-bit samples cannot be analysed\n");

  const Result note = run({"note", "440"});
  EXPECT_EQ(note.out, "A - 4\n");
}

// Guards against compressed files analysed as PCM: a 1 kHz µ-law sine showed
// its peak at 2 kHz and exited 0. Every compressed encoding sox writes is
// refused naming its tag.
TEST(CommandLine, EncodedFilesAreRefused)
{
  const struct
  {
    const char* encoding;
    const char* tag;
  } encodings[] = {{"u-law", "compressed format 0x0007 (µ-law)"},
                   {"a-law", "compressed format 0x0006 (A-law)"},
                   {"ima-adpcm", "compressed format 0x0011 (IMA ADPCM)"},
                   {"ms-adpcm", "compressed format 0x0002 (MS ADPCM)"},
                   {"gsm-full-rate", "compressed format 0x0031 (GSM 6.10)"}};
  for (const auto& e : encodings) {
    const QString path = writeTemp(QString("%1.wav").arg(e.encoding), "");
    if (!runSox({"-n", "-r", "8000", "-c", "1", "-e", e.encoding, path, "synth", "0.1", "sine",
                 "1000"}))
      GTEST_SKIP() << "sox is not installed";
    const Result r = run({"spectrum", path});
    EXPECT_EQ(r.code, 1) << e.encoding;
    EXPECT_EQ(r.err,
              "duvovovi: " + path.toStdString() + " uses " + e.tag + ", which cannot be read\n");
  }
}

// Guards the reading of floating-point and 32-bit files: a 1 kHz sine at
// -6 dBFS reads -6 dB at its bin against the 16-bit reference they are
// reduced to, and info shows the reduced width.
TEST(CommandLine, FloatAndWideFiles)
{
  for (const auto& [encoding, bits] :
       {std::pair{"floating-point", 32}, {"floating-point", 64}, {"signed-integer", 32}}) {
    const QString path = writeTemp(QString("%1-%2.wav").arg(encoding).arg(bits), "");
    if (!runSox({"-n", "-r", "8000", "-c", "2", "-e", encoding, "-b", QString::number(bits), path,
                 "synth", "0.1", "sine", "1000", "gain", "-6"}))
      GTEST_SKIP() << "sox is not installed";
    const Result r = run({"spectrum", path});
    ASSERT_EQ(r.code, 0) << encoding << bits << ": " << r.err;
    const auto at = r.out.find("\n1000,");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::stod(r.out.substr(at + 6)), -6.0, 0.1) << encoding << bits;
    EXPECT_EQ(run({"info", path}).out, "Channels: 2\nHz: 8000\nBytes/Sec: " +
                                           std::to_string(8000 * 2 * bits / 8) +
                                           "\nBlock Align: 4\nBits: 16\nSamples: 800\n");
  }
}

// Guards against a file with nothing to analyse reported as a usage error
// (exit 2, "offset ... beyond the end") or as success: no samples and a
// sample rate of 0 are file problems, exit 1, saying so.
TEST(CommandLine, FilesWithNothingToAnalyse)
{
  const QString empty =
      writeTemp("empty.wav", WavBuilder().fmt(1, 8000, 16).chunk("data", "").finish());
  Result r = run({"spectrum", empty});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "duvovovi: " + empty.toStdString() + " holds no samples\n");
  EXPECT_NE(run({"info", empty}).out.find("Samples: 0\n"), std::string::npos);

  // Three bytes are less than one stereo 16-bit frame.
  const QString partial =
      writeTemp("partial.wav", WavBuilder().fmt(2, 8000, 16).chunk("data", "abc").finish());
  EXPECT_EQ(run({"spectrum", partial, "--offset", "1"}).code, 1);

  const QString noRate = writeTemp(
      "norate.wav", WavBuilder().fmt(1, 0, 16).chunk("data", QByteArray(512, '\1')).finish());
  r = run({"spectrum", noRate});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "duvovovi: " + noRate.toStdString() + " has a sample rate of 0 Hz\n");
}

// Guards the program against hostile files: each one ends spectrum and
// spectrogram with a clear message and the right exit status within a second
// and in under 20 MB, and nothing that is not a regular file is read (a FIFO
// blocked it for ever, /dev/zero would be read without end).
TEST(CommandLine, HostileFiles)
{
  QTemporaryDir dir;
  const QString fifo = dir.filePath("fifo.wav");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString writtenFifo = dir.filePath("written.wav");
  ASSERT_EQ(::mkfifo(QFile::encodeName(writtenFifo).constData(), 0600), 0);
  // A writer that has sent a whole file and stays.
  const int writer =
      ::open(QFile::encodeName(writtenFifo).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  const QByteArray sine =
      WavBuilder().fmt(1, 8000, 16).chunk("data", QByteArray(2000, '\1')).finish();
  ASSERT_EQ(::write(writer, sine.constData(), sine.size()), sine.size());

  // 50000 empty chunks before the format.
  WavBuilder manyChunks;
  for (int i = 0; i < 50000; ++i)
    manyChunks.chunk("junk", "");
  manyChunks.fmt(1, 8000, 8).chunk("data", QByteArray(300, '\x80'));

  const auto file = [](const char* name, const QByteArray& bytes) {
    return writeTemp(name, bytes);
  };
  const struct
  {
    const char* what;
    QString path;
    int code;
    const char* message; // part of the message; "" for none
  } cases[] = {
      {"FIFO without a writer", fifo, 1, "it is a named pipe (FIFO)"},
      {"FIFO with a writer", writtenFifo, 1, "it is a named pipe (FIFO)"},
      {"directory", dir.path(), 1, "it is a directory"},
      {"endless device", "/dev/zero", 1, "it is a device"},
      {"65535 channels of 32772 bits",
       file("wide.wav",
            WavBuilder().fmt(65535, 8000, 32772).chunk("data", QByteArray(4096, '\1')).finish()),
       1, "holds no samples"},
      {"IMA ADPCM",
       file("ima.wav",
            WavBuilder().fmt(1, 8000, 4, 20, 0x11).chunk("data", QByteArray(512, '\x5a')).finish()),
       1, "uses compressed format 0x0011 (IMA ADPCM)"},
      {"µ-law",
       file("mulaw.wav",
            WavBuilder().fmt(1, 8000, 8, 18, 7).chunk("data", QByteArray(512, '\x5a')).finish()),
       1, "uses compressed format 0x0007 (µ-law)"},
      {"extensible A-law",
       file("extalaw.wav", WavBuilder()
                               .extensibleFmt(1, 8000, 8, subFormatGuid(6))
                               .chunk("data", QByteArray(512, '\0'))
                               .finish()),
       1, "uses compressed format 0x0006 (A-law)"},
      {"extensible record cut short",
       file(
           "extshort.wav",
           WavBuilder().fmt(1, 8000, 16, 18, 0xFFFE).chunk("data", QByteArray(512, '\0')).finish()),
       1, "extensible format record of only 18 bytes"},
      {"no samples",
       file("nosamples.wav", WavBuilder().fmt(2, 8000, 16).chunk("data", "").finish()), 1,
       "holds no samples"},
      {"sample rate 0",
       file("rate0.wav", WavBuilder().fmt(1, 0, 16).chunk("data", QByteArray(512, '\1')).finish()),
       1, "sample rate of 0 Hz"},
      {"no channels",
       file("nochannels.wav",
            WavBuilder().fmt(0, 8000, 16).chunk("data", QByteArray(512, '\1')).finish()),
       1, "no bytes per sample frame"},
      {"header only", file("header.wav", WavBuilder().finish()), 1, "has no \"fmt \" chunk"},
      {"format only", file("fmtonly.wav", WavBuilder().fmt(1, 8000, 16).finish()), 1,
       "has no \"data\" chunk"},
      {"10-byte format",
       file("fmt10.wav",
            WavBuilder().chunk("fmt ", QByteArray(10, '\1')).chunk("data", "ab").finish()),
       1, "\"fmt \" chunk of only 10 bytes"},
      {"not a sound file", file("text.wav", "RIFX, but a text file all the same"), 1,
       "is not a RIFF/WAVE sound file"},
      {"data of 4 GB declared, 600 bytes present",
       file("huge.wav", WavBuilder()
                            .fmt(2, 44100, 16)
                            .chunk("data", QByteArray(600, '\3'), 0xFFFFFFF0u)
                            .finish()),
       0,
       "huge.wav is truncated: its header declares 4294967280 bytes of samples, but only 600 "
       "are present\n"},
      {"50000 empty chunks", file("chunks.wav", manyChunks.finish()), 0, ""},
  };
  // What a file costs is the program's peak over its peak on a command that
  // reads no file: the libraries of the window, mapped but mostly untouched,
  // are the same for both. AddressSanitizer's shadow memory makes the
  // figures meaningless, so they are not checked under it.
  [[maybe_unused]] const long limitKiB = 20 * 1024;
  // The spectrogram makes a GUI application for its fonts: its own peak on
  // a small good file is its base.
  const QString picture = dir.filePath("out.png");
  const QString good = file("good.wav", sine);
#ifndef DUVOVOVI_SANITIZED
  const long baseKiB = runProgram({"note", "440"}).maxRssKiB;
  const long pictureBaseKiB = runProgram({"spectrogram", good, "-o", picture}).maxRssKiB;
#endif
  for (const auto& c : cases) {
    for (const bool drawn : {false, true}) {
      const ProgramRun r = drawn ? runProgram({"spectrogram", c.path, "-o", picture})
                                 : runProgram({"spectrum", c.path, "--size", "32768"});
      const std::string what = std::string(c.what) + (drawn ? " (spectrogram)" : " (spectrum)");
      EXPECT_FALSE(r.killed) << what << ": still running after 10 s";
      EXPECT_EQ(r.code, c.code) << what << ": " << r.err;
      if (*c.message) {
        EXPECT_EQ(r.err.rfind("duvovovi: ", 0), 0u) << what << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << what << ": " << r.err;
      } else {
        EXPECT_EQ(r.err, "") << what;
      }
      EXPECT_LT(r.seconds, 1.0) << what;
#ifndef DUVOVOVI_SANITIZED
      EXPECT_LT(r.maxRssKiB - (drawn ? pictureBaseKiB : baseKiB), limitKiB) << what;
#endif
    }
  }
  ::close(writer);
}

// Guards the command line's text output: on a full disk or a closed standard
// output it was lost with exit 0. Every command that prints now fails with
// exit 1 and says why on standard error; a working output is still exit 0.
TEST(CommandLine, LostStandardOutput)
{
  const QString path = sineFile("out.wav", 8000, 1000, 8);
  const QStringList commands[] = {{"info", path},  {"spectrum", path}, {"peaks", path},
                                  {"note", "440"}, {"--help"},         {"--version"}};
  const struct
  {
    const char* out;
    const char* reason;
  } outputs[] = {{"/dev/full", "No space left on device"}, {"", "Bad file descriptor"}};
  for (const QStringList& command : commands) {
    const std::string what = command.join(' ').toStdString();
    EXPECT_EQ(runProgram(command).code, 0) << what;
    for (const auto& o : outputs) {
      const ProgramRun r = runProgram(command, o.out);
      EXPECT_EQ(r.code, 1) << what << " > " << (*o.out ? o.out : "(closed)");
      EXPECT_EQ(r.err, std::string("duvovovi: Cannot write standard output: ") + o.reason + "\n")
          << what;
    }
  }
}

// Guards files shorter than their headers declare: they were read as far as
// they go without a word. info, spectrum and peaks now say so on standard
// error, and still print their results.
TEST(CommandLine, TruncatedFilesAreNoted)
{
  QByteArray data;
  for (int i = 0; i < 1000; ++i)
    data += le16(int(std::lround(32767 * std::sin(2 * std::numbers::pi * 8 * i / 256))));
  const QString path =
      writeTemp("cut.wav", WavBuilder().fmt(1, 8000, 16).chunk("data", data, 1 << 30).finish());
  for (const char* command : {"info", "spectrum", "peaks"}) {
    const Result r = run({command, path});
    EXPECT_EQ(r.code, 0) << command;
    EXPECT_EQ(r.err, "duvovovi: " + path.toStdString() +
                         " is truncated: its header declares 1073741824 bytes of samples, but "
                         "only 2000 are present\n")
        << command;
    EXPECT_FALSE(r.out.empty()) << command;
  }
}

namespace {

// Sets an environment variable for a scope; the program runs inherit it.
struct ScopedEnv
{
  const char* name;
  bool had;
  QByteArray old;
  ScopedEnv(const char* n, const QByteArray& value)
      : name(n), had(qEnvironmentVariableIsSet(n)), old(qgetenv(n))
  {
    qputenv(n, value);
  }
  ~ScopedEnv()
  {
    if (had)
      qputenv(name, old);
    else
      qunsetenv(name);
  }
};

} // namespace

// Guards the core-only start: the headless commands map no library of
// Qt Gui, widgets, multimedia, printing or D-Bus (by the loader's own
// account, LD_DEBUG=files), while the command that draws does.
TEST(CommandLine, HeadlessCommandsLoadNoGuiLibrary)
{
  QTemporaryDir dir;
  const QString tone = sineFile("libs.wav", 8000, 4096, 8), picture = dir.filePath("libs.png");
  const ScopedEnv debug("LD_DEBUG", "files");
  const auto loads = [](const ProgramRun& r, const char* library) {
    return r.err.find(std::string("file=") + library) != std::string::npos;
  };
  for (const QStringList& args :
       {QStringList{"info", tone}, QStringList{"spectrum", tone}, QStringList{"peaks", tone},
        QStringList{"note", "440"}, QStringList{"--help"}, QStringList{"--version"}}) {
    const ProgramRun r = runProgram(args);
    EXPECT_EQ(r.code, 0) << args.join(' ').toStdString();
    ASSERT_TRUE(loads(r, "libQt6Core")) << "no loader account for " << args.front().toStdString();
    for (const char* library : {"libQt6Gui", "libQt6Widgets", "libQt6Multimedia",
                                "libQt6PrintSupport", "libQt6DBus", "libdbus-1"})
      EXPECT_FALSE(loads(r, library)) << args.front().toStdString() << " loads " << library;
  }
  const ProgramRun drawn = runProgram({"spectrogram", tone, "-o", picture});
  EXPECT_EQ(drawn.code, 0);
  EXPECT_TRUE(loads(drawn, "libQt6Gui"));
}

// Guards the GUI part's loading: with the part missing, or a broken file in
// its place, the window and the command that draws end with a message and
// status 1, and the headless commands still work.
TEST(CommandLine, MissingOrBrokenGuiPart)
{
  QTemporaryDir dir;
  const QString program = dir.filePath("duvovovi");
  ASSERT_TRUE(QFile::copy(DUVOVOVI_PROGRAM, program));
  const ScopedEnv env("DUVOVOVI_PROGRAM", QFile::encodeName(program));
  const QString tone = sineFile("part.wav", 8000, 4096, 8), picture = dir.filePath("part.png");
  EXPECT_EQ(runProgram({"note", "440"}).code, 0);
  for (const QStringList& args : {QStringList{}, QStringList{"spectrogram", tone, "-o", picture}}) {
    const ProgramRun r = runProgram(args);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("graphical part of the program"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("is missing"), std::string::npos) << r.err;
  }
  QFile broken(dir.filePath(QFileInfo(DUVOVOVI_GUI_PART).fileName()));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("not a shared object");
  broken.close();
  const ProgramRun r = runProgram({"spectrogram", tone, "-o", picture});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("cannot be loaded"), std::string::npos) << r.err;
  EXPECT_FALSE(QFileInfo::exists(picture));
}
