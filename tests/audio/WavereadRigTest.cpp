// SPDX-License-Identifier: GPL-3.0-or-later
// Capture against the rig: formats, tone capture, buffer circulation, Stop,
// failures and a sustained run with a counting signal.
#include "AudioRig.h"
#include "audio/Waveread.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstring>
#include <fftw3.h>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace duv;

namespace {

// One channel of an interleaved buffer as doubles around zero.
std::vector<double> Channel(const void* buffer, int count, const TWaveDataFormat& f, int channel)
{
  std::vector<double> x(static_cast<std::size_t>(count));
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  const double silent = f.BytesPerSample == 1 ? 128.0 : 0.0;
  for (int i = 0; i < count; ++i)
    x[std::size_t(i)] = SampleValue(bytes, f, std::size_t(i * f.Channels + channel)) - silent;
  return x;
}

// The bin of the largest magnitude among 1 ... N/2-1.
int PeakBin(std::vector<double> x)
{
  const int n = int(x.size());
  std::vector<std::complex<double>> out(std::size_t(n / 2 + 1));
  fftw_plan plan =
      fftw_plan_dft_r2c_1d(n, x.data(), reinterpret_cast<fftw_complex*>(out.data()), FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  int best = 1;
  for (int k = 1; k < n / 2; ++k)
    if (std::abs(out[std::size_t(k)]) > std::abs(out[std::size_t(best)]))
      best = k;
  return best;
}

struct Captured
{
  std::vector<std::vector<char>> Buffers;
  std::vector<int> Counts;
  std::vector<TWaveDataFormat> Formats;
  std::vector<int> OutstandingInside;
};

// Records every buffer handed to OnWaveIn (as many bytes as the format says).
void Record(TWaveReader& reader, Captured& c)
{
  reader.OnWaveIn = [&c](TWaveReader* r, const void* buffer, int count, const TWaveDataFormat& f) {
    const auto* p = static_cast<const char*>(buffer);
    c.Buffers.emplace_back(p, p + std::size_t(count) * f.Channels * f.BytesPerSample);
    c.Counts.push_back(count);
    c.Formats.push_back(f);
    c.OutstandingInside.push_back(r->Outstanding());
  };
}

class WaveReaderRig : public ::testing::Test
{
protected:
  void SetUp() override { SKIP_WITHOUT_RIG(); }
  rig::MessageLog Log;
};

} // namespace

// Guards the format query: the rig's input accepts every format and they
// must be listed in table order with their values.
TEST_F(WaveReaderRig, ListsEveryFormatOfTheDefaultInput)
{
  TWaveReader reader;
  EXPECT_EQ(reader.Device().description().toStdString(), "RigPipe");
  QComboBox combo;
  reader.SetComboBox(&combo);
  ASSERT_EQ(combo.count(), WaveTypeCount);
  for (int t = 1; t <= WaveTypeCount; ++t) {
    EXPECT_EQ(combo.itemText(t - 1), WaveTypeCaption(t));
    EXPECT_EQ(combo.itemData(t - 1).toInt(), t);
  }
  EXPECT_EQ(combo.itemText(11), "44.1 kHz, Stereo, 16-bit");
  EXPECT_EQ(reader.WaveType(), wf11Khz_Mono_8Bit);
  EXPECT_TRUE(Log.Messages.isEmpty());
}

// Guards sample layout, buffer size, format record and rate in every format:
// a 1 kHz tone must peak in its FFT bin on each channel.
TEST_F(WaveReaderRig, CapturesAToneInEachFormat)
{
  rig::PipeWriter writer(rig::Tone(1000.0));
  TWaveReader reader;
  reader.SetSampleCount(1024);
  for (int t = 1; t <= WaveTypeCount; ++t) {
    SCOPED_TRACE(WaveTypeCaption(t).toStdString());
    Captured c;
    Record(reader, c);
    reader.SetWaveType(TWaveTypes(t));
    reader.Start();
    ASSERT_TRUE(reader.IsActive());
    // The first buffers may still hold what the source had before the tone.
    ASSERT_TRUE(rig::WaitFor([&] { return c.Buffers.size() >= 4; }, 5000));
    reader.Stop();
    const TWaveDataFormat want = WaveTypeFormat(t);
    const int bin = int(std::lround(1000.0 * 1024 / want.SampleRate));
    for (std::size_t i = 0; i < c.Buffers.size(); ++i) {
      EXPECT_EQ(c.Counts[i], 1024);
      EXPECT_EQ(c.Formats[i], want);
    }
    // The third buffer is a full one from the middle of the capture.
    // The FIFO's tone has amplitude 16000 of 32768: 62.5 steps in 8-bit.
    const double amplitude = std::ldexp(16000, SampleBits(want) - 16);
    for (int ch = 0; ch < want.Channels; ++ch) {
      const auto x = Channel(c.Buffers[2].data(), 1024, want, ch);
      EXPECT_EQ(PeakBin(x), bin) << "channel " << ch;
      double peak = 0;
      for (double v : x)
        peak = std::max(peak, std::abs(v));
      EXPECT_NEAR(peak, amplitude, amplitude * 0.05) << "channel " << ch;
    }
    EXPECT_FALSE(reader.IsActive());
  }
  EXPECT_TRUE(Log.Messages.isEmpty()) << Log.Messages.join('\n').toStdString();
}

// Guards the wide formats on the path a desktop's sound takes: a tone played
// to rig_out is captured from rig_loop at 48 and 96 kHz, 24-bit and float,
// at its frequency and at its level on the format's own scale.
TEST_F(WaveReaderRig, CapturesAPlayedToneInTheWideFormats)
{
  // Half of full scale at 1 kHz, 48 kHz 16-bit, for 20 s (ended early).
  QTemporaryDir dir;
  const QString wav = dir.filePath("tone.wav");
  {
    QFile f(wav);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const int rate = 48000, frames = 20 * rate;
    QByteArray data(2 * frames, Qt::Uninitialized);
    for (int i = 0; i < frames; ++i) {
      const auto v = std::int16_t(std::lround(16384 * std::sin(2 * M_PI * 1000.0 * i / rate)));
      std::memcpy(data.data() + 2 * i, &v, 2);
    }
    const WAVEFORMATEX w = MakeWaveFormat({rate, 2, 1});
    QByteArray h("RIFF");
    const auto le = [&h](std::uint32_t v, int n) {
      for (int k = 0; k < n; ++k)
        h.append(char(v >> (8 * k)));
    };
    le(36 + data.size(), 4);
    h.append("WAVEfmt ");
    le(16, 4);
    h.append(reinterpret_cast<const char*>(&w), 16);
    h.append("data");
    le(data.size(), 4);
    f.write(h + data);
  }
  QProcess player;
  player.start("paplay", {"--device=rig_out", wav});
  ASSERT_TRUE(player.waitForStarted());
  TWaveReader reader;
  reader.SetDevice(rig::FindInput("RigLoop"));
  reader.SetSampleCount(4096);
  for (const TWaveTypes t :
       {wf48Khz_Stereo_24Bit, wf48Khz_Mono_Float, wf96Khz_Mono_24Bit, wf96Khz_Stereo_Float}) {
    SCOPED_TRACE(WaveTypeCaption(t).toStdString());
    Captured c;
    Record(reader, c);
    reader.SetWaveType(t);
    reader.Start();
    ASSERT_TRUE(reader.IsActive());
    ASSERT_TRUE(rig::WaitFor([&] { return c.Buffers.size() >= 6; }, 5000));
    reader.Stop();
    const TWaveDataFormat want = WaveTypeFormat(t);
    ASSERT_EQ(c.Formats.back(), want);
    const auto x = Channel(c.Buffers[4].data(), 4096, want, want.Channels - 1);
    EXPECT_NEAR(PeakBin(x), 1000.0 * 4096 / want.SampleRate, 1.0);
    double peak = 0;
    for (double v : x)
      peak = std::max(peak, std::abs(v));
    // A mono capture of the stereo loopback is the server's mix of its two
    // channels: PipeWire keeps the power (-3 dB), PulseAudio the level.
    const double level = peak / std::ldexp(1.0, SampleBits(want) - 1);
    EXPECT_TRUE(std::abs(level - 0.5) < 0.03 ||
                (want.Channels == 1 && std::abs(level - std::sqrt(0.5)) < 0.03))
        << level;
  }
  player.kill();
  player.waitForFinished();
  EXPECT_TRUE(Log.Messages.isEmpty()) << Log.Messages.join('\n').toStdString();
}

// Guards against stale audio: PipeWire's pipe source reads only while
// something records, so the FIFO keeps what an earlier writer fed after its
// capture ended; the next capture must hear its own signal from the start.
TEST_F(WaveReaderRig, ANewSignalIsNotPrecededByAnOldOne)
{
  const int oldBin = int(std::lround(440.0 * 512 / 44100)), newBin = 35; // 3014.6 Hz
  {
    rig::PipeWriter earlier(rig::Tone(440.0));
    TWaveReader reader;
    reader.SetWaveType(wf44Khz_Mono_16Bit);
    reader.Start();
    rig::Spin(300);
    reader.Stop();
    rig::Spin(1000); // time enough to fill the FIFO where nothing reads it
  }
  rig::PipeWriter writer(rig::Tone(newBin * 44100.0 / 512));
  TWaveReader reader;
  reader.SetWaveType(wf44Khz_Mono_16Bit);
  reader.SetSampleCount(512);
  Captured c;
  Record(reader, c);
  reader.Start();
  ASSERT_TRUE(rig::WaitFor([&] { return c.Buffers.size() >= 12; }, 5000));
  reader.Stop();
  const TWaveDataFormat f = WaveTypeFormat(wf44Khz_Mono_16Bit);
  std::vector<int> peaks;
  for (const auto& b : c.Buffers)
    peaks.push_back(PeakBin(Channel(b.data(), 512, f, 0)));
  const std::string seen = ::testing::PrintToString(peaks);
  EXPECT_EQ(std::count(peaks.begin(), peaks.end(), oldBin), 0) << seen;
  // The source may start with a moment of silence, but not a long one.
  EXPECT_EQ(std::count(peaks.begin() + 3, peaks.end() - 4, newBin),
            std::ptrdiff_t(peaks.size()) - 7)
      << seen;
}

// Guards the circulation and Stop: four buffers with the device between
// notices, three inside OnWaveIn; Stop returns only after all four came back
// through OnWaveIn, queues none again and releases the device.
TEST_F(WaveReaderRig, StopHandsBackFourBuffersAndQueuesNone)
{
  rig::PipeWriter writer(rig::Tone(440.0));
  TWaveReader reader;
  reader.SetWaveType(wf44Khz_Stereo_16Bit);
  reader.SetSampleCount(1024);
  Captured c;
  Record(reader, c);
  reader.Start();
  ASSERT_TRUE(rig::WaitFor([&] { return c.Buffers.size() >= 8; }, 5000));
  EXPECT_EQ(reader.Outstanding(), 4);
  for (int inside : c.OutstandingInside)
    EXPECT_EQ(inside, 3);
  EXPECT_EQ(rig::ClientRecordStreams(), 1);

  const std::size_t before = c.Buffers.size();
  reader.Stop();
  EXPECT_EQ(c.Buffers.size() - before, 4u);
  EXPECT_FALSE(reader.IsActive());
  EXPECT_EQ(reader.Outstanding(), 0);
  for (std::size_t i = before; i < c.Buffers.size(); ++i)
    EXPECT_EQ(c.Buffers[i].size(), 4096u); // 44.1 kHz stereo 16-bit, 1024 frames
  rig::Spin(300);
  EXPECT_EQ(c.Buffers.size(), before + 4);
  EXPECT_TRUE(rig::WaitFor([] { return rig::ClientRecordStreams() == 0; }, 3000));
}

// Guards Stop's handling of partly filled buffers: what the device did not
// fill must read as silence (0 for 16-bit, the mid level 128 for unsigned
// 8-bit), not as the buffer's contents from its previous filling. Of the four
// buffers Stop hands back only the one being filled holds input.
TEST_F(WaveReaderRig, UnfilledRestOfReturnedBuffersIsSilence)
{
  rig::PipeWriter writer(rig::Tone(440.0));
  // Channel() centres 8-bit samples on their mid level, so silence is 0 in
  // both widths.
  for (const TWaveTypes type : {wf44Khz_Mono_16Bit, wf44Khz_Mono_8Bit}) {
    const TWaveDataFormat format = WaveTypeFormat(type);
    SCOPED_TRACE(format.BytesPerSample * 8);
    TWaveReader reader;
    reader.SetWaveType(type);
    reader.SetSampleCount(8192); // 186 ms: Stop lands inside a buffer
    Captured c;
    Record(reader, c);
    reader.Start();
    ASSERT_TRUE(rig::WaitFor([&] { return c.Buffers.size() >= 5; }, 5000));
    rig::Spin(60);
    // A buffer filled before Stop but not yet handed over is whole input.
    QCoreApplication::sendPostedEvents(&reader, TWaveReader::BufferDoneEvent());
    const std::size_t before = c.Buffers.size();
    reader.Stop();
    ASSERT_EQ(c.Buffers.size(), before + 4);
    int holding = 0;
    for (std::size_t i = before; i < c.Buffers.size(); ++i) {
      const auto x = Channel(c.Buffers[i].data(), 8192, format, 0);
      holding += std::any_of(x.begin(), x.end(), [](double v) { return v != 0; });
    }
    EXPECT_LE(holding, 1);
  }
}

// Takes every input of the rig away (the FIFO microphone and the loopback)
// and brings them back, with the FIFO microphone as the default again.
class InputsUnplugged
{
public:
  InputsUnplugged()
  {
    for (const QString& line : rig::Pactl({"list", "short", "modules"}).split('\n')) {
      const QStringList f = line.split('\t');
      if (f.size() >= 3 &&
          (f[2].startsWith("source_name=rig_pipe ") || f[2].startsWith("source_name=rig_loop "))) {
        Modules << qMakePair(f[1], f[2]);
        Ids.prepend(f[0]); // the loopback goes first, and comes back last
      }
    }
    for (const QString& id : Ids)
      rig::Pactl({"unload-module", id});
  }
  ~InputsUnplugged()
  {
    for (const auto& [name, args] : Modules)
      rig::Pactl(QStringList{"load-module", name} + QProcess::splitCommand(args));
    rig::SetDefaultSource("rig_pipe");
    rig::WaitFor(
        [] { return !rig::FindInput("RigPipe").isNull() && !rig::FindInput("RigLoop").isNull(); },
        5000);
  }
  int Count() const { return int(Modules.size()); }

private:
  QList<QPair<QString, QString>> Modules;
  QStringList Ids;
};

// Guards the reader when every input has gone: Start names the input in use
// (the one the user chose, or the default one it follows), the format list
// and the user's format stay, and capture starts in that format once the
// input is back.
TEST_F(WaveReaderRig, EveryInputGoneKeepsTheInputAndTheFormat)
{
  for (const bool chosen : {false, true}) {
    const QString name = chosen ? "RigLoop" : "RigPipe";
    SCOPED_TRACE(name.toStdString());
    Log.Messages.clear();
    TWaveReader reader;
    QComboBox combo;
    reader.SetComboBox(&combo);
    if (chosen)
      reader.SetDevice(rig::FindInput(name));
    reader.SetWaveType(wf44Khz_Stereo_16Bit);
    {
      InputsUnplugged gone;
      ASSERT_EQ(gone.Count(), 2);
      ASSERT_TRUE(rig::WaitFor([] { return QMediaDevices::audioInputs().isEmpty(); }, 5000));
      reader.Start();
      EXPECT_FALSE(reader.IsActive());
      ASSERT_EQ(Log.Messages.size(), 1) << Log.Messages.join('\n').toStdString();
      EXPECT_TRUE(Log.Messages[0].contains(name)) << Log.Messages[0].toStdString();
      EXPECT_EQ(combo.count(), WaveTypeCount);
      EXPECT_EQ(reader.WaveType(), wf44Khz_Stereo_16Bit);
    }
    ASSERT_FALSE(rig::FindInput(name).isNull());
    reader.Start();
    EXPECT_TRUE(reader.IsActive());
    EXPECT_EQ(reader.Device().description(), name);
    EXPECT_EQ(reader.WaveType(), wf44Khz_Stereo_16Bit);
    reader.Stop();
    EXPECT_EQ(Log.Messages.size(), 1);
  }
}

// Guards the choice of input: the reader starts on the server's default
// source, not on the first input listed, follows a change of the default at
// its next Start, falls back to the first input when the default is one Qt
// does not list, and keeps to an input the user chose.
TEST_F(WaveReaderRig, FollowsTheServersDefaultInput)
{
  struct Restore
  {
    ~Restore() { rig::SetDefaultSource("rig_pipe"); }
  } restore;
  ASSERT_TRUE(rig::SetDefaultSource("rig_loop")); // listed after RigPipe
  TWaveReader reader;
  EXPECT_EQ(reader.Device().description().toStdString(), "RigLoop");
  reader.SetWaveType(wf44Khz_Mono_16Bit);
  const auto recordsFrom = [&](const QString& source) {
    reader.Start();
    const bool ok = rig::WaitFor([&] { return rig::RecordingFrom() == QStringList{source}; }, 3000);
    reader.Stop();
    return ok;
  };
  EXPECT_TRUE(recordsFrom("rig_loop")) << rig::RecordingFrom().join(", ").toStdString();

  ASSERT_TRUE(rig::SetDefaultSource("rig_pipe"));
  EXPECT_EQ(reader.Device().description().toStdString(), "RigLoop"); // until the next Start
  EXPECT_TRUE(recordsFrom("rig_pipe"));
  EXPECT_EQ(reader.Device().description().toStdString(), "RigPipe");

  // Qt lists no monitors; a desktop without a microphone may have one as its
  // default all the same.
  ASSERT_TRUE(rig::SetDefaultSource("rig_loop"));
  EXPECT_TRUE(recordsFrom("rig_loop"));
  ASSERT_TRUE(rig::SetDefaultSource("rig_out.monitor"));
  EXPECT_TRUE(recordsFrom("rig_pipe"));

  ASSERT_TRUE(rig::SetDefaultSource("rig_pipe"));
  reader.SetDevice(rig::FindInput("RigLoop"));
  EXPECT_FALSE(reader.FollowsDefault());
  EXPECT_TRUE(recordsFrom("rig_loop"));
  EXPECT_TRUE(Log.Messages.isEmpty()) << Log.Messages.join('\n').toStdString();
}

// Guards Start's idempotence: a second Start while running opens nothing.
TEST_F(WaveReaderRig, StartTwiceOpensOnce)
{
  TWaveReader reader;
  reader.SetWaveType(wf22Khz_Mono_16Bit);
  reader.Start();
  reader.Start();
  EXPECT_TRUE(reader.IsActive());
  EXPECT_EQ(rig::ClientRecordStreams(), 1);
  reader.Stop();
  reader.Stop(); // a second Stop is ignored
  EXPECT_FALSE(reader.IsActive());
}

// Guards the failure paths of Start: no format, no sensible size, a chosen
// input that has gone; each leaves the reader Idle with a message.
TEST_F(WaveReaderRig, RefusedStartsLeaveTheReaderIdle)
{
  TWaveReader reader;
  QComboBox combo;
  reader.SetComboBox(&combo);
  reader.SetWaveType(wfNone);
  reader.Start();
  EXPECT_FALSE(reader.IsActive());
  ASSERT_EQ(Log.Messages.size(), 1);

  reader.SetWaveType(wf44Khz_Mono_16Bit);
  reader.SetSampleCount(0);
  reader.Start();
  EXPECT_FALSE(reader.IsActive());
  EXPECT_EQ(Log.Messages.size(), 2);
  reader.SetSampleCount(256);

  // A chosen input that is unplugged before Start.
  const QString pipe = rig::Pactl({"load-module", "module-pipe-source", "source_name=rig_gone",
                                   "file=/tmp/duvovovi-rig-gone-" + QString::number(getpid()),
                                   "source_properties=device.description=RigGone"})
                           .trimmed();
  ASSERT_TRUE(rig::WaitFor([] { return !rig::FindInput("RigGone").isNull(); }, 3000));
  reader.SetDevice(rig::FindInput("RigGone"));
  EXPECT_EQ(combo.count(), WaveTypeCount);
  EXPECT_EQ(reader.WaveType(), wf44Khz_Mono_16Bit); // the choice survives the new input
  rig::Pactl({"unload-module", pipe});
  ASSERT_TRUE(rig::WaitFor([] { return rig::FindInput("RigGone").isNull(); }, 3000));
  reader.Start();
  EXPECT_FALSE(reader.IsActive());
  ASSERT_EQ(Log.Messages.size(), 3);
  EXPECT_TRUE(Log.Messages[2].contains("RigGone"));
}

// Guards against a hang or a zombie capture when the input is unplugged
// while recording: the reader ends Idle with a message.
TEST_F(WaveReaderRig, InputRemovedWhileCapturingStopsWithAMessage)
{
  const QString fifo = "/tmp/duvovovi-rig-unplug-" + QString::number(getpid());
  const QString module =
      rig::Pactl({"load-module", "module-pipe-source", "source_name=rig_unplug", "file=" + fifo,
                  "source_properties=device.description=RigUnplug"})
          .trimmed();
  ASSERT_TRUE(rig::WaitFor([] { return !rig::FindInput("RigUnplug").isNull(); }, 3000));
  TWaveReader reader;
  reader.SetDevice(rig::FindInput("RigUnplug"));
  reader.SetWaveType(wf44Khz_Mono_16Bit);
  int buffers = 0;
  reader.OnWaveIn = [&](TWaveReader*, const void*, int, const TWaveDataFormat&) { ++buffers; };
  reader.Start();
  ASSERT_TRUE(reader.IsActive());
  rig::Pactl({"unload-module", module});
  EXPECT_TRUE(rig::WaitFor([&] { return !reader.IsActive(); }, 5000));
  ASSERT_EQ(Log.Messages.size(), 1);
  EXPECT_TRUE(Log.Messages[0].contains("RigUnplug")) << Log.Messages[0].toStdString();
  EXPECT_GE(buffers, 4); // the four queued buffers still came back
}

// Guards the destructor: a reader destroyed while capturing releases the
// device instead of leaving a stream (and a dangling callback) behind.
TEST_F(WaveReaderRig, DestroyingARunningReaderStopsIt)
{
  rig::PipeWriter writer(rig::Tone(440.0));
  int calls = 0;
  {
    TWaveReader reader;
    reader.SetWaveType(wf44Khz_Mono_16Bit);
    reader.OnWaveIn = [&](TWaveReader*, const void*, int, const TWaveDataFormat&) { ++calls; };
    reader.Start();
    ASSERT_TRUE(rig::WaitFor([&] { return calls >= 2; }, 5000));
  }
  const int atDestruction = calls;
  rig::Spin(200);
  EXPECT_EQ(calls, atDestruction);
  EXPECT_TRUE(rig::WaitFor([] { return rig::ClientRecordStreams() == 0; }, 3000));
}

// Guards against a double destruction of the capture device: a reader
// stopped from a queued call and destroyed after one turn of the event loop,
// while the device's deferred delete is still pending, must not crash.
TEST_F(WaveReaderRig, DestroyedAfterAQueuedStop)
{
  rig::PipeWriter writer(rig::Tone(440.0));
  for (int round = 0; round < 3; ++round) {
    auto reader = std::make_unique<TWaveReader>();
    reader->SetWaveType(wf44Khz_Mono_16Bit);
    reader->Start();
    ASSERT_TRUE(reader->IsActive());
    rig::Spin(50);
    QMetaObject::invokeMethod(
        reader.get(), [&] { reader->Stop(); }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    EXPECT_FALSE(reader->IsActive());
    reader.reset();
  }
  EXPECT_TRUE(rig::WaitFor([] { return rig::ClientRecordStreams() == 0; }, 3000));
}

// Guards against an exception from OnWaveIn unwinding through the event
// loop: capture stops and the exception's text reaches the user.
TEST_F(WaveReaderRig, FailingHandlerStopsCaptureWithItsMessage)
{
  rig::PipeWriter writer(rig::Tone(440.0));
  TWaveReader reader;
  reader.SetWaveType(wf22Khz_Mono_8Bit);
  reader.OnWaveIn = [](TWaveReader*, const void*, int, const TWaveDataFormat&) {
    throw std::runtime_error("analysis failed");
  };
  reader.Start();
  EXPECT_TRUE(rig::WaitFor([&] { return !reader.IsActive(); }, 5000));
  EXPECT_EQ(Log.Messages, QStringList{"analysis failed"});
}

// Guards the deadline of Stop: when the buffers never come back (their
// notices are lost), Stop still returns and leaves the reader Idle.
TEST_F(WaveReaderRig, StopReturnsWhenBuffersNeverComeBack)
{
  struct Swallow : QObject
  {
    bool eventFilter(QObject*, QEvent* e) override
    {
      return e->type() == TWaveReader::BufferDoneEvent();
    }
  } swallow;
  TWaveReader reader;
  reader.SetWaveType(wf11Khz_Mono_8Bit);
  reader.Start();
  ASSERT_TRUE(reader.IsActive());
  reader.installEventFilter(&swallow);
  QElapsedTimer t;
  t.start();
  reader.Stop();
  EXPECT_LT(t.elapsed(), TWaveReader::StopDeadlineMs + 2000);
  EXPECT_FALSE(reader.IsActive());
  EXPECT_EQ(reader.Outstanding(), 0);
  reader.removeEventFilter(&swallow);
  reader.Start(); // and it can capture again
  EXPECT_TRUE(reader.IsActive());
}

// Guards against losing input silently: when the GUI thread is held for
// longer than the device's buffer lasts (4 MiB on both servers, 23.8 s of
// 44.1 kHz stereo 16-bit), the reader counts what was lost, and says so,
// instead of going on as if nothing had happened.
TEST_F(WaveReaderRig, HeldGuiThreadCountsTheInputLost)
{
  constexpr int HeldS = 30;
  rig::PipeWriter writer(rig::Tone(440.0));
  TWaveReader reader;
  reader.SetWaveType(wf44Khz_Stereo_16Bit);
  reader.SetSampleCount(256);
  std::vector<double> told;
  QObject::connect(&reader, &TWaveReader::InputLostChanged, [&](double s) { told.push_back(s); });
  reader.Start();
  rig::Spin(2000);
  EXPECT_EQ(reader.InputLost(), 0);
  QThread::sleep(HeldS);
  rig::Spin(2000);
  reader.Stop();
  const double lost = reader.InputLost();
  std::printf("held the GUI thread for %d s: %.2f s of input lost, told %zu times\n", HeldS, lost,
              told.size());
  EXPECT_NEAR(lost, HeldS - 4.0 * 1024 * 1024 / 176400, 1.0);
  ASSERT_FALSE(told.empty());
  EXPECT_EQ(told.back(), lost);
  // The count belongs to one capture: the next one starts from nothing.
  reader.Start();
  EXPECT_EQ(reader.InputLost(), 0);
  EXPECT_EQ(told.back(), 0);
}

// A triangle between -TriangleTop and TriangleTop that moves by one step a
// sample. Its slope is the same everywhere, so a lost or repeated stretch
// shows as a jump even after a resampler, which keeps a straight line
// straight; a sawtooth's jump back would ring there instead.
constexpr int TriangleTop = 30000;

std::int16_t Triangle(std::int64_t n)
{
  const auto p = int(n % (4 * TriangleTop));
  return std::int16_t(p < TriangleTop       ? p
                      : p < 3 * TriangleTop ? 2 * TriangleTop - p
                                            : p - 4 * TriangleTop);
}

constexpr int TrianglePeriod = 4 * TriangleTop;

// Follows a captured triangle by its position in the writer's sequence
// (modulo the triangle's period, 2.7 s) and notes where that position jumps:
// a stretch lost, repeated or interrupted. Exact, every sample must be the
// triangle's value at its position; resampled (PipeWire), within Tolerance,
// and near the tops, whose corners a resampler rounds, not at all. A wobble
// that leaves the position where it would have been is no break.
class TrianglePositions
{
public:
  struct Break
  {
    std::int64_t At; // samples into the stream
    int From, To;    // the last position before, the first one after
    int Jump;        // how far To is from where the triangle would have gone on
  };

  explicit TrianglePositions(int tolerance) : Tolerance(tolerance) {}

  void Add(int v)
  {
    const std::int64_t at = Count++;
    if (Locked) {
      const int next = (Position + 1) % TrianglePeriod;
      const int want = Triangle(next);
      if (std::abs(want) > TriangleTop - Corner || std::abs(v - want) <= Tolerance) {
        Position = LastPosition = next;
        LastGood = at;
        return;
      }
      Locked = false;
      Window.clear();
    }
    Window.push_back(v);
    if (int(Window.size()) > Acquire)
      Window.erase(Window.begin());
    int found = 0;
    if (int(Window.size()) == Acquire && Fit(found)) {
      const int start = found;
      Position = (found + Acquire - 1) % TrianglePeriod;
      Locked = true;
      if (LastGood >= 0) {
        // Where the position would be had nothing been lost or inserted.
        const std::int64_t gap = at - Acquire + 1 - LastGood;
        const int continued = int((LastPosition + gap) % TrianglePeriod);
        if (Distance(continued, start) > Tolerance + 2) {
          int jump = (start - continued) % TrianglePeriod;
          jump += jump > TrianglePeriod / 2     ? -TrianglePeriod
                  : jump <= -TrianglePeriod / 2 ? TrianglePeriod
                                                : 0;
          Breaks.push_back({LastGood + 1, LastPosition, start, jump});
        }
      }
      LastGood = at;
    }
    if (Locked)
      LastPosition = Position;
  }

  // Circular distance of two positions.
  static int Distance(int a, int b)
  {
    const int d = std::abs(a - b) % TrianglePeriod;
    return std::min(d, TrianglePeriod - d);
  }

  std::vector<Break> Breaks;
  std::int64_t Count = 0;

private:
  static constexpr int Acquire = 16, Corner = 64;

  // The position of the window's first sample, when the window lies on one
  // slope of the triangle away from its tops.
  bool Fit(int& found) const
  {
    const int first = Window.front(), last = Window.back();
    // Not near the tops, nor near zero, where a server's silence fades in
    // and out.
    if (std::abs(first) > TriangleTop - Corner || std::abs(last) > TriangleTop - Corner ||
        std::min(std::abs(first), std::abs(last)) < Corner ||
        std::abs(std::abs(last - first) - (Acquire - 1)) > 2 * Tolerance + 2)
      return false;
    const int p =
        last > first ? (first >= 0 ? first : first + TrianglePeriod) : 2 * TriangleTop - first;
    for (int i = 0; i < Acquire; ++i)
      if (std::abs(Window[std::size_t(i)] - Triangle((p + i) % TrianglePeriod)) > Tolerance)
        return false;
    found = p;
    return true;
  }

  int Tolerance;
  bool Locked = false;
  int Position = 0, LastPosition = 0;
  std::int64_t LastGood = -1;
  std::vector<int> Window;
};

// The breaks of Mine that Other shows at neither end. A server that falls
// behind breaks the streams of all its clients at the same place, but not
// always alike: one may get a stretch of silence where another gets a jump,
// and its resamplers smear a break over a few dozen samples.
std::vector<TrianglePositions::Break> Unshared(const TrianglePositions& mine,
                                               const TrianglePositions& other)
{
  constexpr int Slack = 64;
  std::vector<TrianglePositions::Break> own;
  for (const auto& b : mine.Breaks)
    if (std::none_of(other.Breaks.begin(), other.Breaks.end(), [&](const auto& o) {
          return TrianglePositions::Distance(b.From, o.From) <= Slack ||
                 TrianglePositions::Distance(b.To, o.To) <= Slack;
        }))
      own.push_back(b);
  return own;
}

// Guards against losing, repeating or reordering data under sustained load:
// 60 s of a triangle at 44.1 kHz stereo 16-bit in 256-frame buffers. The
// reader is judged against an independent recorder of the same source, not
// against the wall clock: a server without real-time scheduling on a busy
// machine falls behind the clock, and then both see the same breaks at the
// same positions. Only a break that the reader alone shows, or input it
// counts as lost, is its fault.
TEST_F(WaveReaderRig, SustainedCaptureLosesNothing)
{
  const bool exact = !rig::OnPipeWire();
  const int tolerance = exact ? 0 : 8;
  rig::PipeWriter writer(Triangle);
  rig::ServerWatch server;
  rig::Recorder recorder("rig_pipe");
  ASSERT_TRUE(recorder.Started()) << "parec did not start";
  // The recorder is on before the reader and stays on after it, so every
  // stretch the reader gets has a counterpart.
  ASSERT_TRUE(rig::WaitFor([&] { return recorder.Count() > 44100 / 2; }, 5000));
  TWaveReader reader;
  reader.SetWaveType(wf44Khz_Stereo_16Bit);
  reader.SetSampleCount(256);
  std::int64_t frames = 0, mismatched = 0;
  TrianglePositions mine(tolerance);
  bool counting = true;
  reader.OnWaveIn = [&](TWaveReader*, const void* buffer, int count, const TWaveDataFormat&) {
    if (!counting)
      return; // the buffers Stop hands back are partly empty
    const auto* s = static_cast<const std::int16_t*>(buffer);
    for (int i = 0; i < count; ++i) {
      if (s[2 * i] != s[2 * i + 1])
        ++mismatched;
      mine.Add(s[2 * i]);
    }
    frames += count;
  };
  QElapsedTimer clock;
  clock.start();
  reader.Start();
  ASSERT_TRUE(reader.IsActive());
  rig::Spin(60000);
  counting = false;
  const double seconds = clock.nsecsElapsed() / 1e9;
  const double lost = reader.InputLost();
  reader.Stop();
  rig::Spin(500);
  const std::vector<std::int16_t> heard = recorder.Stop();
  const QString health = server.Report();
  EXPECT_TRUE(Log.Messages.isEmpty()) << Log.Messages.join('\n').toStdString();

  TrianglePositions theirs(tolerance);
  for (const std::int16_t v : heard)
    theirs.Add(v);
  // PipeWire, behind its clock, also drops or pads a quantum or two of one
  // client's stream alone, and counts that as an xrun of the client's node:
  // as many short breaks of the reader as its node has xruns are the
  // server's too. A longer one, or one the server did not count, is the
  // reader's own.
  std::vector<TrianglePositions::Break> own;
  int excused = 0;
  for (const auto& b : Unshared(mine, theirs)) {
    if (std::abs(b.Jump) <= 2048 && excused < server.NodeXruns(QString(":%1").arg(getpid())))
      ++excused;
    else
      own.push_back(b);
  }
  const bool behind = !theirs.Breaks.empty() || server.Xruns() > 0 || server.LateCycles() > 0;
  std::printf(
      "sustained capture on %s for %.1f s: the reader got %lld frames (%.1f %% of the "
      "clock's), %zu breaks (%zu shared with the independent recorder, %d put down to "
      "xruns of its own stream, %zu its own), %.2f s counted as lost, %lld with left != right; the "
      "recorder got %zu frames with %zu breaks. Server: %s.\n",
      rig::OnPipeWire() ? "PipeWire" : "PulseAudio", seconds, (long long)frames,
      100.0 * double(frames) / (seconds * 44100), mine.Breaks.size(),
      mine.Breaks.size() - own.size() - std::size_t(excused), excused, own.size(), lost,
      (long long)mismatched, heard.size(), theirs.Breaks.size(), health.toUtf8().constData());
  if (behind)
    std::printf("The server fell behind (late cycles or xruns above, or breaks the recorder saw "
                "too): what both recorders show is not the reader's fault.\n");
  for (std::size_t i = 0; i < std::min<std::size_t>(own.size(), 5); ++i) {
    // The recorder's break nearest in position, to tell a near miss.
    const TrianglePositions::Break* near = nullptr;
    int best = TrianglePeriod;
    for (const auto& o : theirs.Breaks) {
      const int d = TrianglePositions::Distance(own[i].From, o.From) +
                    TrianglePositions::Distance(own[i].To, o.To);
      if (d < best) {
        best = d;
        near = &o;
      }
    }
    std::printf("the reader's own break at frame %lld: position %d, then %d (a jump of %d); "
                "the recorder's nearest: %d, then %d\n",
                (long long)own[i].At, own[i].From, own[i].To, own[i].Jump, near ? near->From : -1,
                near ? near->To : -1);
  }
  EXPECT_GT(frames, std::int64_t(seconds * 44100 / 2)); // it did capture
  EXPECT_TRUE(own.empty());
  EXPECT_EQ(mismatched, 0);
  // A server that fell behind its own clock may read as lost input; the
  // breaks above are the judge then.
  if (!behind)
    EXPECT_EQ(lost, 0);
}
