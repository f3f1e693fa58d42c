// SPDX-License-Identifier: GPL-3.0-or-later
// The spectrogram subcommand end to end: the picture it writes, read back.
#include "app/CommandLine.h"
#include "spectrogram/SpectrogramPicture.h"
#include "wavefile/WavWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <sstream>
#include <tuple>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace duv;
using namespace duv::test;

namespace {

struct Result
{
  int code;
  std::string err;
};

Result run(const QStringList& args)
{
  // As the GUI part draws it.
  SpectrogramPngWriter = WriteSpectrogramPng;
  std::ostringstream out, err;
  const int code = RunCommandLine(QStringList{"spectrogram"} + args, out, err);
  EXPECT_EQ(out.str(), "");
  return {code, err.str()};
}

// A mono 16-bit file at 8000 Hz of `seconds`; sample(i) gives each value.
QString makeFile(const char* name, double seconds, const std::function<double(int)>& sample)
{
  QByteArray data;
  for (int i = 0; i < int(seconds * 8000); ++i)
    data += le16(int(std::lround(sample(i))));
  return writeTemp(name, WavBuilder().fmt(1, 8000, 16).chunk("data", data).finish());
}

double sine(double hz, int i, double amplitude = 32767)
{
  return amplitude * std::sin(2 * std::numbers::pi * hz * i / 8000);
}

QRgb rgb(TColor c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }
const QRgb Top = rgb(DepthColorTable(TColorCount::dc32)[1]);    // 0 .. -3 dB
const QRgb Floor = rgb(DepthColorTable(TColorCount::dc32)[32]); // the bottom band

// How the command lays out `image`, a picture of an 8000 Hz file, with the
// title and subtitle it carries as text.
TSpectrogramLayout layoutOf(const QImage& image, int width, int height, double seconds,
                            double range = 96)
{
  TFileSpectrogram g;
  g.Width = width, g.Height = height, g.SampleRate = 8000, g.Seconds = seconds;
  TSpectrogramPicture p;
  p.Title = image.text("Title");
  p.Subtitle = image.text("Description");
  p.Range = range;
  return LayoutSpectrogramPicture(g, p);
}

QRect plotOf(const QImage& image, int width, int height, double seconds, double range = 96)
{
  return layoutOf(image, width, height, seconds, range).Plot;
}

// The pixel of column c and row r (row 0 at 0 Hz, at the plot's bottom).
QRgb at(const QImage& image, const QRect& plot, int c, int r)
{
  return image.pixel(plot.left() + c, plot.bottom() - r);
}

} // namespace

// Guards the picture's layout and levels: its size is the plot plus the
// margins of the layout, the title holds the file's name (drawn, and kept
// as PNG text), a full-scale 1 kHz tone is in the top colour at its row and
// nowhere far from it, and a tone that starts halfway shows only in the
// right half, the left half at the floor colour.
TEST(SpectrogramCommand, PictureOfATone)
{
  QTemporaryDir dir;
  const QString tone = makeFile("tone.wav", 4, [](int i) { return i < 16000 ? 0 : sine(1000, i); });
  const QString png = dir.filePath("tone.png");
  const Result r = run({tone, "-o", png, "--width", "200", "--height", "129", "--size", "256"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const QImage image(png);
  ASSERT_FALSE(image.isNull());
  const TSpectrogramLayout layout = layoutOf(image, 200, 129, 4);
  const QRect plot = layout.Plot;
  EXPECT_EQ(image.size(), layout.Image);
  EXPECT_EQ(plot.size(), QSize(200, 129));
  // Margins on every side, the colour bar in the right one.
  EXPECT_GT(plot.left(), 30);
  EXPECT_GT(plot.top(), 30);
  EXPECT_GT(image.height() - plot.bottom(), 30);
  EXPECT_GT(layout.Bar.left(), plot.right());
  EXPECT_GT(image.width() - layout.Bar.right(), 20);
  EXPECT_EQ(image.text("Title"), "tone.wav");
  EXPECT_NE(image.text("Description").indexOf("8000 Hz"), -1);
  // Ink in the title line above the plot.
  int ink = 0;
  for (int y = 0; y < plot.top() / 2; ++y)
    for (int x = 0; x < image.width(); ++x)
      ink += qGray(image.pixel(x, y)) < 128;
  EXPECT_GT(ink, 20);

  const int row1k = 32; // 1000 Hz of 4000 Hz over 128 rows
  for (int c = 0; c < 200; ++c) {
    if (c < 99) {
      for (int row = 0; row < 129; ++row)
        ASSERT_EQ(at(image, plot, c, row), Floor) << c << "," << row;
    } else if (c > 100 && c < 199) {
      ASSERT_EQ(at(image, plot, c, row1k), Top) << c;
      ASSERT_EQ(at(image, plot, c, row1k + 20), Floor) << c;
      ASSERT_EQ(at(image, plot, c, row1k - 20), Floor) << c;
    }
  }
}

// Guards the widths the subcommand reads, sox's files of each: 8-, 16-,
// 24- and 32-bit integers and 32- and 64-bit floating point all show a
// -7 dBFS 1 kHz tone at its row, in the colour of its level band, and a
// silent file is at the floor colour everywhere, in either colour table.
TEST(SpectrogramCommand, EveryWidthAndSilence)
{
  QTemporaryDir dir;
  const QString png = dir.filePath("w.png");
  for (const auto& [encoding, bits] :
       {std::pair{"unsigned-integer", 8}, {"signed-integer", 16}, {"signed-integer", 24},
        {"signed-integer", 32}, {"floating-point", 32}, {"floating-point", 64}}) {
    const QString path = writeTemp(QString("%1-%2.wav").arg(encoding).arg(bits), "");
    if (!runSox({"-n", "-r", "8000", "-c", "2", "-e", encoding, "-b", QString::number(bits), path,
                 "synth", "2", "sine", "1000", "gain", "-7"}))
      GTEST_SKIP() << "sox is not installed";
    const Result r = run({path, "-o", png, "--width", "50", "--height", "129", "--size", "256"});
    ASSERT_EQ(r.code, 0) << encoding << bits << ": " << r.err;
    const QImage image(png);
    // With 33 colours over 96 dB (48 for 8 bits) a band is 3 dB (1.5 dB):
    // -7 dB is in the third band (the fifth).
    const TColor expected = DepthColorTable(TColorCount::dc32)[bits == 8 ? 5 : 3];
    const QRect plot = plotOf(image, 50, 129, 2, bits == 8 ? 48 : 96);
    for (int c = 2; c < 48; ++c)
      ASSERT_EQ(at(image, plot, c, 32), rgb(expected)) << encoding << bits << " @" << c;
  }

  const QString quiet = makeFile("quiet.wav", 2, [](int) { return 0; });
  for (const auto& [colors, floor] : {std::pair{"red-black", Floor},
                                      {"rainbow", rgb(DepthColorTable(TColorCount::dc30)[29])}}) {
    ASSERT_EQ(run({quiet, "-o", png, "--width", "40", "--height", "33", "--colors", colors}).code, 0);
    const QImage image(png);
    const QRect plot = plotOf(image, 40, 33, 2);
    for (int c = 0; c < 40; ++c)
      for (int row = 0; row < 33; ++row)
        ASSERT_EQ(at(image, plot, c, row), floor) << colors << " " << c << "," << row;
  }
}

// Guards the options: --range moves the bottom of the colour bar (a -60 dB
// tone is above the floor over 96 dB, at it over 48 dB), and the right
// channel is the right one.
TEST(SpectrogramCommand, RangeAndChannel)
{
  QTemporaryDir dir;
  const QString png = dir.filePath("r.png");
  const QString soft = makeFile("soft.wav", 2, [](int i) { return sine(1000, i, 32.768); });
  ASSERT_EQ(run({soft, "-o", png, "--width", "40", "--height", "129", "--size", "256"}).code, 0);
  QImage image(png);
  EXPECT_NE(at(image, plotOf(image, 40, 129, 2), 20, 32), Floor);
  ASSERT_EQ(run({soft, "-o", png, "--width", "40", "--height", "129", "--size", "256", "--range",
                 "48"})
                .code,
            0);
  image = QImage(png);
  EXPECT_EQ(at(image, plotOf(image, 40, 129, 2, 48), 20, 32), Floor);

  QByteArray data;
  for (int i = 0; i < 16000; ++i)
    data += le16(0) + le16(int(std::lround(sine(2000, i))));
  const QString stereo =
      writeTemp("right.wav", WavBuilder().fmt(2, 8000, 16).chunk("data", data).finish());
  ASSERT_EQ(run({stereo, "-o", png, "--width", "40", "--height", "129", "--size", "256",
                 "--channel", "right", "--window", "rectangular"})
                .code,
            0);
  image = QImage(png);
  EXPECT_EQ(at(image, plotOf(image, 40, 129, 2), 20, 64), Top);
  ASSERT_EQ(run({stereo, "-o", png, "--width", "40", "--height", "129", "--size", "256",
                 "--channel", "left"})
                .code,
            0);
  image = QImage(png);
  EXPECT_EQ(at(image, plotOf(image, 40, 129, 2), 20, 64), Floor);
}

// Guards the errors: bad arguments are usage errors (2); an unreadable or
// compressed input, or an output that cannot be written, is exit 1 with a
// message; and a failure writes nothing, not even a part of a picture, and
// leaves an older picture of the same name as it was. An output that is a
// FIFO or a device was replaced by the picture (as root, /dev/null) with
// exit 0: it is refused, named, and left as it was.
TEST(SpectrogramCommand, Errors)
{
  QTemporaryDir dir;
  const QString tone = makeFile("ok.wav", 1, [](int i) { return sine(440, i); });
  const QString png = dir.filePath("out.png");
  for (const QStringList& bad :
       {QStringList{tone}, {"-o", png}, {tone, "-o", png, "--width", "0"},
        {tone, "-o", png, "--height", "5000"}, {tone, "-o", png, "--size", "1000"},
        {tone, "-o", png, "--colors", "grey"}, {tone, "-o", png, "--range", "-3"},
        {tone, "-o", png, "--channel", "centre"}, {tone, "-o", png, "--window", "hanning"},
        {tone, "-o", png, "--width"}, {tone, "-o", png, "--frobnicate"},
        {tone, "-o", png, "--channel", "right"}, {tone, "-o", tone}}) {
    const Result r = run(bad);
    EXPECT_EQ(r.code, 2) << bad.join(' ').toStdString();
    EXPECT_NE(r.err.find("Try 'duvovovi --help'"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(QFileInfo::exists(png));
  // The message and the help name every window there is.
  const std::string unknown = run({tone, "-o", png, "--window", "Hann"}).err;
  for (const QString& name : WindowNames()) {
    EXPECT_NE(unknown.find(name.toStdString()), std::string::npos) << name.toStdString();
    EXPECT_NE(CommandLineHelp().indexOf(name), -1) << name.toStdString();
  }

  const QString adpcm = writeTemp(
      "adpcm.wav", WavBuilder().fmt(1, 8000, 4, 20, 0x11).chunk("data", "abcd").finish());
  Result r = run({adpcm, "-o", png});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("uses compressed format 0x0011 (IMA ADPCM)"), std::string::npos) << r.err;
  EXPECT_EQ(run({"/no/such.wav", "-o", png}).code, 1);
  EXPECT_FALSE(QFileInfo::exists(png));

  r = run({tone, "-o", dir.filePath("missing/out.png")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind("duvovovi: Cannot write " + dir.filePath("missing/out.png").toStdString(), 0),
            0u)
      << r.err;
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.png"));
  EXPECT_EQ(run({tone, "-o", dir.filePath("folder.png")}).code, 1);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList{"folder.png"});

  // An older picture survives a failed run whole.
  ASSERT_EQ(run({tone, "-o", png}).code, 0);
  const QImage before(png);
  EXPECT_EQ(run({adpcm, "-o", png}).code, 1);
  EXPECT_EQ(QImage(png), before);

  const QString fifo = dir.filePath("fifo.png"), device = dir.filePath("null.png");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  // A null device of our own: the system's is not to be put at risk.
  const bool haveDevice =
      ::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  for (const auto& [node, kind, reason] : {std::tuple{fifo, S_IFIFO, "it is a named pipe (FIFO)"},
                                           {device, S_IFCHR, "it is a device"}}) {
    if (kind == S_IFCHR && !haveDevice)
      continue;
    r = run({tone, "-o", node});
    EXPECT_EQ(r.code, 1) << reason;
    EXPECT_EQ(r.err, "duvovovi: Cannot write " + node.toStdString() + ": " + reason +
                         ", not a regular file\n");
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(node).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & S_IFMT, kind) << reason;
  }
}

// Guards the label steps: round numbers that keep labels apart, and for the
// colour bar a step that ends it on a label when one is near.
TEST(SpectrogramCommand, LabelSteps)
{
  EXPECT_EQ(LabelStep(600, 12), 50);
  EXPECT_EQ(LabelStep(3600, 16), 250 * 2); // 225 rounds up to 500
  EXPECT_EQ(LabelStep(4, 3), 2);
  EXPECT_DOUBLE_EQ(LabelStep(0.3, 4), 0.1);
  EXPECT_EQ(LabelStep(22.05, 13), 2);
  EXPECT_EQ(LabelStep(96, 13, true), 12);
  EXPECT_EQ(LabelStep(96, 3, true), 48);
  EXPECT_EQ(LabelStep(48, 13, true), 6);
  EXPECT_EQ(LabelStep(24, 13, true), 2);
  EXPECT_EQ(LabelStep(60, 13, true), 5);
  EXPECT_EQ(LabelStep(0, 5), 1); // no span: one label
}

// Guards the ranges of time and frequency, also against the file the view
// is tested with: the columns span --from .. --to (a tone from 2 to
// 6 s fills them all), the rows --fmin .. --fmax (1 kHz in the middle of
// 500 .. 1500 Hz) or their ratio with --log-frequency (1 kHz at log 10 /
// log 40 of 100 .. 4000 Hz), the picture is laid out for the labels of
// those ranges and says them under its title; ranges past the file's end or
// half its rate are held to them; an empty, inverted or negative range is a
// usage error.
TEST(SpectrogramCommand, TimeAndFrequencyRanges)
{
  QTemporaryDir dir;
  const QString png = dir.filePath("range.png");
  const QString tone = makeFile(
      "middle.wav", 8, [](int i) { return i >= 16000 && i < 48000 ? sine(1000, i) : 0.0; });
  const auto picture = [&](const QStringList& more, TFileSpectrogram g, QImage& image,
                           const QString& file = {}) {
    const Result r = run(QStringList{file.isEmpty() ? tone : file, "-o", png, "--width", "100",
                                     "--height", "101", "--size", "256"} +
                         more);
    EXPECT_EQ(r.code, 0) << r.err;
    image = QImage(png);
    g.Width = 100, g.Height = 101, g.SampleRate = 8000, g.Seconds = 8;
    TSpectrogramPicture p;
    p.Title = image.text("Title");
    p.Subtitle = image.text("Description");
    const TSpectrogramLayout l = LayoutSpectrogramPicture(g, p);
    EXPECT_EQ(image.size(), l.Image);
    return l.Plot;
  };
  const auto loudRows = [](const QImage& image, const QRect& plot, int c) {
    std::vector<int> rows;
    for (int r = 0; r < plot.height(); ++r)
      if (at(image, plot, c, r) == Top)
        rows.push_back(r);
    return rows;
  };

  QImage image;
  TFileSpectrogram g;
  g.From = 2, g.To = 6;
  QRect plot = picture({"--from", "2", "--to", "6"}, g, image);
  for (int c = 2; c < 98; ++c)
    ASSERT_EQ(at(image, plot, c, 25), Top) << c; // 1000 of 4000 Hz
  EXPECT_NE(image.text("Description").indexOf("2 s to 6 s"), -1);

  g = {};
  g.FLow = 500, g.FHigh = 1500;
  plot = picture({"--fmin", "500", "--fmax", "1500"}, g, image);
  EXPECT_EQ(loudRows(image, plot, 50), (std::vector<int>{49, 50, 51}));
  EXPECT_EQ(at(image, plot, 10, 50), Floor);
  EXPECT_NE(image.text("Description").indexOf("500 to 1500 Hz"), -1);

  g = {};
  g.FLow = 100, g.FHigh = 4000, g.LogFrequency = true;
  plot = picture({"--fmin", "100", "--log-frequency"}, g, image);
  const std::vector<int> rows = loudRows(image, plot, 50);
  ASSERT_FALSE(rows.empty());
  const double row1k = std::log(10.0) / std::log(40.0) * 100;
  for (int r : rows)
    EXPECT_LE(std::abs(r - row1k), 1) << r;

  // The view's own test file: 1001 Hz for 4 s, then 2.5 kHz. Each half of
  // it shows its own tone at 2.5 kHz, in the middle of 2 .. 3 kHz.
  const QString tones =
      makeFile("tones.wav", 8, [](int i) { return sine(i < 4 * 8000 ? 1001 : 2500, i); });
  for (const auto& [from, to, loud] : {std::tuple{"4", "8", true}, {"0", "4", false}}) {
    g = {};
    g.From = std::atof(from), g.To = std::atof(to), g.FLow = 2000, g.FHigh = 3000;
    plot =
        picture({"--from", from, "--to", to, "--fmin", "2000", "--fmax", "3000"}, g, image, tones);
    for (int c = 2; c < 98; ++c)
      ASSERT_EQ(at(image, plot, c, 50), loud ? Top : Floor) << from << " s, column " << c;
  }

  // Past the file's end and above half its rate the ranges are held to
  // them: the very picture of ranges that stop there.
  const auto bytes = [&](const QStringList& range) {
    EXPECT_EQ(run(QStringList{tone, "-o", png, "--width", "100", "--height", "101"} + range).code,
              0);
    QFile f(png);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  EXPECT_EQ(bytes({"--from", "2", "--to", "20"}), bytes({"--from", "2", "--to", "8"}));
  EXPECT_EQ(bytes({"--fmin", "500", "--fmax", "9000"}), bytes({"--fmin", "500", "--fmax", "4000"}));

  for (const QStringList& bad : {QStringList{"--from", "5", "--to", "3"},
                                 {"--from", "3", "--to", "3"},
                                 {"--from", "8"},
                                 {"--from", "-1"},
                                 {"--to", "0.00001"},
                                 {"--fmin", "1000", "--fmax", "500"},
                                 {"--fmin", "4000"},
                                 {"--fmax", "-2"},
                                 {"--fmin", "x"},
                                 {"--log-frequency", "--fmax", "5"},
                                 {"--to"}}) {
    const Result r = run(QStringList{tone, "-o", png} + bad);
    EXPECT_EQ(r.code, 2) << bad.join(' ').toStdString() << ": " << r.err;
  }
}
