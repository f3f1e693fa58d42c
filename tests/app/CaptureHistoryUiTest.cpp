// SPDX-License-Identifier: GPL-3.0-or-later
// The capture history in the window, fed as the reader feeds it: Pause and
// Space, the time slider with its read-outs, the marks, "Save Capture
// As..." with its failures, "Analyze Capture", and the minutes kept.
#include "WindowDriver.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/WaveFilePage.h"
#include "audio/Waveread.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"
#include "support/SafeFile.h"
#include "wavefile/WaveFileParser.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <numbers>
#include <sys/resource.h>
#include <vector>

using namespace duv;
using namespace duv::test;

namespace {

constexpr int N = 1024;
const TWaveDataFormat Mono16{44100, 2, 1};

// Frame k holds a tone of its own: 1000 + 100 k Hz.
double FrameHz(int k)
{
  return 1000 + 100 * k;
}
std::vector<std::int16_t> FrameOf(int k)
{
  std::vector<std::int16_t> v(N);
  for (int i = 0; i < N; ++i)
    v[std::size_t(i)] = std::int16_t(
        std::lround(12000 * std::sin(2 * std::numbers::pi * FrameHz(k) * (k * N + i) / 44100)));
  return v;
}

// Set before the window's reader looks for an input, which the tests lack.
struct Window
{
  Window()
  {
    form.Reader().SetComboBox(nullptr);
    form.Reader().SetWaveType(wf44Khz_Mono_16Bit);
    form.RealTimePage().FormatComboChange();
    form.RealTimePage().SetBufferSize(N);
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  TRealTimePage& rt() { return form.RealTimePage(); }
  // Frames [from, to) as the reader hands them over.
  void Feed(int from, int to)
  {
    for (int k = from; k < to; ++k) {
      const std::vector<std::int16_t> frame = FrameOf(k);
      rt().WaveReader1Recorded(frame.data(), N, Mono16);
      rt().WaveReader1WaveIn(frame.data(), N, Mono16);
    }
  }
  double PeakHz() { return form.GraphPage().PeakText().section(' ', 0, 0).toDouble(); }
  QuietReader quiet;
  TForm1 form;
};

} // namespace

// Guards Pause and the slider: Space pauses (but not where a button takes
// it), the views and the spectrogram hold still while frames are still
// counted and kept, the slider moves the views and their read-outs to any
// kept frame, before or after the pause, without adding spectrogram rows;
// the marks choose what is saved, sample for sample, and "Analyze Capture"
// opens it on the Wave File page as a file; Resume returns to the present.
TEST(CaptureHistory, PauseScrollMarkSaveAndAnalyze)
{
  Window w;
  TRealTimePage& rt = w.rt();
  EXPECT_FALSE(Find<QToolButton>(rt, "Pause").isEnabled()); // nothing to pause yet
  w.Feed(0, 30);
  EXPECT_NEAR(w.PeakHz(), FrameHz(29), 5);
  EXPECT_TRUE(Find<QToolButton>(rt, "Pause").isEnabled());

  QCheckBox& oscope = Find<QCheckBox>(rt, "Oscilloscope");
  QTest::keyClick(&oscope, Qt::Key_Space); // the check box's own key
  EXPECT_FALSE(oscope.isChecked());
  EXPECT_FALSE(rt.Paused());
  oscope.setChecked(true);
  QTest::keyClick(&w.form, Qt::Key_Space);
  ASSERT_TRUE(rt.Paused());
  EXPECT_EQ(FindAll<QToolButton>(rt, "Resume").size(), 1);

  const QImage picture = w.form.SpectrogramPage().SpectroGram().Image();
  w.Feed(30, 35);
  EXPECT_NEAR(w.PeakHz(), FrameHz(29), 5); // held
  EXPECT_EQ(rt.FramesText(), "35");        // still counted
  EXPECT_EQ(rt.History().End(), 35 * N);   // still kept
  EXPECT_EQ(rt.HistoryRange(), std::make_pair(-29, 5));

  rt.SetHistoryPosition(5);
  EXPECT_EQ(rt.ShownText(), "0.00 s"); // the newest kept frame, not the pause, is 0
  rt.SetHistoryPosition(-10);
  EXPECT_NEAR(w.PeakHz(), FrameHz(19), 5);
  EXPECT_EQ(rt.ShownText(), "-0.35 s");
  // The mouse read-out reads the frame shown.
  TGraphBox& spectrum = w.form.GraphPage().SpectrumGraph();
  spectrum.grab();
  const QPoint at = spectrum.ValueToPixel(FrameHz(19), -20);
  w.form.GraphPage().SpectrumGraphMouseMove(at.x(), at.y());
  EXPECT_NEAR(w.form.GraphPage().MouseText().section(' ', 0, 0).toDouble(), FrameHz(19), 50);
  rt.SetHistoryPosition(3);
  EXPECT_NEAR(w.PeakHz(), FrameHz(32), 5);
  EXPECT_EQ(w.form.SpectrogramPage().SpectroGram().Image(), picture);

  rt.SetHistoryPosition(-10);
  Find<QPushButton>(rt, "Mark In").click();
  rt.SetHistoryPosition(-5);
  Find<QPushButton>(rt, "Mark Out").click();
  EXPECT_EQ(rt.MarkedText(), "-0.35 to -0.23 s"); // each as "Shown" read on its frame
  QTemporaryDir dir;
  const QString path = dir.filePath("marked.wav");
  QString suggested;
  w.form.AskSaveFileName = [&](const QString&, const QString& name, const QString&) {
    suggested = name;
    return path;
  };
  w.form.SaveCapture1->trigger();
  EXPECT_TRUE(suggested.startsWith("capture-") && suggested.endsWith(".wav"));
  TSoundFile saved;
  saved.SetFileName(path);
  ASSERT_EQ(saved.SoundData().SamplesPerChannel, 6 * N); // frames 19 to 24
  EXPECT_EQ(saved.SoundData().Format.nSamplesPerSec, 44100u);
  for (int k = 19; k < 25; ++k) {
    const std::vector<std::int16_t> frame = FrameOf(k);
    EXPECT_EQ(saved.SoundData().Channels[0].mid((k - 19) * N, N),
              TSoundArray(frame.begin(), frame.end()))
        << k;
  }

  w.form.AnalyzeCapture1->trigger();
  EXPECT_EQ(w.form.InputPages().currentWidget(), &w.form.WaveFilePage());
  EXPECT_TRUE(w.form.windowTitle().startsWith("Capture at ")) << w.form.windowTitle().toStdString();
  EXPECT_EQ(w.form.WaveFilePage().FileStatistics().value(1), "44100");
  EXPECT_FALSE(rt.Paused());
  w.form.WaveFilePage().SetBufferSize(N);
  w.form.WaveFilePage().SetOffset(2.0 * N / 44100 + 0.001); // into frame 21
  w.form.WaveFilePage().AnalyzeFileBtnClick();
  EXPECT_NEAR(w.PeakHz(), FrameHz(21), 60);

  // Back to the present: live frames show again and add rows.
  w.form.InputPages().setCurrentWidget(&rt);
  Find<QToolButton>(rt, "Pause").click();
  ASSERT_TRUE(rt.Paused());
  Find<QToolButton>(rt, "Resume").click();
  EXPECT_FALSE(rt.Paused());
  EXPECT_EQ(rt.MarkedText(), "");
  w.Feed(35, 36);
  EXPECT_NEAR(w.PeakHz(), FrameHz(35), 5);
}

// Guards the save's failures: nothing captured is said before any dialog;
// a folder that is not there, and a disk that fills up (a file size limit
// here), give the reason and leave no file under the name, nor a scrap
// beside it, and a file that was there stays as it was.
TEST(CaptureHistory, SaveFailuresLeaveNoHalfWrittenFile)
{
  Window w;
  bool asked = false;
  w.form.AskSaveFileName = [&](const QString&, const QString&, const QString&) {
    asked = true;
    return QString();
  };
  try {
    w.form.SaveCapture1Click();
    ADD_FAILURE() << "no message";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Nothing has been captured yet"), std::string::npos);
  }
  EXPECT_FALSE(asked);

  w.Feed(0, 40);
  EXPECT_THROW(w.rt().SaveCapture("/nonexistent-folder/capture.wav"), EFileWriteError);
  QTemporaryDir dir;
  const QString path = dir.filePath("full.wav");
  QFile old(path);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("what was there");
  old.close();
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 16 * 1024; // the capture is 80 kB
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  QString reason;
  try {
    w.rt().SaveCapture(path);
  } catch (const EFileWriteError& e) {
    reason = e.Reason();
  }
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(reason.isEmpty());
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_EQ(old.readAll(), "what was there");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"full.wav"});
}

// Guards the minutes kept: the setting shows the memory they take at the
// chosen format (635 MB for an hour of 44.1 kHz stereo 16-bit), within
// 1 to 60 minutes.
TEST(CaptureHistory, MinutesShowTheirMemory)
{
  Window w;
  w.form.Reader().SetWaveType(wf44Khz_Stereo_16Bit);
  w.rt().FormatComboChange();
  w.rt().SetHistoryMinutes(60);
  EXPECT_EQ(w.rt().HistoryMemoryText(), "635 MB");
  w.rt().SetHistoryMinutes(500);
  EXPECT_EQ(w.rt().HistoryMinutes(), 60);
  w.rt().SetHistoryMinutes(5);
  EXPECT_EQ(w.rt().HistoryMemoryText(), "53 MB");
  EXPECT_EQ(w.rt().History().Minutes(), 5);
}
