#include "app/SAMain.h"

#include "audio/WaveLib.h"
#include "audio/Waveread.h"
#include "controls/ChmHelper.h"
#include "controls/RadioGroup.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "controls/Reopen.h"
#include "controls/SpeedButton.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"
#include "support/DSupport.h"
#include "support/UiSupport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

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
  RealTimeSheet = BuildRealTimeSheet();
  PageControl1->addTab(RealTimeSheet, QStringLiteral("Real Time"));

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

  WaveReader1->SetComboBox(FormatCombo);
  // The design's format, where the input can record it.
  if (FormatCombo->findData(int(wf11Khz_Mono_8Bit)) >= 0)
    WaveReader1->SetWaveType(wf11Khz_Mono_8Bit);
  WaveReader1->SetSampleCount(512);

  SpectrumView = std::make_unique<TSpectrumView>(
      Analysis, TSpectrumControls{*SpectrumGraph, *SpectroGram1, *DCOffsetDis, *WaveReader1});
  Graphs = std::make_unique<TSAGraphs>(TGraphViews{*LeftGraph, *RightGraph, *SpectrumGraph});
  RealTime = std::make_unique<TSARealTime>(
      *SpectrumView, *Graphs,
      TRealTimeControls{*LeftGraph, *RightGraph, *OscopeChk, *SpectrumChk, *ChannelRadio,
                        *FramesDis, *BandWidthDis, *ResDis, *FPSDis, *BuffSizeCombo, *TimeSpin,
                        *WaveReader1});

  ApplyDesignScale();
  ConnectHandlers();
  FormCreate();
}

TForm1::~TForm1()
{
  // The reader still hands back its buffers while it stops; they must not
  // reach views that are being torn down.
  WaveReader1->OnWaveIn = nullptr;
  WaveReader1->Stop();
}

QWidget* TForm1::BuildRealTimeSheet()
{
  auto* sheet = new QWidget;
  auto* v = new QVBoxLayout(sheet);
  v->setContentsMargins(6, 6, 6, 6);
  v->setSpacing(4);

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
  v->addStretch(1);
  return sheet;
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
  auto* v = new QVBoxLayout(sheet);
  v->setContentsMargins(2, 2, 2, 2);
  v->setSpacing(2);

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
  return sheet;
}

QWidget* TForm1::BuildSpectrogramSheet()
{
  auto* sheet = new QWidget;
  auto* v = new QVBoxLayout(sheet);
  v->setContentsMargins(2, 2, 2, 2);
  v->setSpacing(2);

  auto* strip = Row(4);
  ColorCombo = MakeList(QStringLiteral("Color Scheme"), sheet);
  ColorCombo->addItems({QStringLiteral("Red-Black"), QStringLiteral("Rainbow")});
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
  SpectroGram1->SetColorCount(ColorCombo->currentIndex() == 1 ? TColorDepth::dc30
                                                              : TColorDepth::dcTemp32);
  RealTime->UpdateBufferSize();
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
