// SPDX-License-Identifier: GPL-3.0-or-later
// Microphone calibration files, and levels under weighting and calibration.
#include "analysis/Calibration.h"
#include "analysis/OctaveBands.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <numbers>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace duv;

namespace {

// A frame of a 16-bit tone at Hz of amplitude Amp (1 is full scale).
TSpectrumFrame ToneFrame(double Hz, double Amp, int N = 4096)
{
  std::vector<double> x(std::size_t(N), 0.0);
  for (int n = 0; n < N; ++n)
    x[std::size_t(n)] = Amp * 32768 * std::sin(2 * std::numbers::pi * Hz * n / 48000);
  TAnalysis a;
  TSpectrumFrame f;
  a.Analyze(x, {48000, N, 16, 1, 0, TWindowKind::Hann}, f);
  return f;
}

double LevelNear(const TSpectrumFrame& f, double Hz)
{
  return f.Y[std::size_t(std::lround(Hz / f.Format.FreqStep()) - 1)];
}

} // namespace

// Guards the reader on a file as microphones come with it: a quoted title,
// comments, the sensitivity line, three columns with tabs and CRLF line ends;
// the response interpolated on a log frequency axis and held beyond its ends.
TEST(MicCalibration, RealShapedFile)
{
  const QByteArray text = "\"Measurement microphone, serial 1234567\"\r\n"
                          "* Calibrated 2023-05-01\r\n"
                          "*1000Hz -38.6\r\n"
                          "* Freq(Hz)\tdB\tPhase(deg)\r\n"
                          "10.00\t-3.2103\t12.5\r\n"
                          "100\t0.0\t1.5\r\n"
                          "\r\n"
                          "1000.0\t1.0\t0\r\n"
                          "20000, -2.5, -30\r\n";
  const TMicCalibration mic = ParseMicCalibration(text);
  ASSERT_TRUE(mic.Sensitivity);
  EXPECT_EQ(*mic.Sensitivity, -38.6);
  EXPECT_EQ(mic.SensitivityHz, 1000);
  EXPECT_NEAR(*mic.SensitivityOffset(), 132.6, 1e-12);
  ASSERT_EQ(mic.Response.size(), 4u);
  EXPECT_NEAR(mic.ResponseAt(std::sqrt(100.0 * 1000)), 0.5, 1e-12); // halfway in log f
  EXPECT_EQ(mic.ResponseAt(1000), 1.0);
  EXPECT_EQ(mic.ResponseAt(5), -3.2103);
  EXPECT_EQ(mic.ResponseAt(0), -3.2103);
  EXPECT_EQ(mic.ResponseAt(24000), -2.5);
  // A file with no sensitivity line; the response alone.
  EXPECT_FALSE(ParseMicCalibration("20 1\n20000 -1\n").Sensitivity);
}

// Guards the refusals: each malformed file names its bad line.
TEST(MicCalibration, MalformedLines)
{
  const std::pair<const char*, int> cases[] = {
      {"100 1\nhello world\n", 2},         // not numbers
      {"100 1\n50 2\n", 2},                // falling
      {"100 1\n100 2\n", 2},               // repeated
      {"* header\n100\n", 2},              // one field
      {"100 1 0 7\n", 1},                  // four fields
      {"0 1\n", 1},                        // 0 Hz
      {"-20 1\n", 1},                      // negative
      {"100 nan\n", 1},                    // not finite
      {"100 1e6\n", 1},                    // no microphone's gain
      {"5e-324 0\n20000 0\n", 1},          // its log ratio overflows: NaN gains
      {"20 0\n1e308 0\n", 2},              // as far the other way
      {"*1e-30Hz -38.6\n", 1},             // a sensitivity at no real frequency
      {"100 1\n*1000Hz -38.6\n", 2},       // sensitivity after the data
      {"*1000Hz -38.6\n*1000Hz -30\n", 2}, // two sensitivities
      {"*0Hz -38.6\n", 1},                 // a sensitivity at 0 Hz
      {"# only a comment\n\n", 0},         // nothing in it
  };
  for (const auto& [text, line] : cases) {
    try {
      ParseMicCalibration(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const EMicCalibrationError& e) {
      EXPECT_EQ(e.Line(), line) << text;
      if (line > 0)
        EXPECT_TRUE(QString(e.what()).startsWith(QStringLiteral("line %1: ").arg(line)))
            << e.what();
    }
  }
  // A file names itself; a folder is not read.
  QTemporaryDir dir;
  const QString path = dir.filePath("mic.txt");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("100 1\nabc\n");
  f.close();
  try {
    LoadMicCalibration(path);
    ADD_FAILURE();
  } catch (const EMicCalibrationError& e) {
    EXPECT_EQ(QString(e.what()), QStringLiteral("Cannot use %1: line 2: expected a frequency and a "
                                                "gain, found 'abc'")
                                     .arg(path));
  }
  EXPECT_THROW(LoadMicCalibration(dir.path()), EMicCalibrationError);
  EXPECT_THROW(LoadMicCalibration(dir.filePath("missing.txt")), EMicCalibrationError);

  // Nor is a FIFO: a writer stands by so that, were it opened, the load would
  // get a valid file and pass rather than wait for ever.
  const QByteArray fifo = QFile::encodeName(dir.filePath("mic.fifo"));
  ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
  std::atomic<bool> done = false;
  std::thread writer([&] {
    while (!done) {
      const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        [[maybe_unused]] const auto n = ::write(fd, "100 1\n", 6);
        ::close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  try {
    LoadMicCalibration(QFile::decodeName(fifo));
    ADD_FAILURE() << "a FIFO was read";
  } catch (const EMicCalibrationError& e) {
    EXPECT_TRUE(QString(e.what()).endsWith(QStringLiteral("it is a named pipe (FIFO), not a "
                                                          "regular file")))
        << e.what();
  }
  done = true;
  writer.join();
}

// Guards the corrected levels: the identity changes nothing to the bit; A
// weighting lowers a 100 Hz tone by its table value; calibration adds the
// offset, takes the microphone's response out and moves the floor; the
// peak read-out follows; the units say what the numbers are.
TEST(LevelCorrection, AppliedToAFrame)
{
  const double hz = 9 * 48000.0 / 4096; // on bin 9
  TSpectrumFrame f = ToneFrame(hz, 0.5);
  const TSpectrumFrame plain = f;
  TLevelCorrector c;
  c.Apply(f);
  EXPECT_EQ(f.Y, plain.Y);
  EXPECT_EQ(f.SpectrumLine, plain.SpectrumLine);
  EXPECT_EQ(f.Peak->Level, plain.Peak->Level);

  TLevelCorrection a;
  a.Weighting = TWeighting::A;
  c.SetCorrection(a);
  c.Apply(f);
  const double weight = WeightingDecibels(TWeighting::A, hz);
  EXPECT_NEAR(LevelNear(f, hz) - LevelNear(plain, hz), weight, 1e-9);
  EXPECT_NEAR(f.Peak->Level - plain.Peak->Level, weight, 0.01);
  EXPECT_EQ(a.Unit(), "dB(A)");

  TLevelCorrection spl;
  spl.Calibrated = true;
  spl.Offset = 120;
  spl.Mic.Response = {{50, 2.0}, {200, 2.0}};
  c.SetCorrection(spl);
  c.Apply(f);
  EXPECT_NEAR(LevelNear(f, hz) - LevelNear(plain, hz), 118, 1e-9);
  EXPECT_EQ(f.Y.back(), -96 + 120.0); // the floor moved up with the levels
  EXPECT_EQ(spl.Unit(), "dB SPL");
  spl.Weighting = TWeighting::C;
  EXPECT_EQ(spl.Unit(), "dB(C) SPL");
}

// Guards the calibrator reading: a tone's input level is its level in dB
// against a full-scale sine whatever the window, the microphone's response
// at its frequency taken out, and silence has none.
TEST(LevelCorrection, InputLevelForCalibrating)
{
  TLevelCorrection c;
  EXPECT_NEAR(*InputLevel(ToneFrame(1000, 0.1), c), -20, 0.01);
  c.Mic.Response = {{1000, 0.5}};
  EXPECT_NEAR(*InputLevel(ToneFrame(1000, 0.1), c), -20.5, 0.01);
  EXPECT_FALSE(InputLevel(ToneFrame(1000, 0), c));
  EXPECT_FALSE(InputLevel(TSpectrumFrame{}, c));
}
