// SPDX-License-Identifier: GPL-3.0-or-later
// The main window without a sound device in play: its controls as built,
// the handlers of the view buttons, the settings and the mouse read-outs,
// the font rule, accessibility, and what it does with no input device.
#include "LayoutCheck.h"
#include "WindowDriver.h"
#include "app/SAAbout.h"
#include "app/SAMain.h"
#include "app/pages/CalibrationDialog.h"
#include "app/pages/GraphPage.h"
#include "app/pages/LoopbackDialog.h"
#include "app/pages/MeasurePanel.h"
#include "app/pages/Measurement.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/ScopeBand.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/SynthesizePage.h"
#include "app/pages/WaveFilePage.h"
#include "audio/InputChooser.h"
#include "audio/Waveread.h"
#include "controls/RadioGroup.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "controls/SpeedButton.h"
#include "graph/Graphbox.h"
#include "spectrogram/SASpectroDlg.h"
#include "spectrogram/Spectrogram.h"
#include "support/UiSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QMediaDevices>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace duv;
using namespace duv::test;

namespace {

// Keeps the reader's messages out of modal boxes and counts them.
struct Messages
{
  QStringList Texts;
  TWaveMessageEvent Previous;
  Messages()
  {
    Previous = SetWaveMessageHandler([this](const QString& t) { Texts << t; });
  }
  ~Messages() { SetWaveMessageHandler(Previous); }
};

// A window as the user first sees it, shown so that it is laid out.
struct Window
{
  Messages messages;
  TForm1 form;
  Window()
  {
    // The worked values are at the smallest format; a first start takes the
    // input's own.
    form.RealTimePage().SetFormat(wf11Khz_Mono_8Bit);
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
};

} // namespace

// Guards the Real Time page and the view pages as built: captions, items,
// initial values and the pages shown first.
TEST(MainWindow, ControlsAsDesigned)
{
  Window w;
  TForm1& f = w.form;
  TRealTimePage& rt = f.RealTimePage();
  EXPECT_EQ(f.windowTitle(), "Duvovovi");
  EXPECT_EQ(f.InputPages().tabText(0), "Real Time");
  EXPECT_EQ(f.InputPages().currentWidget(), &rt);
  EXPECT_EQ(f.ViewPages().tabText(0), "Graph");
  EXPECT_EQ(f.ViewPages().tabText(1), "Spectrogram");
  EXPECT_EQ(f.ViewPages().currentWidget(), &f.GraphPage());

  EXPECT_TRUE(FindAll<QPushButton>(rt, "Choose Input").size() == 1);
  EXPECT_EQ(Items(Find<QComboBox>(rt, "Buffer Size")),
            QStringList({"256", "512", "1024", "2048", "4096", "8192", "16384", "32768"}));
  EXPECT_EQ(Find<QComboBox>(rt, "Buffer Size").currentText(), "256");
  EXPECT_EQ(Find<QComboBox>(rt, "Data Format").currentIndex(), 0);
  auto& start = Find<QToolButton>(rt, "Start");
  auto& stop = Find<QToolButton>(rt, "Stop");
  EXPECT_EQ(start.text(), "S&tart");
  EXPECT_EQ(stop.text(), "Sto&p");
  EXPECT_EQ(stop.toolTip(), "Stop");
  EXPECT_FALSE(start.isChecked());
  EXPECT_TRUE(stop.isChecked());
  EXPECT_TRUE(Find<QCheckBox>(rt, "Oscilloscope").isChecked());
  EXPECT_EQ(FindAll<QGroupBox>(rt, "Spectrum Analyzer").size(), 1);
  EXPECT_TRUE(Find<QCheckBox>(rt, "Spectrum Analyzer").isChecked());
  auto& channel = Find<TRadioGroup>(rt, "Channel");
  EXPECT_EQ(channel.ItemIndex(), 0);
  EXPECT_EQ(channel.Button(1)->text(), "&Right");
  EXPECT_EQ(rt.FramesText(), "");

  TGraphPage& graph = f.GraphPage();
  TSpectrogramPage& sp = f.SpectrogramPage();
  EXPECT_EQ(Items(Find<QComboBox>(sp, "Color Scheme")),
            QStringList({"Red-Black", "Rainbow", "Viridis", "Magma"}));
  EXPECT_EQ(Find<QComboBox>(graph, "Window").currentText(), "Hann");
  EXPECT_EQ(Find<QComboBox>(graph, "Trace").currentText(), "Live");
  EXPECT_FALSE(Find(graph, "Average time").isEnabled());
  EXPECT_EQ(graph.SpectrumView().Window(), TWindowKind::Hann);
  EXPECT_TRUE(graph.RoundTicks() && sp.RoundTicks() && sp.SpectroGram().RoundTicks());
  EXPECT_EQ(sp.ColorScheme(), 0);
  const TRealSpin& time = sp.TimeSpan();
  EXPECT_EQ(time.Value(), 10);
  EXPECT_EQ(time.MinValue(), 1);
  EXPECT_EQ(time.MaxValue(), 600);
  EXPECT_EQ(time.UnitsString(), "Sec");
  EXPECT_EQ(sp.SpectroGram().ColorCount(), TColorDepth::dcTemp32);
  EXPECT_EQ(FindAll<QCheckBox>(graph, "Log").size(), 1);

  // The view buttons' hints, in the order they stand.
  const auto hints = [](QWidget& scope) {
    QStringList out;
    for (TSpeedButton* b : scope.findChildren<TSpeedButton*>())
      out << b->toolTip();
    return out;
  };
  EXPECT_EQ(hints(f.ScopeBand()),
            QStringList({"Move Left", "Move Right", "Zoom In", "Zoom Out", "Reset", "Move Up",
                         "Zoom In", "Reset", "Zoom Out", "Move Down"}));
  EXPECT_EQ(hints(graph), QStringList({"Move Left", "Move Right", "Zoom In", "Zoom Out", "Reset",
                                       "Move Up", "Zoom In", "Reset", "Zoom Out", "Move Down"}));

  // The graphs as the design sets them, and the first set-up's figures:
  // the first format and 256 samples.
  TGraphBox& left = f.ScopeBand().LeftGraph();
  EXPECT_EQ(left.Title().Caption(), "Left Channel");
  EXPECT_TRUE(f.ScopeBand().RightGraph().Title().Boxed());
  EXPECT_EQ(graph.SpectrumGraph().GraphBorder(), 25);
  EXPECT_EQ(graph.SpectrumGraph().Color(), clBlack);
  EXPECT_FALSE(graph.SpectrumGraph().Title().ShowCaption());
  EXPECT_EQ(left.PointCount(), 0);
  EXPECT_EQ(rt.BufferSize(), 256);
  EXPECT_EQ(f.Reader().SampleCount(), 256);
  EXPECT_EQ(left.XAxis().Max(), 255);
}

// Guards accessibility: every control can be found by a name, glyph-only
// buttons by their hint, read-outs by their panel's caption with the figure
// as their description.
TEST(MainWindow, EveryControlHasAnAccessibleName)
{
  Window w;
  QStringList unnamed;
  for (QWidget* c : w.form.findChildren<QWidget*>()) {
    const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c) ||
                         qobject_cast<QLineEdit*>(c) || qobject_cast<TReadOut*>(c) ||
                         qobject_cast<TGraphBox*>(c) || qobject_cast<TSpectroGram*>(c) ||
                         qobject_cast<TColorBar*>(c) || qobject_cast<QGroupBox*>(c);
    if (!control || !c->isVisibleTo(&w.form))
      continue;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
    if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
      unnamed << duv::test::Describe(c);
  }
  EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join("\n").toStdString();

  TForm1& f = w.form;
  EXPECT_EQ(FindAll<TReadOut>(f.RealTimePage(), "Frames:").size(), 1);
  EXPECT_EQ(FindAll<TReadOut>(f.ScopeBand(), "Pos: X").size(), 1);
  // The zoom and reset buttons are named by the axis they move; their hints
  // stay short.
  for (const char* name : {"Zoom In Time", "Zoom Out Time", "Reset Time", "Zoom In Level",
                           "Zoom Out Level", "Reset Level"})
    EXPECT_EQ(FindAll<TSpeedButton>(f.ScopeBand(), name).size(), 1) << name;
  for (const char* name : {"Zoom In Frequency", "Zoom Out Frequency", "Reset Frequency",
                           "Zoom In Level", "Zoom Out Level", "Reset Level"})
    EXPECT_EQ(FindAll<TSpeedButton>(f.GraphPage(), name).size(), 1) << name;
  EXPECT_EQ(Find<TSpeedButton>(f.ScopeBand(), "Zoom Out Time").toolTip(), "Zoom Out");
  // The shown figure is what a screen reader reads out.
  auto& bandwidth = Find<TReadOut>(f.RealTimePage(), "Bandwidth:");
  EXPECT_EQ(bandwidth.accessibleDescription(), bandwidth.Text());
}

// Guards the view buttons: the oscilloscope buttons act on both channel
// graphs, the spectrum buttons on the spectrum alone, reset returns to the
// last set-up, and "Log" switches the spectrum's frequency axis.
TEST(MainWindow, ViewButtons)
{
  Window w;
  TForm1& f = w.form;
  TScopeBand& band = f.ScopeBand();
  TGraphBox &left = band.LeftGraph(), &right = band.RightGraph();
  TGraphBox& spectrum = f.GraphPage().SpectrumGraph();
  Find<QToolButton>(band, "Zoom In Time").click();
  EXPECT_DOUBLE_EQ(left.XAxis().Min(), 12.75);
  EXPECT_DOUBLE_EQ(right.XAxis().Max(), 242.25);
  Find<QToolButton>(band, "Move Up").click();
  EXPECT_DOUBLE_EQ(right.YAxis().Min(), 25.6);
  Find<QToolButton>(band, "Reset Time").click();
  Find<QToolButton>(band, "Reset Level").click();
  EXPECT_EQ(right.XAxis().Max(), 255);
  EXPECT_EQ(right.YAxis().Min(), 0);

  TGraphPage& page = f.GraphPage();
  const double max = spectrum.XAxis().Max();
  Find<QToolButton>(page, "Move Right").click();
  EXPECT_GT(spectrum.XAxis().Max(), max);
  EXPECT_EQ(left.XAxis().Max(), 255);
  Find<QToolButton>(page, "Reset Frequency").click();
  EXPECT_EQ(spectrum.XAxis().Max(), max);
  const double lo = spectrum.YAxis().Min(), hi = spectrum.YAxis().Max();
  Find<QToolButton>(page, "Zoom Out Level").click();
  EXPECT_DOUBLE_EQ(spectrum.YAxis().Max(), (hi + lo) / 2 + (hi - lo) / 2 * 1.1);
  Find<QToolButton>(page, "Reset Level").click();
  EXPECT_EQ(spectrum.YAxis().Max(), hi);

  auto& log = Find<QCheckBox>(page, "Log");
  log.click();
  EXPECT_TRUE(spectrum.XAxis().Log());
  log.click();
  EXPECT_FALSE(spectrum.XAxis().Log());
}

// Guards the settings handled while stopped: a new time span or buffer size
// sets the displays up again without starting capture; "Rainbow" switches the
// spectrogram to the 30-colour table and starts it over.
TEST(MainWindow, SettingsWhileStopped)
{
  Window w;
  TForm1& f = w.form;
  TSpectroGram& spectro = f.SpectrogramPage().SpectroGram();
  // 11025 Hz, the first format (also the set-up without an input device).
  f.SpectrogramPage().TimeSpan().SetValue(20);
  EXPECT_FALSE(f.RealTimePage().Capturing());
  EXPECT_EQ(spectro.ImageHeight(), 861); // 20 s of 43.07 frames a second
  EXPECT_EQ(spectro.YRange().First, 20);

  f.RealTimePage().SetBufferSize(1024);
  EXPECT_FALSE(f.RealTimePage().Capturing());
  EXPECT_EQ(f.Reader().SampleCount(), 1024);
  EXPECT_EQ(spectro.ImageWidth(), 512);
  EXPECT_EQ(f.ScopeBand().LeftGraph().XAxis().Max(), 1023);

  spectro.AddLine(std::vector<double>(512, 0.0), 511);
  f.SpectrogramPage().SetColorScheme(1);
  EXPECT_EQ(spectro.ColorCount(), TColorDepth::dc30);
  EXPECT_EQ(spectro.DepthBar()->EdgeCount(), 30);
  const QImage img = spectro.Image();
  EXPECT_EQ(img.pixel(0, img.height() - 1), qRgb(0, 0, 0)); // started over
  f.SpectrogramPage().SetColorScheme(0);
  EXPECT_EQ(spectro.ColorCount(), TColorDepth::dcTemp32);
  EXPECT_EQ(spectro.DepthBar()->EdgeCount(), 33);
}

// Guards the three mouse read-outs: frequency and level with one decimal and
// the note; frequency and time three spaces apart; positions as whole numbers
// with thousands separators.
TEST(MainWindow, MouseReadOuts)
{
  Window w;
  TForm1& f = w.form;
  TGraphPage& page = f.GraphPage();
  TGraphBox& spectrum = page.SpectrumGraph();
  spectrum.SetXRange(8, 10, 22050);
  spectrum.XAxis().SetLog(true); // a fine frequency scale
  spectrum.grab();
  const QPoint at = spectrum.ValueToPixel(440, -20);
  page.SpectrumGraphMouseMove(at.x(), at.y());
  EXPECT_EQ(page.NoteText(), "A - 4");
  const QStringList parts = page.MouseText().split(' ');
  ASSERT_EQ(parts.size(), 2);
  EXPECT_NEAR(parts[0].toDouble(), 440, 8);
  EXPECT_NEAR(parts[1].toDouble(), -20, 1);
  const QPoint low = spectrum.ValueToPixel(16, -20);
  page.SpectrumGraphMouseMove(low.x(), low.y());
  EXPECT_EQ(page.NoteText(), "Too Low");

  TSpectrogramPage& sp = f.SpectrogramPage();
  f.ViewPages().setCurrentWidget(&sp);
  TSpectroGram& spectro = sp.SpectroGram();
  spectro.resize(520, 330);
  spectro.SetXRange({0, 5000});
  spectro.SetYRange({10, 0});
  const TSpectroMargins& m = spectro.Margins();
  sp.SpectroGram1MouseMove(m.Left, m.Top);
  EXPECT_EQ(sp.MouseText(), "0.0   10.0");
  EXPECT_EQ(sp.NoteText(), "Too Low");
  // The level of the line under the pointer, as the whole-file view reads it.
  const std::vector<double> line(std::size_t(spectro.Image().width()), -42.3);
  spectro.AddLine(line, int(line.size()) - 1);
  sp.SpectroGram1MouseMove(m.Left + 10, spectro.height() - m.Bottom - 1);
  EXPECT_EQ(sp.LevelText(), "-42.3 dB");

  TGraphBox& left = f.ScopeBand().LeftGraph();
  left.SetXRange(4, 0, 4096);
  left.YAxis().SetMin(-32768);
  left.YAxis().SetMax(32768);
  left.grab();
  const QPoint p = left.ValueToPixel(2048, 16384);
  f.ScopeBand().LeftGraphMouseMove(&left, p.x(), p.y());
  // Whole numbers without thousands separators, like every other read-out.
  const QStringList pos = f.ScopeBand().PositionText().split(' ');
  ASSERT_EQ(pos.size(), 2);
  EXPECT_NEAR(pos[0].toInt(), 2048, 8) << pos[0].toStdString();
  EXPECT_NEAR(pos[1].toInt(), 16384, 1000) << pos[1].toStdString();
}

// Guards the font rule: at the design font the designed sizes hold exactly;
// at the desktop's default font and at 12 points (and, in a second run, on a
// screen scaled by two) nothing in the window or its dialogs is clipped or
// covered.
TEST(MainWindowFonts, NothingClippedAtAnyFont)
{
  const QFont design = QApplication::font();
  QFont system = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  QFont large = system;
  large.setPointSizeF(12);
  for (const QFont& font : {design, system, large}) {
    QApplication::setFont(font);
    Messages quiet;
    auto form = std::make_unique<TForm1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QString where = QStringLiteral(" at %1 pt").arg(font.pointSizeF());
    if (font == design) {
      EXPECT_EQ(DesignScale(font), 1.0);
      EXPECT_EQ(form->size(), QSize(750, 542));
      EXPECT_EQ(form->SpectrogramPage().SpectroGram().Margins().Left, 30);
    }
    // Every input page beside every view page, with the axes as designed and
    // with round ticks, units, a log frequency scale and the Measure read-out.
    for (bool readable : {false, true}) {
      form->Measurement().Panel().SetMeasuring(readable);
      form->GraphPage().SetRoundTicks(readable);
      form->SpectrogramPage().SetRoundTicks(readable);
      form->SpectrogramPage().SetLogFrequency(readable);
      // The widest figures these read-outs show: each sizes to its text.
      if (readable)
        for (const auto& [name, text] :
             {std::pair{"Shown:", "-12:34.6"}, std::pair{"Marked:", "-12:34.6 to -10:00.0"},
              std::pair{"THD:", "0.1234 % (\u221258.2 dB)"},
              std::pair{"THD+N:", "12.3456 % (\u221218.2 dB)"},
              std::pair{"DC Offset:", "-32767.99"}})
          for (TReadOut* r : FindAll<TReadOut>(*form, name))
            r->SetText(QString::fromUtf8(text));
      for (int input = 0; input < form->InputPages().count(); ++input)
        for (int page = 0; page < form->ViewPages().count(); ++page) {
          form->InputPages().setCurrentIndex(input);
          form->ViewPages().setCurrentIndex(page);
          QApplication::processEvents();
          const QStringList problems = LayoutProblems(form.get());
          EXPECT_TRUE(problems.isEmpty()) << where.toStdString() << "\n"
                                          << problems.join("\n").toStdString();
        }
    }
    TAboutDlg about(form.get());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_TRUE(LayoutProblems(&about).isEmpty())
        << where.toStdString() << "\n" << LayoutProblems(&about).join("\n").toStdString();
    TSpectroDlg dialog(*form->SpectrogramPage().SpectroGram().DepthBar(), form.get());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(LayoutProblems(&dialog).isEmpty())
        << where.toStdString() << "\n" << LayoutProblems(&dialog).join("\n").toStdString();
    for (QDialog* d : std::initializer_list<QDialog*>{&form->Measurement().CalibrationDialog(),
                                                      &form->Measurement().LoopbackDialog()}) {
      d->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(d));
      EXPECT_TRUE(LayoutProblems(d).isEmpty()) << where.toStdString() << "\n"
                                               << LayoutProblems(d).join("\n").toStdString();
      d->close();
    }
    TInputChooser chooser(QAudioDevice(), form.get());
    chooser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
    EXPECT_TRUE(LayoutProblems(&chooser).isEmpty())
        << where.toStdString() << "\n" << LayoutProblems(&chooser).join("\n").toStdString();
  }
  QApplication::setFont(design);
}

// Guards start-up without any input device: the window opens, the format
// list holds "No Wave Mapper", the user is told once, and Start captures
// nothing but leaves the buttons saying so. (Run with no sound server.)
TEST(MainWindowNoDevice, OpensWithNoWaveMapper)
{
  if (!QMediaDevices::audioInputs().isEmpty())
    GTEST_SKIP() << "an input device is present; ctest runs this with no sound server";
  Messages messages;
  TForm1 form;
  form.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  TRealTimePage& rt = form.RealTimePage();
  EXPECT_EQ(Items(Find<QComboBox>(rt, "Data Format")), QStringList({"No Wave Mapper"}));
  EXPECT_EQ(messages.Texts.count("No Wave Device Available"), 1);
  EXPECT_EQ(rt.RateTexts().front(), "5513 Hz"); // the displays as for the first format
  EXPECT_EQ(form.GraphPage().SpectrumGraph().YAxis().Min(), -60);
  Find<QToolButton>(rt, "Start").click();
  EXPECT_FALSE(rt.Capturing());
  EXPECT_TRUE(Find<QToolButton>(rt, "Stop").isChecked());
}
