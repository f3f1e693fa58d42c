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
  std::string out, err;
};

Result run(const QStringList& args)
{
  std::ostringstream out, err;
  const int code = RunCommandLine(args, out, err);
  return {code, out.str(), err.str()};
}

// A mono 16-bit file of a full-scale sine, `cycles` per 256 samples.
QString sineFile(const char* name, int rate, int samples, int cycles)
{
  QByteArray data;
  for (int i = 0; i < samples; ++i)
    data += le16(int(std::lround(32767 * std::sin(2 * std::numbers::pi * cycles * i / 256))));
  return writeTemp(name, WavBuilder().fmt(1, rate, 16).chunk("data", data).finish());
}

} // namespace

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
  const QString wide = writeTemp("w32.wav", WavBuilder().fmt(1, 8000, 32).chunk("data", QByteArray(64, '\1')).finish());
  EXPECT_EQ(run({"spectrum", wide}).code, 1);

  const Result note = run({"note", "440"});
  EXPECT_EQ(note.out, "A - 4\n");
}

// Guards against compressed files analysed as PCM: a 1 kHz µ-law sine showed
// its peak at 2 kHz and exited 0. Every compressed or float encoding sox
// writes is refused naming its tag.
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
                   {"gsm-full-rate", "compressed format 0x0031 (GSM 6.10)"},
                   {"floating-point", "format 0x0003 (IEEE float)"}};
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
