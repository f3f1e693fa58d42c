// SPDX-License-Identifier: GPL-3.0-or-later
// The whole window on the private sound server: a tone fed into the FIFO
// microphone is captured, counted, drawn, analysed and read under the mouse;
// settings changed during capture restart it; closing the window mid-capture
// ends cleanly.
#include "WindowDriver.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SARealTime.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/SynthesizePage.h"
#include "app/pages/WaveFilePage.h"
#include "analysis/Fourier.h"
#include "audio/AudioRig.h"
#include "audio/Waveread.h"
#include "controls/ReadOut.h"
#include "controls/Reopen.h"
#include "controls/SpeedButton.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"
#include "wavefile/WavWriter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

using namespace duv;

namespace {

int Frames(TForm1& f) { return f.RealTimePage().FramesText().toInt(); }

// The band of the colour bar a spectrogram pixel was painted in; -1 for none.
int BandOfPixel(const TSpectroGram& s, QRgb pixel)
{
  const TColorBar& bar = *s.DepthBar();
  for (int k = bar.EdgeCount() - 1; k >= 0; --k) {
    const TColor c = bar.Edge(k).Color;
    if (qRgb(RedOf(c), GreenOf(c), BlueOf(c)) == pixel)
      return k;
  }
  return -1;
}

// Records what the loopback microphone hears: everything played on the rig.
struct Ear
{
  TWaveReader reader;
  std::vector<std::int16_t> heard;
  Ear()
  {
    reader.SetDevice(rig::FindInput("RigLoop"));
    reader.SetWaveType(wf44Khz_Mono_16Bit);
    reader.SetSampleCount(1024);
    reader.OnWaveIn = [this](TWaveReader*, const void* b, int n, const TWaveDataFormat&) {
      const auto* s = static_cast<const std::int16_t*>(b);
      heard.insert(heard.end(), s, s + n);
    };
    reader.Start();
  }
  // First and last loud sample heard so far.
  std::pair<std::size_t, std::size_t> LoudSpan() const
  {
    std::size_t first = heard.size(), last = 0;
    for (std::size_t i = 0; i < heard.size(); ++i)
      if (std::abs(heard[i]) > 500) {
        first = std::min(first, i);
        last = i;
      }
    return {first, last};
  }
  // Runs the event loop until a loud stretch of a second's worth of samples
  // has been heard. A busy machine may start the sound late, so this waits on
  // what the loopback hears rather than on the clock.
  bool HearsAtLeast(std::size_t samples, int ms)
  {
    return rig::WaitFor(
        [&] {
          const auto [first, last] = LoudSpan();
          return last > first && last - first >= samples;
        },
        ms);
  }
  // The strongest frequency of 8192 samples from the middle of what was
  // loud, by the program's own transform.
  double LoudestHz()
  {
    const auto [first, last] = LoudSpan();
    constexpr int n = 8192;
    if (last <= first || last - first < n)
      return 0;
    const std::size_t from = (first + last - n) / 2;
    std::vector<double> re(heard.begin() + std::ptrdiff_t(from), heard.begin() + std::ptrdiff_t(from + n));
    std::vector<double> im(n, 0.0);
    TFastFourier().ForwardTransform(re.data(), im.data(), n);
    int best = 1;
    for (int k = 1; k < n / 2; ++k)
      if (std::hypot(re[k], im[k]) > std::hypot(re[best], im[best]))
        best = k;
    return best * 44100.0 / n;
  }
};

} // namespace

// Guards playback from the pages: "Play Sample" on a 1 kHz file and "Play
// Sound" with the synthesizer's default tone are heard on the loopback at
// their frequencies.
TEST(MainWindowRig, PlaySampleAndPlaySoundAreHeard)
{
  SKIP_WITHOUT_RIG();
  rig::MessageLog log;
  TForm1 f;
  f.RealTimePage().SetFormat(wf11Khz_Mono_8Bit); // the synthesizer's tone lasts 3 s at it
  {
    Ear ear;
    ASSERT_TRUE(ear.reader.IsActive());
    QByteArray data;
    for (int i = 0; i < 44100; ++i)
      data += duv::test::le16(int(std::lround(12000 * std::sin(2 * M_PI * 1000 * i / 44100))));
    f.OpenWaveFile(duv::test::writeTemp(
        "khz.wav", duv::test::WavBuilder().fmt(1, 44100, 16).chunk("data", data).finish()));
    f.WaveFilePage().SetBufferSize(32768); // 0.74 s
    QElapsedTimer clock;
    clock.start();
    f.WaveFilePage().PlaySampleBtnClick(); // returns at once: the window takes input
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(ear.HearsAtLeast(30000, 15000)); // 32768 samples are played
    ear.reader.Stop();
    EXPECT_NEAR(ear.LoudestHz(), 1000, 2 * 44100.0 / 8192);
  }
  {
    Ear ear;
    f.InputPages().setCurrentWidget(&f.SynthesizePage());
    f.RealTimePage().SetBufferSize(32768); // 3 s at 11025 Hz
    f.SynthesizePage().SetPlaySound(true);
    f.SynthesizePage().TestBtnClick(); // plays without waiting
    EXPECT_TRUE(ear.HearsAtLeast(44100, 15000));
    ear.reader.Stop();
    EXPECT_NEAR(ear.LoudestHz(), 500, 2 * 44100.0 / 8192);
  }
  EXPECT_TRUE(log.Messages.isEmpty()) << log.Messages.join("; ").toStdString();
}

// Guards the first start: with no settings file the capture format is the
// input's own (not the smallest), and a file that names a format keeps it.
TEST(MainWindowRig, FirstStartTakesTheInputsOwnFormat)
{
  SKIP_WITHOUT_RIG();
  rig::MessageLog log;
  const TWaveTypes own = TWaveReader().PreferredWaveType();
  ASSERT_NE(own, wfNone);
  ASSERT_NE(own, wf11Khz_Mono_8Bit);
  QTemporaryDir config;
  for (const TWaveTypes stored : {wfNone, wf11Khz_Mono_8Bit}) {
    TForm1 f;
    f.RecentFiles().SetINIFolder(config.path());
    f.RestoreViewSettings();
    EXPECT_EQ(f.RealTimePage().FormatName(), WaveTypeCaption(stored == wfNone ? own : stored));
    EXPECT_EQ(f.Reader().WaveType(), stored == wfNone ? own : stored);
    f.RealTimePage().SetFormat(wf11Khz_Mono_8Bit);
    f.SaveViewSettings();
  }
}

// Guards the live path end to end: capture of a 440 Hz tone, the frame
// count, the spectrum peak within one bin, the read-out under the mouse, the
// newest spectrogram row, restarts on a new buffer size and colour scheme,
// and closing the window while capturing.
TEST(MainWindowRig, CapturesAToneAndRestartsOnChanges)
{
  SKIP_WITHOUT_RIG();
  rig::MessageLog log;
  rig::PipeWriter writer(rig::Tone(440, 16000));
  auto form = std::make_unique<TForm1>();
  TForm1& f = *form;
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  TRealTimePage& rt = f.RealTimePage();
  TGraphBox& spectrum = f.GraphPage().SpectrumGraph();
  TSpectroGram& spectro = f.SpectrogramPage().SpectroGram();
  ASSERT_EQ(f.Reader().Device().description(), "RigPipe");
  ASSERT_TRUE(rt.SetFormat(wf44Khz_Mono_16Bit));
  rt.SetBufferSize(4096); // bins of 10.8 Hz
  duv::test::Find<QToolButton>(rt, "Start").click();
  ASSERT_TRUE(rt.Capturing()) << log.Messages.join("; ").toStdString();
  ASSERT_TRUE(rig::WaitFor([&] { return Frames(f) >= 6; }, 8000)) << Frames(f);

  // The peak lies at 440 Hz, within one bin.
  const double bin = 44100.0 / 4096;
  TDataPoint peak = spectrum.Points().front();
  for (const TDataPoint& p : spectrum.Points())
    if (p.Y > peak.Y)
      peak = p;
  EXPECT_NEAR(peak.X, 440, bin);
  EXPECT_GT(peak.Y, -10);

  // Under the mouse on a logarithmic axis: A - 4 and a frequency near 440.
  duv::test::Find<QCheckBox>(f.GraphPage(), "Log").setChecked(true);
  spectrum.grab();
  const QPoint at = spectrum.ValueToPixel(peak.X, peak.Y);
  QTest::mouseMove(&spectrum, at);
  f.GraphPage().SpectrumGraphMouseMove(at.x(), at.y());
  EXPECT_EQ(f.GraphPage().NoteText(), "A - 4");
  EXPECT_NEAR(f.GraphPage().MouseText().section(' ', 0, 0).toDouble(), 440, 2 * bin);

  // The newest spectrogram row is brightest at the tone's column.
  const QImage img = spectro.Image();
  const int row = img.height() - 1;
  int best = 0;
  for (int x = 0; x < img.width(); ++x)
    if (BandOfPixel(spectro, img.pixel(x, row)) < BandOfPixel(spectro, img.pixel(best, row)))
      best = x; // band 1 is the top of the bar: the loudest
  EXPECT_NEAR(best + 1, 440 / bin, 1.5); // column i holds bin i + 1

  // A new buffer size restarts capture with it; the count starts again.
  rt.SetBufferSize(1024);
  EXPECT_TRUE(rt.Capturing());
  EXPECT_EQ(rt.RealTime().FrameCount(), 0);
  EXPECT_EQ(f.Reader().SampleCount(), 1024);
  EXPECT_EQ(spectro.ImageWidth(), 512);
  ASSERT_TRUE(rig::WaitFor([&] { return rt.RealTime().FrameCount() >= 1; }, 3000));
  EXPECT_LE(Frames(f), 5);
  EXPECT_EQ(spectrum.Points().size(), 511u);
  EXPECT_TRUE(duv::test::Find<QToolButton>(rt, "Start").isChecked());

  // "Rainbow" starts the spectrogram over in the 30-colour table; capture goes on.
  f.SpectrogramPage().SetColorScheme(1);
  EXPECT_EQ(spectro.ColorCount(), TColorDepth::dc30);
  EXPECT_EQ(spectro.DepthBar()->EdgeCount(), 30);
  EXPECT_TRUE(rt.Capturing());
  const int before = rt.RealTime().FrameCount();
  EXPECT_TRUE(rig::WaitFor([&] { return rt.RealTime().FrameCount() > before + 3; }, 3000));

  // The test signal stops capture first, which would overwrite it; the
  // buttons say so.
  f.InputPages().setCurrentWidget(&f.SynthesizePage());
  duv::test::Find<QPushButton>(f.SynthesizePage(), "Display Test Signal").click();
  EXPECT_FALSE(rt.Capturing());
  EXPECT_TRUE(duv::test::Find<QToolButton>(rt, "Stop").isChecked());
  const int shown = rt.RealTime().FrameCount();
  rig::Spin(150);
  EXPECT_EQ(rt.RealTime().FrameCount(), shown);
  EXPECT_NEAR(f.GraphPage().PeakText().section(' ', 0, 0).toDouble(), 500, 1);
  duv::test::Find<QToolButton>(rt, "Start").click();
  ASSERT_TRUE(rt.Capturing());

  // Closing the window while capturing ends cleanly and lets go of the device.
  f.close();
  form.reset();
  EXPECT_TRUE(rig::WaitFor([] { return rig::ClientRecordStreams() == 0; }, 3000));
  EXPECT_TRUE(log.Messages.isEmpty()) << log.Messages.join("; ").toStdString();
}
