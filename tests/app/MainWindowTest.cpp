// The main window without a sound device in play: its controls as built,
// the handlers of the view buttons, the settings and the mouse read-outs,
// the font rule, accessibility, and what it does with no input device.
#include "LayoutCheck.h"
#include "app/SAAbout.h"
#include "app/SAMain.h"
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
using duv::test::LayoutProblems;

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

QStringList Items(const QComboBox* c)
{
  QStringList out;
  for (int i = 0; i < c->count(); ++i)
    out << c->itemText(i);
  return out;
}

// A window as the user first sees it, shown so that it is laid out.
struct Window
{
  Messages messages;
  TForm1 form;
  Window()
  {
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
  EXPECT_EQ(f.windowTitle(), "Duvovovi");
  EXPECT_EQ(f.PageControl1->tabText(0), "Real Time");
  EXPECT_EQ(f.PageControl1->currentWidget(), f.RealTimeSheet);
  EXPECT_EQ(f.PageControl2->tabText(0), "Graph");
  EXPECT_EQ(f.PageControl2->tabText(1), "Spectrogram");
  EXPECT_EQ(f.PageControl2->currentWidget(), f.GraphSheet);

  EXPECT_EQ(f.InputBtn->text(), "Choose Input");
  EXPECT_EQ(Items(f.BuffSizeCombo),
            QStringList({"256", "512", "1024", "2048", "4096", "8192", "16384", "32768"}));
  EXPECT_EQ(f.BuffSizeCombo->currentText(), "256");
  EXPECT_EQ(f.FormatCombo->currentIndex(), 0);
  EXPECT_EQ(f.StartBtn->text(), "Start");
  EXPECT_EQ(f.StopBtn->text(), "Start"); // both say "Start"; the glyph and name tell them apart
  EXPECT_EQ(f.StopBtn->toolTip(), "Stop");
  EXPECT_EQ(f.StopBtn->accessibleName(), "Stop");
  EXPECT_FALSE(f.StartBtn->isChecked());
  EXPECT_TRUE(f.StopBtn->isChecked());
  EXPECT_EQ(f.OscopeChk->text(), "Osciliscope");
  EXPECT_TRUE(f.OscopeChk->isChecked());
  EXPECT_EQ(f.GroupBox1->title(), "Spectrum Analyzer");
  EXPECT_EQ(f.SpectrumChk->text(), "Spectrum Analyzer");
  EXPECT_TRUE(f.SpectrumChk->isChecked());
  EXPECT_EQ(f.ChannelRadio->title(), "Channel");
  EXPECT_EQ(f.ChannelRadio->ItemIndex(), 0);
  EXPECT_EQ(f.ChannelRadio->Button(1)->text(), "Right");
  EXPECT_EQ(f.FramesDis->Text(), "");

  EXPECT_EQ(Items(f.ColorCombo), QStringList({"Red-Black", "Rainbow", "Viridis", "Magma"}));
  EXPECT_EQ(f.WindowCombo->currentText(), "Rectangular");
  EXPECT_EQ(f.TraceCombo->currentText(), "Live");
  EXPECT_FALSE(f.AverageSpin->isEnabled());
  EXPECT_EQ(f.SpectrumView->Window(), TWindowKind::Rectangular);
  EXPECT_EQ(f.ColorCombo->currentIndex(), 0);
  EXPECT_EQ(f.TimeSpin->Value(), 10);
  EXPECT_EQ(f.TimeSpin->MinValue(), 1);
  EXPECT_EQ(f.TimeSpin->MaxValue(), 600);
  EXPECT_EQ(f.TimeSpin->UnitsString(), "Sec");
  EXPECT_EQ(f.SpectroGram1->ColorCount(), TColorDepth::dcTemp32);
  EXPECT_EQ(f.LogCheck->text(), "Log");

  const QStringList scopeX = {"Move Left", "Move Right", "Zoom In", "ZoomOut", "Reset"};
  const QStringList scopeY = {"Move Up", "Zoom In", "Reset", "Zoom Out", "Move Down"};
  const QStringList specX = {"Move Left", "Move Right", "Zoom In", "Zoom Out", "Reset"};
  QStringList hints;
  for (QToolButton* b : {f.LeftRawBtn, f.PanRightRawHBtn, f.ZoomInRawHBtn, f.ZoomOutRawHBtn,
                         f.ResetRawHBtn})
    hints << b->toolTip();
  EXPECT_EQ(hints, scopeX);
  hints.clear();
  for (QToolButton* b : {f.PanUpRawVBtn, f.ZoomInRawVBtn, f.ResetRawVBtn, f.ZoomOutRawVBtn,
                         f.PanDownRawVBtn})
    hints << b->toolTip();
  EXPECT_EQ(hints, scopeY);
  hints.clear();
  for (QToolButton* b : {f.PanLeftSpecHBtn, f.PanRightSpecHBtn, f.ZoomInSpecHBtn,
                         f.ZoomOutSpecHBtn, f.ResetSpecHBtn})
    hints << b->toolTip();
  EXPECT_EQ(hints, specX);

  // The graphs as the design sets them, and the first set-up's figures:
  // the first format and 256 samples.
  EXPECT_EQ(f.LeftGraph->Title().Caption(), "Left Channel");
  EXPECT_TRUE(f.RightGraph->Title().Boxed());
  EXPECT_EQ(f.SpectrumGraph->GraphBorder(), 25);
  EXPECT_EQ(f.SpectrumGraph->Color(), clBlack);
  EXPECT_FALSE(f.SpectrumGraph->Title().ShowCaption());
  EXPECT_EQ(f.LeftGraph->PointCount(), 0);
  EXPECT_EQ(f.RealTime->BufferSize(), 256);
  EXPECT_EQ(f.WaveReader1->SampleCount(), 256);
  EXPECT_EQ(f.LeftGraph->XAxis().Max(), 255);
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

  EXPECT_EQ(w.form.FramesDis->accessibleName(), "Frames:");
  EXPECT_EQ(w.form.PosXDis->accessibleName(), "Pos: X");
  EXPECT_EQ(w.form.ZoomOutRawHBtn->accessibleName(), "ZoomOut");
  EXPECT_EQ(w.form.BuffSizeCombo->accessibleName(), "Buffer Size");
  // The shown figure is what a screen reader reads out.
  EXPECT_EQ(w.form.BandWidthDis->accessibleDescription(), w.form.BandWidthDis->Text());
}

// Guards the view buttons: the oscilloscope buttons act on both channel
// graphs, the spectrum buttons on the spectrum alone, reset returns to the
// last set-up, and "Log" switches the spectrum's frequency axis.
TEST(MainWindow, ViewButtons)
{
  Window w;
  TForm1& f = w.form;
  f.ZoomInRawHBtn->click();
  EXPECT_DOUBLE_EQ(f.LeftGraph->XAxis().Min(), 12.75);
  EXPECT_DOUBLE_EQ(f.RightGraph->XAxis().Max(), 242.25);
  f.PanUpRawVBtn->click();
  EXPECT_DOUBLE_EQ(f.RightGraph->YAxis().Min(), 25.6);
  f.ResetRawHBtn->click();
  f.ResetRawVBtn->click();
  EXPECT_EQ(f.RightGraph->XAxis().Max(), 255);
  EXPECT_EQ(f.RightGraph->YAxis().Min(), 0);

  const double max = f.SpectrumGraph->XAxis().Max();
  f.PanRightSpecHBtn->click();
  EXPECT_GT(f.SpectrumGraph->XAxis().Max(), max);
  EXPECT_EQ(f.LeftGraph->XAxis().Max(), 255);
  f.ResetSpecHBtn->click();
  EXPECT_EQ(f.SpectrumGraph->XAxis().Max(), max);
  const double lo = f.SpectrumGraph->YAxis().Min(), hi = f.SpectrumGraph->YAxis().Max();
  f.ZoomOutSpecVBtn->click();
  EXPECT_DOUBLE_EQ(f.SpectrumGraph->YAxis().Max(), (hi + lo) / 2 + (hi - lo) / 2 * 1.1);
  f.ResetSpecVBtn->click();
  EXPECT_EQ(f.SpectrumGraph->YAxis().Max(), hi);

  f.LogCheck->click();
  EXPECT_TRUE(f.SpectrumGraph->XAxis().Log());
  f.LogCheck->click();
  EXPECT_FALSE(f.SpectrumGraph->XAxis().Log());
}

// Guards the settings handled while stopped: a new time span or buffer size
// sets the displays up again without starting capture; "Rainbow" switches the
// spectrogram to the 30-colour table and starts it over.
TEST(MainWindow, SettingsWhileStopped)
{
  Window w;
  TForm1& f = w.form;
  // 11025 Hz, the first format (also the set-up without an input device).
  f.TimeSpin->SetValue(20);
  EXPECT_FALSE(f.WaveReader1->IsActive());
  EXPECT_EQ(f.SpectroGram1->ImageHeight(), 861); // 20 s of 43.07 frames a second
  EXPECT_EQ(f.SpectroGram1->YRange().First, 20);

  f.BuffSizeCombo->setCurrentIndex(2);
  EXPECT_FALSE(f.WaveReader1->IsActive());
  EXPECT_EQ(f.WaveReader1->SampleCount(), 1024);
  EXPECT_EQ(f.SpectroGram1->ImageWidth(), 512);
  EXPECT_EQ(f.LeftGraph->XAxis().Max(), 1023);

  f.SpectroGram1->AddLine(std::vector<double>(512, 0.0), 511);
  f.ColorCombo->setCurrentIndex(1);
  EXPECT_EQ(f.SpectroGram1->ColorCount(), TColorDepth::dc30);
  EXPECT_EQ(f.SpectroGram1->DepthBar()->EdgeCount(), 30);
  const QImage img = f.SpectroGram1->Image();
  EXPECT_EQ(img.pixel(0, img.height() - 1), qRgb(0, 0, 0)); // started over
  f.ColorCombo->setCurrentIndex(0);
  EXPECT_EQ(f.SpectroGram1->ColorCount(), TColorDepth::dcTemp32);
  EXPECT_EQ(f.SpectroGram1->DepthBar()->EdgeCount(), 33);
}

// Guards the three mouse read-outs: frequency and level with one decimal and
// the note; frequency and time three spaces apart; positions as whole numbers
// with thousands separators.
TEST(MainWindow, MouseReadOuts)
{
  Window w;
  TForm1& f = w.form;
  f.SpectrumGraph->SetXRange(8, 21.5, 22050);
  f.SpectrumGraph->XAxis().SetLog(true); // a fine frequency scale
  f.SpectrumGraph->grab();
  const QPoint at = f.SpectrumGraph->ValueToPixel(440, -20);
  f.SpectrumGraphMouseMove(at.x(), at.y());
  EXPECT_EQ(f.NoteDis->Text(), "A - 4");
  const QStringList parts = f.MouseDis->Text().split(' ');
  ASSERT_EQ(parts.size(), 2);
  EXPECT_NEAR(parts[0].toDouble(), 440, 8);
  EXPECT_NEAR(parts[1].toDouble(), -20, 1);
  const QPoint low = f.SpectrumGraph->ValueToPixel(16, -20);
  f.SpectrumGraphMouseMove(low.x(), low.y());
  EXPECT_EQ(f.NoteDis->Text(), "Too Low");

  f.PageControl2->setCurrentWidget(f.SpectrogramSheet);
  f.SpectroGram1->resize(520, 330);
  f.SpectroGram1->SetXRange({0, 5000});
  f.SpectroGram1->SetYRange({10, 0});
  const TSpectroMargins& m = f.SpectroGram1->Margins();
  f.SpectroGram1MouseMove(m.Left, m.Top);
  EXPECT_EQ(f.Mouse2Dis->Text(), "0.0   10.0");
  EXPECT_EQ(f.Note2Dis->Text(), "Too Low");

  f.LeftGraph->SetXRange(4, 0, 4096);
  f.LeftGraph->YAxis().SetMin(-32768);
  f.LeftGraph->YAxis().SetMax(32768);
  f.LeftGraph->grab();
  const QPoint p = f.LeftGraph->ValueToPixel(2048, 16384);
  f.LeftGraphMouseMove(f.LeftGraph, p.x(), p.y());
  const QString sep = QLocale().groupSeparator();
  EXPECT_TRUE(f.PosXDis->Text().startsWith("2" + sep)) << f.PosXDis->Text().toStdString();
  EXPECT_EQ(f.PosXDis->Text().size(), 5);
  EXPECT_TRUE(f.PosYDis->Text().startsWith("16" + sep)) << f.PosYDis->Text().toStdString();
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
      EXPECT_EQ(form->SpectroGram1->Margins().Left, 30);
    }
    // Every input page beside every view page.
    for (QWidget* input : {form->RealTimeSheet, form->WaveFileSheet, form->SynthesizeSheet})
      for (QWidget* page : {form->GraphSheet, form->SpectrogramSheet}) {
        form->PageControl1->setCurrentWidget(input);
        form->PageControl2->setCurrentWidget(page);
        QApplication::processEvents();
        const QStringList problems = LayoutProblems(form.get());
        EXPECT_TRUE(problems.isEmpty()) << where.toStdString() << "\n"
                                        << problems.join("\n").toStdString();
      }
    TAboutDlg about(form.get());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_TRUE(LayoutProblems(&about).isEmpty())
        << where.toStdString() << "\n" << LayoutProblems(&about).join("\n").toStdString();
    TSpectroDlg dialog(*form->SpectroGram1->DepthBar(), form.get());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(LayoutProblems(&dialog).isEmpty())
        << where.toStdString() << "\n" << LayoutProblems(&dialog).join("\n").toStdString();
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
  EXPECT_EQ(Items(form.FormatCombo), QStringList({"No Wave Mapper"}));
  EXPECT_EQ(messages.Texts.count("No Wave Device Available"), 1);
  EXPECT_EQ(form.BandWidthDis->Text(), "5513 Hz"); // the displays as for the first format
  EXPECT_EQ(form.SpectrumGraph->YAxis().Min(), -60);
  form.StartBtn->click();
  EXPECT_FALSE(form.WaveReader1->IsActive());
  EXPECT_TRUE(form.StopBtn->isChecked());
}
