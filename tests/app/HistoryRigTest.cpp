// SPDX-License-Identifier: GPL-3.0-or-later
// The capture history and `record` on the private sound server: a slow sweep
// fed into the FIFO microphone is paused on, scrolled back through, saved and
// recorded, and both the read-outs and the files are found to carry it at
// the right times, by frequency and sample for sample.
#include "WindowDriver.h"
#include "app/RecordCommand.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "audio/AudioRig.h"
#include "graph/Graphbox.h"
#include "wavefile/WaveFileParser.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <numbers>
#include <optional>
#include <sys/resource.h>
#include <vector>

using namespace duv;
using namespace duv::test;

namespace {

// The sweep: 300 Hz rising by 100 Hz a second, so every stretch of it has a
// frequency and a phase of its own.
constexpr double F0 = 300, Rise = 100, Amplitude = 12000;
double SweepHz(double samples)
{
  return F0 + Rise * samples / rig::PipeRate;
}
std::int16_t Sweep(std::int64_t n)
{
  const double t = double(n) / rig::PipeRate;
  return std::int16_t(
      std::lround(Amplitude * std::sin(2 * std::numbers::pi * (F0 * t + Rise * t * t / 2))));
}

// PulseAudio hands the samples over as written; PipeWire resamples them
// within a few units.
int Tolerance()
{
  return rig::OnPipeWire() ? 12 : 0;
}

// PipeWire also adapts the FIFO's rate to its own clock when the writer
// runs late on a busy machine: the stream then slips by fractions of a
// sample (some hundreds of units at the sweep's frequencies) and, now and
// then, by a whole one. Such a slip is not a break; a dropped or repeated
// stretch is.
constexpr int SlipUnits = 600, SlipSamples = 8;
bool Slipped(const std::vector<std::int16_t>& s, std::size_t i, std::int64_t& at)
{
  if (!rig::OnPipeWire() || i + 32 > s.size())
    return false;
  for (std::int64_t d = -SlipSamples; d <= SlipSamples; ++d) {
    int k = 0;
    while (k < 32 && std::abs(Sweep(at + d + k) - s[i + std::size_t(k)]) <= SlipUnits)
      ++k;
    if (k == 32) {
      at += d;
      return true;
    }
  }
  return false;
}

// Where the sweep holds S[From, From + 32): its sample number, searched
// for in [Lo, Hi) (by default its first minute).
std::optional<std::int64_t> Locate(const std::vector<std::int16_t>& s, std::size_t from,
                                   std::int64_t lo = 0, std::int64_t hi = 60 * rig::PipeRate)
{
  constexpr int Window = 32;
  if (from + Window > s.size())
    return std::nullopt;
  // Over 32 samples the sweep always reaches a third of its amplitude:
  // silence is told at once, not searched for through a minute.
  int loudest = 0;
  for (int i = 0; i < Window; ++i)
    loudest = std::max(loudest, std::abs(int(s[from + std::size_t(i)])));
  if (loudest < Amplitude / 3)
    return std::nullopt;
  for (std::int64_t n = std::max<std::int64_t>(lo, 0); n < hi; ++n) {
    int i = 0;
    while (i < Window && std::abs(Sweep(n + i) - s[from + std::size_t(i)]) <= Tolerance())
      ++i;
    if (i == Window)
      return n;
  }
  return std::nullopt;
}

// The sweep's sample number at S[0], found where the sweep first shows in
// S[0, Span): a server's break may hide it at the start.
std::optional<std::int64_t> LocateStart(const std::vector<std::int16_t>& s, std::size_t span)
{
  for (std::size_t i = 0; i < std::min(span, s.size()); i += 16)
    if (const auto n = Locate(s, i))
      return *n - std::int64_t(i);
  return std::nullopt;
}

// Where a stretch starts in the sweep (the sweep's sample number at its
// first sample), and where in the sweep it breaks off after it first shows:
// a sample that is not the sweep's next one. A source may open with a
// moment of silence or a fade, up to a second; after a break the sweep is
// looked for again within seconds.
struct Continuity
{
  std::optional<std::int64_t> Start;
  std::vector<std::int64_t> Breaks;
};
Continuity Follow(const std::vector<std::int16_t>& s)
{
  Continuity c;
  c.Start = LocateStart(s, rig::PipeRate);
  if (!c.Start) {
    c.Breaks.push_back(-1);
    return c;
  }
  std::size_t i = std::size_t(std::max<std::int64_t>(0, -*c.Start));
  std::optional<std::int64_t> at = Locate(s, i);
  while (i < s.size() && !at)
    at = Locate(s, i += 16);
  // Past a few dozen breaks the stretch is not the sweep: no point in
  // searching on (a sample that far off marks it).
  while (at && i < s.size() && c.Breaks.size() < 40) {
    if (std::abs(Sweep(*at) - s[i]) <= Tolerance() || Slipped(s, i, *at)) {
      ++*at;
      ++i;
      continue;
    }
    const std::int64_t was = *at;
    c.Breaks.push_back(was);
    at = Locate(s, i, was - rig::PipeRate / 2, was + 3 * rig::PipeRate);
    while (i < s.size() && !at)
      at = Locate(s, i += 16, was - rig::PipeRate / 2, was + 3 * rig::PipeRate);
  }
  return c;
}

// Whether a stretch is the sweep without a break of ours. PulseAudio hands
// the FIFO's samples over as written, so there must be none. PipeWire runs
// on its own clock and, when it falls behind on a busy machine, drops or
// pads a quantum in every client's stream: a few such breaks are the
// server's.
bool Continuous(const Continuity& c)
{
  return c.Start && c.Breaks.size() <= (rig::OnPipeWire() ? 4u : 0u);
}

std::vector<std::int16_t> Samples(const TSoundData& d)
{
  return {d.Channels[0].begin(), d.Channels[0].end()};
}

// Runs the program with Args; its exit code and standard error. Modify runs
// in the child before the program starts.
struct ProgramRun
{
  int Code = -1;
  QString Err, Out;
};
ProgramRun Program(const QStringList& args, int timeoutMs = 20000,
                   const std::function<void(QProcess&)>& whileRunning = {},
                   const std::function<void()>& inChild = {})
{
  QProcess p;
  if (inChild)
    p.setChildProcessModifier(inChild);
  p.start(DUVOVOVI_PROGRAM, args);
  ProgramRun r;
  if (!p.waitForStarted(5000))
    return r;
  if (whileRunning)
    whileRunning(p);
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    r.Err = "still running after the time allowed";
    return r;
  }
  r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.Err += QString::fromLocal8Bit(p.readAllStandardError());
  r.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
  return r;
}

TSoundData Load(const QString& path)
{
  TSoundFile f;
  f.SetFileName(path);
  return f.SoundData();
}

class HistoryRig : public ::testing::Test
{
protected:
  void SetUp() override { SKIP_WITHOUT_RIG(); }
  rig::MessageLog Log;
};

} // namespace

// Guards the history against the real input: a few seconds of the sweep,
// then Pause; while capture goes on, the views hold; scrolled back, each
// frame's peak read-out is the sweep's frequency at the time that frame was
// heard, a frame a step earlier lies a frame earlier in the sweep; and the
// part between two marks is saved as a file that is the sweep, sample for
// sample, from the first marked frame on.
TEST_F(HistoryRig, PauseScrollBackAndSaveCarryTheSignal)
{
  rig::PipeWriter writer(Sweep);
  TForm1 f;
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  TRealTimePage& rt = f.RealTimePage();
  ASSERT_TRUE(rt.SetFormat(wf44Khz_Mono_16Bit));
  constexpr int N = 4096; // bins of 10.8 Hz; the sweep moves 9.3 Hz a frame
  rt.SetBufferSize(N);
  Find<QToolButton>(rt, "Start").click();
  ASSERT_TRUE(rt.Capturing()) << Log.Messages.join("; ").toStdString();
  ASSERT_TRUE(rig::WaitFor([&] { return rt.History().Frames() >= 3 * 44100; }, 15000));
  QTest::keyClick(&f, Qt::Key_Space);
  ASSERT_TRUE(rt.Paused());
  const std::vector<TDataPoint> held = f.GraphPage().SpectrumGraph().Points();
  const std::int64_t end = rt.History().End();
  // Capture and the history go on.
  ASSERT_TRUE(rig::WaitFor([&] { return rt.History().End() > end + 44100 / 2; }, 15000));
  EXPECT_EQ(f.GraphPage().SpectrumGraph().Points().size(), held.size());
  EXPECT_EQ(f.GraphPage().SpectrumGraph().Points().front().Y, held.front().Y);

  std::optional<std::int64_t> newest;
  for (const int p : {0, -3, -12, -25}) {
    SCOPED_TRACE(p);
    rt.SetHistoryPosition(p);
    const auto [from, to] = rt.ShownFrame();
    ASSERT_EQ(to - from, N);
    std::vector<std::int16_t> frame(N);
    rt.History().ReadChannels(from, N, frame.data(), nullptr);
    const std::optional<std::int64_t> at = LocateStart(frame, N);
    ASSERT_TRUE(at) << "the shown frame is not the sweep";
    if (!newest) {
      newest = at;
    } else if (!rig::OnPipeWire()) { // PipeWire may drop a quantum when behind its clock
      EXPECT_EQ(*at, *newest + std::int64_t(p) * N);
    }
    const double peak = f.GraphPage().PeakText().section(' ', 0, 0).toDouble();
    EXPECT_NEAR(peak, SweepHz(*at + N / 2.0), 2 * 44100.0 / N);
  }

  rt.SetHistoryPosition(-25);
  Find<QPushButton>(rt, "Mark In").click();
  const std::int64_t first = rt.ShownFrame().first;
  std::vector<std::int16_t> firstFrame(N);
  rt.History().ReadChannels(first, N, firstFrame.data(), nullptr);
  rt.SetHistoryPosition(-2);
  Find<QPushButton>(rt, "Mark Out").click();
  QTemporaryDir dir;
  const QString path = dir.filePath("marked.wav");
  f.AskSaveFileName = [&](const QString&, const QString&, const QString&) { return path; };
  f.SaveCapture1->trigger();
  const TSoundData saved = Load(path);
  EXPECT_EQ(saved.SamplesPerChannel, 24 * N);
  const Continuity c = Follow(Samples(saved));
  ASSERT_TRUE(c.Start);
  EXPECT_EQ(c.Start, LocateStart(firstFrame, N));
  Find<QToolButton>(rt, "Stop").click();
  EXPECT_TRUE(Continuous(c)) << ::testing::PrintToString(c.Breaks);
  EXPECT_TRUE(Log.Messages.isEmpty()) << Log.Messages.join("; ").toStdString();
}

// Guards `record`: a file of the asked length in the asked format, that
// `info` and `peaks` read right and that is the sweep sample for sample;
// the best format by default; Ctrl+C ends it early with the file complete.
TEST_F(HistoryRig, RecordWritesTheAskedLength)
{
  // A writer for each recording: PipeWire takes nothing from the FIFO while
  // nothing records.
  std::optional<rig::PipeWriter> writer;
  QTemporaryDir dir;
  const QString two = dir.filePath("two.wav");
  writer.emplace(Sweep);
  ProgramRun r = Program({"record", "--seconds", "2", "--format", "44100-mono-16", two});
  writer.reset();
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  r = Program({"info", two});
  EXPECT_TRUE(r.Out.contains("Samples: 88200\n")) << r.Out.toStdString();
  EXPECT_TRUE(r.Out.contains("Hz: 44100\n") && r.Out.contains("Channels: 1\n"));
  const TSoundData d = Load(two);
  const Continuity c = Follow(Samples(d));
  ASSERT_TRUE(c.Start);
  EXPECT_TRUE(Continuous(c)) << ::testing::PrintToString(c.Breaks);
  r = Program({"peaks", two, "--offset", "1", "--size", "4096", "--count", "1"});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  const double peak = r.Out.section('\n', 1, 1).section(',', 0, 0).toDouble();
  EXPECT_NEAR(peak, SweepHz(*c.Start + 44100 + 2048), 2 * 44100.0 / 4096) << r.Out.toStdString();

  const QString best = dir.filePath("best.wav");
  writer.emplace(Sweep);
  ASSERT_EQ(Program({"record", "--seconds", "0.5", best}).Code, 0);
  writer.reset();
  EXPECT_TRUE(Program({"info", best}).Out.contains("Channels: 2\nHz: 44100\n"));

  const QString early = dir.filePath("early.wav");
  writer.emplace(Sweep);
  r = Program({"record", "--seconds", "60", "--format", "44100-mono-16", early}, 30000,
              [&](QProcess& p) {
                // Interrupted once a second more has gone to the input.
                rig::WaitFor([] { return rig::ClientRecordStreams() > 0; }, 10000);
                const std::int64_t fed = writer->Written();
                rig::WaitFor([&] { return writer->Written() > fed + 44100; }, 10000);
                // A process that is gone has the id 0, and kill(0) would
                // interrupt the test's whole process group.
                if (p.state() == QProcess::Running && p.processId() > 0)
                  ::kill(pid_t(p.processId()), SIGINT);
              });
  writer.reset();
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains("ended early")) << r.Err.toStdString();
  const TSoundData e = Load(early);
  EXPECT_GT(e.SamplesPerChannel, 44100 / 2);
  EXPECT_LT(e.SamplesPerChannel, 10 * 44100);
  const Continuity ce = Follow(Samples(e));
  EXPECT_TRUE(Continuous(ce)) << ::testing::PrintToString(ce.Breaks);
}

// Guards `record`'s failures: an input lost while recording, and a disk that
// fills up (a file size limit here), each end it with a message that says
// so and leave no file under the name, nor a scrap beside it.
TEST_F(HistoryRig, RecordFailuresLeaveNoFile)
{
  QTemporaryDir dir;
  const QString lost = dir.filePath("lost.wav");
  const QString fifo = "/tmp/duvovovi-rig-record-" + QString::number(getpid());
  const QString module =
      rig::Pactl({"load-module", "module-pipe-source", "source_name=rig_record", "file=" + fifo,
                  "source_properties=device.description=RigRecord"})
          .trimmed();
  struct Restore
  {
    ~Restore() { rig::SetDefaultSource("rig_pipe"); }
  } restore;
  ASSERT_TRUE(rig::WaitFor([] { return !rig::FindInput("RigRecord").isNull(); }, 3000));
  ASSERT_TRUE(rig::SetDefaultSource("rig_record"));
  ProgramRun r = Program({"record", "--seconds", "30", lost}, 15000, [&](QProcess&) {
    rig::WaitFor([] { return rig::RecordingFrom().contains("rig_record"); }, 5000);
    rig::Pactl({"unload-module", module});
  });
  EXPECT_EQ(r.Code, 1) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains("RigRecord")) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains("was not written")) << r.Err.toStdString();
  ASSERT_TRUE(rig::SetDefaultSource("rig_pipe"));

  rig::PipeWriter writer(Sweep);
  const QString full = dir.filePath("full.wav");
  r = Program({"record", "--seconds", "2", full}, 20000, {}, [] {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit small{32 * 1024, 32 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &small);
  });
  EXPECT_EQ(r.Code, 1) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains("Cannot write " + full)) << r.Err.toStdString();
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty())
      << QDir(dir.path()).entryList(QDir::Files).join(", ").toStdString();
}

namespace {

// The frames a WAV file written by `record` holds, after checking that its
// header tells its own length: the RIFF size counts everything after it,
// the pad byte of an odd data chunk too; the data size counts the samples
// alone. -1 when either is wrong.
std::int64_t HeaderFrames(const QString& path, int frameBytes)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return -1;
  const QByteArray b = f.readAll();
  const auto le32 = [&](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
  if (b.size() < 44)
    return -1;
  const std::int64_t data = le32(40);
  const bool sizesAgree = le32(4) == quint32(b.size() - 8) && 44 + data + (data & 1) == b.size();
  EXPECT_TRUE(sizesAgree) << path.toStdString() << ": RIFF " << le32(4) << ", data " << data
                          << ", file " << b.size();
  return sizesAgree && data % frameBytes == 0 ? data / frameBytes : -1;
}

} // namespace

// Guards lengths no WAV file holds: refused as a usage error before any
// device opens, however far they pass it (a count of bytes that wrapped
// once let 1e14 s record without end), and no file left.
TEST(RecordCommand, RefusesLengthsNoWavFileHolds)
{
  QTemporaryDir dir;
  const QString out = dir.filePath("long.wav");
  for (const char* seconds : {"1e9", "1e14", "1e300", "0.000001"}) {
    const ProgramRun r =
        Program({"record", "--seconds", seconds, "--format", "44100-stereo-16", out}, 5000);
    EXPECT_EQ(r.Code, 2) << seconds << ": " << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains("the seconds must make")) << r.Err.toStdString();
    EXPECT_FALSE(QFile::exists(out)) << seconds;
  }
}

// Guards what `record` writes and when it ends: a length that is no whole
// number of its buffers holds exactly seconds x rate frames, an odd 8-bit
// one with its pad byte counted by the RIFF size alone; after Ctrl+C the
// header tells what was written, not what was asked; a SIGINT ignored by
// whoever started it (a script's background job) does not end it.
TEST_F(HistoryRig, RecordHeadersAndInterrupts)
{
  QTemporaryDir dir;
  struct Case
  {
    const char* Seconds;
    const char* Format;
    int FrameBytes;
    std::int64_t Frames;
  };
  for (const Case c :
       {Case{"0.123", "44100-mono-16", 2, 5424}, Case{"0.0101", "11025-mono-8", 1, 111},
        Case{"0.0101", "48000-mono-24", 3, 485}, Case{"0.1", "96000-stereo-float", 8, 9600}}) {
    const QString path = dir.filePath(QStringLiteral("%1-%2.wav").arg(c.Seconds, c.Format));
    rig::PipeWriter writer(Sweep);
    const ProgramRun r = Program({"record", "--seconds", c.Seconds, "--format", c.Format, path});
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    EXPECT_EQ(HeaderFrames(path, c.FrameBytes), c.Frames) << c.Seconds << " s " << c.Format;
    if (c.FrameBytes < 3)
      continue;
    // Another reader takes the wide files' headers and samples as ours: sox
    // decodes them to floats, which match the data chunk read at its width.
    QProcess sox;
    sox.start("sox", {path, "-t", "raw", "-e", "floating-point", "-b", "32", "-"});
    ASSERT_TRUE(sox.waitForFinished(10000));
    EXPECT_EQ(sox.exitCode(), 0) << sox.readAllStandardError().toStdString();
    const QByteArray decoded = sox.readAllStandardOutput();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray wav = f.readAll();
    const TWaveDataFormat format = WaveTypeFormat(WaveTypeFromName(c.Format));
    ASSERT_EQ(decoded.size(), c.Frames * format.Channels * 4);
    const auto* data = reinterpret_cast<const unsigned char*>(wav.constData() + 44);
    double loudest = 0;
    for (std::int64_t i = 0; i < c.Frames * format.Channels; ++i) {
      float got;
      std::memcpy(&got, decoded.constData() + 4 * i, 4);
      const double want = std::ldexp(SampleValue(data, format, std::size_t(i)), 1 - 24);
      ASSERT_NEAR(got, want, 1e-6) << c.Format << " sample " << i;
      loudest = std::max(loudest, std::abs(want));
    }
    // At the sweep's level (the shortest file may begin in the source's
    // first silence).
    EXPECT_LE(loudest, Amplitude / 32768 + 0.01) << c.Format;
    if (c.Frames > 1000)
      EXPECT_GT(loudest, Amplitude / 32768 - 0.03) << c.Format;
  }

  // Interrupted once a second more has gone to the input: with SIGINT
  // ignored it runs on to its end.
  for (const bool ignored : {false, true}) {
    SCOPED_TRACE(ignored ? "SIGINT ignored" : "SIGINT");
    const QString path = dir.filePath(ignored ? "ignored.wav" : "interrupted.wav");
    std::optional<rig::PipeWriter> writer(std::in_place, Sweep);
    const ProgramRun r = Program(
        {"record", "--seconds", ignored ? "3" : "60", "--format", "11025-mono-8", path}, 30000,
        [&](QProcess& p) {
          rig::WaitFor([] { return rig::ClientRecordStreams() > 0; }, 10000);
          const std::int64_t fed = writer->Written();
          rig::WaitFor([&] { return writer->Written() > fed + 44100; }, 10000);
          if (p.state() == QProcess::Running && p.processId() > 0) // never kill(0)
            ::kill(pid_t(p.processId()), SIGINT);
        },
        [ignored] { ::signal(SIGINT, ignored ? SIG_IGN : SIG_DFL); });
    writer.reset();
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Err.contains("ended early"), !ignored) << r.Err.toStdString();
    const std::int64_t frames = HeaderFrames(path, 1);
    if (ignored)
      EXPECT_EQ(frames, 3 * 11025);
    else
      EXPECT_GT(frames, 11025 / 2);
    EXPECT_EQ(Load(path).SamplesPerChannel, frames);
  }
}
