// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SAMain.h"

#include "app/Application.h"
#include "app/SAAbout.h"
#include "app/ViewSettings.h"
#include "app/pages/GraphPage.h"
#include "app/pages/Measurement.h"
#include "app/pages/PageSupport.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/SAGraphs.h"
#include "app/pages/SAWaveFile.h"
#include "app/pages/ScopeBand.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/SynthesizePage.h"
#include "app/pages/WaveFilePage.h"
#include "app/pages/WholeFilePage.h"
#include "audio/Waveread.h"
#include "controls/ButtonAccess.h"
#include "controls/ChmHelper.h"
#include "controls/DropController.h"
#include "controls/RecentFiles.h"
#include "controls/Reopen.h"
#include "controls/SpinButtons.h"
#include "graph/Graphbox.h"
#include "spectrogram/SASpectroDlg.h"
#include "spectrogram/Spectrogram.h"
#include "support/SafeFile.h"
#include "support/UiSupport.h"
#include "wavefile/FileAnalysis.h"
#include "wavefile/SoundDecoder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <sstream>
#include <stdexcept>

namespace duv {

namespace {

// The window's design geometry, in pixels at the design font.
constexpr int DesignWidth = 750;
constexpr int DesignHeight = 542;
constexpr int DesignLeftPanel = 194;
constexpr int DesignScopeBand = 231;

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
  setWindowTitle(QStringLiteral("Duvovovi"));
  setObjectName(QStringLiteral("Form1"));
  // Before any button: a screen reader's actions on them are clicks.
  InstallButtonAccessibility();

  WaveReader1 = new TWaveReader(this);
  CHMHelper1 = new TCHMHelper(this);
  CHMHelper1->SetOwnerWindow(this);
  CHMHelper1->SetHelpFile(QStringLiteral("Duvovovi.chm"));
  ReopenMenu1 = new TReopenMenu(this);
  ReopenMenu1->SetINIFile(QStringLiteral("duvovovi.ini"));
  ReopenMenu1->SetINISection(QStringLiteral("history"));

  MainSplitter = new QSplitter(Qt::Horizontal, this);
  MainSplitter->setHandleWidth(SplitterWidth);
  MainSplitter->setChildrenCollapsible(false);
  setCentralWidget(MainSplitter);
  PageControl1 = new QTabWidget(MainSplitter);
  PageControl1->setAccessibleName(QStringLiteral("Input"));
  // All three page tabs in sight: the panel is at least as wide as they are.
  PageControl1->tabBar()->setUsesScrollButtons(false);
  PageControl1->tabBar()->setElideMode(Qt::ElideNone);
  DisplaySplitter = new QSplitter(Qt::Vertical, MainSplitter);
  DisplaySplitter->setHandleWidth(SplitterWidth);
  DisplaySplitter->setChildrenCollapsible(false);
  FScopeBand = new TScopeBand(DisplaySplitter);
  DisplaySplitter->addWidget(FScopeBand);
  PageControl2 = new QTabWidget(DisplaySplitter);
  PageControl2->setAccessibleName(QStringLiteral("Analysis"));
  // The tabs look like a row of buttons over the views.
  PageControl2->setDocumentMode(true);
  DisplaySplitter->addWidget(PageControl2);
  DisplaySplitter->setStretchFactor(1, 1);
  MainSplitter->addWidget(PageControl1);
  MainSplitter->addWidget(DisplaySplitter);
  MainSplitter->setStretchFactor(1, 1);

  // The views first: the input pages draw on them.
  SpectrogramSheet = new TSpectrogramPage;
  GraphSheet = new TGraphPage(SpectrogramSheet->SpectroGram(), *WaveReader1);
  PageControl2->addTab(GraphSheet, QStringLiteral("Graph"));
  PageControl2->addTab(SpectrogramSheet, QStringLiteral("Spectrogram"));
  Graphs = std::make_unique<TSAGraphs>(TGraphViews{FScopeBand->LeftGraph(),
                                                   FScopeBand->RightGraph(),
                                                   GraphSheet->SpectrumGraph()});
  FScopeBand->BindViewCommands(*Graphs);
  GraphSheet->BindViewCommands(*Graphs);
  TSpectrumView& spectrum = GraphSheet->SpectrumView();
  spectrum.SetViewCommands(Graphs.get());
  TRealSpin& timeSpan = SpectrogramSheet->TimeSpan();
  RealTimeSheet =
      new TRealTimePage(*WaveReader1, spectrum, *Graphs, *FScopeBand, timeSpan);
  WaveFileSheet = new TWaveFilePage(spectrum, *Graphs, *FScopeBand, timeSpan);
  SynthesizeSheet = new TSynthesizePage(RealTimeSheet->RealTime(), *WaveReader1);
  PageControl1->addTab(RealTimeSheet, QStringLiteral("Real Time"));
  PageControl1->addTab(WaveFileSheet, QStringLiteral("Wave File"));
  PageControl1->addTab(SynthesizeSheet, QStringLiteral("Synthesize"));
  Measurement1 =
      new TMeasurement({spectrum, GraphSheet->SpectrumGraph(), *Graphs, *GraphSheet, *PageControl2},
                       ResolveIniPath(QStringLiteral("duvovovi.ini")), this);
  // The whole file the Wave File page opened, beside the live views.
  WholeFileSheet = new TWholeFilePage(*WaveFileSheet);
  PageControl2->addTab(WholeFileSheet, QStringLiteral("Whole File"));

  // F1 opens the help page of the part of the window that has the focus.
  const std::pair<QWidget*, int> contexts[] = {
      {RealTimeSheet, 10},
      {WaveFileSheet, 20},
      {SynthesizeSheet, 30},
      {&FScopeBand->LeftGraph(), 40},
      {&FScopeBand->RightGraph(), 40},
      {GraphSheet, 50},
      {SpectrogramSheet, 60},
      {WholeFileSheet, 70}};
  for (const auto& [widget, context] : contexts)
    widget->setProperty("HelpContext", context);

  DropController1 = new TDropController(this);
  DropController1->SetDropTarget(WaveFileSheet);
  AskSaveFileName = [this](const QString& caption, const QString& suggestion,
                           const QString& filter) {
    return QFileDialog::getSaveFileName(this, caption, QDir::current().filePath(suggestion),
                                        filter);
  };
  BuildMenus();

  ApplyDesignScale();
  ConnectPages();
  FormCreate();
  // The dialogs come after the window, as at every start.
  AboutDlg = new TAboutDlg(this);
  SpectroDlg = new TSpectroDlg(*SpectrogramSheet->SpectroGram().DepthBar(), this);
  FDesignSettings = ReadViewSettings(*this);
  // The window's size and splitters as designed follow the font.
  for (const char* key : {"Geometry", "MainSplitter", "DisplaySplitter", "ScopeSplitter"})
    FDesignSettings.insert(QString::fromLatin1(key), QVariant());
  WatchViewSettings();
}

TForm1::~TForm1()
{
  // A change not yet written, for a window that goes without closing.
  if (FSettingsTimer->isActive())
    SaveChangedSettings();
  ReopenMenu1->SaveToIni();
  // The reader still hands back its buffers while it stops; they must not
  // reach views that are being torn down.
  WaveReader1->OnWaveIn = nullptr;
  WaveReader1->OnRecorded = nullptr;
  WaveReader1->Stop();
}

void TForm1::BuildMenus()
{
  const auto item = [this](QMenu* menu, const QString& caption, auto&& handler) {
    QAction* a = menu->addAction(caption);
    connect(a, &QAction::triggered, this, Guarded(std::forward<decltype(handler)>(handler)));
    return a;
  };
  TScopeBand& band = *FScopeBand;
  File1 = menuBar()->addMenu(QStringLiteral("&File"));
  OpenWaveFile1 = item(File1, QStringLiteral("&Open Wave File"), [this](bool) { OpenWaveFile1Click(); });
  OpenWaveFile1->setShortcut(QKeySequence::Open);
  Reopen1 = File1->addMenu(QStringLiteral("&Reopen"));
  ReopenMenu1->SetMenuItem(Reopen1);
  File1->addSeparator();
  PrintLeftChannel1 =
      item(File1, QStringLiteral("Print &Left Channel"), [&band](bool) { band.LeftGraph().Print(); });
  PrintRightChannel1 = item(File1, QStringLiteral("Print &Right Channel"),
                            [&band](bool) { band.RightGraph().Print(); });
  PrintSpecturm1 =
      item(File1, QStringLiteral("Print &Spectrum"), [this](bool) { PrintSpecturm1Click(); });
  PrintSpectrogram1 =
      item(File1, QStringLiteral("Print Spectro&gram"), [this](bool) { PrintSpectrogram1Click(); });
  SaveSpectrum1 =
      item(File1, QStringLiteral("Save Spectr&um..."), [this](bool) { SaveSpectrum1Click(); });
  SaveSpectrogramImage1 = item(File1, QStringLiteral("Save Spectrogram &Image..."),
                               [this](bool) { SaveSpectrogramImage1Click(); });
  SaveCapture1 =
      item(File1, QStringLiteral("Save &Capture As..."), [this](bool) { SaveCapture1Click(); });
  AnalyzeCapture1 =
      item(File1, QStringLiteral("&Analyze Capture"), [this](bool) { AnalyzeCapture1Click(); });
  File1->addSeparator();
  Exit1 = item(File1, QStringLiteral("&Exit"), [this](bool) { close(); });
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
  CopyLeftChannel1 =
      item(Edit1, QStringLiteral("Copy &Left Channel"), [this](bool) { Graphs->CopyLeftChannel(); });
  CopyRightChannel1 = item(Edit1, QStringLiteral("Copy &Right Channel"),
                           [this](bool) { Graphs->CopyRightChannel(); });
  CopySpectrum1 =
      item(Edit1, QStringLiteral("Copy &Spectrum"), [this](bool) { Graphs->CopySpectrum(); });
  CopySpectrumText1 = item(Edit1, QStringLiteral("Copy Spectrum as &Text"),
                           [this](bool) { CopySpectrumText1Click(); });
  CopySpectrogram1 =
      item(Edit1, QStringLiteral("Copy S&pectrogram"), [this](bool) { CopySpectrogram1Click(); });

  Settings1 = menuBar()->addMenu(QStringLiteral("&Settings"));
  SetupSpectrogram1 = item(Settings1, QStringLiteral("&Setup Spectrogram.."),
                           [this](bool) { SetupSpectrogram1Click(); });
  ResetViewSettings1 = item(Settings1, QStringLiteral("&Reset View Settings"),
                            [this](bool) { ResetViewSettings1Click(); });
  Calibration1 = item(Settings1, QStringLiteral("&Calibration..."),
                      [this](bool) { Measurement1->ShowCalibration(); });
  TestSoundCard1 = item(Settings1, QStringLiteral("&Test Sound Card..."),
                        [this](bool) { Measurement1->ShowLoopbackTest(); });

  Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
  // F1 is the help component's own key (it opens the page of the control
  // that has the focus); the item only shows it.
  Contents1 = item(Help1, QStringLiteral("&Contents\tF1"), [this](bool) { Contents1Click(); });
  Help1->addSeparator();
  About1 = item(Help1, QStringLiteral("&About..."), [this](bool) { About1Click(); });

  TSpectroGram& spectro = SpectrogramSheet->SpectroGram();
  PopupMenu1 = new QMenu(this);
  SetupBands1 =
      item(PopupMenu1, QStringLiteral("Setup Bands..."), [this](bool) { SetupSpectrogram1Click(); });
  ResetSpacing1 =
      item(PopupMenu1, QStringLiteral("Reset Spacing"), [this](bool) { ResetSpacing1Click(); });
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(SaveSpectrogramImage1);
  spectro.setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&spectro, &QWidget::customContextMenuRequested, this,
          [this, &spectro](const QPoint& at) { PopupMenu1->popup(spectro.mapToGlobal(at)); });

  // Ctrl+C copies the view that has the focus; in a text field the field's
  // own copy takes the key first.
  auto* copy = new QShortcut(QKeySequence::Copy, this);
  connect(copy, &QShortcut::activated, this, Guarded([this] { CopyFocusedView(); }));
  for (QWidget* view : {static_cast<QWidget*>(&band.LeftGraph()),
                        static_cast<QWidget*>(&band.RightGraph()),
                        static_cast<QWidget*>(&GraphSheet->SpectrumGraph()),
                        static_cast<QWidget*>(&spectro)})
    view->setFocusPolicy(Qt::StrongFocus);
}

void TForm1::ConnectPages()
{
  connect(SpectrogramSheet, &TSpectrogramPage::OnTimeSpanChange, this,
          Guarded([this] { RealTimeSheet->BuffSizeComboChange(); }));
  connect(SpectrogramSheet, &TSpectrogramPage::OnColorSchemeChange, this,
          Guarded([this] { RealTimeSheet->ColorSchemeChange(); }));
  connect(SynthesizeSheet, &TSynthesizePage::OnTestSignal, this,
          Guarded([this] { RealTimeSheet->StopCapture(); }));
  connect(RealTimeSheet, &TRealTimePage::OnSetupChange, this,
          Guarded([this] { SynthesizeSheet->ShowFrameSetup(); }));
  // Escape stops a stretch that is playing.
  auto* quiet = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(quiet, &QShortcut::activated, this, Guarded([this] { WaveFileSheet->StopSound(); }));
  connect(ReopenMenu1, &TReopenMenu::OnMenuClick, this,
          Guarded([this](QObject*, const QString& path) { ReopenMenu1MenuClick(path); }));
  connect(DropController1, &TDropController::OnDrop, this, Guarded([this] { DropController1Drop(); }));
  TGraphBox& left = FScopeBand->LeftGraph();
  connect(&left, &TCustomGraph::OnMouseDown, this,
          Guarded([this](TCustomGraph*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
            LeftGraphMouseDown(x, y);
          }));
  left.OnPaint = [this](TGraphBox*) { LeftGraphPaint(); };
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });

  TSpectroGram& spectro = SpectrogramSheet->SpectroGram();
  connect(&spectro, &TSpectroGram::OnBarSelect, this, [this] { SpectroGram1BarSelect(); });
  // Dragging a band of the colour bar onto another copies its colour.
  spectro.OnBarDragOver = [](QObject* sender, QObject* source, int, int, TDragState,
                             bool& accept) { accept = source == sender; };
  connect(&spectro, &TSpectroGram::OnBarDragDrop, this,
          [](QObject* sender, QObject* source, int, int y) {
            auto* target = qobject_cast<TColorBar*>(sender);
            auto* from = qobject_cast<TColorBar*>(source);
            if (!target || !from)
              return;
            const int band = target->BandAt(y);
            if (band < 0 || !target->Bands().IsEdge(band) ||
                !from->Bands().IsEdge(from->Selected()))
              return;
            target->SetEdgeColor(band, from->Edge(from->Selected()).Color);
            target->update();
          });
}

void TForm1::ApplyDesignScale()
{
  const double s = DesignScale(font());
  // The spectrum graph's labels are the window's font in bold.
  QFont bold = font();
  bold.setBold(true);
  GraphSheet->SpectrumGraph().setFont(bold);
  MainSplitter->setSizes({DesignPixels(DesignLeftPanel, s),
                          DesignPixels(DesignWidth - DesignLeftPanel - SplitterWidth, s)});
  DisplaySplitter->setSizes({DesignPixels(DesignScopeBand, s), DesignPixels(DesignHeight, s)});
  FScopeBand->GraphSplitter().setSizes({104, 91});
}

void TForm1::changeEvent(QEvent* e)
{
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::FontChange && GraphSheet)
    ApplyDesignScale();
  if (e->type() == QEvent::WindowStateChange)
    NoteSettingsChange();
}

void TForm1::FormCreate()
{
  PageControl1->setCurrentWidget(RealTimeSheet);
  PageControl2->setCurrentWidget(GraphSheet);
  for (TGraphBox* g :
       {&FScopeBand->LeftGraph(), &FScopeBand->RightGraph(), &GraphSheet->SpectrumGraph()})
    g->Clear();
  Graphs->CaptureDefaultRanges();
  ReopenMenu1->LoadFromIni();
  // Help requests name the help file beside the executable.
  CHMHelper1->SetHelpFile(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                          QFileInfo(CHMHelper1->HelpFile()).fileName());
  RealTimeSheet->FormCreate();
  SynthesizeSheet->ShowFrameSetup();
  ResizeToDesign();
}

void TForm1::ResizeToDesign()
{
  const double s = DesignScale(font());
  resize(DesignPixels(DesignWidth, s), DesignPixels(DesignHeight, s));
}

void TForm1::WatchViewSettings()
{
  FSettingsTimer = new QTimer(this);
  FSettingsTimer->setSingleShot(true);
  FSettingsTimer->setInterval(500);
  connect(FSettingsTimer, &QTimer::timeout, this, [this] { SaveChangedSettings(); });
  // Every setting is held by one of these (the window's geometry aside), so
  // their change signals cover the table without a hook per row; what is
  // not a setting costs a comparison at most.
  const auto note = [this] { NoteSettingsChange(); };
  for (QComboBox* c : findChildren<QComboBox*>())
    connect(c, &QComboBox::currentIndexChanged, this, note);
  for (QAbstractButton* b : findChildren<QAbstractButton*>())
    connect(b, &QAbstractButton::toggled, this, note);
  for (TCustomSpin* s : findChildren<TCustomSpin*>())
    connect(s, &TCustomSpin::OnChange, this, note);
  for (QTabWidget* t : findChildren<QTabWidget*>())
    connect(t, &QTabWidget::currentChanged, this, note);
  for (QSplitter* s : findChildren<QSplitter*>())
    connect(s, &QSplitter::splitterMoved, this, note);
}

void TForm1::NoteSettingsChange()
{
  // Not put off again by each change: a splitter being dragged is written
  // every half second rather than only when it stops.
  if (FRememberSettings && !FSettingsTimer->isActive())
    FSettingsTimer->start();
}

void TForm1::SaveChangedSettings()
{
  const QVariantMap values = ReadViewSettings(*this);
  if (values != FSavedSettings && SaveSettingsSection(ReopenMenu1->IniPath(), values))
    FSavedSettings = values;
}

void TForm1::RestoreViewSettings()
{
  WriteViewSettings(*this, LoadSettingsSection(ReopenMenu1->IniPath()));
  FRememberSettings = true;
  // Written once soon, so that a value refused as damaged leaves the file.
  FSavedSettings.clear();
  NoteSettingsChange();
}

void TForm1::SaveViewSettings()
{
  if (!FRememberSettings)
    return;
  FSettingsTimer->stop();
  FSavedSettings.clear();
  SaveChangedSettings();
}

void TForm1::ResetViewSettings1Click()
{
  WriteViewSettings(*this, FDesignSettings);
}

bool TForm1::WaveFilePageActive() const { return PageControl1->currentWidget() == WaveFileSheet; }

void TForm1::OpenWaveFile(const QString& Path)
{
  // Read first: a file that fails leaves the capture, the page, the traces,
  // the caption and the recent files as they were.
  if (!WaveFileSheet->WaveFile().SetFileName(Path))
    return; // cancelled
  RealTimeSheet->StopCapture();
  PageControl1->setCurrentWidget(WaveFileSheet);
  WaveFileSheet->ShowLoadedFile();
  ReopenMenu1->Add(Path);
  const QFileInfo info(Path);
  QDir::setCurrent(info.absolutePath());
  setWindowTitle(info.fileName() + QStringLiteral(" - Duvovovi"));
  // A file cut short is shown as far as it goes, and the status bar says so
  // until the next file; the bar appears only when there is something to say.
  const QString note = WaveFileSheet->WaveFile().LoadNote();
  if (!note.isEmpty() || findChild<QStatusBar*>())
    statusBar()->showMessage(note);
}

QFileDialog* TForm1::OpenDialog() const { return FOpenDialog; }

void TForm1::OpenWaveFile1Click()
{
  // A new dialog each time: one kept for the whole run could be left with
  // the completion popup of a typed path open and grabbing the input, so
  // that the next Open showed nothing. It opens in the current folder, the
  // last file's however it was opened.
  QFileDialog dialog(this, QStringLiteral("Open Wave File"), QDir::currentPath());
  dialog.setNameFilters(
      {QStringLiteral("Audio files (%1)").arg(SoundFilePatterns().join(QLatin1Char(' '))),
       QStringLiteral("WAV files (*.wav)"), QStringLiteral("All files (*)")});
  if (!FOpenFilter.isEmpty())
    dialog.selectNameFilter(FOpenFilter);
  dialog.setDefaultSuffix(QStringLiteral("wav"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  FOpenDialog = &dialog;
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  FOpenFilter = dialog.selectedNameFilter();
  const QString path = accepted ? dialog.selectedFiles().front() : QString();
  FOpenDialog = nullptr;
  if (!accepted)
    return;
  QApplication::processEvents(); // the dialog goes away before the file is read
  OpenWaveFile(path);
}

void TForm1::ReopenMenu1MenuClick(const QString& Path) { OpenWaveFile(Path); }

void TForm1::DropController1Drop()
{
  // The first file dropped; the others, and folders, are left alone.
  for (const QString& path : DropController1->FileList)
    if (!path.endsWith(QLatin1Char('/'))) {
      OpenWaveFile(path);
      return;
    }
}

void TForm1::LeftGraphMouseDown(int X, int Y)
{
  // Only the Wave File page places the stretch; a click on a live trace
  // must not move a stretch the user cannot see.
  if (WaveFilePageActive())
    WaveFileSheet->LeftGraphMouseDown(X, Y);
}

void TForm1::LeftGraphPaint()
{
  if (WaveFilePageActive())
    WaveFileSheet->LeftGraphPaint();
}

void TForm1::PageControl1Change()
{
  if (!WaveFilePageActive())
    return;
  FScopeBand->LeftGraph().RestoreImage();
  WaveFileSheet->LeftGraphPaint();
}

void TForm1::PrintSpecturm1Click() { Graphs->PrintSpectrum(); }

void TForm1::CopySpectrogram1Click()
{
  QApplication::processEvents(); // the menu closes first
  SpectrogramSheet->SpectroGram().CopyToClipboard();
}

void TForm1::PrintSpectrogram1Click() { SpectrogramSheet->SpectroGram().PrintImage(); }

void TForm1::SetupSpectrogram1Click() { SpectroDlg->ShowSettingsDialog(); }

void TForm1::SpectroGram1BarSelect()
{
  if (SpectroDlg)
    SpectroDlg->UpdateFromSelection();
}

void TForm1::ResetSpacing1Click() { SpectrogramSheet->SpectroGram().DepthBar()->ResetSpacing(); }

void TForm1::Contents1Click() { CHMHelper1->HelpCommand(HELP_CONTENTS, 0); }

void TForm1::About1Click() { AboutDlg->exec(); }

QString TForm1::SpectrumText() const
{
  std::ostringstream text;
  WriteSpectrum(GraphSheet->SpectrumView().LastFrame(), text);
  return QString::fromStdString(text.str());
}

void TForm1::SaveSpectrum1Click()
{
  const QString path = AskSaveFileName(QStringLiteral("Save Spectrum"), QStringLiteral("spectrum.csv"),
                                       QStringLiteral("CSV files (*.csv);;All files (*)"));
  if (path.isEmpty())
    return;
  const QByteArray text = SpectrumText().toUtf8();
  WriteWholeFile(path, text);
}

void TForm1::CopySpectrumText1Click() { QGuiApplication::clipboard()->setText(SpectrumText()); }

void TForm1::SaveSpectrogramImage1Click()
{
  const QString path =
      AskSaveFileName(QStringLiteral("Save Spectrogram Image"), QStringLiteral("spectrogram.png"),
                      QStringLiteral("PNG images (*.png);;All files (*)"));
  if (path.isEmpty())
    return;
  const QImage picture = SpectrogramSheet->SpectroGram().RenderPicture();
  WriteWholeFile(path, [&picture](QIODevice& f) { return picture.save(&f, "PNG"); });
}

void TForm1::SaveCapture1Click()
{
  TRealTimePage& page = *RealTimeSheet;
  page.CaptureSpan(); // nothing to save is said before a dialog asks where
  const QString path = AskSaveFileName(QStringLiteral("Save Capture As"), page.CaptureFileName(),
                                       QStringLiteral("WAV files (*.wav);;All files (*)"));
  if (!path.isEmpty())
    page.SaveCapture(path);
}

void TForm1::AnalyzeCapture1Click()
{
  // As a file opened: capture stops, so that live frames leave the views to it.
  const TSoundData data = RealTimeSheet->CaptureData();
  const QString name = RealTimeSheet->CaptureName();
  RealTimeSheet->StopCapture();
  WaveFileSheet->WaveFile().SetCapture(data, name);
  PageControl1->setCurrentWidget(WaveFileSheet);
  WaveFileSheet->ShowLoadedFile();
  setWindowTitle(name + QStringLiteral(" - Duvovovi"));
  if (findChild<QStatusBar*>())
    statusBar()->clearMessage(); // a note of an earlier file is not this capture's
}

void TForm1::keyPressEvent(QKeyEvent* e)
{
  if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier && RealTimeSheet->PauseKey())
    return;
  QMainWindow::keyPressEvent(e);
}

void TForm1::CopyFocusedView()
{
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
    if (auto* graph = qobject_cast<TGraphBox*>(w)) {
      graph->CopyToClipboard();
      return;
    }
    if (auto* spectro = qobject_cast<TSpectroGram*>(w)) {
      spectro->CopyToClipboard();
      return;
    }
  }
}

void TForm1::closeEvent(QCloseEvent* e)
{
  // The help window and the modeless settings dialog go with the window,
  // and the whole file's levels are no longer computed.
  WholeFileSheet->StopWork();
  if (SpectroDlg)
    SpectroDlg->hide();
  if (THelpWindow* help = HelpWindow())
    help->close();
  SaveViewSettings();
  QMainWindow::closeEvent(e);
}

void TForm1::moveEvent(QMoveEvent* e)
{
  QMainWindow::moveEvent(e);
  NoteSettingsChange();
}

void TForm1::resizeEvent(QResizeEvent* e)
{
  QMainWindow::resizeEvent(e);
  NoteSettingsChange();
}

} // namespace duv
