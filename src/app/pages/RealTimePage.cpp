// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/RealTimePage.h"

#include "analysis/SAGlobal.h"
#include "app/pages/PageSupport.h"
#include "app/pages/SARealTime.h"
#include "app/pages/ScopeBand.h"
#include "audio/WaveLib.h"
#include "controls/RadioGroup.h"
#include "controls/ReadOut.h"
#include "controls/SpeedButton.h"
#include "support/DSupport.h"
#include "support/UiSupport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace duv {

TRealTimePage::TRealTimePage(TWaveReader& Reader, TSpectrumView& Spectrum, TSAGraphs& Graphs,
                             TScopeBand& Scope, TRealSpin& TimeSpan, QWidget* Parent)
    : QWidget(Parent), WaveReader1(Reader)
{
  auto* v = PageLayout(this, 6, 4);

  // Mnemonics: no two on a page share a letter, nor take one of the menus'
  // (F, E, S, H).
  InputBtn = new QPushButton(QStringLiteral("&Choose Input"), this);
  v->addWidget(InputBtn);

  BuffSizeCombo = MakeList(QStringLiteral("Buffer Size"), this);
  BuffSizeCombo->addItems(BufferSizeItems());
  BuffSizeCombo->setCurrentIndex(0);
  v->addWidget(Caption(QStringLiteral("&Buffer Size "), BuffSizeCombo, this));
  v->addWidget(BuffSizeCombo);

  FormatCombo = MakeList(QStringLiteral("Data Format"), this);
  v->addWidget(Caption(QStringLiteral("&Data Format"), FormatCombo, this));
  v->addWidget(FormatCombo);

  auto* bandwidth = new TReadOutPanel(QStringLiteral(" Bandwidth:"), this);
  BandWidthDis = bandwidth->AddReadOut(8);
  auto* resolution = new TReadOutPanel(QStringLiteral(" Resolution:"), this);
  ResDis = resolution->AddReadOut(8);
  auto* fps = new TReadOutPanel(QStringLiteral(" Frames/Sec:"), this);
  FPSDis = fps->AddReadOut(9);
  for (QWidget* w : {bandwidth, resolution, fps})
    v->addWidget(w);

  StartBtn =
      new TSpeedButton(TGlyph::Play, QStringLiteral("S&tart"), QStringLiteral("Start"), this);
  StopBtn = new TSpeedButton(TGlyph::Stop, QStringLiteral("Sto&p"), QStringLiteral("Stop"), this);
  auto* group = new QButtonGroup(this);
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

  OscopeChk = new QCheckBox(QStringLiteral("&Oscilloscope"), this);
  OscopeChk->setChecked(true);
  v->addWidget(OscopeChk);

  GroupBox1 = new QGroupBox(QStringLiteral("Spectrum Analyzer"), this);
  auto* g = new QVBoxLayout(GroupBox1);
  g->setContentsMargins(6, 4, 6, 6);
  SpectrumChk = new QCheckBox(QStringLiteral("Spectrum &Analyzer"), GroupBox1);
  SpectrumChk->setChecked(true);
  g->addWidget(SpectrumChk);
  ChannelRadio = new TRadioGroup(QStringLiteral("Channel"),
                                 {QStringLiteral("&Left"), QStringLiteral("&Right")}, 2, GroupBox1);
  ChannelRadio->SetItemIndex(0);
  g->addWidget(ChannelRadio);
  v->addWidget(GroupBox1);

  auto* frames = new TReadOutPanel(QStringLiteral(" Frames:"), this);
  FramesDis = frames->AddReadOut(8);
  v->addWidget(frames);
  auto* lost = new TReadOutPanel(QStringLiteral(" Input lost:"), this);
  InputLostDis = lost->AddReadOut(7);
  v->addWidget(lost);
  v->addStretch(1);

  WaveReader1.SetComboBox(FormatCombo);
  // The design's format, where the input can record it.
  if (FormatCombo->findData(int(wf11Khz_Mono_8Bit)) >= 0)
    WaveReader1.SetWaveType(wf11Khz_Mono_8Bit);
  WaveReader1.SetSampleCount(512);
  FRealTime = std::make_unique<TSARealTime>(
      Spectrum, Graphs,
      TRealTimeControls{Scope.LeftGraph(), Scope.RightGraph(), *OscopeChk, *SpectrumChk,
                        *ChannelRadio, *FramesDis, *BandWidthDis, *ResDis, *FPSDis,
                        *BuffSizeCombo, TimeSpan, WaveReader1});

  connect(InputBtn, &QPushButton::clicked, this, Guarded([this] { InputBtnClick(); }));
  connect(StartBtn, &QToolButton::clicked, this, Guarded([this] { StartBtnClick(); }));
  connect(StopBtn, &QToolButton::clicked, this, Guarded([this] { StopBtnClick(); }));
  WaveReader1.OnWaveIn = [this](TWaveReader*, const void* buffer, int count,
                                const TWaveDataFormat& format) {
    WaveReader1WaveIn(buffer, count, format);
  };
  connect(&WaveReader1, &TWaveReader::InputLostChanged, this, [this](double seconds) {
    InputLostDis->SetText(FormatFixed(seconds, 1) + QStringLiteral(" s"));
  });
  connect(BuffSizeCombo, &QComboBox::currentIndexChanged, this,
          Guarded([this](int) { BuffSizeComboChange(); }));
  connect(FormatCombo, &QComboBox::currentIndexChanged, this,
          Guarded([this](int) { FormatComboChange(); }));
}

TRealTimePage::~TRealTimePage() = default;

void TRealTimePage::SetBufferSize(int Size)
{
  BuffSizeCombo->setCurrentIndex(BuffSizeCombo->findText(QString::number(Size)));
}

int TRealTimePage::BufferSize() const { return FRealTime->BufferSize(); }

bool TRealTimePage::SetFormat(TWaveTypes Type)
{
  const int i = FormatCombo->findData(int(Type));
  if (i >= 0)
    FormatCombo->setCurrentIndex(i);
  return i >= 0;
}

QString TRealTimePage::FormatName() const
{
  return FormatCombo->currentText();
}

bool TRealTimePage::SetFormatName(const QString& Name)
{
  const int i = FormatCombo->findText(Name);
  if (i >= 0)
    FormatCombo->setCurrentIndex(i);
  return i >= 0;
}

void TRealTimePage::SetChannel(int Channel) { ChannelRadio->SetItemIndex(Channel); }

bool TRealTimePage::Capturing() const { return WaveReader1.IsActive(); }

QString TRealTimePage::FramesText() const { return FramesDis->Text(); }

QString TRealTimePage::InputLostText() const { return InputLostDis->Text(); }

QStringList TRealTimePage::RateTexts() const
{
  return {BandWidthDis->Text(), ResDis->Text(), FPSDis->Text()};
}

void TRealTimePage::FormCreate()
{
  FRealTime->UpdateBufferSize();
  FRealTime->ShowRateFigures();
}

void TRealTimePage::InputBtnClick() { ShowSoundControlPanel(&WaveReader1, window()); }

void TRealTimePage::StartBtnClick()
{
  FRealTime->StartCapture();
  // A start the reader refused (it has told the user why) leaves nothing
  // running; the buttons then say so.
  if (!WaveReader1.IsActive())
    StopBtn->setChecked(true);
}

void TRealTimePage::StopBtnClick() { WaveReader1.Stop(); }

void TRealTimePage::StopCapture()
{
  WaveReader1.Stop();
  StopBtn->setChecked(true);
}

void TRealTimePage::RestartCapture()
{
  WaveReader1.Stop();
  FRealTime->StartCapture();
}

void TRealTimePage::WaveReader1WaveIn(const void* Buffer, int SampleCount,
                                      const TWaveDataFormat& Format)
{
  FRealTime->ProcessFrame(Buffer, SampleCount, Format);
}

void TRealTimePage::BuffSizeComboChange()
{
  if (WaveReader1.IsActive()) {
    RestartCapture();
  } else {
    FRealTime->UpdateBufferSize();
    FRealTime->ShowRateFigures();
  }
  Q_EMIT OnSetupChange();
}

void TRealTimePage::FormatComboChange() { BuffSizeComboChange(); }

void TRealTimePage::ColorSchemeChange() { FRealTime->UpdateBufferSize(); }

} // namespace duv
