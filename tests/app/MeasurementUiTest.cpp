// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement tools in the window: the window function and the peak
// read-out, the averaged and held traces, the perceptual colour schemes and
// the spectrum and spectrogram exports.
#include "WindowDriver.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/SASynthesizer.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/SynthesizePage.h"
#include "audio/Waveread.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

#include <sys/stat.h>

using namespace duv;
using namespace duv::test;

namespace {

// Keeps the reader's messages (no input device here) out of modal boxes;
// made before the window, whose reader reports at once.
struct Window
{
  QuietReader quiet;
  Window()
  {
    // The worked values are at the smallest format; a first start takes the
    // input's own.
    form.RealTimePage().SetFormat(wf11Khz_Mono_8Bit);
    form.SynthesizePage().Synthesizer().Play = [](WAVEFORMATEX, const void*, std::uint32_t, bool) {};
    form.RealTimePage().SetBufferSize(4096); // at 11025 Hz
  }
  TForm1 form;
  TGraphPage& graph = form.GraphPage();
  TSynthesizePage& synth = form.SynthesizePage();

  // Shows the synthesizer's tone at amplitude Amp.
  void Tone(double Amp)
  {
    TSynthParams p;
    p.Amp = Amp;
    synth.SetParams(p);
  }

  // The point of a series nearest to a frequency.
  TDataPoint At(int series, double hz)
  {
    TDataPoint best{};
    double distance = 1e300;
    for (const TDataPoint& p : graph.SpectrumGraph().Points())
      if (p.Series == series && std::abs(p.X - hz) < distance) {
        distance = std::abs(p.X - hz);
        best = p;
      }
    return best;
  }
};

} // namespace

// Guards the window list and the peak read-out: every path transforms
// through the chosen window, and the strongest peak is read between bins
// with its note and cents.
TEST(Measurement, WindowAndPeakReadOut)
{
  Window w;
  w.synth.TestBtnClick(); // the synthesizer's 500 Hz sine
  QString text = w.graph.PeakText();
  EXPECT_TRUE(text.startsWith("500.")) << text.toStdString();
  EXPECT_TRUE(text.contains("B - 4 +")) << text.toStdString();
  EXPECT_TRUE(text.endsWith(" cents"));

  auto& windows = Find<QComboBox>(w.graph, "Window");
  windows.setCurrentIndex(windows.findText("Hann"));
  EXPECT_EQ(w.graph.SpectrumView().Window(), TWindowKind::Hann);
  w.synth.TestBtnClick();
  text = w.graph.PeakText();
  const QStringList parts = text.split("  ");
  ASSERT_EQ(parts.size(), 3) << text.toStdString();
  EXPECT_NEAR(parts[0].section(' ', 0, 0).toDouble(), 500, 0.05);
  // An 8-bit sine of amplitude 127 against the 128 of full scale.
  EXPECT_NEAR(parts[1].section(' ', 0, 0).toDouble(), -0.07, 0.15);
  EXPECT_EQ(parts[2], "B - 4 +21 cents");
  EXPECT_EQ(QStringList({"Rectangular", "Hann", "Hamming", "Blackman", "Blackman-Harris", "Flat Top"}),
            Items(windows));
}

// Guards the second trace: Peak Hold keeps a tone's level after it stops
// while the live trace falls; Reset and a new window start it over; the
// average weighs a frame by its duration; the time constant is offered only
// for the average.
TEST(Measurement, PeakHoldAverageAndReset)
{
  Window w;
  TGraphPage& g = w.graph;
  TGraphBox& spectrum = g.SpectrumGraph();
  g.SetTraceMode(TTraceMode::PeakHold);
  EXPECT_FALSE(Find(g, "Average time").isEnabled());
  w.synth.TestBtnClick();
  w.Tone(0); // the tone stops: a new, silent frame
  EXPECT_GT(w.At(1, 500).Y, -3);
  EXPECT_EQ(w.At(0, 500).Y, -48);
  EXPECT_EQ(spectrum.SeriesCount(1), 2047);

  Find<QPushButton>(g, "Reset trace").click();
  EXPECT_EQ(spectrum.SeriesCount(1), 0);
  w.Tone(1);
  EXPECT_GT(w.At(1, 500).Y, -3);
  g.SetWindow(TWindowKind::Blackman);
  EXPECT_EQ(spectrum.SeriesCount(1), 0);

  g.SetTraceMode(TTraceMode::Average);
  EXPECT_TRUE(Find(g, "Average time").isEnabled());
  g.SetAverageTime(5);
  EXPECT_EQ(g.SpectrumView().Hold().TimeConstant(), 5);
  w.synth.TestBtnClick();
  EXPECT_EQ(g.SpectrumView().Hold().Mode(), TTraceMode::Average);
  EXPECT_GT(spectrum.SeriesCount(1), 0);
  // A silent frame of 0.37 s weighs 7 % in a 5 s average: the level falls 0.3 dB.
  const double tone = w.At(1, 500).Y;
  w.Tone(0);
  EXPECT_GT(w.At(1, 500).Y, tone - 0.5);
  g.SetTraceMode(TTraceMode::Live);
  EXPECT_EQ(spectrum.SeriesCount(1), 0);
}

// Guards the exports: the saved CSV reads back to the values shown, the
// clipboard text is the same, the picture is the spectrogram with its
// margins and bar; a cancelled save writes nothing, and a file that cannot
// be written says so. A FIFO chosen as the file was replaced by the export:
// both saves refuse it and leave it.
TEST(Measurement, ExportSpectrumAndSpectrogram)
{
  Window w;
  TForm1& f = w.form;
  f.resize(900, 650);
  f.show();
  w.synth.TestBtnClick();
  QTemporaryDir dir;
  QString answer = dir.filePath("spectrum.csv");
  f.AskSaveFileName = [&answer](const QString&, const QString&, const QString&) { return answer; };

  f.SaveSpectrum1->trigger();
  QFile csv(answer);
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
  const TSpectrumFrame& shown = w.graph.SpectrumView().LastFrame();
  ASSERT_EQ(lines.size(), int(shown.X.size()) + 2);
  EXPECT_EQ(lines[0].section('=', 1).toDouble(), shown.DCOffset);
  EXPECT_EQ(lines[1], "frequency_hz,level_db");
  for (std::size_t k = 0; k < shown.X.size(); ++k) {
    const QStringList cells = lines[int(k) + 2].split(',');
    ASSERT_EQ(cells.size(), 2);
    ASSERT_EQ(cells[0].toDouble(), shown.X[k]) << k;
    ASSERT_EQ(cells[1].toDouble(), shown.Y[k]) << k;
  }
  csv.seek(0);
  f.CopySpectrumText1->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(csv.readAll()));

  f.ViewPages().setCurrentWidget(&f.SpectrogramPage());
  QApplication::processEvents();
  answer = dir.filePath("spectrogram.png");
  f.SaveSpectrogramImage1->trigger();
  const QImage png(answer);
  ASSERT_FALSE(png.isNull());
  const TSpectroGram& spectro = f.SpectrogramPage().SpectroGram();
  EXPECT_EQ(png.size(), spectro.size());
  EXPECT_GT(spectro.width(), spectro.Margins().Left + spectro.Margins().Right);

  answer.clear();
  f.SaveSpectrum1->trigger();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
  answer = dir.filePath("no-such-folder/spectrum.csv");
  EXPECT_THROW(
      {
        try {
          f.SaveSpectrum1Click();
        } catch (const std::runtime_error& e) {
          EXPECT_TRUE(QString(e.what()).startsWith("Cannot write file")) << e.what();
          throw;
        }
      },
      std::runtime_error);

  answer = dir.filePath("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(answer).constData(), 0600), 0);
  for (void (TForm1::*save)() :
       {&TForm1::SaveSpectrum1Click, &TForm1::SaveSpectrogramImage1Click}) {
    try {
      (f.*save)();
      ADD_FAILURE() << "the FIFO was written";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), "Cannot write file " + answer.toStdString() +
                              ": it is a named pipe (FIFO), not a regular file");
    }
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(answer).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
  }
}

// Guards the perceptual colour schemes in the list: each loads its own
// 32-colour table into the spectrogram's bar.
TEST(Measurement, PerceptualColorSchemes)
{
  Window w;
  TSpectrogramPage& page = w.form.SpectrogramPage();
  const TSpectroGram& spectro = page.SpectroGram();
  page.SetColorScheme(2);
  EXPECT_EQ(spectro.ColorCount(), TColorDepth::dcViridis);
  EXPECT_EQ(spectro.DepthBar()->EdgeCount(), 33);
  EXPECT_EQ(spectro.DepthBar()->Edge(1).Color, MakeColor(253, 231, 37));
  page.SetColorScheme(3);
  EXPECT_EQ(spectro.ColorCount(), TColorDepth::dcMagma);
  EXPECT_EQ(spectro.DepthBar()->Edge(1).Color, MakeColor(252, 253, 191));
}
