// The whole window on the private sound server: a tone fed into the FIFO
// microphone is captured, counted, drawn, analysed and read under the mouse;
// settings changed during capture restart it; closing the window mid-capture
// ends cleanly.
#include "app/SAMain.h"
#include "audio/AudioRig.h"
#include "audio/Waveread.h"
#include "controls/ReadOut.h"
#include "controls/SpeedButton.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"
#include "wavefile/WavWriter.h"

#include <QCheckBox>
#include <QPushButton>
#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace duv;

namespace {

int Frames(const TForm1& f) { return f.FramesDis->Text().toInt(); }

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
  // The strongest frequency of 8192 samples from the middle of what was
  // loud, by the program's own transform.
  double LoudestHz()
  {
    std::size_t first = heard.size(), last = 0;
    for (std::size_t i = 0; i < heard.size(); ++i)
      if (std::abs(heard[i]) > 500) {
        first = std::min(first, i);
        last = i;
      }
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
  {
    Ear ear;
    ASSERT_TRUE(ear.reader.IsActive());
    QByteArray data;
    for (int i = 0; i < 44100; ++i)
      data += duv::test::le16(int(std::lround(12000 * std::sin(2 * M_PI * 1000 * i / 44100))));
    f.OpenWaveFile(duv::test::writeTemp(
        "khz.wav", duv::test::WavBuilder().fmt(1, 44100, 16).chunk("data", data).finish()));
    f.BufferSizeCombo2->setCurrentIndex(7); // 32768 samples: 0.74 s
    f.PlaySampleBtn->click();               // returns once played
    rig::Spin(300);
    ear.reader.Stop();
    EXPECT_NEAR(ear.LoudestHz(), 1000, 2 * 44100.0 / 8192);
  }
  {
    Ear ear;
    f.PageControl1->setCurrentWidget(f.SynthesizeSheet);
    f.BuffSizeCombo->setCurrentIndex(7); // 32768 samples at 11025 Hz: 3 s
    f.PlaySoundChk->setChecked(true);
    f.TestBtn->click(); // plays without waiting
    rig::Spin(2000);
    ear.reader.Stop();
    EXPECT_NEAR(ear.LoudestHz(), 500, 2 * 44100.0 / 8192);
  }
  EXPECT_TRUE(log.Messages.isEmpty()) << log.Messages.join("; ").toStdString();
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
  ASSERT_EQ(f.WaveReader1->Device().description(), "RigPipe");
  f.FormatCombo->setCurrentIndex(f.FormatCombo->findText("44.1 kHz, Mono, 16-bit"));
  f.BuffSizeCombo->setCurrentIndex(4); // 4096: bins of 10.8 Hz
  f.StartBtn->click();
  ASSERT_TRUE(f.WaveReader1->IsActive()) << log.Messages.join("; ").toStdString();
  ASSERT_TRUE(rig::WaitFor([&] { return Frames(f) >= 6; }, 8000)) << Frames(f);

  // The peak lies at 440 Hz, within one bin.
  const double bin = 44100.0 / 4096;
  TDataPoint peak = f.SpectrumGraph->Points().front();
  for (const TDataPoint& p : f.SpectrumGraph->Points())
    if (p.Y > peak.Y)
      peak = p;
  EXPECT_NEAR(peak.X, 440, bin);
  EXPECT_GT(peak.Y, -10);

  // Under the mouse on a logarithmic axis: A - 4 and a frequency near 440.
  f.LogCheck->setChecked(true);
  f.SpectrumGraph->grab();
  const QPoint at = f.SpectrumGraph->ValueToPixel(peak.X, peak.Y);
  QTest::mouseMove(f.SpectrumGraph, at);
  f.SpectrumGraphMouseMove(at.x(), at.y());
  EXPECT_EQ(f.NoteDis->Text(), "A - 4");
  EXPECT_NEAR(f.MouseDis->Text().section(' ', 0, 0).toDouble(), 440, 2 * bin);

  // The newest spectrogram row is brightest at the tone's column.
  const QImage img = f.SpectroGram1->Image();
  const int row = img.height() - 1;
  int best = 0;
  for (int x = 0; x < img.width(); ++x)
    if (BandOfPixel(*f.SpectroGram1, img.pixel(x, row)) <
        BandOfPixel(*f.SpectroGram1, img.pixel(best, row)))
      best = x; // band 1 is the top of the bar: the loudest
  EXPECT_NEAR(best + 1, 440 / bin, 1.5); // column i holds bin i + 1

  // A new buffer size restarts capture with it; the count starts again.
  f.BuffSizeCombo->setCurrentIndex(2);
  EXPECT_TRUE(f.WaveReader1->IsActive());
  EXPECT_EQ(f.RealTime->FrameCount(), 0);
  EXPECT_EQ(f.WaveReader1->SampleCount(), 1024);
  EXPECT_EQ(f.SpectroGram1->ImageWidth(), 512);
  ASSERT_TRUE(rig::WaitFor([&] { return f.RealTime->FrameCount() >= 1; }, 3000));
  EXPECT_LE(Frames(f), 5);
  EXPECT_EQ(f.SpectrumGraph->Points().size(), 511u);
  EXPECT_TRUE(f.StartBtn->isChecked());

  // "Rainbow" starts the spectrogram over in the 30-colour table; capture goes on.
  f.ColorCombo->setCurrentIndex(1);
  EXPECT_EQ(f.SpectroGram1->ColorCount(), TColorDepth::dc30);
  EXPECT_EQ(f.SpectroGram1->DepthBar()->EdgeCount(), 30);
  EXPECT_TRUE(f.WaveReader1->IsActive());
  const int before = f.RealTime->FrameCount();
  EXPECT_TRUE(rig::WaitFor([&] { return f.RealTime->FrameCount() > before + 3; }, 3000));

  // Closing the window while capturing ends cleanly and lets go of the device.
  f.close();
  form.reset();
  EXPECT_TRUE(rig::WaitFor([] { return rig::ClientRecordStreams() == 0; }, 3000));
  EXPECT_TRUE(log.Messages.isEmpty()) << log.Messages.join("; ").toStdString();
}
