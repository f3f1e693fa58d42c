// SPDX-License-Identifier: GPL-3.0-or-later
// The bands and measure commands.
#include "app/CommandLine.h"

#include "wavefile/WavWriter.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

using namespace duv;
using namespace duv::test;

namespace {

struct Result
{
  int code;
  QStringList lines;
  std::string err;
};

Result run(const QStringList& args)
{
  std::ostringstream out, err;
  const int code = RunCommandLine(args, out, err);
  return {code, QString::fromStdString(out.str()).split('\n', Qt::SkipEmptyParts), err.str()};
}

// A mono 16-bit file at 48 kHz: a sine at Hz of amplitude Amp (1 is full
// scale) with a second harmonic of Second times its amplitude.
QString toneFile(const char* name, double Hz, double Amp, int Samples, double Second = 0)
{
  QByteArray data;
  for (int i = 0; i < Samples; ++i) {
    const double t = 2 * std::numbers::pi * Hz * i / 48000;
    data += le16(int(std::lround(32767 * Amp * (std::sin(t) + Second * std::sin(2 * t)))));
  }
  WavBuilder wav;
  wav.fmt(1, 48000, 16).chunk("data", data);
  return writeTemp(name, wav.finish());
}

// The level of one band in the output of bands.
double bandLevel(const Result& r, const QString& centre)
{
  for (const QString& line : r.lines)
    if (line.section(',', 0, 0) == centre)
      return line.section(',', 1, 1).toDouble();
  ADD_FAILURE() << "no band " << centre.toStdString();
  return 0;
}

} // namespace

// Guards bands: the CSV form, a tone in its band over the whole file and at
// an offset, the floor elsewhere, octaves, A weighting, and a file shorter
// than a frame.
TEST(BandsCommand, Levels)
{
  const QString tone = toneFile("tone.wav", 1000, 0.5, 96000);
  Result r = run({"bands", tone});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.lines.front(), "centre_hz,level_db");
  EXPECT_EQ(r.lines[1].section(',', 0, 0), "31.5"); // the first band a 8192-point frame resolves
  EXPECT_EQ(r.lines.back().section(',', 0, 0), "20000");
  EXPECT_NEAR(bandLevel(r, "1000"), -6.02, 0.05);
  EXPECT_EQ(bandLevel(r, "100"), -96);
  r = run({"bands", tone, "--fraction", "1", "--offset", "0.5", "--size", "4096"});
  EXPECT_EQ(r.lines.size(), 11u); // 31.5 Hz .. 16 kHz octaves
  EXPECT_NEAR(bandLevel(r, "1000"), -6.02, 0.05);

  const QString low = toneFile("low.wav", 100, 0.5, 96000);
  EXPECT_NEAR(bandLevel(run({"bands", low, "--weighting", "A"}), "100") -
                  bandLevel(run({"bands", low, "--weighting", "Z"}), "100"),
              -19.1, 0.1);
  const QString shortFile = toneFile("short.wav", 1000, 0.5, 3000);
  r = run({"bands", shortFile});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NEAR(bandLevel(r, "1000"), -6.02, 0.1);
}

// Guards the centring of unsigned samples in every command and window: 8-bit
// silence (all 128) read through a window spread its offset from DC into the
// bins beside it (+5.7 dB at 43 Hz with the flat-top window), while the DC
// read-out keeps the offset and a full-scale sine still reads 0 dB.
TEST(SpectrumCommand, EightBitCentred)
{
  const auto eightBit = [](const char* name, double Amp) {
    QByteArray data;
    for (int i = 0; i < 8192; ++i) // 3000 Hz: a whole bin at 1024 points
      data +=
          char(std::lround(128 + 127 * Amp * std::sin(2 * std::numbers::pi * 3000 * i / 48000)));
    WavBuilder wav;
    wav.fmt(1, 48000, 8).chunk("data", data);
    return writeTemp(name, wav.finish());
  };
  const QString silence = eightBit("silence8.wav", 0), sine = eightBit("sine8.wav", 1);
  for (const char* window :
       {"rectangular", "hann", "hamming", "blackman", "blackman-harris", "flat-top"}) {
    SCOPED_TRACE(window);
    const QStringList common = {"--window", window, "--size", "1024"};
    Result r = run(QStringList{"spectrum", silence} + common);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NEAR(r.lines[0].section('=', 1).toDouble(), 256, 0.5); // the offset, single-sided
    for (int k = 2; k < r.lines.size(); ++k)
      ASSERT_EQ(r.lines[k].section(',', 1).toDouble(), -48) << r.lines[k].toStdString();
    r = run(QStringList{"bands", silence, "--fraction", "1"} + common);
    for (int k = 1; k < r.lines.size(); ++k)
      EXPECT_EQ(r.lines[k].section(',', 1).toDouble(), -48) << r.lines[k].toStdString();

    r = run(QStringList{"spectrum", sine} + common);
    double top = -48;
    for (int k = 2; k < r.lines.size(); ++k)
      top = std::max(top, r.lines[k].section(',', 1).toDouble());
    EXPECT_NEAR(top, 0, 0.1);
    EXPECT_NEAR(bandLevel(run(QStringList{"bands", sine, "--fraction", "1"} + common), "4000"), 0,
                0.1);
  }
}

// Guards measure: the figures of a sine with a 1 % second harmonic, one
// "name: value unit" line each, and an offset past which too little is left.
TEST(MeasureCommand, Figures)
{
  const QString file = toneFile("thd.wav", 997, 0.5, 48000, 0.01);
  Result r = run({"measure", file});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(r.lines.size(), 8);
  EXPECT_EQ(r.lines[0], "Frequency: 997.000 Hz");
  EXPECT_EQ(r.lines[1], "Level: -6.02 dB");
  EXPECT_EQ(r.lines[2].left(9), "THD: 1.00");
  EXPECT_TRUE(r.lines[2].endsWith(" %"));
  EXPECT_EQ(r.lines[3], "THD: -40.00 dB");
  for (const char* name : {"THD+N: ", "SNR: ", "SINAD: "})
    EXPECT_EQ(r.lines.filter(name).size(), std::string(name) == "THD+N: " ? 2 : 1) << name;
  r = run({"measure", file, "--offset", "0.5", "--size", "1024"});
  EXPECT_EQ(r.code, 0) << r.err;
  r = run({"measure", file, "--offset", "0.999"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("a measurement needs at least 256"), std::string::npos) << r.err;
}

// Guards the usage errors of both commands.
TEST(MeasureCommand, UsageErrors)
{
  const QString file = toneFile("u.wav", 1000, 0.5, 4800);
  const QStringList bad[] = {{"bands"},
                             {"bands", file, "--fraction", "2"},
                             {"bands", file, "--weighting", "B"},
                             {"bands", file, "--window", "triangle"},
                             {"bands", file, "--size", "300"},
                             {"bands", file, "--offset", "-1"},
                             {"bands", file, "--offset", "9"},
                             {"measure", file, "--fraction", "3"},
                             {"measure", file, "--size"}};
  for (const QStringList& args : bad)
    EXPECT_EQ(run(args).code, 2) << args.join(' ').toStdString();
  EXPECT_EQ(run({"measure", "/nonexistent.wav"}).code, 1);
  std::ostringstream help, err;
  RunCommandLine({"--help"}, help, err);
  EXPECT_NE(help.str().find("  bands FILE [--fraction 1|3]"), std::string::npos);
  EXPECT_NE(help.str().find("  measure FILE [--offset SECONDS] [--size N]"), std::string::npos);
}
