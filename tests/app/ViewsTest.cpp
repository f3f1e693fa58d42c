// SPDX-License-Identifier: GPL-3.0-or-later
// The view pages in the window: read-outs, zoom limits, the channel graphs
// moving together, the legend and the axes' options.
#include "WindowDriver.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/ScopeBand.h"
#include "app/pages/SpectrogramPage.h"
#include "audio/Waveread.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"

#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace duv;
using namespace duv::test;

namespace {
struct Window
{
  TWaveMessageEvent Previous = SetWaveMessageHandler([](const QString&) {});
  TForm1 form;
  Window()
  {
    // The worked values are at the smallest format; a first start takes the
    // input's own.
    form.RealTimePage().SetFormat(wf11Khz_Mono_8Bit);
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  ~Window() { SetWaveMessageHandler(Previous); }
};

void Wheel(QWidget& w, QPoint at, int delta, Qt::KeyboardModifiers mods = {})
{
  QWheelEvent e(at, w.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &e);
}

void Leave(QWidget& w)
{
  QEvent e(QEvent::Leave);
  QApplication::sendEvent(&w, &e);
}

double Span(const TAxisParams& a)
{
  return a.Max() - a.Min();
}
} // namespace

// Guards the three read-outs: a value shows only over the plot, never the
// values past the axes in a margin (" Pos:" read -53,309 below a +-32768
// axis), and the read-out clears when the pointer leaves the view.
TEST(Views, ReadOutsOnlyOverThePlot)
{
  Window w;
  TScopeBand& band = w.form.ScopeBand();
  TGraphBox& left = band.LeftGraph();
  left.YAxis().SetMin(-32768);
  left.YAxis().SetMax(32768);
  band.LeftGraphMouseMove(&left, left.PlotLeft() + 100, left.PlotBottom() + 10);
  EXPECT_EQ(band.PositionText(), " ");
  band.LeftGraphMouseMove(&left, left.PlotLeft() + 100, left.PlotBottom());
  EXPECT_TRUE(band.PositionText().endsWith("32768")); // no thousands separator
  Leave(left);
  EXPECT_EQ(band.PositionText(), " ");

  TGraphPage& page = w.form.GraphPage();
  TGraphBox& spectrum = page.SpectrumGraph();
  page.SpectrumGraphMouseMove(spectrum.PlotLeft() - 3, spectrum.PlotTop() + 20);
  EXPECT_EQ(page.MouseText(), "");
  EXPECT_EQ(page.NoteText(), "");
  page.SpectrumGraphMouseMove(spectrum.PlotRight(), spectrum.PlotTop() + 20);
  EXPECT_FALSE(page.NoteText().isEmpty());
  Leave(spectrum);
  EXPECT_EQ(page.MouseText(), "");

  TSpectrogramPage& sp = w.form.SpectrogramPage();
  TSpectroGram& spectro = sp.SpectroGram();
  spectro.resize(520, 330);
  const TSpectroMargins& m = spectro.Margins();
  sp.SpectroGram1MouseMove(m.Left - 1, m.Top + 5);
  EXPECT_EQ(sp.MouseText(), "");
  sp.SpectroGram1MouseMove(520 - m.Right, 330 - m.Bottom);
  EXPECT_FALSE(sp.MouseText().isEmpty());
  Leave(spectro);
  EXPECT_EQ(sp.NoteText(), "");
}

// Guards the zoom limits: three hundred steps in leave the oscilloscope a few
// samples and levels wide and the spectrum one bin and one decibel wide
// instead of collapsing them, as many out stop at ten times the set-up's
// span; the channel graphs move together, and a double-click on either
// returns both to the set-up.
TEST(Views, ZoomStopsAndChannelsMoveTogether)
{
  Window w;
  TScopeBand& band = w.form.ScopeBand();
  TGraphBox &left = band.LeftGraph(), &right = band.RightGraph();
  const double x0 = left.XAxis().Min(), x1 = left.XAxis().Max();
  const QPoint middle = left.rect().center();
  for (int i = 0; i < 300; ++i) {
    Wheel(left, middle, 120);
    Wheel(right, middle, 120, Qt::ControlModifier);
  }
  EXPECT_NEAR(Span(left.XAxis()), 4, 1e-9);
  EXPECT_NEAR(Span(left.YAxis()), 4, 1e-9);
  EXPECT_EQ(right.XAxis().Min(), left.XAxis().Min());
  EXPECT_EQ(right.YAxis().Max(), left.YAxis().Max());
  for (int i = 0; i < 300; ++i)
    Find<QToolButton>(band, "Zoom Out Time").click();
  EXPECT_NEAR(Span(right.XAxis()), 10 * (x1 - x0), 1e-6);
  QTest::mouseDClick(&right, Qt::LeftButton, {}, middle);
  EXPECT_EQ(left.XAxis().Min(), x0);
  EXPECT_EQ(left.XAxis().Max(), x1);
  EXPECT_EQ(right.YAxis().Max(), 256);

  TGraphPage& page = w.form.GraphPage();
  TGraphBox& spectrum = page.SpectrumGraph();
  const double bin = spectrum.XAxis().Min(); // the axis starts at bin 1
  for (int i = 0; i < 300; ++i) {
    Find<QToolButton>(page, "Zoom In Frequency").click();
    QTest::keyClick(&spectrum, Qt::Key_Plus, Qt::ControlModifier);
  }
  EXPECT_NEAR(Span(spectrum.XAxis()), bin, 1e-9);
  EXPECT_NEAR(Span(spectrum.YAxis()), 1, 1e-9);
}

// Guards the legend: with "Average" or "Peak Hold" the top border names the
// green live trace and the yellow second one; with "Live" alone it is gone.
TEST(Views, LegendNamesTheTraces)
{
  Window w;
  TGraphPage& page = w.form.GraphPage();
  TGraphBox& g = page.SpectrumGraph();
  const auto colours = [&g] {
    const QImage img = g.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> seen;
    for (int y = 0; y < g.PlotTop(); ++y)
      for (int x = g.PlotLeft(); x <= g.PlotRight(); ++x)
        seen << img.pixel(x, y);
    return seen;
  };
  const QRgb green = qRgb(0, 255, 0), yellow = qRgb(255, 255, 0);
  EXPECT_FALSE(colours().contains(yellow));
  for (TTraceMode mode : {TTraceMode::Average, TTraceMode::PeakHold}) {
    page.SetTraceMode(mode);
    ASSERT_EQ(g.Legend().size(), 2u);
    EXPECT_EQ(g.Legend()[0].Caption, "Live");
    EXPECT_EQ(g.Legend()[1].Caption, mode == TTraceMode::Average ? "Average" : "Peak Hold");
    const QSet<QRgb> seen = colours();
    EXPECT_TRUE(seen.contains(green) && seen.contains(yellow));
  }
  page.SetTraceMode(TTraceMode::Live);
  EXPECT_FALSE(colours().contains(yellow));
}

// Guards the axes' options as the other pages keep them: "Round Ticks" on the
// Graph page rounds all three graphs' ticks and gives their units; on the
// Spectrogram page "Round Ticks" and "Log" reach the spectrogram.
TEST(Views, AxisOptions)
{
  Window w;
  TGraphPage& page = w.form.GraphPage();
  TGraphBox& spectrum = page.SpectrumGraph();
  page.SetRoundTicks(false); // a first start has them on
  EXPECT_FALSE(spectrum.RoundTicks());
  page.SetRoundTicks(true);
  EXPECT_TRUE(page.RoundTicks());
  EXPECT_TRUE(Find<QCheckBox>(page, "Round Ticks").isChecked());
  for (TGraphBox* g :
       {&w.form.ScopeBand().LeftGraph(), &w.form.ScopeBand().RightGraph(), &spectrum})
    EXPECT_TRUE(g->RoundTicks());
  EXPECT_EQ(spectrum.Layout().XTicks.back().Label, "Hz");
  EXPECT_EQ(spectrum.Layout().YTicks.back().Label, "dB");
  EXPECT_EQ(w.form.ScopeBand().LeftGraph().Layout().XTicks.back().Label, "samples");

  TSpectrogramPage& sp = w.form.SpectrogramPage();
  sp.SetLogFrequency(true);
  sp.SetRoundTicks(false);
  EXPECT_FALSE(sp.SpectroGram().RoundTicks());
  sp.SetRoundTicks(true);
  EXPECT_TRUE(sp.LogFrequency() && sp.RoundTicks());
  EXPECT_TRUE(sp.SpectroGram().LogFrequency());
  EXPECT_TRUE(sp.SpectroGram().RoundTicks());
  Find<QCheckBox>(sp, "Log").click();
  EXPECT_FALSE(sp.SpectroGram().LogFrequency());
}
