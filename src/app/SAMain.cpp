#include "app/SAMain.h"

#include "app/CommandLine.h"
#include "app/SAAbout.h"
#include "audio/WaveLib.h"
#include "audio/Waveread.h"
#include "controls/CheckedGroup.h"
#include "controls/ChmHelper.h"
#include "controls/DropController.h"
#include "controls/RadioGroup.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "controls/Reopen.h"
#include "controls/SpeedButton.h"
#include "graph/Graphbox.h"
#include "spectrogram/SASpectroDlg.h"
#include "spectrogram/Spectrogram.h"
#include "support/DSupport.h"
#include "support/SafeFile.h"
#include "support/UiSupport.h"
#include "wavefile/SoundDecoder.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <sstream>
#include <stdexcept>

namespace duv {

namespace {

// The window's design geometry, in pixels at the design font.
constexpr int DesignWidth = 750;
constexpr int DesignHeight = 542;
constexpr int DesignLeftPanel = 194;
constexpr int DesignScopeBand = 231;
constexpr int SplitterWidth = 8;

constexpr TColor GreenGrid = MakeColor(0, 128, 0);

QStringList BufferSizeItems()
{
  QStringList items;
  for (int n : BufferSizes)
    items << QString::number(n);
  return items;
}

QComboBox* MakeList(const QString& name, QWidget* parent)
{
  auto* combo = new QComboBox(parent);
  combo->setAccessibleName(name);
  combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return combo;
}

// A caption above its control, as the input pages lay them out.
QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent)
{
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

TRealSpin* MakeSpin(const QString& name, double value, double step, QWidget* parent)
{
  auto* spin = new TRealSpin(parent);
  spin->setAccessibleName(name);
  spin->SetIncrement(step);
  spin->SetValue(value);
  return spin;
}

void Limit(TRealSpin* spin, double lo, double hi)
{
  spin->SetUseLimit(true);
  spin->SetMinValue(lo);
  spin->SetMaxValue(hi);
}

// A page's column of controls: input pages breathe more than view pages.
QVBoxLayout* PageLayout(QWidget* sheet, int margin, int spacing)
{
  auto* v = new QVBoxLayout(sheet);
  v->setContentsMargins(margin, margin, margin, margin);
  v->setSpacing(spacing);
  return v;
}

QHBoxLayout* Row(int spacing = 2)
{
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(spacing);
  return row;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
  setWindowTitle(QStringLiteral("Duvovovi"));
  setObjectName(QStringLiteral("Form1"));

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
  RealTimeSheet = BuildRealTimeSheet();
  WaveFileSheet = BuildWaveFileSheet();
  SynthesizeSheet = BuildSynthesizeSheet();
  PageControl1->addTab(RealTimeSheet, QStringLiteral("Real Time"));
  PageControl1->addTab(WaveFileSheet, QStringLiteral("Wave File"));
  PageControl1->addTab(SynthesizeSheet, QStringLiteral("Synthesize"));

  DisplaySplitter = new QSplitter(Qt::Vertical, MainSplitter);
  DisplaySplitter->setHandleWidth(SplitterWidth);
  DisplaySplitter->setChildrenCollapsible(false);
  DisplaySplitter->addWidget(BuildScopeBand());
  PageControl2 = new QTabWidget(DisplaySplitter);
  PageControl2->setAccessibleName(QStringLiteral("Analysis"));
  // The tabs look like a row of buttons over the views.
  PageControl2->setDocumentMode(true);
  GraphSheet = BuildGraphSheet();
  SpectrogramSheet = BuildSpectrogramSheet();
  PageControl2->addTab(GraphSheet, QStringLiteral("Graph"));
  PageControl2->addTab(SpectrogramSheet, QStringLiteral("Spectrogram"));
  DisplaySplitter->addWidget(PageControl2);
  DisplaySplitter->setStretchFactor(1, 1);
  MainSplitter->addWidget(PageControl1);
  MainSplitter->addWidget(DisplaySplitter);
  MainSplitter->setStretchFactor(1, 1);

  SetupGraphs();
  // F1 opens the help page of the part of the window that has the focus.
  const std::pair<QWidget*, int> contexts[] = {
      {RealTimeSheet, 10},  {WaveFileSheet, 20}, {SynthesizeSheet, 30}, {LeftGraph, 40},
      {RightGraph, 40},     {GraphSheet, 50},    {SpectrogramSheet, 60}};
  for (const auto& [widget, context] : contexts)
    widget->setProperty("HelpContext", context);

  WaveReader1->SetComboBox(FormatCombo);
  // The design's format, where the input can record it.
  if (FormatCombo->findData(int(wf11Khz_Mono_8Bit)) >= 0)
    WaveReader1->SetWaveType(wf11Khz_Mono_8Bit);
  WaveReader1->SetSampleCount(512);

  SpectrumView = std::make_unique<TSpectrumView>(
      Analysis,
      TSpectrumControls{*SpectrumGraph, *SpectroGram1, *DCOffsetDis, *PeakDis, *WaveReader1});
  Graphs = std::make_unique<TSAGraphs>(TGraphViews{*LeftGraph, *RightGraph, *SpectrumGraph});
  RealTime = std::make_unique<TSARealTime>(
      *SpectrumView, *Graphs,
      TRealTimeControls{*LeftGraph, *RightGraph, *OscopeChk, *SpectrumChk, *ChannelRadio,
                        *FramesDis, *BandWidthDis, *ResDis, *FPSDis, *BuffSizeCombo, *TimeSpin,
                        *WaveReader1});
  WaveFile = std::make_unique<TSAWaveFile>(
      *SpectrumView, *Graphs,
      TWaveFileControls{*LeftGraph, *RightGraph, *ChannelDis, *HzDis, *ByteSecDis,
                        *BlockAlignDis, *BitsDis, *SamplesDis, *BufferSizeCombo2, *OffsetSpin,
                        *AutoFourierChk, *AutoPlayChk, *TimeSpin});
  Synthesizer = std::make_unique<TSASynthesizer>(
      Analysis, *RealTime,
      TSynthControls{*BaseTypeRadio, *FreqSpin, *AmpSpin, *DCSpin, *Freq2Spin, *SweepChk,
                     *ModulateChk, *ModTypeRadio, *MFreqSpin, *MAmpSpin, *WaveReader1});

  DropController1 = new TDropController(this);
  DropController1->SetDropTarget(WaveFileSheet);
  OpenDialog1 = new QFileDialog(this, QStringLiteral("Open Wave File"), QStringLiteral("."));
  OpenDialog1->setNameFilters(
      {QStringLiteral("Audio files (%1)").arg(SoundFilePatterns().join(QLatin1Char(' '))),
       QStringLiteral("WAV files (*.wav)"), QStringLiteral("All files (*)")});
  OpenDialog1->setDefaultSuffix(QStringLiteral("wav"));
  OpenDialog1->setFileMode(QFileDialog::ExistingFile);
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  AskSaveFileName = [this](const QString& caption, const QString& suggestion,
                           const QString& filter) {
    return QFileDialog::getSaveFileName(this, caption, QDir::current().filePath(suggestion),
                                        filter);
  };
  BuildMenus();

  ApplyDesignScale();
  ConnectHandlers();
  FormCreate();
  // The dialogs come after the window, as at every start.
  AboutDlg = new TAboutDlg(this);
  SpectroDlg = new TSpectroDlg(*SpectroGram1->DepthBar(), this);
}

TForm1::~TForm1()
{
  ReopenMenu1->SaveToIni();
  // The reader still hands back its buffers while it stops; they must not
  // reach views that are being torn down.
  WaveReader1->OnWaveIn = nullptr;
  WaveReader1->Stop();
}

QWidget* TForm1::BuildRealTimeSheet()
{
  auto* sheet = new QWidget;
  auto* v = PageLayout(sheet, 6, 4);

  InputBtn = new QPushButton(QStringLiteral("Choose Input"), sheet);
  v->addWidget(InputBtn);

  BuffSizeCombo = MakeList(QStringLiteral("Buffer Size"), sheet);
  BuffSizeCombo->addItems(BufferSizeItems());
  BuffSizeCombo->setCurrentIndex(0);
  v->addWidget(Caption(QStringLiteral("Buffer Size "), BuffSizeCombo, sheet));
  v->addWidget(BuffSizeCombo);

  FormatCombo = MakeList(QStringLiteral("Data Format"), sheet);
  v->addWidget(Caption(QStringLiteral("Data Format"), FormatCombo, sheet));
  v->addWidget(FormatCombo);

  auto* bandwidth = new TReadOutPanel(QStringLiteral(" Bandwidth:"), sheet);
  BandWidthDis = bandwidth->AddReadOut(8);
  auto* resolution = new TReadOutPanel(QStringLiteral(" Resolution:"), sheet);
  ResDis = resolution->AddReadOut(8);
  auto* fps = new TReadOutPanel(QStringLiteral(" Frames/Sec:"), sheet);
  FPSDis = fps->AddReadOut(9);
  for (QWidget* w : {bandwidth, resolution, fps})
    v->addWidget(w);

  // Both capture buttons carry "Start", as they always have; the second one
  // is told apart by its stop glyph, and named "Stop" for its tooltip and
  // for screen readers.
  StartBtn = new TSpeedButton(TGlyph::Play, QStringLiteral("Start"), QStringLiteral("Start"), sheet);
  StopBtn = new TSpeedButton(TGlyph::Stop, QStringLiteral("Start"), QStringLiteral("Stop"), sheet);
  auto* group = new QButtonGroup(sheet);
  for (TSpeedButton* b : {StartBtn, StopBtn}) {
    b->setCheckable(true);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    group->addButton(b);
  }
  group->setExclusive(true);
  StopBtn->setChecked(true);
  auto* buttons = Row(4);
  buttons->addWidget(StartBtn);
  buttons->addWidget(StopBtn);
  v->addLayout(buttons);

  OscopeChk = new QCheckBox(QStringLiteral("Osciliscope"), sheet);
  OscopeChk->setChecked(true);
  v->addWidget(OscopeChk);

  GroupBox1 = new QGroupBox(QStringLiteral("Spectrum Analyzer"), sheet);
  auto* g = new QVBoxLayout(GroupBox1);
  g->setContentsMargins(6, 4, 6, 6);
  SpectrumChk = new QCheckBox(QStringLiteral("Spectrum Analyzer"), GroupBox1);
  SpectrumChk->setChecked(true);
  g->addWidget(SpectrumChk);
  ChannelRadio = new TRadioGroup(QStringLiteral("Channel"),
                                 {QStringLiteral("Left"), QStringLiteral("Right")}, 2, GroupBox1);
  ChannelRadio->SetItemIndex(0);
  g->addWidget(ChannelRadio);
  v->addWidget(GroupBox1);

  auto* frames = new TReadOutPanel(QStringLiteral(" Frames:"), sheet);
  FramesDis = frames->AddReadOut(8);
  v->addWidget(frames);
  auto* lost = new TReadOutPanel(QStringLiteral(" Input lost:"), sheet);
  InputLostDis = lost->AddReadOut(7);
  v->addWidget(lost);
  v->addStretch(1);
  return sheet;
}

QWidget* TForm1::BuildWaveFileSheet()
{
  auto* sheet = new QWidget;
  auto* v = PageLayout(sheet, 6, 4);

  GroupBox2 = new QGroupBox(QStringLiteral("File Statistics"), sheet);
  auto* stats = new QVBoxLayout(GroupBox2);
  stats->setContentsMargins(4, 2, 4, 4);
  stats->setSpacing(2);
  const auto stat = [this, stats](const QString& caption, int chars) {
    auto* panel = new TReadOutPanel(caption, GroupBox2);
    stats->addWidget(panel);
    return panel->AddReadOut(chars);
  };
  ChannelDis = stat(QStringLiteral(" Channels"), 3);
  HzDis = stat(QStringLiteral(" Hz"), 6);
  ByteSecDis = stat(QStringLiteral(" Bytes/Sec"), 7);
  BlockAlignDis = stat(QStringLiteral(" Block Align"), 3);
  BitsDis = stat(QStringLiteral(" Bits"), 3);
  SamplesDis = stat(QStringLiteral(" Samples"), 11);
  v->addWidget(GroupBox2);

  BufferSizeCombo2 = MakeList(QStringLiteral("Buffer Size"), sheet);
  BufferSizeCombo2->addItems(BufferSizeItems());
  BufferSizeCombo2->setCurrentIndex(0);
  v->addWidget(Caption(QStringLiteral("Buffer Size "), BufferSizeCombo2, sheet));
  v->addWidget(BufferSizeCombo2);

  OffsetSpin = MakeSpin(QStringLiteral("Offset"), 0, 0.1, sheet);
  OffsetSpin->SetUnitsString(QStringLiteral("Sec"));
  Limit(OffsetSpin, 0, 1000000000);
  OffsetSpin->SetNumFormat(nfFixed);
  OffsetSpin->SetDigits(1);
  OffsetSpin->SetValue(0);
  v->addWidget(Caption(QStringLiteral("Offset"), OffsetSpin, sheet));
  v->addWidget(OffsetSpin);

  AnalyzeFileBtn = new QPushButton(QStringLiteral("Analyze"), sheet);
  PlaySampleBtn = new QPushButton(QStringLiteral("Play Sample"), sheet);
  auto* buttons = Row(4);
  buttons->addWidget(AnalyzeFileBtn);
  buttons->addWidget(PlaySampleBtn);
  v->addLayout(buttons);
  AutoFourierChk = new QCheckBox(QStringLiteral("Auto Analyze"), sheet);
  AutoPlayChk = new QCheckBox(QStringLiteral("Auto Play"), sheet);
  v->addWidget(AutoFourierChk);
  v->addWidget(AutoPlayChk);
  v->addStretch(1);
  return sheet;
}

QWidget* TForm1::BuildSynthesizeSheet()
{
  auto* sheet = new QWidget;
  auto* v = PageLayout(sheet, 6, 4);

  TestBtn = new QPushButton(QStringLiteral("Display Test Signal"), sheet);
  v->addWidget(TestBtn);

  GroupBox3 = new QGroupBox(QStringLiteral("Base Wave"), sheet);
  auto* base = new QFormLayout(GroupBox3);
  base->setContentsMargins(6, 4, 6, 6);
  base->setSpacing(3);
  FreqSpin = MakeSpin(QStringLiteral("Frequency"), 500, 1, GroupBox3);
  Limit(FreqSpin, 0, 50000);
  AmpSpin = MakeSpin(QStringLiteral("Amplitude"), 1, 0.1, GroupBox3);
  Limit(AmpSpin, 0, 10);
  DCSpin = MakeSpin(QStringLiteral("DC Bias"), 0, 0.1, GroupBox3); // no limits
  Freq2Spin = MakeSpin(QStringLiteral("End Freq"), 1000, 1, GroupBox3);
  Limit(Freq2Spin, 0, 50000);
  base->addRow(QStringLiteral("Frequency"), FreqSpin);
  base->addRow(QStringLiteral("Amplitude"), AmpSpin);
  base->addRow(QStringLiteral("DC Bias"), DCSpin);
  base->addRow(QStringLiteral("End Freq"), Freq2Spin);
  BaseTypeRadio = new TRadioGroup(QStringLiteral("Type"),
                                  {QStringLiteral("Sine"), QStringLiteral("Square")}, 2, GroupBox3);
  BaseTypeRadio->SetItemIndex(0);
  base->addRow(BaseTypeRadio);
  SweepChk = new QCheckBox(QStringLiteral("Sweep"), GroupBox3);
  base->addRow(SweepChk);
  v->addWidget(GroupBox3);

  ModulateChk = new TCheckedGroup(QStringLiteral("Modulate Wave"), sheet);
  ModulateChk->setAccessibleName(QStringLiteral("Modulate Wave"));
  auto* mod = new QFormLayout(ModulateChk);
  mod->setContentsMargins(6, 4, 6, 6);
  mod->setSpacing(3);
  ModTypeRadio = new TRadioGroup(
      QStringLiteral("Type"), {QStringLiteral("Add"), QStringLiteral("Mult"), QStringLiteral("FM")},
      2, ModulateChk);
  ModTypeRadio->SetItemIndex(0);
  mod->addRow(ModTypeRadio);
  MFreqSpin = MakeSpin(QStringLiteral("Frequency"), 2, 1, ModulateChk);
  Limit(MFreqSpin, 0, 50000);
  MAmpSpin = MakeSpin(QStringLiteral("Amplitude"), 1, 0.1, ModulateChk);
  Limit(MAmpSpin, 0, 10);
  mod->addRow(QStringLiteral("Frequency"), MFreqSpin);
  mod->addRow(QStringLiteral("Amplitude"), MAmpSpin);
  // The children follow the check: enabled only while it is checked.
  ModulateChk->SetEnableChildren(true);
  ModulateChk->SetNoEventChecked(false);
  v->addWidget(ModulateChk);

  PlaySoundChk = new QCheckBox(QStringLiteral("Play Sound"), sheet);
  v->addWidget(PlaySoundChk);
  v->addStretch(1);
  return sheet;
}

void TForm1::BuildMenus()
{
  const auto item = [this](QMenu* menu, const QString& caption, auto&& handler) {
    QAction* a = menu->addAction(caption);
    connect(a, &QAction::triggered, this, std::forward<decltype(handler)>(handler));
    return a;
  };
  File1 = menuBar()->addMenu(QStringLiteral("&File"));
  OpenWaveFile1 = item(File1, QStringLiteral("&Open Wave File"), [this] { OpenWaveFile1Click(); });
  OpenWaveFile1->setShortcut(QKeySequence::Open);
  Reopen1 = File1->addMenu(QStringLiteral("&Reopen"));
  ReopenMenu1->SetMenuItem(Reopen1);
  File1->addSeparator();
  PrintLeftChannel1 = item(File1, QStringLiteral("Print &Left Channel"), [this] { LeftGraph->Print(); });
  PrintRightChannel1 =
      item(File1, QStringLiteral("Print &Right Channel"), [this] { RightGraph->Print(); });
  PrintSpecturm1 = item(File1, QStringLiteral("Print &Specturm"), [this] { PrintSpecturm1Click(); });
  PrintSpectrogram1 =
      item(File1, QStringLiteral("Print Spectro&gram"), [this] { PrintSpectrogram1Click(); });
  SaveSpectrum1 = item(File1, QStringLiteral("Save Spectr&um..."), [this] { SaveSpectrum1Click(); });
  SaveSpectrogramImage1 = item(File1, QStringLiteral("Save Spectrogram &Image..."),
                               [this] { SaveSpectrogramImage1Click(); });
  File1->addSeparator();
  Exit1 = item(File1, QStringLiteral("&Exit"), [this] { close(); });
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
  CopyLeftChannel1 =
      item(Edit1, QStringLiteral("Copy &Left Channel"), [this] { Graphs->CopyLeftChannel(); });
  CopyRightChannel1 =
      item(Edit1, QStringLiteral("Copy &Right Channel"), [this] { Graphs->CopyRightChannel(); });
  CopySpectrum1 = item(Edit1, QStringLiteral("Copy &Spectrum"), [this] { Graphs->CopySpectrum(); });
  CopySpectrumText1 =
      item(Edit1, QStringLiteral("Copy Spectrum as &Text"), [this] { CopySpectrumText1Click(); });
  CopySpectrogram1 =
      item(Edit1, QStringLiteral("Copy S&pectrogram"), [this] { CopySpectrogram1Click(); });

  Settings1 = menuBar()->addMenu(QStringLiteral("&Settings"));
  SetupSpectrogram1 =
      item(Settings1, QStringLiteral("&Setup Spectrogram.."), [this] { SetupSpectrogram1Click(); });

  Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
  // F1 is the help component's own key (it opens the page of the control
  // that has the focus); the item only shows it.
  Contents1 = item(Help1, QStringLiteral("&Contents\tF1"), [this] { Contents1Click(); });
  Help1->addSeparator();
  About1 = item(Help1, QStringLiteral("&About..."), [this] { About1Click(); });

  PopupMenu1 = new QMenu(this);
  SetupBands1 = item(PopupMenu1, QStringLiteral("Setup Bands..."), [this] { SetupSpectrogram1Click(); });
  ResetSpacing1 = item(PopupMenu1, QStringLiteral("Reset Spacing"), [this] { ResetSpacing1Click(); });
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(SaveSpectrogramImage1);
  SpectroGram1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SpectroGram1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(SpectroGram1->mapToGlobal(at)); });

  // Ctrl+C copies the view that has the focus; in a text field the field's
  // own copy takes the key first.
  auto* copy = new QShortcut(QKeySequence::Copy, this);
  connect(copy, &QShortcut::activated, this, &TForm1::CopyFocusedView);
  for (QWidget* view : {static_cast<QWidget*>(LeftGraph), static_cast<QWidget*>(RightGraph),
                        static_cast<QWidget*>(SpectrumGraph), static_cast<QWidget*>(SpectroGram1)})
    view->setFocusPolicy(Qt::StrongFocus);
}

QWidget* TForm1::BuildScopeBand()
{
  auto* band = new QWidget;
  auto* grid = new QGridLayout(band);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(2);

  auto* xRow = Row();
  LeftRawBtn = new TSpeedButton(TGlyph::Left, QStringLiteral("Move Left"), band);
  PanRightRawHBtn = new TSpeedButton(TGlyph::Right, QStringLiteral("Move Right"), band);
  ZoomInRawHBtn = new TSpeedButton(TGlyph::ZoomIn, QStringLiteral("Zoom In"), band);
  ZoomOutRawHBtn = new TSpeedButton(TGlyph::ZoomOut, QStringLiteral("ZoomOut"), band);
  ResetRawHBtn = new TSpeedButton(TGlyph::Reset, QStringLiteral("Reset"), band);
  for (QWidget* b : {LeftRawBtn, PanRightRawHBtn, ZoomInRawHBtn, ZoomOutRawHBtn, ResetRawHBtn})
    xRow->addWidget(b);
  xRow->addStretch(1);
  auto* pos = new TReadOutPanel(QStringLiteral(" Pos:"), band);
  PosXDis = pos->AddReadOut(7, QStringLiteral("X"));
  PosYDis = pos->AddReadOut(7, QStringLiteral("Y"));
  xRow->addWidget(pos);
  grid->addLayout(xRow, 0, 0);

  GraphSplitter = new QSplitter(Qt::Vertical, band);
  GraphSplitter->setHandleWidth(SplitterWidth);
  GraphSplitter->setChildrenCollapsible(false);
  LeftGraph = new TGraphBox(GraphSplitter);
  RightGraph = new TGraphBox(GraphSplitter);
  GraphSplitter->addWidget(LeftGraph);
  GraphSplitter->addWidget(RightGraph);
  grid->addWidget(GraphSplitter, 1, 0);

  auto* yColumn = new QVBoxLayout;
  yColumn->setSpacing(2);
  PanUpRawVBtn = new TSpeedButton(TGlyph::Up, QStringLiteral("Move Up"), band);
  ZoomInRawVBtn = new TSpeedButton(TGlyph::ZoomIn, QStringLiteral("Zoom In"), band);
  ResetRawVBtn = new TSpeedButton(TGlyph::Reset, QStringLiteral("Reset"), band);
  ZoomOutRawVBtn = new TSpeedButton(TGlyph::ZoomOut, QStringLiteral("Zoom Out"), band);
  PanDownRawVBtn = new TSpeedButton(TGlyph::Down, QStringLiteral("Move Down"), band);
  for (QWidget* b : {PanUpRawVBtn, ZoomInRawVBtn, ResetRawVBtn, ZoomOutRawVBtn, PanDownRawVBtn})
    yColumn->addWidget(b);
  yColumn->addStretch(1);
  grid->addLayout(yColumn, 1, 1);
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(0, 1);
  return band;
}

QWidget* TForm1::BuildGraphSheet()
{
  auto* sheet = new QWidget;
  auto* v = PageLayout(sheet, 2, 2);

  auto* tools = Row();
  PanLeftSpecHBtn = new TSpeedButton(TGlyph::Left, QStringLiteral("Move Left"), sheet);
  PanRightSpecHBtn = new TSpeedButton(TGlyph::Right, QStringLiteral("Move Right"), sheet);
  ZoomInSpecHBtn = new TSpeedButton(TGlyph::ZoomIn, QStringLiteral("Zoom In"), sheet);
  ZoomOutSpecHBtn = new TSpeedButton(TGlyph::ZoomOut, QStringLiteral("Zoom Out"), sheet);
  ResetSpecHBtn = new TSpeedButton(TGlyph::Reset, QStringLiteral("Reset"), sheet);
  PanUpSpecVBtn = new TSpeedButton(TGlyph::Up, QStringLiteral("Move Up"), sheet);
  ZoomInSpecVBtn = new TSpeedButton(TGlyph::ZoomIn, QStringLiteral("Zoom In"), sheet);
  ResetSpecVBtn = new TSpeedButton(TGlyph::Reset, QStringLiteral("Reset"), sheet);
  ZoomOutSpecVBtn = new TSpeedButton(TGlyph::ZoomOut, QStringLiteral("Zoom Out"), sheet);
  PanDownSpecVBtn = new TSpeedButton(TGlyph::Down, QStringLiteral("Move Down"), sheet);
  for (QWidget* b :
       {PanLeftSpecHBtn, PanRightSpecHBtn, ZoomInSpecHBtn, ZoomOutSpecHBtn, ResetSpecHBtn})
    tools->addWidget(b);
  tools->addSpacing(10);
  for (QWidget* b : {PanUpSpecVBtn, ZoomInSpecVBtn, ResetSpecVBtn, ZoomOutSpecVBtn, PanDownSpecVBtn})
    tools->addWidget(b);
  tools->addSpacing(10);
  LogCheck = new QCheckBox(QStringLiteral("Log"), sheet);
  tools->addWidget(LogCheck);
  tools->addStretch(1);
  v->addLayout(tools);

  // Measurement settings: off or plain by default, so the graph shows what
  // it always has until the user asks for more.
  auto* measure = Row(4);
  WindowCombo = MakeList(QStringLiteral("Window"), sheet);
  for (TWindowKind w : AllWindows)
    WindowCombo->addItem(WindowCaption(w), int(w));
  measure->addWidget(Caption(QStringLiteral("Window"), WindowCombo, sheet));
  measure->addWidget(WindowCombo);
  measure->addSpacing(8);
  TraceCombo = MakeList(QStringLiteral("Trace"), sheet);
  TraceCombo->addItems({QStringLiteral("Live"), QStringLiteral("Average"), QStringLiteral("Peak Hold")});
  measure->addWidget(Caption(QStringLiteral("Trace"), TraceCombo, sheet));
  measure->addWidget(TraceCombo);
  AverageSpin = MakeSpin(QStringLiteral("Average time"), 1, 0.1, sheet);
  AverageSpin->SetUnitsString(QStringLiteral("Sec"));
  Limit(AverageSpin, 0.1, 60);
  AverageSpin->SetValue(1);
  AverageSpin->setToolTip(QStringLiteral("Time constant of the average"));
  AverageSpin->setEnabled(false);
  measure->addWidget(AverageSpin);
  TraceResetBtn = new QPushButton(QStringLiteral("Reset"), sheet);
  TraceResetBtn->setAccessibleName(QStringLiteral("Reset trace"));
  TraceResetBtn->setToolTip(QStringLiteral("Start the average or the held peaks over"));
  measure->addWidget(TraceResetBtn);
  measure->addStretch(1);
  v->addLayout(measure);

  SpectrumGraph = new TGraphBox(sheet);
  SpectrumGraph->setAccessibleName(QStringLiteral("Spectrum"));
  v->addWidget(SpectrumGraph, 1);

  auto* readouts = Row(4);
  auto* mouse = new TReadOutPanel(QStringLiteral(" Mouse:"), sheet);
  MouseDis = mouse->AddReadOut(13);
  auto* note = new TReadOutPanel(QStringLiteral(" Note:"), sheet);
  NoteDis = note->AddReadOut(10);
  auto* dc = new TReadOutPanel(QStringLiteral(" DC Offset:"), sheet);
  DCOffsetDis = dc->AddReadOut(8);
  readouts->addWidget(mouse, 3);
  readouts->addWidget(note, 2);
  readouts->addWidget(dc, 2);
  v->addLayout(readouts);
  auto* peak = new TReadOutPanel(QStringLiteral(" Peak:"), sheet);
  PeakDis = peak->AddReadOut(38);
  v->addWidget(peak);
  return sheet;
}

QWidget* TForm1::BuildSpectrogramSheet()
{
  auto* sheet = new QWidget;
  auto* v = PageLayout(sheet, 2, 2);

  auto* strip = Row(4);
  ColorCombo = MakeList(QStringLiteral("Color Scheme"), sheet);
  ColorCombo->addItems({QStringLiteral("Red-Black"), QStringLiteral("Rainbow"),
                        QStringLiteral("Viridis"), QStringLiteral("Magma")});
  ColorCombo->setCurrentIndex(0);
  strip->addWidget(Caption(QStringLiteral("Color Scheme"), ColorCombo, sheet));
  strip->addWidget(ColorCombo);
  TimeSpin = new TRealSpin(sheet);
  TimeSpin->setAccessibleName(QStringLiteral("Time"));
  TimeSpin->SetUnitsString(QStringLiteral("Sec"));
  TimeSpin->SetUseLimit(true);
  TimeSpin->SetMinValue(1);
  TimeSpin->SetMaxValue(600);
  TimeSpin->SetIncrement(1);
  TimeSpin->SetValue(10);
  strip->addSpacing(6);
  strip->addWidget(Caption(QStringLiteral("Time"), TimeSpin, sheet));
  strip->addWidget(TimeSpin);
  strip->addSpacing(6);
  auto* mouse = new TReadOutPanel(QStringLiteral(" Mouse:"), sheet);
  Mouse2Dis = mouse->AddReadOut(15);
  auto* note = new TReadOutPanel(QStringLiteral(" Note:"), sheet);
  Note2Dis = note->AddReadOut(10);
  strip->addWidget(mouse, 3);
  strip->addWidget(note, 2);
  v->addLayout(strip);

  SpectroGram1 = new TSpectroGram(sheet);
  SpectroGram1->setAccessibleName(QStringLiteral("Spectrogram"));
  SpectroGram1->DepthBar()->setAccessibleName(QStringLiteral("Color bands"));
  SpectroGram1->SetColorCount(TColorDepth::dcTemp32);
  v->addWidget(SpectroGram1, 1);
  return sheet;
}

void TForm1::SetupGraphs()
{
  const auto scope = [](TGraphBox& g, const QString& title) {
    g.SetBevelOuter(bvNone);
    g.SetColor(clWhite);
    g.SetGridColor(clBlack);
    g.SetGraphBorder(20);
    g.SetGraphType(gtLine);
    g.SetDefaultData(false);
    g.SetXRange(4, 0, 512);
    g.YAxis().SetLines(2);
    g.YAxis().SetMin(0);
    g.YAxis().SetMax(256);
    g.XAxis().SetShowLabels(true);
    g.YAxis().SetShowLabels(true);
    g.Title().SetCaption(title);
    g.Title().SetShowCaption(true);
    g.Title().SetBoxed(true);
    g.Title().SetPosition(tpCenter);
    g.setAccessibleName(title);
  };
  scope(*LeftGraph, QStringLiteral("Left Channel"));
  scope(*RightGraph, QStringLiteral("Right Channel"));

  TGraphBox& s = *SpectrumGraph;
  s.SetBevelOuter(bvLowered);
  s.SetColor(clBlack);
  s.SetGridColor(GreenGrid);
  s.SetGraphBorder(25);
  s.SetFontColor(clLime);
  s.SetGraphType(gtLine);
  s.SetDefaultData(false);
  s.SetXRange(8, 1, 512);
  s.YAxis().SetLines(4);
  s.YAxis().SetMin(-60);
  s.YAxis().SetMax(20);
  s.XAxis().SetShowLabels(true);
  s.YAxis().SetShowLabels(true);
  s.Title().SetShowCaption(false);
  s.Title().SetBoxed(false);
}

void TForm1::ConnectHandlers()
{
  connect(InputBtn, &QPushButton::clicked, this, &TForm1::InputBtnClick);
  connect(StartBtn, &QToolButton::clicked, this, &TForm1::StartBtnClick);
  connect(StopBtn, &QToolButton::clicked, this, &TForm1::StopBtnClick);
  WaveReader1->OnWaveIn = [this](TWaveReader*, const void* buffer, int count,
                                 const TWaveDataFormat& format) {
    WaveReader1WaveIn(buffer, count, format);
  };
  connect(WaveReader1, &TWaveReader::InputLostChanged, this, [this](double seconds) {
    InputLostDis->SetText(FormatFixed(seconds, 1) + QStringLiteral(" s"));
  });
  connect(BuffSizeCombo, &QComboBox::currentIndexChanged, this, &TForm1::BuffSizeComboChange);
  connect(FormatCombo, &QComboBox::currentIndexChanged, this, &TForm1::FormatComboChange);
  connect(TimeSpin, &TRealSpin::OnChange, this, &TForm1::BuffSizeComboChange);
  connect(ColorCombo, &QComboBox::currentIndexChanged, this, &TForm1::ColorComboChange);

  SpectrumGraph->OnMouseMove = [this](TCustomGraph*, Qt::MouseButton, Qt::KeyboardModifiers,
                                      int x, int y) { SpectrumGraphMouseMove(x, y); };
  SpectroGram1->OnMouseMove = [this](QObject*, int x, int y) { SpectroGram1MouseMove(x, y); };
  for (TGraphBox* g : {LeftGraph, RightGraph})
    g->OnMouseMove = [this, g](TCustomGraph*, Qt::MouseButton, Qt::KeyboardModifiers, int x,
                               int y) { LeftGraphMouseMove(g, x, y); };

  const auto on = [this](QToolButton* b, auto&& action) {
    connect(b, &QToolButton::clicked, this, std::forward<decltype(action)>(action));
  };
  TSAGraphs& g = *Graphs;
  on(LeftRawBtn, [&g] { g.PanRaw(false, -0.1); });
  on(PanRightRawHBtn, [&g] { g.PanRaw(false, 0.1); });
  on(ZoomInRawHBtn, [&g] { g.ZoomRaw(false, 0.9); });
  on(ZoomOutRawHBtn, [&g] { g.ZoomRaw(false, 1.1); });
  on(ResetRawHBtn, [&g] { g.ResetRaw(true); });
  on(PanUpRawVBtn, [&g] { g.PanRaw(true, 0.1); });
  on(PanDownRawVBtn, [&g] { g.PanRaw(true, -0.1); });
  on(ZoomInRawVBtn, [&g] { g.ZoomRaw(true, 0.9); });
  on(ZoomOutRawVBtn, [&g] { g.ZoomRaw(true, 1.1); });
  on(ResetRawVBtn, [&g] { g.ResetRaw(false); });
  on(PanLeftSpecHBtn, [&g] { g.PanSpectrum(false, -0.1); });
  on(PanRightSpecHBtn, [&g] { g.PanSpectrum(false, 0.1); });
  on(ZoomInSpecHBtn, [&g] { g.ZoomSpectrum(false, 0.9); });
  on(ZoomOutSpecHBtn, [&g] { g.ZoomSpectrum(false, 1.1); });
  on(ResetSpecHBtn, [&g] { g.ResetSpectrum(true); });
  on(PanUpSpecVBtn, [&g] { g.PanSpectrum(true, 0.1); });
  on(PanDownSpecVBtn, [&g] { g.PanSpectrum(true, -0.1); });
  on(ZoomInSpecVBtn, [&g] { g.ZoomSpectrum(true, 0.9); });
  on(ZoomOutSpecVBtn, [&g] { g.ZoomSpectrum(true, 1.1); });
  on(ResetSpecVBtn, [&g] { g.ResetSpectrum(false); });
  connect(LogCheck, &QCheckBox::toggled, this, [&g](bool log) { g.SetSpectrumLog(log); });
  connect(WindowCombo, &QComboBox::currentIndexChanged, this, &TForm1::WindowComboChange);
  connect(TraceCombo, &QComboBox::currentIndexChanged, this, &TForm1::TraceComboChange);
  connect(AverageSpin, &TRealSpin::OnChange, this,
          [this] { SpectrumView->Hold().SetTimeConstant(AverageSpin->Value()); });
  connect(TraceResetBtn, &QPushButton::clicked, this, [this] { SpectrumView->ResetHold(); });

  connect(ReopenMenu1, &TReopenMenu::OnMenuClick, this,
          [this](QObject*, const QString& path) { ReopenMenu1MenuClick(path); });
  connect(DropController1, &TDropController::OnDrop, this, &TForm1::DropController1Drop);
  connect(AnalyzeFileBtn, &QPushButton::clicked, this, &TForm1::AnalyzeFileBtnClick);
  connect(PlaySampleBtn, &QPushButton::clicked, this, &TForm1::PlaySampleBtnClick);
  connect(OffsetSpin, &TRealSpin::OnChange, this, &TForm1::OffsetSpinChange);
  connect(BufferSizeCombo2, &QComboBox::currentIndexChanged, this, &TForm1::BufferSizeCombo2Change);
  LeftGraph->OnMouseDown = [this](TCustomGraph*, Qt::MouseButton, Qt::KeyboardModifiers, int x,
                                  int y) { LeftGraphMouseDown(x, y); };
  LeftGraph->OnPaint = [this](TGraphBox*) { LeftGraphPaint(); };
  connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);

  // Every control of the Synthesize page but "Play Sound" makes a new frame.
  connect(TestBtn, &QPushButton::clicked, this, &TForm1::TestBtnClick);
  for (TRealSpin* spin : {FreqSpin, AmpSpin, DCSpin, Freq2Spin, MFreqSpin, MAmpSpin})
    connect(spin, &TRealSpin::OnChange, this, &TForm1::TestBtnClick);
  for (TRadioGroup* radio : {BaseTypeRadio, ModTypeRadio})
    connect(radio, &TRadioGroup::OnClick, this, &TForm1::TestBtnClick);
  connect(SweepChk, &QCheckBox::clicked, this, &TForm1::TestBtnClick);
  connect(ModulateChk, &TCheckedGroup::OnCheckClick, this, &TForm1::TestBtnClick);

  SpectroGram1->OnBarSelect = [this](QObject*) { SpectroGram1BarSelect(); };
  // Dragging a band of the colour bar onto another copies its colour.
  SpectroGram1->OnBarDragOver = [](QObject* sender, QObject* source, int, int, TDragState,
                                   bool& accept) { accept = source == sender; };
  SpectroGram1->OnBarDragDrop = [](QObject* sender, QObject* source, int, int y) {
    auto* target = qobject_cast<TColorBar*>(sender);
    auto* from = qobject_cast<TColorBar*>(source);
    if (!target || !from)
      return;
    const int band = target->BandAt(y);
    if (band < 0 || !target->Bands().IsEdge(band) || !from->Bands().IsEdge(from->Selected()))
      return;
    target->SetEdgeColor(band, from->Edge(from->Selected()).Color);
    target->update();
  };
}

void TForm1::ApplyDesignScale()
{
  const double s = DesignScale(font());
  // The spectrum graph's labels are the window's font in bold.
  QFont bold = font();
  bold.setBold(true);
  SpectrumGraph->setFont(bold);
  MainSplitter->setSizes({DesignPixels(DesignLeftPanel, s),
                          DesignPixels(DesignWidth - DesignLeftPanel - SplitterWidth, s)});
  DisplaySplitter->setSizes({DesignPixels(DesignScopeBand, s), DesignPixels(DesignHeight, s)});
  GraphSplitter->setSizes({104, 91});
}

void TForm1::changeEvent(QEvent* e)
{
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::FontChange && SpectrumGraph)
    ApplyDesignScale();
}

void TForm1::FormCreate()
{
  PageControl1->setCurrentWidget(RealTimeSheet);
  PageControl2->setCurrentWidget(GraphSheet);
  for (TGraphBox* g : {LeftGraph, RightGraph, SpectrumGraph})
    g->Clear();
  Graphs->CaptureDefaultRanges();
  ReopenMenu1->LoadFromIni();
  // Help requests name the help file beside the executable.
  CHMHelper1->SetHelpFile(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                          QFileInfo(CHMHelper1->HelpFile()).fileName());
  RealTime->UpdateBufferSize();
  RealTime->ShowRateFigures();
  const double s = DesignScale(font());
  resize(DesignPixels(DesignWidth, s), DesignPixels(DesignHeight, s));
}

void TForm1::InputBtnClick() { ShowSoundControlPanel(WaveReader1, this); }

void TForm1::StartBtnClick()
{
  RealTime->StartCapture();
  // A start the reader refused (it has told the user why) leaves nothing
  // running; the buttons then say so.
  if (!WaveReader1->IsActive())
    StopBtn->setChecked(true);
}

void TForm1::StopBtnClick() { WaveReader1->Stop(); }

void TForm1::RestartCapture()
{
  WaveReader1->Stop();
  RealTime->StartCapture();
}

void TForm1::WaveReader1WaveIn(const void* Buffer, int SampleCount, const TWaveDataFormat& Format)
{
  RealTime->ProcessFrame(Buffer, SampleCount, Format);
}

void TForm1::BuffSizeComboChange()
{
  if (WaveReader1->IsActive()) {
    RestartCapture();
  } else {
    RealTime->UpdateBufferSize();
    RealTime->ShowRateFigures();
  }
}

void TForm1::FormatComboChange() { BuffSizeComboChange(); }

void TForm1::ColorComboChange()
{
  const int i = ColorCombo->currentIndex();
  SpectroGram1->SetColorCount(i == 1   ? TColorDepth::dc30
                              : i == 2 ? TColorDepth::dcViridis
                              : i == 3 ? TColorDepth::dcMagma
                                       : TColorDepth::dcTemp32);
  RealTime->UpdateBufferSize();
}

bool TForm1::WaveFilePageActive() const { return PageControl1->currentWidget() == WaveFileSheet; }

void TForm1::OpenWaveFile(const QString& Path)
{
  // Read first: a file that fails leaves the capture, the page, the traces,
  // the caption and the recent files as they were.
  if (!WaveFile->SetFileName(Path))
    return; // cancelled
  WaveReader1->Stop(); // the speed buttons stay as they are
  PageControl1->setCurrentWidget(WaveFileSheet);
  WaveFile->ShowWaveFile();
  ReopenMenu1->Add(Path);
  const QFileInfo info(Path);
  QDir::setCurrent(info.absolutePath());
  setWindowTitle(info.fileName() + QStringLiteral(" - Duvovovi"));
  LeftGraph->RestoreImage();
  WaveFile->DrawStretchMarker();
  // A file cut short is shown as far as it goes, and the status bar says so
  // until the next file; the bar appears only when there is something to say.
  const QString note = WaveFile->LoadNote();
  if (!note.isEmpty() || findChild<QStatusBar*>())
    statusBar()->showMessage(note);
}

void TForm1::OpenWaveFile1Click()
{
  if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty())
    return;
  const QString path = OpenDialog1->selectedFiles().front();
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

void TForm1::AnalyzeFileBtnClick() { WaveFile->AnalyzeStretch(); }

void TForm1::PlaySampleBtnClick() { WaveFile->PlayStretch(); }

void TForm1::OffsetSpinChange() { WaveFile->OffsetSpinChange(); }

void TForm1::BufferSizeCombo2Change() { WaveFile->BufferSizeCombo2Change(); }

void TForm1::LeftGraphMouseDown(int X, int Y)
{
  // Only the Wave File page places the stretch; a click on a live trace
  // must not move a stretch the user cannot see.
  if (WaveFilePageActive())
    WaveFile->LeftGraphMouseDown(X, Y);
}

void TForm1::LeftGraphPaint()
{
  if (WaveFilePageActive())
    WaveFile->DrawStretchMarker();
}

void TForm1::PageControl1Change()
{
  if (!WaveFilePageActive())
    return;
  LeftGraph->RestoreImage();
  WaveFile->DrawStretchMarker();
}

void TForm1::TestBtnClick() { Synthesizer->Synthesize(PlaySoundChk->isChecked()); }

void TForm1::PrintSpecturm1Click() { Graphs->PrintSpectrum(); }

void TForm1::CopySpectrogram1Click()
{
  QApplication::processEvents(); // the menu closes first
  SpectroGram1->CopyToClipboard();
}

void TForm1::PrintSpectrogram1Click() { SpectroGram1->PrintImage(); }

void TForm1::SetupSpectrogram1Click() { SpectroDlg->ShowSettingsDialog(); }

void TForm1::SpectroGram1BarSelect()
{
  if (SpectroDlg)
    SpectroDlg->UpdateFromSelection();
}

void TForm1::ResetSpacing1Click() { SpectroGram1->DepthBar()->ResetSpacing(); }

void TForm1::Contents1Click() { CHMHelper1->HelpCommand(HELP_CONTENTS, 0); }

void TForm1::About1Click() { AboutDlg->exec(); }

void TForm1::WindowComboChange()
{
  Analysis.Window = static_cast<TWindowKind>(WindowCombo->currentData().toInt());
  // Levels through another window do not average with the earlier ones.
  SpectrumView->ResetHold();
}

void TForm1::TraceComboChange()
{
  const int i = TraceCombo->currentIndex();
  SpectrumView->Hold().SetMode(i == 1 ? TTraceMode::Average
                               : i == 2 ? TTraceMode::PeakHold
                                        : TTraceMode::Live);
  AverageSpin->setEnabled(i == 1);
  SpectrumView->ResetHold();
}

QString TForm1::SpectrumText() const
{
  std::ostringstream text;
  WriteSpectrum(SpectrumView->LastFrame(), text);
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
  const QImage picture = SpectroGram1->RenderPicture();
  WriteWholeFile(path, [&picture](QIODevice& f) { return picture.save(&f, "PNG"); });
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
  // The help window and the modeless settings dialog go with the window.
  if (SpectroDlg)
    SpectroDlg->hide();
  if (THelpWindow* help = HelpWindow())
    help->close();
  QMainWindow::closeEvent(e);
}

void TForm1::SpectrumGraphMouseMove(int X, int Y)
{
  double x = 0, y = 0;
  SpectrumGraph->PixelToValue(X, Y, x, y);
  const double f = x * SpectrumGraph->XAxis().Multiplier();
  MouseDis->SetText(FormatFixed(f, 1) + QLatin1Char(' ') + FormatFixed(y, 1));
  NoteDis->SetText(NoteName(f));
}

void TForm1::SpectroGram1MouseMove(int X, int Y)
{
  double f = 0, t = 0;
  SpectroGram1->PixelToValue(X, Y, f, t);
  Mouse2Dis->SetText(FormatFixed(f, 1) + QStringLiteral("   ") + FormatFixed(t, 1));
  Note2Dis->SetText(NoteName(f));
}

void TForm1::LeftGraphMouseMove(TGraphBox* Sender, int X, int Y)
{
  double x = 0, y = 0;
  Sender->PixelToValue(X, Y, x, y);
  PosXDis->SetText(FormatThousands(Round64(x)));
  PosYDis->SetText(FormatThousands(Round64(y)));
}

} // namespace duv
