// SPDX-License-Identifier: GPL-3.0-or-later
// Each frame on the axes of its own source, driven through the window: a
// file's stretch after every live setting, the test signal after a file,
// live frames after a file, and what the Synthesize page says it uses.
#include "WindowDriver.h"
#include "analysis/SAGlobal.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SARealTime.h"
#include "app/pages/ScopeBand.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/SynthesizePage.h"
#include "app/pages/WaveFilePage.h"
#include "audio/Waveread.h"
#include "controls/Realspin.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"
#include "wavefile/WavWriter.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

using namespace duv;
using namespace duv::test;

namespace {

// A shown window with a 44.1 kHz stereo file open: 1 kHz on the left.
struct Window
{
  QuietReader quiet;
  TForm1 form;
  Window()
  {
    // The live format is set on the reader itself, whatever input is present.
    form.Reader().SetComboBox(nullptr);
    form.Reader().SetWaveType(wf11Khz_Mono_8Bit);
    form.RealTimePage().FormatComboChange();
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    QByteArray samples;
    for (int i = 0; i < 44100; ++i)
      for (int c = 0; c < 2; ++c)
        samples += le16(
            int(std::lround(16000 * std::sin(2 * std::numbers::pi * 1000 * (c + 1) * i / 44100))));
    form.OpenWaveFile(
        writeTemp("stereo44.wav", WavBuilder().fmt(2, 44100, 16).chunk("data", samples).finish()));
    form.WaveFilePage().SetBufferSize(4096);
  }
  TGraphBox& spectrum() { return form.GraphPage().SpectrumGraph(); }
  TSpectroGram& spectro() { return form.SpectrogramPage().SpectroGram(); }
  TGraphBox& left() { return form.ScopeBand().LeftGraph(); }
  TGraphBox& right() { return form.ScopeBand().RightGraph(); }
  // The frequency the spectrum's mouse read-out gives over f Hz.
  double MouseAt(double f)
  {
    spectrum().grab();
    const QPoint p = spectrum().ValueToPixel(f, -20);
    form.GraphPage().SpectrumGraphMouseMove(p.x(), p.y());
    return form.GraphPage().MouseText().split(' ').value(0).toDouble();
  }
};

} // namespace

// Guards the file's stretch against the live settings: after a change of
// "Time", the colour scheme, the buffer size or the format while nothing
// captures, "Analyze" still shows the tone at 1 kHz on the file's axes
// (spectrum, spectrogram, mouse read-out), and the file's traces and their
// time axis stay.
TEST(SourceAxes, FileSpectrumAfterEachLiveChange)
{
  Window w;
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"nothing", [] {}},
      {"Time", [&w] { w.form.SpectrogramPage().TimeSpan().SetValue(20); }},
      {"colour scheme", [&w] { w.form.SpectrogramPage().SetColorScheme(1); }},
      {"buffer size", [&w] { w.form.RealTimePage().SetBufferSize(1024); }},
      {"format",
       [&w] {
         w.form.Reader().SetWaveType(wf22Khz_Stereo_8Bit);
         w.form.RealTimePage().FormatComboChange();
       }},
  };
  for (const auto& [name, change] : changes) {
    change();
    // Between the change and the next stretch the file's axes stay.
    EXPECT_EQ(w.spectrum().XAxis().Max(), 22050) << name;
    EXPECT_EQ(w.left().XAxis().Max(), 44100) << name;
    EXPECT_DOUBLE_EQ(w.left().XAxis().Multiplier(), 1 / 44100.0) << name;
    EXPECT_EQ(w.right().PointCount(), 44100) << name;
    w.form.WaveFilePage().AnalyzeFileBtnClick();
    EXPECT_TRUE(w.form.GraphPage().PeakText().startsWith("100")) << name;
    EXPECT_NEAR(w.form.GraphPage().PeakText().section(' ', 0, 0).toDouble(), 1000, 1) << name;
    EXPECT_EQ(w.spectrum().XAxis().Max(), 22050) << name;
    EXPECT_EQ(w.spectrum().YAxis().Min(), -100) << name;
    EXPECT_EQ(w.spectro().ImageWidth(), 2048) << name;
    EXPECT_EQ(w.spectro().XRange().Second, 22050) << name;
    EXPECT_NEAR(w.MouseAt(1000), 1000, 25) << name;
    EXPECT_EQ(w.left().Decimals2(), 1) << name;
  }
}

// Guards the test signal and live frames after a file: they take the views
// back onto their own axes (rate, length, channels), the file's traces go,
// and the Synthesize page says which frame length and rate it uses.
TEST(SourceAxes, LiveFramesAfterAFile)
{
  Window w;
  TSynthesizePage& synth = w.form.SynthesizePage();
  EXPECT_EQ(synth.FrameText(), "256 at 11025 Hz");
  w.form.RealTimePage().SetBufferSize(2048);
  EXPECT_EQ(synth.FrameText(), "2048 at 11025 Hz");
  w.form.InputPages().setCurrentWidget(&synth);
  Find<QAbstractButton>(synth, "Display Test Signal").click();
  EXPECT_NEAR(w.form.GraphPage().PeakText().section(' ', 0, 0).toDouble(), 500, 1);
  EXPECT_EQ(w.spectrum().XAxis().Max(), 5512.5);
  EXPECT_EQ(w.spectro().XRange().Second, 5512.5);
  EXPECT_EQ(w.spectro().ImageWidth(), 1024);
  EXPECT_EQ(w.left().XAxis().Max(), 2047);
  EXPECT_EQ(w.left().XAxis().Multiplier(), 1);
  EXPECT_EQ(w.left().Decimals2(), 0);
  EXPECT_EQ(w.left().YAxis().Max(), 256);
  EXPECT_EQ(w.left().PointCount(), 2048);
  EXPECT_EQ(w.right().PointCount(), 0); // the file's right channel is gone
  // No stretch markers on a live trace, and a click there moves nothing.
  w.form.InputPages().setCurrentWidget(&w.form.WaveFilePage());
  const double offset = w.form.WaveFilePage().Offset();
  w.form.LeftGraphMouseDown(w.left().width() / 2, w.left().height() / 2);
  EXPECT_EQ(w.form.WaveFilePage().Offset(), offset);

  // "Analyze" brings the file back, traces and all.
  w.form.WaveFilePage().AnalyzeFileBtnClick();
  EXPECT_EQ(w.right().PointCount(), 44100);
  EXPECT_EQ(w.spectrum().XAxis().Max(), 22050);

  // A live mono frame after the stereo file, as the reader hands it over:
  // the right graph is empty, the left on the live axes.
  std::vector<std::int16_t> frame(2048);
  for (std::size_t i = 0; i < frame.size(); ++i)
    frame[i] =
        std::int16_t(std::lround(8000 * std::sin(2 * std::numbers::pi * 3000 * double(i) / 44100)));
  w.form.RealTimePage().WaveReader1WaveIn(frame.data(), 2048, {44100, 2, 1});
  EXPECT_EQ(w.right().PointCount(), 0);
  EXPECT_EQ(w.left().XAxis().Max(), 2047);
  EXPECT_EQ(w.left().YAxis().Min(), -32768);
  EXPECT_EQ(w.spectrum().XAxis().Max(), 22050);
  EXPECT_NEAR(w.form.GraphPage().PeakText().section(' ', 0, 0).toDouble(), 3000, 1);
  // Stereo, then mono again: the right channel's old trace goes too.
  std::vector<std::int16_t> stereo(4096, 100);
  w.form.RealTimePage().WaveReader1WaveIn(stereo.data(), 2048, {44100, 2, 2});
  EXPECT_EQ(w.right().PointCount(), 1024);
  w.form.RealTimePage().WaveReader1WaveIn(frame.data(), 2048, {44100, 2, 1});
  EXPECT_EQ(w.right().PointCount(), 0);
}
