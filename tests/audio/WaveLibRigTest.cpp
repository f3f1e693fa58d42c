// SPDX-License-Identifier: GPL-3.0-or-later
// Playback against the rig: what PlayWave plays is heard on the loopback
// microphone; rejected formats and repeated plays; the input chooser.
#include "AudioRig.h"
#include "audio/InputChooser.h"
#include "audio/WaveLib.h"
#include "audio/Waveread.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <complex>
#include <stdexcept>
#include <vector>

using namespace duv;

namespace {

WAVEFORMATEX Mono16(int rate)
{
  return MakeWaveFormat({rate, 2, 1});
}

std::vector<std::int16_t> ToneSamples(double hz, int rate, int count)
{
  std::vector<std::int16_t> s(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    s[std::size_t(i)] = std::int16_t(std::lround(12000 * std::sin(2 * M_PI * hz * i / rate)));
  return s;
}

// Magnitude of one DFT bin of x[from, from + n).
double BinMagnitude(const std::vector<std::int16_t>& x, std::size_t from, int n, int bin)
{
  std::complex<double> sum;
  for (int i = 0; i < n; ++i)
    sum += double(x[from + std::size_t(i)]) * std::polar(1.0, -2 * M_PI * bin * i / n);
  return std::abs(sum);
}

class WaveLibRig : public ::testing::Test
{
protected:
  void SetUp() override { SKIP_WITHOUT_RIG(); }
  rig::MessageLog Log;
};

} // namespace

// Guards playback end to end: a 2 kHz tone played with Wait is heard on the
// loopback microphone at 2 kHz, for as long as its size says, and the wait
// lasts until it has played while timers keep running.
TEST_F(WaveLibRig, PlayedToneIsHeardOnTheLoopback)
{
  TWaveReader reader;
  reader.SetDevice(rig::FindInput("RigLoop"));
  reader.SetWaveType(wf44Khz_Mono_16Bit);
  reader.SetSampleCount(1024);
  std::vector<std::int16_t> heard;
  reader.OnWaveIn = [&](TWaveReader*, const void* b, int n, const TWaveDataFormat&) {
    const auto* s = static_cast<const std::int16_t*>(b);
    heard.insert(heard.end(), s, s + n);
  };
  reader.Start();
  ASSERT_TRUE(reader.IsActive());
  rig::Spin(200);

  // A tenth of a second of silence (the loopback may miss the very start of
  // a stream), then half a second of tone up to the buffer's last byte.
  const int rate = 22050, lead = 2205, count = lead + 11025;
  auto tone = ToneSamples(2000, rate, count);
  std::fill(tone.begin(), tone.begin() + lead, std::int16_t(0));
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(10);
  QElapsedTimer t;
  t.start();
  // What the loopback carried before the sound was played is not ours: a
  // server may hand a new recording a stale buffer or a click at its start.
  const std::size_t before = heard.size();
  PlayWave(Mono16(rate), tone.data(), std::uint32_t(2 * count), true);
  const qint64 waited = t.elapsed();
  EXPECT_GE(waited, 550);
  std::printf("PlayWave waited %lld ms for 600 ms of sound\n", (long long)waited);
  EXPECT_GT(ticks, 10); // the event loop kept running while waiting
  rig::Spin(300);
  reader.Stop();

  std::size_t first = heard.size(), last = 0;
  for (std::size_t i = before; i < heard.size(); ++i)
    if (std::abs(heard[i]) > 200) {
      first = std::min(first, i);
      last = i;
    }
  ASSERT_GT(last, first);
  EXPECT_GT(first, before); // the silence came first
  // 11025 samples at 22050 Hz last 22050 samples at 44100 Hz.
  EXPECT_NEAR(double(last - first + 1), 22050.0, 150.0);
  const int n = 4096;
  const std::size_t mid = first + 4000;
  const int bin = int(std::lround(2000.0 * n / 44100));
  const double peak = BinMagnitude(heard, mid, n, bin);
  EXPECT_GT(peak, 10 * BinMagnitude(heard, mid, n, bin - 20));
  EXPECT_GT(peak, 10 * BinMagnitude(heard, mid, n, bin + 20));
  EXPECT_TRUE(Log.Messages.isEmpty());
}

// Guards the open sequence: a rejected format gives "Can't play format" and
// leaves no device open, a second play closes the first one's device,
// stopping a buffer still playing, and a write without samples fails.
TEST_F(WaveLibRig, RejectedFormatsAndRepeatedPlays)
{
  WAVEFORMATEX w24 = MakeWaveFormat({44100, 3, 1}); // 24-bit has no Qt format
  EXPECT_THROW(
      try { PlayWave(w24, "abc", 3, false); } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Can't play format");
        throw;
      },
      std::runtime_error);
  EXPECT_FALSE(WaveOutIsOpen());

  const auto longTone = ToneSamples(500, 11025, 11025 * 3);
  PlayWave(Mono16(11025), longTone.data(), std::uint32_t(2 * longTone.size()), false);
  EXPECT_TRUE(WaveOutIsOpen());
  ASSERT_TRUE(rig::WaitFor([] { return rig::ClientPlayStreams() == 1; }, 3000));
  EXPECT_TRUE(WaveOutIsPlaying());
  const auto shortTone = ToneSamples(800, 22050, 2205);
  PlayWave(Mono16(22050), shortTone.data(), std::uint32_t(2 * shortTone.size()), true);
  EXPECT_FALSE(WaveOutIsPlaying());
  EXPECT_TRUE(WaveOutIsOpen()); // stays open until the next play
  // The three-second tone was stopped, not left to play on.
  EXPECT_TRUE(rig::WaitFor([] { return rig::ClientPlayStreams() <= 1; }, 2000));

  EXPECT_THROW(
      try { OpenWaveOut(w24); } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Can't play format");
        throw;
      },
      std::runtime_error);
  EXPECT_FALSE(WaveOutIsOpen()); // the earlier device was closed first
  EXPECT_TRUE(rig::WaitFor([] { return rig::ClientPlayStreams() == 0; }, 3000));

  // Missing samples fail before anything is written; the device stays open.
  OpenWaveOut(Mono16(11025));
  EXPECT_THROW(
      try { WriteWaveOut(nullptr, 100, true); } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Unable to prepare header");
        throw;
      },
      std::runtime_error);
  EXPECT_TRUE(WaveOutIsOpen());
}

// Guards the choice of output: playback goes to the server's default sink,
// not to the first one listed, and follows a change of it at the next play.
TEST_F(WaveLibRig, PlaysOnTheServersDefaultOutput)
{
  const QString module = rig::Pactl({"load-module", "module-null-sink", "sink_name=rig_other",
                                     "sink_properties=device.description=RigOther"})
                             .trimmed();
  struct Restore
  {
    QString Module;
    ~Restore()
    {
      rig::Pactl({"set-default-sink", "rig_out"});
      rig::Pactl({"unload-module", Module});
    }
  } restore{module};
  // The index of the sink a client plays into, by the sink's name.
  const auto playsInto = [] {
    QMap<QString, QString> names;
    for (const QString& line :
         rig::Pactl({"list", "short", "sinks"}).split('\n', Qt::SkipEmptyParts))
      names[line.section('\t', 0, 0)] = line.section('\t', 1, 1);
    QStringList into;
    for (const QString& line : rig::Pactl({"list", "short", "sink-inputs"}).split('\n'))
      if (line.split('\t').value(2, "-") != "-")
        into << names.value(line.section('\t', 1, 1), "?");
    return into;
  };
  const auto tone = ToneSamples(500, 11025, 11025 * 2);
  for (const QString sink : {"rig_other", "rig_out"}) {
    rig::Pactl({"set-default-sink", sink});
    ASSERT_TRUE(
        rig::WaitFor([&] { return rig::Pactl({"get-default-sink"}).trimmed() == sink; }, 3000));
    PlayWave(Mono16(11025), tone.data(), std::uint32_t(2 * tone.size()), false);
    EXPECT_TRUE(rig::WaitFor([&] { return playsInto() == QStringList{sink}; }, 3000))
        << playsInto().join(", ").toStdString();
  }
  OpenWaveOut(Mono16(11025)); // the tone stops
}

// Guards the input choice: the chooser lists the inputs with the default
// marked, and accepting another gives the reader that input and its formats.
TEST_F(WaveLibRig, ChoosingAnInputSwitchesTheReader)
{
  TWaveReader reader;
  ASSERT_EQ(reader.Device().description(), "RigPipe");
  ShowSoundControlPanel(&reader); // returns at once
  TInputChooser* chooser = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* c = qobject_cast<TInputChooser*>(w))
      chooser = c;
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(chooser->windowTitle(), "Choose Input");
  QStringList items;
  for (int i = 0; i < chooser->List()->count(); ++i)
    items << chooser->List()->item(i)->text();
  EXPECT_TRUE(items.contains("RigPipe (default)")) << items.join(", ").toStdString();
  EXPECT_TRUE(items.contains("RigLoop"));
  EXPECT_EQ(chooser->SelectedDevice().description(), "RigPipe");
  EXPECT_EQ(chooser->SettingsButton()->isEnabled(), !TInputChooser::SettingsProgram().isEmpty());
  // A disabled settings button has its reason in plain sight, not only in a tooltip.
  EXPECT_EQ(chooser->SettingsNote()->isVisibleTo(chooser),
            TInputChooser::SettingsProgram().isEmpty());
  EXPECT_TRUE(chooser->SettingsNote()->text().contains("pavucontrol"));

  // OK pressed while capturing: the switch stops capture, whose wait turns
  // the event loop, and the dialog must outlive that (it crashed here).
  reader.Start();
  chooser->List()->setCurrentRow(int(items.indexOf("RigLoop")));
  QPointer<TInputChooser> gone = chooser;
  QTest::mouseClick(chooser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                    Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(gone.isNull());
  reader.Stop();
  EXPECT_EQ(reader.Device().description(), "RigLoop");
  EXPECT_EQ(reader.FormatCaptions().size(), WaveTypeCount);

  // The mark and the first choice follow the server's default input, which
  // need not be the first one listed.
  struct Restore
  {
    ~Restore() { rig::SetDefaultSource("rig_pipe"); }
  } restore;
  ASSERT_TRUE(rig::SetDefaultSource("rig_loop"));
  TInputChooser other{QAudioDevice()};
  EXPECT_EQ(other.SelectedDevice().description().toStdString(), "RigLoop");
  const int loop = int(other.Devices().indexOf(rig::FindInput("RigLoop")));
  ASSERT_GE(loop, 0);
  EXPECT_EQ(other.List()->item(loop)->text().toStdString(), "RigLoop (default)");
}
