// SPDX-License-Identifier: GPL-3.0-or-later
// The window for a screen reader and between runs: accessible actions that
// click, mnemonics that do not clash, view settings remembered in the INI
// file and reset, messages over the main window, and the help window.
#include "WindowDriver.h"
#include "app/Application.h"
#include "app/SAMain.h"
#include "app/ViewSettings.h"
#include "app/pages/BandsPage.h"
#include "app/pages/GraphPage.h"
#include "app/pages/MeasurePanel.h"
#include "app/pages/Measurement.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/ScopeBand.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/SynthesizePage.h"
#include "app/pages/WaveFilePage.h"
#include "audio/Waveread.h"
#include "controls/ChmHelper.h"
#include "controls/Realspin.h"
#include "controls/RecentFiles.h"
#include "controls/Reopen.h"
#include "controls/intspin.h"
#include "graph/Graphbox.h"
#include "spectrogram/SASpectroDlg.h"
#include "support/IniSection.h"
#include "support/UiSupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

using namespace duv;
using namespace duv::test;

namespace {

struct Window
{
  QuietReader quiet;
  TForm1 form;
  Window()
  {
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
};

// The visible buttons of a page, as a screen reader lists them.
QList<QAbstractButton*> Buttons(QWidget& Page)
{
  QList<QAbstractButton*> out;
  for (QAbstractButton* b : Page.findChildren<QAbstractButton*>())
    if (b->isVisible() && b->isEnabled())
      out << b;
  return out;
}

} // namespace

// Guards the accessible actions: each action a button offers clicks it, so
// its handler runs (Start through "Toggle" starts capture, or
// says it cannot, instead of showing Start down with nothing captured).
TEST(Accessibility, ButtonActionsAreClicks)
{
  Window w;
  // Each input page, then the oscilloscope band and the Graph page.
  for (int i = 0; i <= w.form.InputPages().count(); ++i) {
    if (i < w.form.InputPages().count())
      w.form.InputPages().setCurrentIndex(i);
    QApplication::processEvents();
    QList<QAbstractButton*> buttons = Buttons(*w.form.InputPages().currentWidget());
    if (i == w.form.InputPages().count())
      buttons = Buttons(w.form.ScopeBand()) + Buttons(w.form.GraphPage());
    for (QAbstractButton* b : buttons) {
      QAccessibleActionInterface* a = QAccessible::queryAccessibleInterface(b)->actionInterface();
      ASSERT_TRUE(a);
      for (const QString& action : a->actionNames()) {
        if (action == QAccessibleActionInterface::setFocusAction())
          continue;
        QSignalSpy clicked(b, &QAbstractButton::clicked);
        a->doAction(action);
        EXPECT_EQ(clicked.count(), 1)
            << AccessibleName(b).toStdString() << " " << b->metaObject()->className() << " "
            << action.toStdString();
      }
    }
  }
  // No input device here: Start's handler runs, finds nothing to capture,
  // and the buttons say so.
  TRealTimePage& rt = w.form.RealTimePage();
  w.form.InputPages().setCurrentWidget(&rt);
  auto& start = Find<QAbstractButton>(rt, "Start");
  QAccessible::queryAccessibleInterface(&start)->actionInterface()->doAction(
      QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(start.isChecked(), rt.Capturing());
  EXPECT_EQ(QAccessible::queryAccessibleInterface(&start)->text(QAccessible::Name), "Start");
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(&start)->state().checkable);
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top != &w.form && top->isVisible())
      top->close(); // "Choose Input" opened its window
}

// Guards the mnemonics: on every input page beside every view page no two
// visible controls, nor a control and a menu, share a letter; the input
// pages' buttons, check boxes and captions carry one where the caption
// allows.
TEST(Accessibility, MnemonicsDoNotClash)
{
  Window w;
  QStringList menus;
  for (QAction* a : w.form.menuBar()->actions())
    menus << QKeySequence::mnemonic(a->text()).toString();
  const QStringList without = {"FM", "Modulate Wave"}; // no letter left, or a group's caption
  for (int input = 0; input < w.form.InputPages().count(); ++input)
    for (int view = 0; view < w.form.ViewPages().count(); ++view) {
      w.form.InputPages().setCurrentIndex(input);
      w.form.ViewPages().setCurrentIndex(view);
      QApplication::processEvents();
      QStringList keys = menus;
      for (QWidget* c : w.form.findChildren<QWidget*>()) {
        if (!c->isVisible())
          continue;
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(c))
          text = b->text();
        else if (auto* l = qobject_cast<QLabel*>(c); l && l->buddy())
          text = l->text();
        const QString key = QKeySequence::mnemonic(text).toString();
        if (!key.isEmpty()) {
          EXPECT_FALSE(keys.contains(key))
              << key.toStdString() << " twice, on " << text.toStdString();
          keys << key;
        } else if (!text.isEmpty() && input == w.form.InputPages().currentIndex() &&
                   w.form.InputPages().currentWidget()->isAncestorOf(c) &&
                   !without.contains(text) && !qobject_cast<QLabel*>(c)) {
          ADD_FAILURE() << "no mnemonic on " << text.toStdString();
        }
      }
    }
}

// Guards the view settings: remembered in the INI file between runs beside
// the recent files, put back at the next start, and "Reset View Settings"
// returns to the design.
TEST(ViewSettings, RememberedAndReset)
{
  QTemporaryDir dir;
  QuietReader quiet;
  const QString ini = dir.filePath("duvovovi.ini");
  ASSERT_TRUE(SaveRecentPaths(ini, "history", {"/music/a.wav"}));
  {
    TForm1 f;
    f.RecentFiles().SetINIFolder(dir.path());
    f.RecentFiles().LoadFromIni();
    f.RestoreViewSettings();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.RealTimePage().SetBufferSize(1024);
    f.WaveFilePage().SetBufferSize(8192);
    f.GraphPage().SetWindow(TWindowKind::Hamming);
    f.GraphPage().SetTraceMode(TTraceMode::Average);
    f.GraphPage().SetAverageTime(4);
    f.GraphPage().SetLogFrequency(true);
    f.SpectrogramPage().SetColorScheme(2);
    f.SpectrogramPage().TimeSpan().SetValue(30);
    f.Measurement().BandsPage().SetFraction(OctaveFraction);
    f.Measurement().Panel().SetMeasuring(true);
    f.RealTimePage().SetHistoryMinutes(12);
    f.InputPages().setCurrentIndex(2);
    f.ViewPages().setCurrentIndex(1);
    f.resize(780, 700); // within the test screen: a larger window is refused
    THelpWindow::SetRememberedSize({640, 480});
    f.close();
  }
  QStringList recent;
  EXPECT_TRUE(LoadRecentPaths(ini, "history", recent));
  EXPECT_EQ(recent, QStringList({"/music/a.wav"})); // the other section is kept
  EXPECT_EQ(LoadSettingsSection(ini).value("Window").toString(), "Hamming");
  THelpWindow::SetRememberedSize({760, 520});

  TForm1 f;
  f.RecentFiles().SetINIFolder(dir.path());
  f.RestoreViewSettings();
  EXPECT_EQ(f.RealTimePage().BufferSize(), 1024);
  EXPECT_EQ(f.WaveFilePage().BufferSize(), 8192);
  EXPECT_EQ(f.GraphPage().SpectrumView().Window(), TWindowKind::Hamming);
  EXPECT_EQ(f.GraphPage().SpectrumView().Hold().Mode(), TTraceMode::Average);
  EXPECT_EQ(f.GraphPage().SpectrumView().Hold().TimeConstant(), 4);
  EXPECT_TRUE(f.GraphPage().LogFrequency());
  EXPECT_EQ(f.SpectrogramPage().ColorScheme(), 2);
  EXPECT_EQ(f.SpectrogramPage().TimeSpan().Value(), 30);
  EXPECT_EQ(f.Measurement().BandsPage().Fraction(), OctaveFraction);
  EXPECT_TRUE(f.Measurement().Panel().Measuring());
  EXPECT_EQ(f.RealTimePage().HistoryMinutes(), 12);
  EXPECT_EQ(f.InputPages().currentIndex(), 2);
  EXPECT_EQ(f.ViewPages().currentIndex(), 1);
  EXPECT_EQ(f.size(), QSize(780, 700));
  EXPECT_EQ(THelpWindow::RememberedSize(), QSize(640, 480));

  f.ResetViewSettings1->trigger();
  EXPECT_EQ(f.RealTimePage().BufferSize(), 256);
  EXPECT_EQ(f.WaveFilePage().BufferSize(), 256);
  EXPECT_EQ(f.GraphPage().SpectrumView().Window(), TWindowKind::Hann);
  EXPECT_EQ(f.GraphPage().SpectrumView().Hold().Mode(), TTraceMode::Live);
  EXPECT_FALSE(f.GraphPage().LogFrequency());
  EXPECT_EQ(f.SpectrogramPage().ColorScheme(), 0);
  EXPECT_EQ(f.SpectrogramPage().TimeSpan().Value(), 10);
  EXPECT_EQ(f.Measurement().BandsPage().Fraction(), ThirdOctaveFraction);
  EXPECT_FALSE(f.Measurement().Panel().Measuring());
  EXPECT_EQ(f.RealTimePage().HistoryMinutes(), 5);
  EXPECT_EQ(f.InputPages().currentIndex(), 0);
  EXPECT_EQ(f.ViewPages().currentIndex(), 0);
  EXPECT_EQ(f.size(), QSize(750, 542));
  EXPECT_EQ(THelpWindow::RememberedSize(), QSize(760, 520));
}

// Guards a crash: the view settings were written only when the window
// closed. A change made through the window reaches the INI file soon, while
// the window lives, beside the file's other sections; a new window reads it.
TEST(ViewSettings, WrittenSoonAfterEachChange)
{
  QTemporaryDir dir;
  QuietReader quiet;
  const QString ini = dir.filePath("duvovovi.ini");
  ASSERT_TRUE(SaveIniSection(ini, "Measurement", {{"Weighting", "A"}}));
  TForm1 f;
  f.RecentFiles().SetINIFolder(dir.path());
  f.RestoreViewSettings();
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  auto& window = Find<QComboBox>(f.GraphPage(), "Window");
  window.setCurrentIndex(window.findText("Hann"));
  Find<QCheckBox>(f.GraphPage(), "Log").click();
  Find<TIntegerSpin>(f.RealTimePage(), "Keep").SetValue(12);
  f.ViewPages().setCurrentIndex(1);
  f.resize(700, 600);
  const auto written = [&ini, &f] {
    const QVariantMap v = LoadSettingsSection(ini);
    return v.value("Window").toString() == "Hann" && v.value("GraphLogFrequency").toBool() &&
           v.value("HistoryMinutes").toInt() == 12 && v.value("ViewPage").toInt() == 1 &&
           v.value("Geometry").toByteArray() == f.saveGeometry();
  };
  EXPECT_TRUE(QTest::qWaitFor(written, 3000));
  EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value("Measurement/Weighting").toString(), "A");

  TForm1 next;
  next.RecentFiles().SetINIFolder(dir.path());
  next.RestoreViewSettings();
  EXPECT_EQ(next.GraphPage().SpectrumView().Window(), TWindowKind::Hann);
  EXPECT_TRUE(next.GraphPage().LogFrequency());
  EXPECT_EQ(next.RealTimePage().HistoryMinutes(), 12);
  EXPECT_EQ(next.ViewPages().currentIndex(), 1);
  EXPECT_EQ(next.size(), f.size());
}

// Guards damaged window states: splitter sizes of 2^31 made a window of a
// gigabyte that took seconds to start with no room for the views, and were
// saved back; so were a geometry off every screen or larger than all, and a
// list of ten thousand recent files. Each is refused for the design, and the
// file no longer holds it once the window has closed.
TEST(ViewSettings, DamagedStatesFallBackToTheDesign)
{
  QTemporaryDir dir;
  QuietReader quiet;
  const QString ini = dir.filePath("duvovovi.ini");
  QByteArray splitter, geometry;
  {
    TForm1 f;
    splitter = ReadViewSettings(f).value("ScopeSplitter").toByteArray();
    geometry = f.saveGeometry();
  }
  // A splitter state holds its two sizes from byte 12; a geometry its frame
  // and its normal rectangle (left, top, right, bottom) from byte 8.
  const auto sizes = [&splitter](qint32 first, qint32 second) {
    QByteArray b = splitter;
    QDataStream out(&b, QIODevice::WriteOnly);
    out.device()->seek(12);
    out << first << second;
    return b;
  };
  const auto placed = [&geometry](qint32 left, qint32 top, qint32 right, qint32 bottom) {
    QByteArray b = geometry;
    QDataStream out(&b, QIODevice::WriteOnly);
    out.device()->seek(8);
    out << left << top << right << bottom << left << top << right << bottom;
    return b;
  };
  const struct
  {
    const char* key;
    QByteArray state;
  } cases[] = {
      {"MainSplitter", sizes(2147483647, 500)},
      {"DisplaySplitter", sizes(300, 2147483647)},
      {"ScopeSplitter", sizes(-40, 300)},
      {"Geometry", placed(0, 0, 2147483000, 2147483000)},
      {"Geometry", placed(90000, 90000, 90700, 90500)},
  };
  const QRect screen = QGuiApplication::primaryScreen()->availableVirtualGeometry();
  for (const auto& c : cases) {
    QFile::remove(ini);
    ASSERT_TRUE(SaveIniSection(ini, "Settings", {{c.key, c.state}}));
    TForm1 f;
    f.RecentFiles().SetINIFolder(dir.path());
    f.RestoreViewSettings();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const TGraphBox& view = f.GraphPage().SpectrumGraph();
    EXPECT_GE(view.width(), 200) << c.key;
    EXPECT_GE(view.height(), 100) << c.key;
    EXPECT_TRUE(screen.contains(f.geometry())) << c.key;
    f.close();
    EXPECT_NE(LoadSettingsSection(ini).value(c.key).toByteArray(), c.state) << c.key;
  }

  QStringList many;
  for (int i = 0; i < 10000; ++i)
    many << QStringLiteral("/music/%1.wav").arg(i);
  ASSERT_TRUE(SaveRecentPaths(ini, "history", many));
  {
    TForm1 f;
    f.RecentFiles().SetINIFolder(dir.path());
    f.RecentFiles().LoadFromIni();
    EXPECT_EQ(f.RecentFiles().Paths(), many.mid(0, 5));
  }
  QStringList kept;
  EXPECT_TRUE(LoadRecentPaths(ini, "history", kept));
  EXPECT_EQ(kept.size(), 5);
}

// Guards a damaged or unreadable INI file: every value that cannot be used
// leaves the design's, no message box appears, and the next save writes a
// readable file again.
TEST(ViewSettings, DamagedFileFallsBackToTheDefaults)
{
  QTemporaryDir dir;
  QuietReader quiet;
  const QString ini = dir.filePath("duvovovi.ini");
  const QByteArray damaged[] = {
      "[Settings]\nBufferSize=77\nFileBufferSize=x\nWindow=Bogus\nTrace=\nTimeSpan=nan\n"
      "InputPage=9\nViewPage=-1\nGeometry=junk\nMainSplitter=junk\nColorScheme=Plaid\n"
      "GraphLogFrequency=maybe\nHelpWindowSize=@Size(1 1)\nCaptureFormat=96 kHz\nBands=2\n"
      "Measure=yes\nHistoryMinutes=many\n",
      QByteArray("\xff\xfe\x00[Settings\x01\n=\n", 15)};
  for (const QByteArray& bytes : damaged) {
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    QStringList shown;
    ShowExceptionText = [&shown](const QString& t) { shown << t; };
    TForm1 f;
    const QVariantMap design = ReadViewSettings(f);
    f.RecentFiles().SetINIFolder(dir.path());
    f.RestoreViewSettings();
    for (const char* key : {"BufferSize", "FileBufferSize", "Window", "Trace", "TimeSpan",
                            "InputPage", "ViewPage", "ColorScheme", "GraphLogFrequency",
                            "HelpWindowSize", "CaptureFormat", "Bands", "Measure",
                            "HistoryMinutes"})
      EXPECT_EQ(ReadViewSettings(f).value(key), design.value(key)) << key;
    EXPECT_EQ(f.size(), QSize(750, 542));
    EXPECT_TRUE(shown.isEmpty());
    f.RealTimePage().SetBufferSize(512);
    f.SaveViewSettings();
    EXPECT_EQ(LoadSettingsSection(ini).value("BufferSize").toInt(), 512);
  }
  // A folder in the file's place: read as nothing, and never written over.
  QFile::remove(ini);
  ASSERT_TRUE(QDir(dir.path()).mkdir("duvovovi.ini"));
  EXPECT_TRUE(LoadSettingsSection(ini).isEmpty());
  TForm1 f;
  EXPECT_FALSE(SaveSettingsSection(ini, ReadViewSettings(f)));
}

// Guards where messages open: a file that fails to open, an input device's
// message and the spectrogram settings open over the main window (whose
// levels read "dB").
TEST(Dialogs, OpenOverTheMainWindow)
{
  QuietReader quiet;
  const auto previous = ShowExceptionText;
  const TWaveMessageEvent previousWave = SetWaveMessageHandler(nullptr);
  InstallWindowMessages();
  {
    TForm1 f;
    QList<QWidget*> parents;
    const auto closeBox = [&parents] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        // Over the window, or over a box that is over it.
        QWidget* root = box;
        while (root->parentWidget())
          root = root->parentWidget();
        parents << root;
        box->accept();
      }
    };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, closeBox);
    poll.start(20);
    StartWindow(f, "/no/such/folder/missing.wav");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const TWaveMessageEvent device = SetWaveMessageHandler(nullptr);
    SetWaveMessageHandler(device);
    device("No Wave Device Available");
    QTest::qWait(100);
    poll.stop();
    ASSERT_GE(parents.size(), 2);
    for (QWidget* p : parents)
      EXPECT_EQ(p, &f);

    f.SetupSpectrogram1->trigger();
    const QRect dialog = f.SpectrogramDialog().frameGeometry();
    EXPECT_TRUE(f.frameGeometry().contains(dialog.center()));
    QStringList units; // and its levels in dB
    for (const TRealSpin* spin : f.SpectrogramDialog().findChildren<TRealSpin*>())
      if (!spin->UnitsString().isEmpty())
        units << spin->UnitsString();
    EXPECT_EQ(units, QStringList({"dB", "dB"}));
    f.close();
  }
  ShowExceptionText = previous;
  SetWaveMessageHandler(previousWave);
}

// Guards the help window: it can be resized, closes with Escape, opens at
// the last size, and shows its pictures no wider than its page.
TEST(Help, ResizesRemembersClosesAndFitsPictures)
{
  Window w;
  w.form.Contents1->trigger();
  THelpWindow* help = HelpWindow();
  ASSERT_TRUE(help);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
  EXPECT_NE(help->minimumSize(), help->maximumSize());
  help->resize(420, 500);
  help->ShowPage("realtime.htm");
  QApplication::processEvents();
  const int room = help->Browser()->viewport()->width();
  int pictures = 0;
  for (QTextBlock b = help->Browser()->document()->begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
          image.isValid()) {
        ++pictures;
        EXPECT_GT(image.width(), 0);
        EXPECT_LE(image.width(), room);
      }
  EXPECT_GE(pictures, 1);
  QTest::keyClick(help->Browser(), Qt::Key_Escape);
  EXPECT_FALSE(help->isVisible());
  THelpWindow fresh;
  EXPECT_EQ(fresh.size(), QSize(420, 500));
  THelpWindow::SetRememberedSize({760, 520});
}
