// SPDX-License-Identifier: GPL-3.0-or-later
// The Wave File page's side of opening a file: a long load shows its
// progress and can be cancelled, leaving the page as it was.
#include "app/SAMain.h"
#include "app/pages/SAWaveFile.h"
#include "app/pages/ScopeBand.h"
#include "app/pages/WaveFilePage.h"
#include "controls/Reopen.h"
#include "audio/Waveread.h"
#include "controls/ReadOut.h"
#include "graph/Graphbox.h"
#include "wavefile/WavWriter.h"

#include <QApplication>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include <tuple>

using namespace duv;
using namespace duv::test;

namespace {

// A window without a sound device's messages in modal boxes.
struct Window
{
  TWaveMessageEvent Previous;
  std::unique_ptr<TForm1> form;
  Window()
  {
    QStandardPaths::setTestModeEnabled(true);
    Previous = SetWaveMessageHandler([](const QString&) {});
    form = std::make_unique<TForm1>();
  }
  ~Window()
  {
    form.reset();
    SetWaveMessageHandler(Previous);
  }
};

QList<QProgressDialog*> progressDialogs(QWidget& w) { return w.findChildren<QProgressDialog*>(); }

// A stereo 16-bit file of `bytes` bytes of samples, each sample `value`.
QString stereoFile(const char* name, int bytes, int value)
{
  QByteArray data;
  data.reserve(bytes);
  while (data.size() < bytes)
    data += le16(value);
  return writeTemp(name, WavBuilder().fmt(2, 44100, 16).chunk("data", data).finish());
}

} // namespace

// Guards the progress dialog of a long load: Cancel ends the load, and the
// window changes nothing (its page, caption, recent files and the file shown),
// and nothing of the dialog stays; a load that is let run shows the dialog
// while it reads and loads the file.
TEST(SAWaveFile, LongLoadShowsProgressAndCancels)
{
  Window w;
  TSAWaveFile& page = w.form->WaveFilePage().WaveFile();
  const QString small = stereoFile("small.wav", 4000, 100);
  w.form->OpenWaveFile(small);
  EXPECT_TRUE(progressDialogs(*w.form).isEmpty()); // read long before the delay
  w.form->InputPages().setCurrentIndex(2);
  const QStringList recent = w.form->RecentFiles().Paths();

  // As if the load had taken long: the dialog comes at the first slice.
  page.ProgressDelayMs = 0;
  const QString big = stereoFile("big.wav", 6 << 20, -7);
  int seen = 0;
  QTimer::singleShot(0, [&] {
    for (QProgressDialog* d : progressDialogs(*w.form)) {
      ++seen;
      EXPECT_TRUE(d->isVisible());
      EXPECT_EQ(d->labelText(), "Reading big.wav ...");
      d->cancel();
    }
  });
  w.form->OpenWaveFile(big);
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(w.form->InputPages().currentIndex(), 2);
  EXPECT_EQ(w.form->windowTitle(), "small.wav - Duvovovi");
  EXPECT_EQ(w.form->RecentFiles().Paths(), recent);
  QApplication::processEvents();
  EXPECT_TRUE(progressDialogs(*w.form).isEmpty());
  EXPECT_EQ(page.SoundFile().FileName(), small);
  EXPECT_EQ(page.SoundFile().SoundData().SamplesPerChannel, 1000);
  EXPECT_EQ(page.SoundData().Channels[0][0], 100);

  // Let run, the same file loads in full.
  int largest = -1;
  bool visible = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QProgressDialog* d : progressDialogs(*w.form)) {
      largest = std::max(largest, d->value());
      visible = visible || d->isVisible();
    }
  });
  poll.start(0);
  EXPECT_TRUE(page.SetFileName(big));
  poll.stop();
  EXPECT_TRUE(visible);
  EXPECT_GT(largest, 0);
  QApplication::processEvents();
  EXPECT_TRUE(progressDialogs(*w.form).isEmpty());
  EXPECT_EQ(page.SoundFile().FileName(), big);
  EXPECT_EQ(page.SoundFile().SoundData().SamplesPerChannel, (6 << 20) / 4);
  EXPECT_EQ(page.SoundFile().SoundData().Channels[1].back(), -7);
  EXPECT_EQ(page.SoundData().Channels[0][0], 100); // shown only by ShowWaveFile
}

// Guards the page on 32-bit and floating-point files: reduced to 16 bits,
// they are drawn as 16-bit traces over the 16-bit range, and " Bits" shows
// the file's own width and that it is read as 16 bits.
TEST(SAWaveFile, WideAndFloatFilesAreDrawn)
{
  Window w;
  TSAWaveFile& page = w.form->WaveFilePage().WaveFile();
  QByteArray floats, ints;
  for (int i = 0; i < 400; ++i) {
    const float x = float(i % 2 == 0 ? 0.25 : -1.5); // the second one clips
    floats.append(reinterpret_cast<const char*>(&x), 4);
    ints += le32(std::uint32_t(i % 2 == 0 ? 0x20000000 : 0x80000000u));
  }
  for (const auto& [name, tag, bits] : {std::tuple{"float.wav", 3, "32 float (read as 16)"},
                                        {"int32.wav", 1, "32 (read as 16)"}}) {
    const QByteArray& data = tag == 3 ? floats : ints;
    ASSERT_TRUE(page.SetFileName(
        writeTemp(name, WavBuilder().fmt(2, 8000, 32, 18, tag).chunk("data", data).finish())));
    page.ShowWaveFile();
    EXPECT_EQ(w.form->WaveFilePage().FileStatistics()[4], bits) << name; // " Bits"
    for (TGraphBox* g : {&w.form->ScopeBand().LeftGraph(), &w.form->ScopeBand().RightGraph()}) {
      EXPECT_EQ(g->PointCount(), 200) << name;
      EXPECT_EQ(g->YAxis().Min(), -32768) << name;
      EXPECT_EQ(g->YAxis().Max(), 32768) << name;
    }
    EXPECT_EQ(page.SoundData().Channels[0][0], 8192) << name;
    EXPECT_EQ(page.SoundData().Channels[1][0], -32768) << name;
  }
}
