// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/RealTimePage.h"

#include "analysis/SAGlobal.h"
#include "app/pages/PageSupport.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/SARealTime.h"
#include "app/pages/ScopeBand.h"
#include "audio/WaveLib.h"
#include "controls/RadioGroup.h"
#include "controls/ReadOut.h"
#include "controls/SpeedButton.h"
#include "controls/intspin.h"
#include "support/ClockTime.h"
#include "support/DSupport.h"
#include "support/SafeFile.h"
#include "support/UiSupport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <stdexcept>

namespace duv {

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b)
{
  return -FloorDiv(-a, b);
}

int ToInt(std::int64_t v)
{
  return int(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                      std::numeric_limits<int>::max()));
}

// How often the history's read-outs and the slider's range follow the input.
constexpr int HistoryRefreshMs = 250;

} // namespace

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
  PauseBtn =
      new TSpeedButton(TGlyph::Pause, QStringLiteral("Pa&use"), QStringLiteral("Pause"), this);
  PauseBtn->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  PauseBtn->setEnabled(false);
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
  buttons->addWidget(PauseBtn);
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
  v->addWidget(MakeHistoryBox());
  v->addStretch(1);

  WaveReader1.SetComboBox(FormatCombo);
  // The input's own format, which the sound server passes on unconverted;
  // failing that the smallest one, where the input can record it.
  const TWaveTypes preferred = WaveReader1.PreferredWaveType();
  if (preferred != wfNone)
    WaveReader1.SetWaveType(preferred);
  else if (FormatCombo->findData(int(wf11Khz_Mono_8Bit)) >= 0)
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
  connect(PauseBtn, &QToolButton::clicked, this, Guarded([this] { PauseBtnClick(); }));
  WaveReader1.OnWaveIn = [this](TWaveReader*, const void* buffer, int count,
                                const TWaveDataFormat& format) {
    WaveReader1WaveIn(buffer, count, format);
  };
  WaveReader1.OnRecorded = [this](TWaveReader*, const void* frames, int count,
                                  const TWaveDataFormat& format) {
    WaveReader1Recorded(frames, count, format);
  };
  connect(&WaveReader1, &TWaveReader::InputLostChanged, this,
          [this](double seconds) { InputLostDis->SetText(TimeReadOut(seconds, 1)); });
  connect(BuffSizeCombo, &QComboBox::currentIndexChanged, this,
          Guarded([this](int) { BuffSizeComboChange(); }));
  connect(FormatCombo, &QComboBox::currentIndexChanged, this,
          Guarded([this](int) { FormatComboChange(); }));
}

TRealTimePage::~TRealTimePage()
{
  if (FReaderAlive)
    WaveReader1.OnRecorded = nullptr;
}

QWidget* TRealTimePage::MakeHistoryBox()
{
  HistoryBox = new QGroupBox(QStringLiteral("History"), this);
  auto* v = new QVBoxLayout(HistoryBox);
  v->setContentsMargins(6, 4, 6, 6);
  v->setSpacing(3);
  HistorySlider = new QSlider(Qt::Horizontal, HistoryBox);
  HistorySlider->setAccessibleName(QStringLiteral("History Time"));
  HistorySlider->setToolTip(
      QStringLiteral("While paused: the frame the views show, back through the history"));
  HistorySlider->setRange(0, 0);
  HistorySlider->setEnabled(false);
  // "Shown" beside the slider it reads; "Marked" holds two times, so it has
  // a row of its own. The page keeps the window's designed height.
  auto* shown = new TReadOutPanel(QStringLiteral(" Shown:"), HistoryBox);
  ShownDis = shown->AddReadOut(8);
  auto* slider = Row(4);
  slider->addWidget(HistorySlider, 1);
  slider->addWidget(shown);
  v->addLayout(slider);
  MarkInBtn = new QPushButton(QStringLiteral("Mark &In"), HistoryBox);
  MarkOutBtn = new QPushButton(QStringLiteral("Mar&k Out"), HistoryBox);
  MarkInBtn->setToolTip(QStringLiteral("The saved part starts at the shown frame"));
  MarkOutBtn->setToolTip(QStringLiteral("The saved part ends with the shown frame"));
  auto* marks = Row(4);
  for (QPushButton* b : {MarkInBtn, MarkOutBtn}) {
    b->setEnabled(false);
    marks->addWidget(b);
  }
  v->addLayout(marks);
  auto* marked = new TReadOutPanel(QStringLiteral(" Marked:"), HistoryBox);
  MarkedDis = marked->AddReadOut(16);
  v->addWidget(marked);
  auto* kept = new TReadOutPanel(QStringLiteral(" Kept:"), HistoryBox);
  KeptDis = kept->AddReadOut(6);
  HistorySpin = new TIntegerSpin(HistoryBox);
  HistorySpin->setAccessibleName(QStringLiteral("Keep"));
  HistorySpin->SetUseLimit(true);
  HistorySpin->SetMinValue(TCaptureHistory::MinMinutes);
  HistorySpin->SetMaxValue(TCaptureHistory::MaxMinutes);
  HistorySpin->SetUnitsString(QStringLiteral("min"));
  HistorySpin->SetValue(FHistory.Minutes());
  HistoryMemory = new QLabel(HistoryBox);
  HistoryMemory->setToolTip(QStringLiteral("The memory the history takes when full"));
  auto* keep = Row(2);
  keep->addWidget(kept);
  keep->addWidget(Caption(QStringLiteral("Keep"), HistorySpin, HistoryBox));
  keep->addWidget(HistorySpin);
  keep->addWidget(HistoryMemory, 1);
  v->addLayout(keep);

  HistoryTimer = new QTimer(this);
  HistoryTimer->setInterval(HistoryRefreshMs);
  connect(HistoryTimer, &QTimer::timeout, this, Guarded([this] { RefreshHistory(); }));
  connect(HistorySlider, &QSlider::valueChanged, this,
          Guarded([this](int) { ShowHistoryFrame(); }));
  connect(MarkInBtn, &QPushButton::clicked, this, Guarded([this] { MarkInBtnClick(); }));
  connect(MarkOutBtn, &QPushButton::clicked, this, Guarded([this] { MarkOutBtnClick(); }));
  connect(HistorySpin, &TCustomSpin::OnChange, this,
          Guarded([this] { SetHistoryMinutes(int(HistorySpin->Value())); }));
  return HistoryBox;
}

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
  RefreshHistory();
}

void TRealTimePage::InputBtnClick() { ShowSoundControlPanel(&WaveReader1, window()); }

void TRealTimePage::StartBtnClick()
{
  Resume();
  // A new capture is a new history; Start during capture keeps it.
  if (!WaveReader1.IsActive())
    FHistory.Clear();
  FRealTime->StartCapture();
  // A start the reader refused (it has told the user why) leaves nothing
  // running; the buttons then say so.
  if (!WaveReader1.IsActive())
    StopBtn->setChecked(true);
  RefreshHistory();
}

void TRealTimePage::StopBtnClick()
{
  // A pause outlives the capture: the history can still be looked through.
  WaveReader1.Stop();
  RefreshHistory();
}

void TRealTimePage::StopCapture()
{
  // Another source takes the views.
  Resume();
  WaveReader1.Stop();
  StopBtn->setChecked(true);
  RefreshHistory();
}

void TRealTimePage::RestartCapture()
{
  WaveReader1.Stop();
  FRealTime->StartCapture();
}

void TRealTimePage::WaveReader1WaveIn(const void* Buffer, int SampleCount,
                                      const TWaveDataFormat& Format)
{
  if (FPaused)
    FRealTime->CountFrame(); // the views hold still; the input goes on
  else
    FRealTime->ProcessFrame(Buffer, SampleCount, Format);
}

void TRealTimePage::WaveReader1Recorded(const void* Frames, int Count,
                                        const TWaveDataFormat& Format)
{
  FHistory.Append(Frames, Count, Format);
  if (FHistory.Serial() != FHistorySerial) {
    // Started over (a new capture or format): positions of the old one mean
    // nothing now.
    FHistorySerial = FHistory.Serial();
    FHistoryStart = QDateTime::currentDateTime().addMSecs(-std::int64_t(FHistory.End()) * 1000 /
                                                          std::max(1, Format.SampleRate));
    if (FPaused)
      Resume();
  }
  if (!PauseBtn->isEnabled())
    RefreshHistory(); // something to pause now
}

void TRealTimePage::BuffSizeComboChange()
{
  // New settings show live frames: the paused frame would not fit them.
  Resume();
  if (WaveReader1.IsActive()) {
    RestartCapture();
  } else {
    FRealTime->UpdateBufferSize();
    FRealTime->ShowRateFigures();
  }
  Q_EMIT OnSetupChange();
}

void TRealTimePage::FormatComboChange()
{
  BuffSizeComboChange();
  RefreshHistory(); // the memory the minutes take at the new format
}

int TRealTimePage::HistoryMinutes() const
{
  return FHistory.Minutes();
}

void TRealTimePage::SetHistoryMinutes(int Minutes)
{
  FHistory.SetMinutes(Minutes);
  if (HistorySpin->Value() != FHistory.Minutes())
    HistorySpin->SetValue(FHistory.Minutes());
  RefreshHistory();
}

QString TRealTimePage::HistoryMemoryText() const
{
  return HistoryMemory->text();
}

bool TRealTimePage::CanPause() const
{
  return WaveReader1.IsActive() || !FHistory.Empty();
}

void TRealTimePage::Pause()
{
  if (FPaused || !CanPause())
    return;
  FPaused = true;
  FPauseEnd = FHistory.End();
  FPauseSize = std::max(1, FRealTime->BufferSize());
  FHistorySerial = FHistory.Serial();
  FMarkIn.reset();
  FMarkOut.reset();
  {
    const QSignalBlocker quiet(HistorySlider);
    HistorySlider->setValue(0);
  }
  ShowPauseState();
  RefreshHistory();
  // While capturing the views hold the frame they show, the newest kept;
  // without capture they may show a file or a test signal, so the newest
  // frame kept comes back.
  if (!WaveReader1.IsActive())
    ShowHistoryFrame();
}

void TRealTimePage::Resume()
{
  if (!FPaused)
    return;
  // Without capture the present is the newest frame kept.
  if (!WaveReader1.IsActive() && !FHistory.Empty()) {
    const auto [lo, hi] = HistoryRange();
    HistorySlider->setRange(lo, hi);
    if (HistorySlider->value() != hi)
      HistorySlider->setValue(hi); // shows it
  }
  FPaused = false;
  FMarkIn.reset();
  FMarkOut.reset();
  {
    const QSignalBlocker quiet(HistorySlider);
    HistorySlider->setRange(0, 0);
  }
  ShowPauseState();
  RefreshHistory();
}

bool TRealTimePage::PauseKey()
{
  if (!PauseBtn->isEnabled())
    return false;
  PauseBtnClick();
  return true;
}

void TRealTimePage::PauseBtnClick()
{
  if (FPaused)
    Resume();
  else
    Pause();
}

void TRealTimePage::ShowPauseState()
{
  PauseBtn->setText(FPaused ? QStringLiteral("Res&ume") : QStringLiteral("Pa&use"));
  PauseBtn->setToolTip(FPaused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
  PauseBtn->setAccessibleName(PauseBtn->toolTip());
  PauseBtn->setIcon(GlyphIcon(FPaused ? TGlyph::Play : TGlyph::Pause));
  HistorySlider->setEnabled(FPaused);
  MarkInBtn->setEnabled(FPaused);
  MarkOutBtn->setEnabled(FPaused);
  ShownDis->SetText(ShownText());
  MarkedDis->SetText(MarkedText());
}

std::int64_t TRealTimePage::FrameEndAt(int P) const
{
  const std::int64_t first = FHistory.First(), end = FHistory.End();
  const std::int64_t shortest = std::min<std::int64_t>(FPauseSize, end - first);
  return std::clamp<std::int64_t>(FPauseEnd + std::int64_t(P) * FPauseSize, first + shortest, end);
}

std::pair<int, int> TRealTimePage::HistoryRange() const
{
  if (!FPaused || FHistory.Empty())
    return {0, 0};
  const std::int64_t n = FPauseSize, first = FHistory.First(), end = FHistory.End();
  // Every position shows a whole frame of the history, or all of a history
  // shorter than one frame.
  const std::int64_t shortest = std::min(n, end - first);
  const std::int64_t hi = FloorDiv(end - FPauseEnd, n);
  const std::int64_t lo = std::min(hi, CeilDiv(first + shortest - FPauseEnd, n));
  return {ToInt(lo), ToInt(hi)};
}

std::pair<std::int64_t, std::int64_t> TRealTimePage::ShownFrame() const
{
  if (!FPaused || FHistory.Empty())
    return {0, 0};
  const std::int64_t end = FrameEndAt(HistorySlider->value());
  return {std::max(FHistory.First(), end - FPauseSize), end};
}

int TRealTimePage::HistoryPosition() const
{
  return HistorySlider->value();
}

void TRealTimePage::SetHistoryPosition(int Frames)
{
  // The slider's range follows the history on a timer; frames kept since
  // then are within reach at once.
  RefreshHistory();
  HistorySlider->setValue(Frames);
}

void TRealTimePage::RefreshHistory()
{
  const TWaveDataFormat f =
      FHistory.Empty() ? CurrentCaptureFormat(WaveReader1) : FHistory.Format();
  const double kept = f.SampleRate > 0 ? double(FHistory.Frames()) / f.SampleRate : 0.0;
  KeptDis->SetText(TimeReadOut(kept, 1));
  const double mb =
      double(TCaptureHistory::BytesFor(FHistory.Minutes(), CurrentCaptureFormat(WaveReader1))) /
      1e6;
  HistoryMemory->setText(FormatFixed(mb, mb < 10 ? 1 : 0) + QStringLiteral(" MB"));
  PauseBtn->setEnabled(FPaused || CanPause());
  if (FPaused) {
    // The slider follows the history: new frames after the pause, old ones
    // dropped. A position that falls off the old end moves with it.
    const auto [lo, hi] = HistoryRange();
    HistorySlider->setRange(lo, hi);
    HistorySlider->setSingleStep(1);
    HistorySlider->setPageStep(std::max(1, ToInt(f.SampleRate / FPauseSize)));
    // The newest frame moves on while capture goes on: what is shown ages.
    ShownDis->SetText(ShownText());
    MarkedDis->SetText(MarkedText());
  }
  // The read-outs move while there is something to follow.
  const bool active = WaveReader1.IsActive() || FPaused;
  if (active && !HistoryTimer->isActive())
    HistoryTimer->start();
  else if (!active)
    HistoryTimer->stop();
}

void TRealTimePage::ShowHistoryFrame()
{
  if (!FPaused || FHistory.Empty())
    return;
  const TWaveDataFormat& f = FHistory.Format();
  const auto [start, end] = ShownFrame();
  const std::int64_t count = end - start;
  FPastFrame.resize(std::size_t(count * f.BytesPerSample * f.Channels));
  FHistory.Read(start, count, FPastFrame.data());
  FRealTime->ShowPastFrame(FPastFrame.data(), int(count), f);
  ShownDis->SetText(ShownText());
}

QString TRealTimePage::HistoryTime(std::int64_t FrameEnd) const
{
  // Back from the newest frame kept: it reads 0, older ones less.
  const double seconds = double(FrameEnd - FHistory.End()) / FHistory.Format().SampleRate;
  return TimeReadOut(seconds, 2);
}

QString TRealTimePage::ShownText() const
{
  if (!FPaused || FHistory.Empty())
    return QString();
  return HistoryTime(FrameEndAt(HistorySlider->value()));
}

void TRealTimePage::MarkInBtnClick()
{
  if (!FPaused || FHistory.Empty())
    return;
  FMarkIn = ShownFrame();
  MarkedDis->SetText(MarkedText());
}

void TRealTimePage::MarkOutBtnClick()
{
  if (!FPaused || FHistory.Empty())
    return;
  FMarkOut = ShownFrame();
  MarkedDis->SetText(MarkedText());
}

std::pair<std::int64_t, std::int64_t> TRealTimePage::MarkedPart(std::int64_t From,
                                                                std::int64_t To) const
{
  if (FMarkIn && FMarkOut)
    return {std::min(FMarkIn->first, FMarkOut->first), std::max(FMarkIn->second, FMarkOut->second)};
  if (FMarkIn)
    return {FMarkIn->first, To};
  if (FMarkOut)
    return {From, FMarkOut->second};
  return {From, To};
}

QString TRealTimePage::MarkedText() const
{
  if (!FPaused || FHistory.Empty() || (!FMarkIn && !FMarkOut))
    return QString();
  // A mark reads as "Shown" read on the frame it was set on: by the frame's
  // end. Two marks read from the earlier frame to the later, whichever was
  // set first.
  const auto shown = [&](const std::pair<std::int64_t, std::int64_t>& Frame) {
    return HistoryTime(Frame.second);
  };
  if (FMarkIn && FMarkOut) {
    const bool inFirst = FMarkIn->first <= FMarkOut->first;
    QString a = shown(inFirst ? *FMarkIn : *FMarkOut), b = shown(inFirst ? *FMarkOut : *FMarkIn);
    // Seconds say their unit once, at the end.
    if (a.endsWith(QStringLiteral(" s")) && b.endsWith(QStringLiteral(" s")))
      a.chop(2);
    return QStringLiteral("%1 to %2").arg(a, b);
  }
  return FMarkIn ? QStringLiteral("from %1").arg(shown(*FMarkIn))
                 : QStringLiteral("to %1").arg(shown(*FMarkOut));
}

std::pair<std::int64_t, std::int64_t> TRealTimePage::CaptureSpan() const
{
  if (FHistory.Empty())
    throw std::runtime_error("Nothing has been captured yet: press Start on the Real Time page, "
                             "and the last minutes of input are kept.");
  std::int64_t from = FHistory.First(), to = FHistory.End();
  if (FPaused && (FMarkIn || FMarkOut)) {
    const auto [a, b] = MarkedPart(from, to);
    from = std::max(from, a);
    to = std::min(to, b);
    if (from >= to)
      throw std::runtime_error("The marked part of the capture is no longer kept in the "
                               "history: mark it again.");
  }
  return {from, to};
}

void TRealTimePage::SaveCapture(const QString& Path) const
{
  const auto [from, to] = CaptureSpan();
  WriteWholeFile(Path, [this, from = from, to = to](QIODevice& device) {
    return WriteCaptureWav(FHistory, from, to - from, device);
  });
}

TSoundData TRealTimePage::CaptureData() const
{
  const auto [from, to] = CaptureSpan();
  return FHistory.SoundData(from, to - from);
}

QString TRealTimePage::CaptureName() const
{
  const auto [from, to] = CaptureSpan();
  const QDateTime at =
      FHistoryStart.addMSecs(from * 1000 / std::max(1, FHistory.Format().SampleRate));
  return QStringLiteral("Capture at %1").arg(at.toString(QStringLiteral("HH:mm:ss")));
}

QString TRealTimePage::CaptureFileName() const
{
  const auto [from, to] = CaptureSpan();
  const QDateTime at =
      FHistoryStart.addMSecs(from * 1000 / std::max(1, FHistory.Format().SampleRate));
  return QStringLiteral("capture-%1.wav").arg(at.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

void TRealTimePage::ColorSchemeChange() { FRealTime->UpdateBufferSize(); }

} // namespace duv
