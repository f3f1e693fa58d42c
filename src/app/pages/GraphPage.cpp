// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/GraphPage.h"

#include "analysis/SAGlobal.h"
#include "app/pages/PageSupport.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/SAGraphs.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "controls/SpeedButton.h"
#include "graph/GraphLooks.h"
#include "graph/Graphbox.h"
#include "support/DSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace duv {

namespace {
// The trace list's items, in list order.
constexpr TTraceMode TraceModes[] = {TTraceMode::Live, TTraceMode::Average, TTraceMode::PeakHold};
// The colours the spectrum view draws the live and the second trace in.
constexpr TColor LiveColor = MakeColor(0, 255, 0);
constexpr TColor HeldColor = MakeColor(255, 255, 0);
} // namespace

TGraphPage::TGraphPage(TSpectroGram& Spectrogram, TWaveReader& Reader, QWidget* Parent)
    : QWidget(Parent)
{
  auto* v = PageLayout(this, 2, 2);

  auto* tools = Row();
  PanLeftSpecHBtn = new TSpeedButton(TGlyph::Left, QStringLiteral("Move Left"), this);
  PanRightSpecHBtn = new TSpeedButton(TGlyph::Right, QStringLiteral("Move Right"), this);
  ZoomInSpecHBtn = new TSpeedButton(TGlyph::ZoomIn, QStringLiteral("Zoom In"), this);
  ZoomOutSpecHBtn = new TSpeedButton(TGlyph::ZoomOut, QStringLiteral("Zoom Out"), this);
  ResetSpecHBtn = new TSpeedButton(TGlyph::Reset, QStringLiteral("Reset"), this);
  PanUpSpecVBtn = new TSpeedButton(TGlyph::Up, QStringLiteral("Move Up"), this);
  ZoomInSpecVBtn = new TSpeedButton(TGlyph::ZoomIn, QStringLiteral("Zoom In"), this);
  ResetSpecVBtn = new TSpeedButton(TGlyph::Reset, QStringLiteral("Reset"), this);
  ZoomOutSpecVBtn = new TSpeedButton(TGlyph::ZoomOut, QStringLiteral("Zoom Out"), this);
  PanDownSpecVBtn = new TSpeedButton(TGlyph::Down, QStringLiteral("Move Down"), this);
  // The hints stay short; a screen reader hears which axis a button moves.
  ZoomInSpecHBtn->setAccessibleName(QStringLiteral("Zoom In Frequency"));
  ZoomOutSpecHBtn->setAccessibleName(QStringLiteral("Zoom Out Frequency"));
  ResetSpecHBtn->setAccessibleName(QStringLiteral("Reset Frequency"));
  ZoomInSpecVBtn->setAccessibleName(QStringLiteral("Zoom In Level"));
  ZoomOutSpecVBtn->setAccessibleName(QStringLiteral("Zoom Out Level"));
  ResetSpecVBtn->setAccessibleName(QStringLiteral("Reset Level"));
  for (QWidget* b :
       {PanLeftSpecHBtn, PanRightSpecHBtn, ZoomInSpecHBtn, ZoomOutSpecHBtn, ResetSpecHBtn})
    tools->addWidget(b);
  tools->addSpacing(10);
  for (QWidget* b : {PanUpSpecVBtn, ZoomInSpecVBtn, ResetSpecVBtn, ZoomOutSpecVBtn, PanDownSpecVBtn})
    tools->addWidget(b);
  tools->addSpacing(10);
  LogCheck = new QCheckBox(QStringLiteral("Log"), this);
  tools->addWidget(LogCheck);
  tools->addSpacing(6);
  RoundCheck = new QCheckBox(QStringLiteral("Round Ticks"), this);
  RoundCheck->setToolTip(
      QStringLiteral("Round values and units on the axes of the spectrum and the oscilloscope"));
  tools->addWidget(RoundCheck);
  tools->addStretch(1);
  v->addLayout(tools);

  // Measurement settings: the trace is live until the user asks for more.
  auto* measure = Row(4);
  WindowCombo = MakeList(QStringLiteral("Window"), this);
  for (TWindowKind w : AllWindows)
    WindowCombo->addItem(WindowCaption(w), int(w));
  measure->addWidget(Caption(QStringLiteral("Window"), WindowCombo, this));
  measure->addWidget(WindowCombo);
  measure->addSpacing(8);
  TraceCombo = MakeList(QStringLiteral("Trace"), this);
  TraceCombo->addItems({QStringLiteral("Live"), QStringLiteral("Average"), QStringLiteral("Peak Hold")});
  measure->addWidget(Caption(QStringLiteral("Trace"), TraceCombo, this));
  measure->addWidget(TraceCombo);
  AverageSpin = MakeSpin(QStringLiteral("Average time"), 1, 0.1, this);
  AverageSpin->SetUnitsString(QStringLiteral("Sec"));
  Limit(AverageSpin, 0.1, 60);
  AverageSpin->SetValue(1);
  AverageSpin->setToolTip(QStringLiteral("Time constant of the average"));
  AverageSpin->setEnabled(false);
  measure->addWidget(AverageSpin);
  TraceResetBtn = new QPushButton(QStringLiteral("Reset"), this);
  TraceResetBtn->setAccessibleName(QStringLiteral("Reset trace"));
  TraceResetBtn->setToolTip(QStringLiteral("Start the average or the held peaks over"));
  measure->addWidget(TraceResetBtn);
  measure->addStretch(1);
  v->addLayout(measure);

  FSpectrumGraph = new TGraphBox(this);
  FSpectrumGraph->setAccessibleName(QStringLiteral("Spectrum"));
  v->addWidget(FSpectrumGraph, 1);

  auto* readouts = Row(4);
  auto* mouse = new TReadOutPanel(QStringLiteral(" Mouse:"), this);
  MouseDis = mouse->AddReadOut(13);
  auto* note = new TReadOutPanel(QStringLiteral(" Note:"), this);
  NoteDis = note->AddReadOut(10);
  auto* dc = new TReadOutPanel(QStringLiteral(" DC Offset:"), this);
  DCOffsetDis = dc->AddReadOut(11);
  dc->setToolTip(QStringLiteral("The DC term in sample steps, on the spectrum's scale, where a "
                                "full-scale sine is 2^(bits - 1)"));
  readouts->addWidget(mouse, 3);
  readouts->addWidget(note, 2);
  readouts->addWidget(dc, 2);
  v->addLayout(readouts);
  auto* peak = new TReadOutPanel(QStringLiteral(" Peak:"), this);
  PeakDis = peak->AddReadOut(38);
  v->addWidget(peak);

  SetupSpectrumGraph(*FSpectrumGraph);
  FSpectrumView = std::make_unique<TSpectrumView>(
      TSpectrumControls{*FSpectrumGraph, Spectrogram, *DCOffsetDis, *PeakDis, Reader});

  connect(FSpectrumGraph, &TCustomGraph::OnMouseMove, this,
          [this](TCustomGraph*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
            SpectrumGraphMouseMove(x, y);
          });
  connect(FSpectrumGraph, &TCustomGraph::OnMouseLeave, this, [this] { ClearMouse(); });
  connect(WindowCombo, &QComboBox::currentIndexChanged, this, &TGraphPage::WindowComboChange);
  connect(TraceCombo, &QComboBox::currentIndexChanged, this, &TGraphPage::TraceComboChange);
  connect(AverageSpin, &TRealSpin::OnChange, this,
          [this] { FSpectrumView->Hold().SetTimeConstant(AverageSpin->Value()); });
  connect(TraceResetBtn, &QPushButton::clicked, this, [this] { FSpectrumView->ResetHold(); });
  // A first start reads well: the Hann window keeps a tone's leakage off
  // the rest of the spectrum, and round ticks read as numbers one would pick.
  SetWindow(TWindowKind::Hann);
  RoundCheck->setChecked(true);
}

TGraphPage::~TGraphPage() = default;

void TGraphPage::BindViewCommands(TSAGraphs& Graphs)
{
  const auto on = [this](QAbstractButton* b, auto&& action) {
    connect(b, &QAbstractButton::clicked, this, std::forward<decltype(action)>(action));
  };
  TSAGraphs& g = Graphs;
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
  connect(RoundCheck, &QCheckBox::toggled, this, [&g](bool round) { g.SetRoundTicks(round); });
  g.SetRoundTicks(RoundCheck->isChecked());
  connect(FSpectrumGraph, &TGraphBox::OnResetView, this, [&g] {
    g.ResetSpectrum(true);
    g.ResetSpectrum(false);
  });
}

void TGraphPage::SetRoundTicks(bool Round)
{
  RoundCheck->setChecked(Round);
}

bool TGraphPage::RoundTicks() const
{
  return RoundCheck->isChecked();
}

void TGraphPage::SetWindow(TWindowKind Window)
{
  WindowCombo->setCurrentIndex(WindowCombo->findData(int(Window)));
}

void TGraphPage::SetTraceMode(TTraceMode Mode)
{
  for (int i = 0; i < int(std::size(TraceModes)); ++i)
    if (TraceModes[i] == Mode)
      TraceCombo->setCurrentIndex(i);
}

void TGraphPage::SetAverageTime(double Seconds) { AverageSpin->SetValue(Seconds); }

void TGraphPage::SetLogFrequency(bool On) { LogCheck->setChecked(On); }

bool TGraphPage::LogFrequency() const { return LogCheck->isChecked(); }

QString TGraphPage::MouseText() const { return MouseDis->Text(); }
QString TGraphPage::NoteText() const { return NoteDis->Text(); }
QString TGraphPage::DCOffsetText() const { return DCOffsetDis->Text(); }
QString TGraphPage::PeakText() const { return PeakDis->Text(); }

void TGraphPage::ClearMouse()
{
  MouseDis->SetText(QString());
  NoteDis->SetText(QString());
}

void TGraphPage::SpectrumGraphMouseMove(int X, int Y)
{
  // Off the plot the mapping runs past the axes: nothing to read there.
  if (!FSpectrumGraph->PlotContains(X, Y)) {
    ClearMouse();
    return;
  }
  double x = 0, y = 0;
  FSpectrumGraph->PixelToValue(X, Y, x, y);
  const double f = x * FSpectrumGraph->XAxis().Multiplier();
  MouseDis->SetText(FormatFixed(f, 1) + QLatin1Char(' ') + FormatFixed(y, 1));
  NoteDis->SetText(NoteName(f));
}

void TGraphPage::WindowComboChange()
{
  FSpectrumView->SetWindow(static_cast<TWindowKind>(WindowCombo->currentData().toInt()));
}

void TGraphPage::TraceComboChange()
{
  const int i = TraceCombo->currentIndex();
  const TTraceMode mode =
      i >= 0 && i < int(std::size(TraceModes)) ? TraceModes[i] : TTraceMode::Live;
  FSpectrumView->Hold().SetMode(mode);
  // Two traces say which is which.
  if (mode == TTraceMode::Live)
    FSpectrumGraph->SetLegend({});
  else
    FSpectrumGraph->SetLegend(
        {{QStringLiteral("Live"), LiveColor}, {TraceCombo->currentText(), HeldColor}});
  AverageSpin->setEnabled(i == 1);
  FSpectrumView->ResetHold();
}

} // namespace duv
