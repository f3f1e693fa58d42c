// SPDX-License-Identifier: GPL-3.0-or-later
// The Whole File view in the window: filled by an opened file of any
// format, its clicks moving the Wave File page's stretch, Space playing
// from the pointer and stopping, and "Save Image..." writing what is shown.
#include "WindowDriver.h"
#include "app/SAMain.h"
#include "app/pages/SAWaveFile.h"
#include "app/pages/WaveFilePage.h"
#include "app/pages/WholeFilePage.h"
#include "audio/Waveread.h"
#include "spectrogram/FileSpectroView.h"
#include "wavefile/WavWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace duv;
using namespace duv::test;

namespace {

// A window whose reader, with no sound server, says so without a modal box.
struct Window
{
  Window()
  {
    SetWaveMessageHandler([](const QString&) {});
  }
  ~Window() { SetWaveMessageHandler(nullptr); }
};

// 10 s at 8000 Hz, mono: a 1 kHz tone.
QString toneFile(const QString& name)
{
  QByteArray data;
  for (int i = 0; i < 10 * 8000; ++i)
    data += le16(int(std::lround(16000 * std::sin(2 * std::numbers::pi * 1000 * i / 8000))));
  return writeTemp(name, WavBuilder().fmt(1, 8000, 16).chunk("data", data).finish());
}

QPoint pointAt(const TFileSpectroView& v, double seconds)
{
  const QRect p = v.PlotRect();
  const TAxisRange t = v.TimeView();
  return {p.left() + int((seconds - t.Min) / (t.Max - t.Min) * p.width()), p.center().y()};
}

} // namespace

// Guards the view's place in the window: the file opened fills it whole,
// a click moves the stretch that "Analyze" and "Play Sample" use and the
// view marks it, Space plays a minute from the pointer at most and stops
// again, and a FLAC file fills it as a WAV file does.
TEST(WholeFile, FilledClickedAndPlayed)
{
  Window quiet;
  TForm1 form;
  form.resize(900, 650);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  TSAWaveFile& file = form.WaveFilePage().WaveFile();
  std::vector<std::pair<std::uint32_t, WAVEFORMATEX>> plays;
  bool playing = false;
  int stops = 0;
  file.Play = [&](WAVEFORMATEX f, const void*, std::uint32_t size, bool) {
    plays.push_back({size, f});
    playing = true;
  };
  file.Playing = [&] { return playing; };
  file.StopPlaying = [&] { ++stops, playing = false; };

  QTabWidget& views = Find<QTabWidget>(form, "Analysis");
  views.setCurrentWidget(&form.WholeFilePage());
  auto& view = Find<TFileSpectroView>(form, "Whole File");
  EXPECT_FALSE(view.Cache().HasSource());
  form.OpenWaveFile(toneFile("whole.wav"));
  ASSERT_TRUE(view.Cache().HasSource());
  EXPECT_EQ(view.TimeView().Max, 10);

  QTest::mouseClick(&view, Qt::LeftButton, {}, pointAt(view, 6));
  EXPECT_NEAR(form.WaveFilePage().Offset(), 6, 0.05);
  // The stretch is marked: the view's picture changed where it lies.
  const QImage marked = view.RenderPicture();
  form.WaveFilePage().SetOffset(1);
  EXPECT_NE(view.RenderPicture().pixel(pointAt(view, 6) + QPoint(1, 0)),
            marked.pixel(pointAt(view, 6) + QPoint(1, 0)));

  QTest::mouseMove(&view, pointAt(view, 4));
  QTest::keyClick(&view, Qt::Key_Space);
  ASSERT_EQ(plays.size(), 1u);
  // Mono 16-bit from 4 s to the end: 6 s of samples.
  EXPECT_NEAR(plays[0].first / 2.0, 6 * 8000, 8000 * 0.05);
  QTest::keyClick(&view, Qt::Key_Space);
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(plays.size(), 1u);

  // The read-outs under the pointer.
  QTest::mouseMove(&view, pointAt(view, 5));
  const QStringList read = form.WholeFilePage().ReadOuts();
  EXPECT_TRUE(read.value(0).startsWith("5.0")) << read.value(0).toStdString();
  EXPECT_TRUE(read.value(1).endsWith(" Hz"));

  // The same through libsndfile.
  const QString wav = toneFile("src.wav");
  const QString flac = QFileInfo(wav).dir().filePath("whole.flac");
  if (!runSox({wav, flac}))
    GTEST_SKIP() << "sox cannot write FLAC";
  form.OpenWaveFile(flac);
  EXPECT_NEAR(view.TimeView().Max, 10, 1e-9);
  const QImage picture = view.RenderPicture(QSize(), true);
  EXPECT_TRUE(view.Cache().PassDone());
  TFileSpectroView::TReading r;
  ASSERT_TRUE(view.ReadAt(
      QPoint(view.PlotRect().center().x(), view.PlotRect().bottom() - view.PlotRect().height() / 4),
      r));
  EXPECT_NEAR(r.Frequency, 1000, 20);
}

// Guards "Save Image...": the picture is written at the size asked for,
// what is shown drawn in full, and a cancelled question writes nothing.
TEST(WholeFile, SaveImage)
{
  Window quiet;
  TForm1 form;
  form.OpenWaveFile(toneFile("save.wav"));
  TWholeFilePage& page = form.WholeFilePage();
  QTemporaryDir dir;
  const QString png = dir.filePath("shown.png");
  std::optional<QSize> asked = QSize(500, 300);
  QSize offered;
  page.AskImageSize = [&](QSize shown) {
    offered = shown;
    return asked;
  };
  page.AskImageFile = [&] { return png; };
  Find<QPushButton>(page, "Save Image...").click();
  EXPECT_EQ(offered, page.View().size());
  const QImage image(png);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(500, 300));
  // The saved picture names the file on a line above the view, leaves the
  // stretch's mark out, and is offered under the file's name.
  const auto count = [](const QImage& i, auto&& take) {
    int n = 0;
    for (int y = 0; y < i.height(); ++y)
      for (int x = 0; x < i.width(); ++x)
        n += take(i.pixel(x, y), y) ? 1 : 0;
    return n;
  };
  const auto mark = [](QRgb c, int) { return c == qRgb(90, 180, 255); };
  EXPECT_GT(count(page.View().RenderPicture(QSize(500, 300)), mark), 0);
  EXPECT_EQ(count(image.convertToFormat(QImage::Format_RGB32), mark), 0);
  const int line = QFontMetrics(page.View().font()).height();
  EXPECT_GT(count(image.convertToFormat(QImage::Format_RGB32),
                  [line](QRgb c, int y) { return y < line && qGray(c) > 128; }),
            0);
  EXPECT_EQ(page.ImageName(), "save.png");
  asked.reset();
  QFile::remove(png);
  Find<QPushButton>(page, "Save Image...").click();
  EXPECT_FALSE(QFile::exists(png));
}
