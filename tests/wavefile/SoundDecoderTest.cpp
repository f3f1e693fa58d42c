// SPDX-License-Identifier: GPL-3.0-or-later
// The formats read through libsndfile, made at test time by sox and the
// Debian encoders: each one's tone is found at its frequency and level,
// lossless files give the very samples of their WAV, streamed reads agree
// with a whole load, and damaged files are refused with their reason.
#include "app/CommandLine.h"
#include "wavefile/FileSpectrogram.h"
#include "wavefile/WavWriter.h"
#include "wavefile/WaveFileParser.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace duv;
using namespace duv::test;

namespace {

struct Encoded
{
  const char* file;
  const char* source; // the WAV it was made from when it is lossless, else null
  const char* name;   // what `info` calls it
  bool lossy;
};

// Every file is made from 1.5 s of stereo at 44.1 kHz: 1 kHz on the left,
// 2.5 kHz on the right, both at -6 dBFS.
const Encoded Files[] = {
    {"flac16.flac", "src16.wav", "FLAC, 16-bit", false},
    {"flac24.flac", "src24.wav", "FLAC, 24-bit", false},
    {"vorbis.ogg", nullptr, "Ogg Vorbis, ", true},
    {"opus.opus", nullptr, "Opus, ", true},
    {"lame.mp3", nullptr, "MP3, ", true},
    {"aiff.aiff", "src16.wav", "AIFF, 16-bit", false},
    {"float.aifc", "srcf.wav", "AIFC, 32-bit float", false},
    {"caf.caf", "src16.wav", "CAF, 16-bit", false},
    {"w64.w64", "src16.wav", "W64, 16-bit", false},
    {"rf64.rf64", "src16.wav", "RF64, 16-bit", false},
};

// An RF64 file of a plain WAV's format and samples: "RF64" with its sizes
// in a "ds64" chunk, as a recorder writes one past 4 GB.
QByteArray rf64Of(const QByteArray& wav)
{
  TSoundFile f;
  f.LoadFromMemory(wav, "src");
  const TRiffChunk& fmt = *f.FindChunk(FourCC("fmt "));
  const TSampleLayout& l = f.SampleLayout();
  auto le64 = [](std::uint64_t v) { return le32(std::uint32_t(v)) + le32(std::uint32_t(v >> 32)); };
  const QByteArray fmtBytes(reinterpret_cast<const char*>(fmt.Data.data()), qsizetype(fmt.Size));
  const std::uint64_t riff = 4 + 36 + 8 + std::uint64_t(fmt.Size) + 8 + std::uint64_t(l.DataSize);
  return "RF64" + le32(0xFFFFFFFF) + "WAVE" + "ds64" + le32(28) + le64(riff) +
         le64(std::uint64_t(l.DataSize)) + le64(std::uint64_t(f.SoundData().SamplesPerChannel)) +
         le32(0) + "fmt " + le32(fmt.Size) + fmtBytes + "data" + le32(0xFFFFFFFF) +
         wav.mid(l.DataOffset, l.DataSize);
}

QString folder()
{
  return QFileInfo(writeTemp("anchor", "")).absolutePath();
}
QString at(const QString& name)
{
  return folder() + "/" + name;
}

// Makes the files once for all tests; false when a tool is missing.
bool makeFiles()
{
  static const bool made = [] {
    const QStringList tone{"synth", "1.5", "sine", "1000", "sine", "2500", "vol", "0.5"};
    const QStringList in{"-D", "-n", "-r", "44100", "-c", "2"};
    bool ok = runSox(in + QStringList{"-b", "16", at("src16.wav")} + tone) &&
              runSox(in + QStringList{"-b", "24", at("src24.wav")} + tone) &&
              runSox(in + QStringList{"-e", "floating-point", "-b", "32", at("srcf.wav")} + tone);
    ok = ok && runTool("flac", {"--silent", "-o", at("flac16.flac"), at("src16.wav")}) &&
         runSox({at("src24.wav"), at("flac24.flac")}) &&
         runTool("oggenc", {"-Q", "-q", "6", "-o", at("vorbis.ogg"), at("src16.wav")}) &&
         runTool("opusenc", {"--quiet", "--bitrate", "128", at("src16.wav"), at("opus.opus")}) &&
         runTool("lame", {"--quiet", "-V", "2", at("src16.wav"), at("lame.mp3")});
    for (const char* t : {"aiff.aiff", "caf.caf", "w64.w64"})
      ok = ok && runSox({at("src16.wav"), at(t)});
    ok = ok && runSox({at("srcf.wav"), "-e", "floating-point", "-b", "32", at("float.aifc")});
    QFile src(at("src16.wav"));
    if (ok && src.open(QIODevice::ReadOnly))
      writeTemp("rf64.rf64", rf64Of(src.readAll()));
    return ok;
  }();
  return made;
}

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

QByteArray bytesOf(const QString& path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// Guards each format's whole road through the command line: detected, its
// format named, and its tone at 1 kHz and -6 dBFS (lossy ones within 0.5 dB).
TEST(SoundDecoder, EachFormatsToneIsFoundAtItsFrequencyAndLevel)
{
  ASSERT_TRUE(makeFiles()) << "sox, flac, oggenc, opusenc and lame are needed (scripts/deps)";
  for (const Encoded& e : Files) {
    const Result info = run({"info", at(e.file)});
    ASSERT_EQ(info.code, 0) << e.file << ": " << info.err;
    EXPECT_NE(info.out.find(std::string("Format: ") + e.name), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Channels: 2\n"), std::string::npos) << e.file;

    const Result peaks = run({"peaks", at(e.file), "--offset", "0.5", "--size", "8192", "--window",
                              "flat-top", "--count", "1"});
    ASSERT_EQ(peaks.code, 0) << e.file << ": " << peaks.err;
    const QStringList row = QString::fromStdString(peaks.out).split('\n').value(1).split(',');
    ASSERT_EQ(row.size(), 4) << e.file << ": " << peaks.out;
    EXPECT_NEAR(row[0].toDouble(), 1000, 0.5) << e.file;
    EXPECT_NEAR(row[1].toDouble(), -6.02, e.lossy ? 0.5 : 0.05) << e.file;
  }
}

// Guards the reduction to 16 bits: a lossless file gives exactly the
// samples, and so the spectrum, of the WAV it was made from (24-bit and
// floating-point ones too).
TEST(SoundDecoder, LosslessFilesGiveTheirWavsSamples)
{
  ASSERT_TRUE(makeFiles());
  for (const Encoded& e : Files) {
    if (!e.source)
      continue;
    const QStringList args{"--offset", "0.25", "--size", "4096"};
    const Result ours = run(QStringList{"spectrum", at(e.file)} + args);
    const Result wav = run(QStringList{"spectrum", at(e.source)} + args);
    ASSERT_EQ(ours.code, 0) << e.file << ": " << ours.err;
    EXPECT_EQ(ours.out, wav.out) << e.file;
    TSoundFile a, b;
    a.SetFileName(at(e.file));
    b.SetFileName(at(e.source));
    EXPECT_EQ(a.SoundData().SamplesPerChannel, 66150) << e.file;
    EXPECT_EQ(a.SoundData().Channels, b.SoundData().Channels) << e.file;
    EXPECT_EQ(a.SoundData().Format.wBitsPerSample, 16) << e.file;
  }
}

// Guards the streaming reader: stretches read anywhere, stepping back over
// what was just read as the spectrogram's overlapping frames do, or jumping
// across the file, give the samples of a whole load; and a spectrogram split
// between two threads (each seeking to its half) is the one of one thread.
TEST(SoundDecoder, StreamedReadsMatchAWholeLoad)
{
  ASSERT_TRUE(makeFiles());
  for (const char* name : {"flac16.flac", "lame.mp3", "vorbis.ogg", "opus.opus"}) {
    TSoundFile whole, header;
    whole.SetFileName(at(name));
    header.LoadHeader(at(name));
    const TSoundData& d = whole.SoundData();
    ASSERT_EQ(header.SoundData().SamplesPerChannel, d.SamplesPerChannel) << name;
    TSampleReader reader(header);
    const std::int64_t n = d.SamplesPerChannel;
    const std::int64_t stretches[][2] = {{0, 5000},      {4000, 3000},  {100, 50},
                                         {n - 700, 700}, {n / 2, 9000}, {n / 2 - 8000, 100},
                                         {1, n - 1},     {n - 1, 1}};
    for (const auto& [first, count] : stretches) {
      std::vector<std::int16_t> left(static_cast<std::size_t>(count)), right(left.size());
      reader.Read(first, count, left.data(), right.data());
      for (int k = 0; k < 2; ++k) {
        const std::vector<std::int16_t>& got = k == 0 ? left : right;
        const TSoundArray expected = d.Channels[std::size_t(k)].mid(first, count);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin()))
            << name << " at " << first << " channel " << k;
      }
    }
    TFileSpectrogramSettings s;
    s.Width = 40;
    s.Height = 32;
    s.Threads = 1;
    const TFileSpectrogram one = ComputeFileSpectrogram(header, s);
    s.Threads = 2;
    // The threads pair frames for their transforms differently: the sums
    // differ in their last bits, not more.
    const TFileSpectrogram two = ComputeFileSpectrogram(header, s);
    for (std::size_t i = 0; i < one.Levels.size(); ++i) {
      if (one.Levels[i] != two.Levels[i]) {
        ASSERT_NEAR(two.Levels[i], one.Levels[i], 0.01) << name << " level " << i;
      }
    }
  }
}

// Guards the refusals: a file cut short or damaged in each format, text
// under a sound file's name and a FIFO are refused by the headers-only and
// the whole load alike, with a message naming the file and the reason.
TEST(SoundDecoder, DamagedFilesAreRefusedWithTheirReason)
{
  ASSERT_TRUE(makeFiles());
  struct Case
  {
    QString path;
    std::string reason; // one of the words the message has
  };
  std::vector<Case> cases;
  for (const Encoded& e : Files) {
    const QByteArray bytes = bytesOf(at(e.file));
    const QString base = QFileInfo(e.file).completeBaseName();
    const QString ext = QFileInfo(e.file).suffix();
    cases.push_back({writeTemp("cut-" + base + "." + ext, bytes.left(bytes.size() * 6 / 10)), ""});
    // The header's fields zeroed; an MP3 keeps its first frame, whose tag
    // promises samples that garbage cannot give.
    QByteArray bad = bytes;
    if (ext == "mp3")
      std::fill(bad.begin() + 1024, bad.end(), '\0');
    else
      std::fill(bad.begin() + 4, bad.begin() + 64, '\0');
    cases.push_back({writeTemp("bad-" + base + "." + ext, bad), ""});
  }
  cases.push_back({writeTemp("notes.flac", "not a sound file, only words"),
                   "is not a RIFF/WAVE sound file, nor FLAC"});
  const QString fifo = at("pipe.flac");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  cases.push_back({fifo, "named pipe"});

  for (const Case& c : cases) {
    const std::string name = QFileInfo(c.path).fileName().toStdString();
    const Result info = run({"info", c.path});
    EXPECT_EQ(info.code, ExitFileError) << name << ": " << info.out;
    EXPECT_NE(info.err.find(name), std::string::npos) << info.err;
    // Without a reason of its own, a damaged file is cut short or unreadable.
    bool said = false;
    for (const std::string& r :
         c.reason.empty() ? std::vector<std::string>{"cut short", "cannot be read", "is not a RIFF"}
                          : std::vector<std::string>{c.reason})
      said = said || info.err.find(r) != std::string::npos;
    EXPECT_TRUE(said) << info.err;
    TSoundFile whole;
    EXPECT_THROW(whole.SetFileName(c.path), EWaveFileError) << name;
    EXPECT_TRUE(whole.FileName().isEmpty()) << name;
  }
}

// Guards files whose writer could not go back to fill in their lengths, and
// a FLAC that cannot seek: a FLAC written to a pipe (0 samples in its
// header), an AIFF with a streaming size, and a FLAC whose header gives block
// sizes of 0 were refused as cut short; they read to their end, in the
// command line as in a whole load, with the samples of their source.
TEST(SoundDecoder, FilesWrittenToAPipeReadToTheirEnd)
{
  ASSERT_TRUE(makeFiles());
  const QString src = at("src16.wav");
  ASSERT_TRUE(
      runTool("sh", {"-c",
                     "sox \"$0\" -t raw - | flac --silent --force-raw-format --endian=little "
                     "--sign=signed --channels=2 --bps=16 --sample-rate=44100 - -o - "
                     "| cat > \"$1\"",
                     src, at("piped.flac")}));
  ASSERT_TRUE(runTool("sh", {"-c", "sox \"$0\" -t aiff - | cat > \"$1\"", src, at("piped.aiff")}));
  QByteArray blocks = bytesOf(at("flac16.flac"));
  std::fill(blocks.begin() + 8, blocks.begin() + 12, '\0'); // STREAMINFO's block sizes
  const QString noBlocks = writeTemp("blocks0.flac", blocks);
  const QStringList args{"--offset", "1.2", "--size", "4096"};
  const Result wav = run(QStringList{"spectrum", src} + args);
  for (const QString& path : {at("piped.flac"), at("piped.aiff"), noBlocks}) {
    SCOPED_TRACE(path.toStdString());
    const Result info = run({"info", path});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("Samples: 66150\n"), std::string::npos) << info.out;
    EXPECT_EQ(run(QStringList{"spectrum", path} + args).out, wav.out);
    TSoundFile whole;
    EXPECT_NO_THROW(whole.SetFileName(path));
    EXPECT_EQ(whole.SoundData().SamplesPerChannel, 66150);
  }
}

// Guards headers that lie: an Ogg Vorbis whose last page says 2^42 samples
// opened as 2147483647 of them and exited 0, and an MP3 whose Xing tag
// miscounts its bytes had the MP3 decoder's own warning on standard error.
TEST(SoundDecoder, LyingHeadersAreReadHonestly)
{
  ASSERT_TRUE(makeFiles());
  // The last page's granule position, with the page's CRC made again.
  QByteArray ogg = bytesOf(at("vorbis.ogg"));
  const qsizetype page = ogg.lastIndexOf("OggS");
  const std::uint64_t granule = std::uint64_t(1) << 42;
  for (int k = 0; k < 8; ++k)
    ogg[page + 6 + k] = char(granule >> (8 * k));
  const int segments = std::uint8_t(ogg[page + 26]);
  qsizetype end = page + 27 + segments;
  for (int k = 0; k < segments; ++k)
    end += std::uint8_t(ogg[page + 27 + k]);
  ogg.replace(page + 22, 4, QByteArray(4, '\0'));
  std::uint32_t crc = 0;
  for (qsizetype i = page; i < end; ++i) {
    crc ^= std::uint32_t(std::uint8_t(ogg[i])) << 24;
    for (int b = 0; b < 8; ++b)
      crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  for (int k = 0; k < 4; ++k)
    ogg[page + 22 + k] = char(crc >> (8 * k));
  const QString granuled = writeTemp("granule.ogg", ogg);
  const Result info = run({"info", granuled});
  ASSERT_EQ(info.code, 0) << info.err;
  const std::size_t where = info.out.find("Samples: ");
  ASSERT_NE(where, std::string::npos) << info.out;
  const long long samples = std::stoll(info.out.substr(where + 9));
  EXPECT_GE(samples, 66150); // what it decodes to, the encoder's last packet whole
  EXPECT_LE(samples, 66150 + 2048);

  // The tag's byte count (after its frame count) made 1000.
  QByteArray mp3 = bytesOf(at("lame.mp3"));
  const qsizetype tag = std::max(mp3.indexOf("Xing"), mp3.indexOf("Info"));
  ASSERT_TRUE(tag > 0 && (mp3[tag + 7] & 3) == 3);
  mp3.replace(tag + 12, 4, QByteArray("\0\0\x03\xE8", 4));
  const QString miscounted = writeTemp("xing.mp3", mp3);
  const QString errFile = at("stderr.txt");
  const int saved = ::dup(2);
  const int into = ::open(QFile::encodeName(errFile).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(into, 2);
  const Result quiet = run({"spectrum", miscounted, "--offset", "1"});
  ::fflush(stderr);
  ::dup2(saved, 2);
  ::close(into);
  ::close(saved);
  EXPECT_EQ(quiet.code, 0) << quiet.err;
  EXPECT_EQ(bytesOf(errFile), QByteArray());
}

// Guards the window's progress and Cancel on a decoded file: progress runs to
// the file's size, and a cancel during the decoding stops the load and
// leaves nothing loaded.
TEST(SoundDecoder, WholeLoadShowsProgressAndCancels)
{
  ASSERT_TRUE(makeFiles());
  TSoundFile f;
  std::int64_t last = -1, total = 0;
  f.OnProgress = [&](std::int64_t done, std::int64_t all) {
    EXPECT_GE(done, last);
    last = done;
    total = all;
    return true;
  };
  f.SetFileName(at("flac16.flac"));
  EXPECT_EQ(last, total);
  EXPECT_EQ(total, QFileInfo(at("flac16.flac")).size());

  TSoundFile g;
  g.OnProgress = [](std::int64_t done, std::int64_t) { return done == 0; };
  EXPECT_THROW(g.SetFileName(at("lame.mp3")), ELoadCancelled);
  EXPECT_TRUE(g.SoundData().Channels[0].isEmpty());
  EXPECT_TRUE(g.FileName().isEmpty());
}

// Guards an MP3 whose length is only estimated: a damaged 1.4 kB stream that
// libsndfile said held 2^31 frames (a stray tag) opens at no more than its
// bytes hold at 8 kbit/s, not as gigabytes of silence.
TEST(SoundDecoder, AnEstimatedLengthIsHeldToWhatTheBytesHold)
{
  const QString path = DUVOVOVI_SOURCE_DIR "/fuzz/corpus-decoded/found-mp3-stray-tag-2ch.mp3";
  const std::int64_t most = QFileInfo(path).size() * 8000 / 1000; // 8 kHz
  const Result info = run({"info", path});
  ASSERT_EQ(info.code, 0) << info.err;
  const QString out = QString::fromStdString(info.out);
  const qsizetype at = out.indexOf("Samples: ");
  ASSERT_GE(at, 0) << info.out;
  EXPECT_LE(out.mid(at + 9).section('\n', 0, 0).toLongLong(), most) << info.out;
  TSoundFile f;
  f.SetFileName(path);
  EXPECT_LE(f.SoundData().SamplesPerChannel, most);

  // A whole untagged stream at that least rate is not cut: 3 s at 8 kHz
  // reads to the end of its tone.
  const QString wav = folder() + "/low.wav", mp3 = folder() + "/low.mp3";
  ASSERT_TRUE(runSox(
      {"-D", "-n", "-r", "8000", "-c", "1", "-b", "16", wav, "synth", "3", "sine", "440", "vol", "0.5"}));
  ASSERT_TRUE(runTool("lame", {"--quiet", "-b", "8", "--noreplaygain", "-t", wav, mp3}));
  TSoundFile low;
  low.SetFileName(mp3);
  ASSERT_GE(low.SoundData().SamplesPerChannel, 24000);
  const TSoundArray& tail = low.SoundData().Channels[0];
  EXPECT_TRUE(std::any_of(tail.begin() + 23000, tail.begin() + 24000, [](auto v) { return v; }));
}

// Guards ID3v2 tags around a stream: one with a footer (ID3v2.4) is skipped
// whole, before the stream as after it, and the stream reads as untagged.
TEST(SoundDecoder, TagsWithAFooterAreSkipped)
{
  ASSERT_TRUE(makeFiles());
  const auto syncSafe = [](int n) {
    const char b[4] = {char((n >> 21) & 127), char((n >> 14) & 127), char((n >> 7) & 127),
                       char(n & 127)};
    return QByteArray(b, 4);
  };
  const QByteArray frame = "TIT2" + syncSafe(6) + QByteArray(2, '\0') + "\x03title";
  const QByteArray version("\x04\x00\x10", 3); // 2.4, a footer
  const QByteArray size = syncSafe(int(frame.size()));
  const QByteArray tag = "ID3" + version + size + frame + "3DI" + version + size;
  const QStringList args{"--offset", "1.2", "--size", "4096"};
  for (const char* name : {"lame.mp3", "flac16.flac"}) {
    const QByteArray bytes = bytesOf(at(name));
    const Result plain = run(QStringList{"spectrum", at(name)} + args);
    for (const QByteArray& tagged : {tag + bytes, bytes + tag}) {
      const QString path = writeTemp(QStringLiteral("tagged-") + name, tagged);
      const Result r = run(QStringList{"spectrum", path} + args);
      EXPECT_EQ(r.code, 0) << name << ": " << r.err;
      EXPECT_EQ(r.out, plain.out) << name << (tagged.startsWith("ID3") ? " tagged first" : "");
    }
  }
}

// Guards the decoder's reduction of floating-point samples (the output of
// every lossy decoder): clipping, infinities, NaN as silence and rounding
// down, to the very values the WAV reader gives the same samples.
TEST(SoundDecoder, FloatSamplesReduceAsTheWavReaderDoes)
{
  const float special[] = {0.25f,
                           -1.5f,
                           1.5f,
                           std::numeric_limits<float>::quiet_NaN(),
                           INFINITY,
                           -INFINITY,
                           -0.3f,
                           -1e-9f,
                           1e-9f,
                           0.99999f,
                           -1.0f,
                           1.0f,
                           -0.5f / 32768,
                           32767.5f / 32768,
                           -32768.5f / 32768,
                           0.0f};
  QByteArray data;
  for (int i = 0; i < 41; ++i) // a tail that is not a multiple of four
    for (int k = 0; k < 2; ++k) {
      const float x = special[(i + 7 * k) % std::size(special)] * (i < 16 ? 1.0f : 0.9f);
      data.append(reinterpret_cast<const char*>(&x), 4);
    }
  const QByteArray wav = WavBuilder().fmt(2, 8000, 32, 18, 3).chunk("data", data).finish();
  TSoundFile fromWav, decoded;
  fromWav.LoadFromMemory(wav, "f.wav");
  decoded.LoadFromMemory(rf64Of(wav), "f.rf64");
  ASSERT_TRUE(decoded.SampleLayout().Decoded.has_value());
  EXPECT_EQ(decoded.SampleLayout().Decoded->Summary(), "RF64, 32-bit float");
  EXPECT_EQ(decoded.SoundData().Channels, fromWav.SoundData().Channels);
}
