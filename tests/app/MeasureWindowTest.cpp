// SPDX-License-Identifier: GPL-3.0-or-later
// Measurement in the window: the Bands page, the read-out under the
// spectrum, calibration with its settings, and the loopback test on a
// simulated card. Set DUVOVOVI_SCREENSHOTS to a folder to keep pictures of
// the window as the tests leave it.
#include "WindowDriver.h"
#include "analysis/OctaveBands.h"
#include "app/SAMain.h"
#include "app/pages/BandsPage.h"
#include "app/pages/CalibrationDialog.h"
#include "app/pages/GraphPage.h"
#include "app/pages/LoopbackDialog.h"
#include "app/pages/MeasurePanel.h"
#include "app/pages/MeasureState.h"
#include "app/pages/Measurement.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/WaveFilePage.h"
#include "audio/Waveread.h"
#include "controls/RecentFiles.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"
#include "support/UiSupport.h"
#include "wavefile/WavWriter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
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

struct Window
{
  Window()
  {
    SetWaveMessageHandler([](const QString&) {});
    ShowExceptionText = [this](const QString& Text) { messages << Text; };
    // A settings folder of its own: tests that run beside this one, and
    // earlier runs, keep their settings to themselves.
    qputenv("HOME", home.path().toLocal8Bit());
    form = std::make_unique<TForm1>();
    form->resize(900, 640);
  }
  ~Window()
  {
    form.reset();
    qputenv("HOME", oldHome);
  }
  void Shot(const char* Name, QWidget* What = nullptr)
  {
    const QString dir = qEnvironmentVariable("DUVOVOVI_SCREENSHOTS");
    if (dir.isEmpty())
      return;
    QWidget* w = What ? What : form.get();
    w->show();
    QApplication::processEvents();
    w->grab().save(QDir(dir).filePath(QString::fromLatin1(Name) + ".png"));
  }
  // Opens a 16-bit file at 44.1 kHz of a sine at Hz of amplitude Amp with a
  // second harmonic of Second times its amplitude, and analyses Size
  // samples of it.
  void OpenTone(double Hz, double Amp, double Second = 0, int Size = 8192, bool Analyze = true)
  {
    QByteArray data;
    for (int i = 0; i < 44100; ++i) {
      const double t = 2 * std::numbers::pi * Hz * i / 44100;
      data += le16(int(std::lround(32767 * Amp * (std::sin(t) + Second * std::sin(2 * t)))));
    }
    WavBuilder wav;
    wav.fmt(1, 44100, 16).chunk("data", data);
    // A name of its own: the page keeps a file it has open.
    form->OpenWaveFile(writeTemp(QStringLiteral("tone%1.wav").arg(++files), wav.finish()));
    form->WaveFilePage().SetBufferSize(Size);
    if (Analyze)
      form->WaveFilePage().AnalyzeFileBtnClick();
  }
  TMeasurement& m() { return form->Measurement(); }
  QByteArray oldHome = qgetenv("HOME");
  QTemporaryDir home;
  std::unique_ptr<TForm1> form;
  QStringList messages;
  int files = 0;
};

// The level of the bar of a band, as the Bands page shows it.
double BarLevel(TBandsPage& page, double Nominal)
{
  for (const TBandBar& b : page.View().Bars())
    if (b.Band.Nominal == Nominal)
      return b.Level;
  ADD_FAILURE() << "no bar at " << Nominal;
  return 0;
}

} // namespace

// Guards the Bands page: a tab beside the spectrum, bars that follow the
// frames (a tone in its band, the floor elsewhere), octaves and third
// octaves, the weighting list shared with the spectrum's, and the level of
// the bar under the pointer read out and drawn over it.
TEST(MeasureWindow, BandsPage)
{
  Window w;
  QTabWidget& views = w.form->ViewPages();
  TBandsPage& bands = w.m().BandsPage();
  EXPECT_EQ(views.tabText(views.indexOf(&bands)), "Bands");
  // A hidden page leaves the frames alone, so the page is shown first.
  views.setCurrentWidget(&bands);
  w.form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));
  // Hann keeps the tone in its bands; the rectangular window spreads it.
  w.form->GraphPage().SetWindow(TWindowKind::Hann);
  w.OpenTone(1000, 0.5);
  EXPECT_NEAR(BarLevel(bands, 1000), -6.02, 0.05);
  EXPECT_EQ(BarLevel(bands, 125), -96);
  EXPECT_EQ(bands.View().Bars().size(), ResolvedBands(3, {44100, 8192, 16, 1, 0, {}}).size());
  Find<QComboBox>(bands, "Bands").setCurrentIndex(0);
  EXPECT_EQ(bands.Fraction(), OctaveFraction);
  EXPECT_EQ(bands.View().Bars().size(), 10u); // 16 Hz .. 8 kHz
  EXPECT_NEAR(BarLevel(bands, 1000), -6.02, 0.05);

  w.OpenTone(125, 0.5);
  Find<QComboBox>(bands, "Weighting").setCurrentIndex(1); // A
  EXPECT_EQ(w.m().State().Correction().Weighting, TWeighting::A);
  EXPECT_EQ(Find<QComboBox>(w.form->GraphPage(), "Weighting").currentText(), "A");
  EXPECT_NEAR(BarLevel(bands, 125), -6.02 - 16.1, 0.2);
  EXPECT_EQ(bands.View().Unit(), "dB(A)");

  TBandsView& view = bands.View();
  const QRect plot(0, 0, view.width(), view.height());
  // The middle of the 125 Hz band's column.
  int first = -1, last = -1;
  for (int x = 0; x < plot.width(); ++x)
    if (const int i = view.BarAt({x, plot.height() / 2});
        i >= 0 && view.Bars()[std::size_t(i)].Band.Nominal == 125) {
      first = first < 0 ? x : first;
      last = x;
    }
  ASSERT_GE(first, 0);
  const int bar = (first + last) / 2 - 3;
  QTest::mouseMove(&view, {bar + 3, plot.height() / 2});
  EXPECT_TRUE(bands.BandText().startsWith("125 Hz  -22.")) << bands.BandText().toStdString();
  EXPECT_TRUE(bands.BandText().endsWith(" dB(A)"));
  const QImage picture = view.grab().toImage();
  int yellow = 0;
  for (int y = 0; y < picture.height(); ++y)
    yellow += picture.pixelColor(bar + 3, y) == QColor(255, 255, 0);
  EXPECT_GT(yellow, 10); // the bar under the pointer
  w.Shot("bands");

  // Hidden while a frame came, the page catches up when shown again.
  views.setCurrentIndex(0);
  w.OpenTone(1000, 0.5);
  views.setCurrentWidget(&bands);
  EXPECT_NEAR(BarLevel(bands, 1000), -6.02, 0.05);
}

// Guards the read-out under the spectrum: off and hidden by default; on, it
// measures every frame shown: the sine's frequency and level, THD of a 1 %
// second harmonic, THD+N, SNR and SINAD, with the level in the weighting's
// unit.
TEST(MeasureWindow, MeasureReadOut)
{
  Window w;
  TGraphPage& graph = w.form->GraphPage();
  auto& measure = Find<QCheckBox>(graph, "Measure");
  EXPECT_FALSE(measure.isChecked());
  w.OpenTone(997, 0.5, 0.01);
  EXPECT_TRUE(w.m().Panel().Text("THD").isEmpty());
  measure.setChecked(true);
  w.form->WaveFilePage().AnalyzeFileBtnClick();
  TMeasurePanel& panel = w.m().Panel();
  ASSERT_TRUE(panel.Figures());
  EXPECT_NEAR(panel.Figures()->Frequency, 997, 0.01);
  EXPECT_TRUE(panel.Text("Sine").startsWith("997.00 Hz  -6.02 dB"))
      << panel.Text("Sine").toStdString();
  EXPECT_TRUE(panel.Text("THD").startsWith("1.00")) << panel.Text("THD").toStdString();
  EXPECT_TRUE(panel.Text("THD").endsWith("% (-40.0 dB)")) << panel.Text("THD").toStdString();
  for (const char* figure : {"THD+N", "SNR", "SINAD"})
    EXPECT_FALSE(panel.Text(figure).isEmpty()) << figure;
  EXPECT_GT(panel.Figures()->SNR, 80);
  w.Shot("measure");

  w.m().State().SetWeighting(TWeighting::C);
  EXPECT_TRUE(panel.Text("Sine").endsWith(" dB(C)"));
  // A file of silence has no tone to measure.
  w.OpenTone(997, 0);
  EXPECT_FALSE(panel.Figures());
  EXPECT_EQ(panel.Text("Sine"), "No tone stands out of the noise");
  // A file opened and not yet analysed clears the figures with the trace.
  w.OpenTone(997, 0.5);
  ASSERT_TRUE(panel.Figures());
  w.OpenTone(440, 0.5, 0, 8192, false);
  EXPECT_FALSE(panel.Figures());
  EXPECT_EQ(panel.Text("Sine"), "");
}

// Guards calibration: "Calibrate" makes the input read the reference, the
// spectrum, its axis and peak and the bands move to dB SPL, a microphone
// file is loaded (its sensitivity sets the offset) or refused with its line,
// and the settings come back in the next window.
TEST(MeasureWindow, CalibrationAndSettings)
{
  QTemporaryDir dir;
  const QString micPath = dir.filePath("mic.txt");
  {
    Window w;
    w.OpenTone(1000, 0.1); // -20 dB
    TCalibrationDialog& dialog = w.m().CalibrationDialog();
    w.m().ShowCalibration();
    dialog.SetReference(94);
    Find<QPushButton>(dialog, "Calibrate").click();
    const TLevelCorrection& c = w.m().State().Correction();
    EXPECT_TRUE(c.Calibrated);
    EXPECT_NEAR(c.Offset, 114, 0.01);
    EXPECT_NEAR(w.form->GraphPage().SpectrumView().LastFrame().Peak->Level, 94, 0.05);
    EXPECT_TRUE(w.form->GraphPage().PeakText().contains(" 94.0 dB SPL "))
        << w.form->GraphPage().PeakText().toStdString();
    EXPECT_EQ(w.form->GraphPage().SpectrumGraph().YAxis().Units(), " dB SPL");
    // The unit once on the level axis, not on every label.
    int withUnit = 0;
    for (const TAxisTick& t : w.form->GraphPage().SpectrumGraph().Layout().YTicks)
      withUnit += t.Label.contains("SPL") ? 1 : 0;
    EXPECT_EQ(withUnit, 1);
    EXPECT_EQ(w.form->GraphPage().SpectrumGraph().YAxis().AxisUnit(), "dB SPL");
    EXPECT_EQ(w.form->SpectrogramPage().SpectroGram().DepthUnit(), "dB SPL");
    EXPECT_GE(w.form->GraphPage().SpectrumGraph().YAxis().Min(), 0);
    // The level axis resets to the calibrated range, not one shifted twice.
    const double top = w.form->GraphPage().SpectrumGraph().YAxis().Max();
    Find<QAbstractButton>(w.form->GraphPage(), "Zoom In Level").click();
    Find<QAbstractButton>(w.form->GraphPage(), "Reset Level").click();
    EXPECT_NEAR(w.form->GraphPage().SpectrumGraph().YAxis().Max(), top, 1e-9);
    EXPECT_GE(top, 114 + 10);
    EXPECT_NEAR(BarLevel(w.m().BandsPage(), 1000), 94, 0.05);
    EXPECT_EQ(w.m().BandsPage().View().Unit(), "dB SPL");
    w.Shot("calibration", &dialog);

    QFile mic(micPath);
    ASSERT_TRUE(mic.open(QIODevice::WriteOnly));
    mic.write("* a microphone\n*1000Hz -30\n20 -1\n1000 0\n20000 2\n");
    mic.close();
    dialog.AskMicFile = [&] { return micPath; };
    Find<QPushButton>(dialog, "Load...").click();
    EXPECT_TRUE(w.messages.isEmpty()) << w.messages.join('\n').toStdString();
    EXPECT_EQ(w.m().State().MicFile(), micPath);
    EXPECT_NEAR(c.Offset, 124, 1e-9);
    // A damaged file is refused with its line, and the loaded one stays.
    const QString bad = dir.filePath("bad.txt");
    QFile badFile(bad);
    ASSERT_TRUE(badFile.open(QIODevice::WriteOnly));
    badFile.write("20 -1\n10 0\n");
    badFile.close();
    dialog.AskMicFile = [&] { return bad; };
    Find<QPushButton>(dialog, "Load...").click();
    ASSERT_EQ(w.messages.size(), 1);
    EXPECT_TRUE(w.messages[0].contains("line 2: 10 Hz after 20 Hz")) << w.messages[0].toStdString();
    EXPECT_EQ(w.m().State().MicFile(), micPath);
    w.m().State().SetWeighting(TWeighting::A);
    // The next window reads them back.
    EXPECT_TRUE(ResolveIniPath(QStringLiteral("duvovovi.ini")).startsWith(w.home.path()));
    TMeasureState again;
    again.SetIniPath(ResolveIniPath(QStringLiteral("duvovovi.ini")));
    again.LoadSettings();
    EXPECT_EQ(again.Correction(), w.m().State().Correction());
    EXPECT_EQ(again.MicFile(), micPath);
  }
  // Silence gives nothing to calibrate from.
  Window w;
  w.OpenTone(1000, 0);
  Find<QPushButton>(w.m().CalibrationDialog(), "Calibrate").click();
  ASSERT_EQ(w.messages.size(), 1);
  EXPECT_TRUE(w.messages[0].startsWith("There is no input to calibrate from"));
  EXPECT_FALSE(w.m().State().Correction().Calibrated);
}

// Guards the loopback test's course on a simulated card that delays what is
// played, halves it and adds a little noise: the report and the response,
// flat at -6 dB; and a card that returns nothing ends the test with a
// message.
TEST(MeasureWindow, LoopbackOnASimulatedCard)
{
  Window w;
  TLoopbackDialog& dialog = w.m().LoopbackDialog();
  std::vector<std::int16_t> played;
  dialog.StartCapture = [](const QByteArray&, QString&) { return true; };
  dialog.StopCapture = [] {};
  dialog.Play = [&](WAVEFORMATEX Format, const void* Data, std::uint32_t Size, bool) {
    EXPECT_EQ(Format.nSamplesPerSec, 44100u);
    const auto* s = static_cast<const std::int16_t*>(Data);
    played.assign(s, s + Size / 2);
  };
  int finished = 0;
  QObject::connect(&dialog, &TLoopbackDialog::OnFinished, [&] { ++finished; });
  Find<QPushButton>(dialog, "Start").click();
  ASSERT_TRUE(dialog.Running());
  EXPECT_TRUE(played.empty()); // the output waits for the input to run
  const std::vector<std::int16_t> first(2048, 7);
  dialog.Capture(first.data(), 2048);
  EXPECT_EQ(std::int64_t(played.size()), dialog.Settings().TotalSamples());
  std::vector<std::int16_t> heard(5000, 0);
  for (std::size_t i = 0; i < played.size(); ++i)
    heard.push_back(std::int16_t(played[i] / 2 + int(i % 3) - 1));
  heard.resize(heard.size() + 20000, 0);
  for (std::size_t at = 0; at < heard.size() && dialog.Running(); at += 2048) {
    dialog.Capture(heard.data() + at, int(std::min<std::size_t>(2048, heard.size() - at)));
    QApplication::processEvents();
  }
  ASSERT_EQ(finished, 1);
  ASSERT_TRUE(dialog.Result()) << dialog.Status().toStdString();
  EXPECT_TRUE(dialog.Status().startsWith("Done: THD+N ")) << dialog.Status().toStdString();
  EXPECT_NEAR(dialog.Result()->Figures.Level, -12.04, 0.05);
  for (const TResponsePoint& p : dialog.Result()->Response)
    EXPECT_NEAR(p.Gain, -6.02, 0.05) << p.Band.Nominal;
  EXPECT_TRUE(dialog.Report().contains("\nTHD+N: ")) << dialog.Report().toStdString();
  w.Shot("loopback", &dialog);

  Find<QPushButton>(dialog, "Start").click();
  ASSERT_TRUE(dialog.Running());
  const std::vector<std::int16_t> silence(2048, 0);
  dialog.Capture(silence.data(), 2048);
  Find<QPushButton>(dialog, "Stop").click();
  EXPECT_EQ(finished, 2);
  EXPECT_EQ(dialog.Status(), "Stopped.");
  EXPECT_FALSE(dialog.Result());
}
