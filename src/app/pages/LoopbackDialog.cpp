// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/LoopbackDialog.h"

#include "app/pages/PageSupport.h"
#include "audio/WaveLib.h"
#include "audio/Waveread.h"
#include "controls/Realspin.h"
#include "graph/GraphLooks.h"
#include "graph/Graphbox.h"
#include "support/UiSupport.h"
#include "synth/SynthWave.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaDevices>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

namespace duv {

namespace {
constexpr int CaptureBuffer = 2048;
// How long after the signal's end the capture goes on, for a path that
// smears it, and how long beyond the signal's length a test may take
// before it gives up (the output starts late by up to its second of buffer).
constexpr double TrailSeconds = 0.25;
constexpr int SlackMs = 6000;
constexpr TColor ResponseColor = MakeColor(0, 255, 0);
} // namespace

TLoopbackDialog::TLoopbackDialog(QWidget* Parent) : QDialog(Parent)
{
  setWindowTitle(QStringLiteral("Test Sound Card"));
  FitTitleWidth(*this);
  setObjectName(QStringLiteral("LoopbackDlg"));
  auto* v = new QVBoxLayout(this);
  // A label a line, rather than one wrapped: a wrapped label's height
  // follows its width, and the window then opened too low for the graph at
  // larger fonts.
  auto* intro = new QVBoxLayout;
  intro->setSpacing(0);
  for (const QString& line :
       {QStringLiteral("Plays a sine and a sweep through the output and listens on the input:"),
        QStringLiteral("connect the output to the input, or choose an input that hears the "
                       "output.")})
    intro->addWidget(new QLabel(line, this));
  v->addLayout(intro);

  auto* settings = Row(4);
  InputCombo = MakeList(QStringLiteral("Input"), this);
  settings->addWidget(Caption(QStringLiteral("Input"), InputCombo, this));
  settings->addWidget(InputCombo, 1);
  FreqSpin = MakeSpin(QStringLiteral("Frequency"), 1000, 1, this);
  FreqSpin->SetUnitsString(QStringLiteral("Hz"));
  Limit(FreqSpin, 20, 10000);
  settings->addWidget(Caption(QStringLiteral("Frequency"), FreqSpin, this));
  settings->addWidget(FreqSpin);
  AmpSpin = MakeSpin(QStringLiteral("Amplitude"), 0.5, 0.1, this);
  Limit(AmpSpin, 0.01, 1);
  AmpSpin->setToolTip(QStringLiteral("Of the sine and the sweep; 1 is full scale"));
  settings->addWidget(Caption(QStringLiteral("Amplitude"), AmpSpin, this));
  settings->addWidget(AmpSpin);
  v->addLayout(settings);

  StatusLbl = new QLabel(QStringLiteral("Press Start."), this);
  StatusLbl->setAccessibleName(QStringLiteral("Status"));
  v->addWidget(StatusLbl);
  auto* results = Row(4);
  ReportText = new QPlainTextEdit(this);
  ReportText->setReadOnly(true);
  ReportText->setAccessibleName(QStringLiteral("Report"));
  ReportText->setMinimumWidth(200);
  results->addWidget(ReportText, 2);
  ResponseGraph = new TGraphBox(this);
  ResponseGraph->setAccessibleName(QStringLiteral("Frequency Response"));
  SetupSpectrumGraph(*ResponseGraph);
  ResponseGraph->SetGraphType(gtLine);
  ResponseGraph->XAxis().SetLog(true);
  ResponseGraph->SetXRange(3, 20, 20000);
  ResponseGraph->SetYRange(-6, 6, 2);
  ResponseGraph->setMinimumSize(260, 180);
  results->addWidget(ResponseGraph, 3);
  v->addLayout(results, 1);

  auto* buttons = Row(4);
  buttons->addStretch(1);
  StartBtn = new QPushButton(QStringLiteral("Start"), this);
  CloseBtn = new QPushButton(QStringLiteral("Close"), this);
  buttons->addWidget(StartBtn);
  buttons->addWidget(CloseBtn);
  v->addLayout(buttons);

  Deadline = new QTimer(this);
  Deadline->setSingleShot(true);
  connect(Deadline, &QTimer::timeout, this, [this] {
    Finish(FWaitingForInput ? QStringLiteral("The input delivers no sound.")
           : FOnset < 0 ? QStringLiteral("No signal came back: is the input hearing the output?")
                        : QString());
  });
  Play = [](WAVEFORMATEX Format, const void* Data, std::uint32_t Size, bool Wait) {
    PlayWave(Format, Data, Size, Wait);
  };
  StartCapture = [this](const QByteArray& InputId, QString& Problem) {
    return StartReader(InputId, Problem);
  };
  StopCapture = [this] {
    if (FReader)
      FReader->Stop();
  };
  connect(StartBtn, &QPushButton::clicked, this, Guarded([this] { StartBtnClick(); }));
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
  FillInputs();
}

TLoopbackDialog::~TLoopbackDialog()
{
  if (FReader) {
    FReader->OnWaveIn = nullptr;
    FReader->Stop();
  }
}

void TLoopbackDialog::FillInputs()
{
  // The inputs as they are now, the one chosen kept while it is there.
  const QByteArray chosen = InputCombo->currentData().toByteArray();
  InputCombo->clear();
  InputCombo->addItem(QStringLiteral("Default input"), QByteArray());
  for (const QAudioDevice& d : QMediaDevices::audioInputs())
    InputCombo->addItem(d.description(), d.id());
  InputCombo->setCurrentIndex(std::max(0, InputCombo->findData(chosen)));
}

void TLoopbackDialog::showEvent(QShowEvent* Event)
{
  QDialog::showEvent(Event);
  if (!FRunning)
    FillInputs();
}

bool TLoopbackDialog::SetInput(const QString& Description)
{
  FillInputs();
  const int i = InputCombo->findText(Description);
  if (i >= 0)
    InputCombo->setCurrentIndex(i);
  return i >= 0;
}

void TLoopbackDialog::SetFrequency(double Hz)
{
  FreqSpin->SetValue(Hz);
}

void TLoopbackDialog::SetAmplitude(double Amplitude)
{
  AmpSpin->SetValue(Amplitude);
}

QString TLoopbackDialog::Status() const
{
  return StatusLbl->text();
}

QString TLoopbackDialog::Report() const
{
  return ReportText->toPlainText();
}

void TLoopbackDialog::StartBtnClick()
{
  if (FRunning) {
    Finish(QStringLiteral("Stopped."));
    return;
  }
  Begin();
}

void TLoopbackDialog::Begin()
{
  FSettings = TLoopbackSettings{};
  FSettings.Frequency = FreqSpin->Value();
  FSettings.Amplitude = AmpSpin->Value();
  const std::vector<double> signal = LoopbackSignal(FSettings);
  FPlayBuffer.resize(signal.size());
  QuantizeWave16(signal, FPlayBuffer.data());
  FPlayed.assign(FPlayBuffer.begin(), FPlayBuffer.end());
  FCaptured.clear();
  FCaptured.reserve(std::size_t(FSettings.TotalSamples() * 2));
  FOnset = -1;
  FScanned = 0;
  FFinishing = false;
  FResult.reset();
  ReportText->clear();
  ResponseGraph->Clear();

  QString problem;
  if (!StartCapture(InputCombo->currentData().toByteArray(), problem)) {
    StatusLbl->setText(problem.isEmpty() ? QStringLiteral("The input could not be opened.")
                                         : problem);
    return;
  }
  FRunning = true;
  FWaitingForInput = true;
  StartBtn->setText(QStringLiteral("Stop"));
  StatusLbl->setText(QStringLiteral("Waiting for the input..."));
  Deadline->start(SlackMs);
}

void TLoopbackDialog::StartPlaying()
{
  // Only now: what the output plays before the input runs would be lost.
  FWaitingForInput = false;
  StatusLbl->setText(QStringLiteral("Playing and listening..."));
  WAVEFORMATEX format;
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = std::uint32_t(FSettings.Rate);
  format.nAvgBytesPerSec = std::uint32_t(2 * FSettings.Rate);
  format.nBlockAlign = 2;
  format.wBitsPerSample = 16;
  format.cbSize = 0;
  try {
    Play(format, FPlayBuffer.data(), std::uint32_t(2 * FPlayBuffer.size()), false);
  } catch (const std::exception& e) {
    const QString text = QString::fromStdString(e.what());
    QMetaObject::invokeMethod(
        this, [this, text] { Finish(text); }, Qt::QueuedConnection);
    return;
  }
  Deadline->start(int(1000 * double(FSettings.TotalSamples()) / FSettings.Rate) + SlackMs);
}

bool TLoopbackDialog::StartReader(const QByteArray& InputId, QString& Problem)
{
  if (FReader && InputId.isEmpty() && !FReader->FollowsDefault()) {
    // Only a new reader follows the default input again.
    FReader->OnWaveIn = nullptr;
    delete FReader;
    FReader = nullptr;
  }
  if (!FReader) {
    FReader = new TWaveReader(this);
    FReader->OnWaveIn = [this](TWaveReader*, const void* Buffer, int Count,
                               const TWaveDataFormat&) {
      Capture(static_cast<const std::int16_t*>(Buffer), Count);
    };
  }
  FReader->OnMessage = [&Problem](const QString& Text) { Problem = Text; };
  FReader->SetWaveType(wf44Khz_Mono_16Bit);
  FReader->SetSampleCount(CaptureBuffer);
  if (!InputId.isEmpty())
    for (const QAudioDevice& d : QMediaDevices::audioInputs())
      if (d.id() == InputId && d != FReader->Device())
        FReader->SetDevice(d);
  FReader->Start();
  // Later messages (a lost device) end the test; the reader is inside its
  // own handling then, so it is stopped after.
  FReader->OnMessage = [this](const QString& Text) {
    QMetaObject::invokeMethod(
        this, [this, Text] { Finish(Text); }, Qt::QueuedConnection);
  };
  return FReader->IsActive();
}

void TLoopbackDialog::Capture(const std::int16_t* Samples, int Count)
{
  if (!FRunning || Count <= 0)
    return;
  if (FWaitingForInput) {
    StartPlaying();
    return; // what came before the signal was played is not kept
  }
  FCaptured.insert(FCaptured.end(), Samples, Samples + Count);
  if (FOnset < 0) {
    const std::span<const double> fresh(FCaptured.data() + FScanned,
                                        FCaptured.size() - std::size_t(FScanned));
    const std::int64_t at = SignalOnset(fresh, FSettings.Amplitude, 32767);
    FOnset = at < 0 ? -1 : FScanned + at;
    FScanned = std::int64_t(FCaptured.size());
  }
  const std::int64_t needed =
      FSettings.TotalSamples() + std::llround(TrailSeconds * FSettings.Rate);
  if (FOnset >= 0 && std::int64_t(FCaptured.size()) >= FOnset + needed && !FFinishing) {
    // The reader is inside its handler now: it is stopped after it.
    FFinishing = true;
    QMetaObject::invokeMethod(
        this, [this] { Finish(); }, Qt::QueuedConnection);
  }
}

void TLoopbackDialog::Finish(const QString& Problem)
{
  if (!FRunning)
    return;
  FRunning = false;
  FFinishing = false;
  FWaitingForInput = false;
  Deadline->stop();
  if (StopCapture)
    StopCapture();
  StartBtn->setText(QStringLiteral("Start"));
  if (!Problem.isEmpty()) {
    StatusLbl->setText(Problem);
    emit OnFinished();
    return;
  }
  try {
    FResult = AnalyseLoopback(FSettings, FPlayed, FCaptured);
    ReportText->setPlainText(LoopbackReport(*FResult));
    StatusLbl->setText(QStringLiteral("Done: THD+N %1 dB, response within %2 dB.")
                           .arg(FormatFixed(RatioDecibels(FResult->Figures.THDN), 1),
                                FormatFixed(FResult->Spread(), 2)));
    ShowResponse();
  } catch (const std::exception& e) {
    StatusLbl->setText(QString::fromStdString(e.what()));
  }
  emit OnFinished();
}

void TLoopbackDialog::ShowResponse()
{
  if (!FResult)
    return;
  double lo = -1, hi = 1;
  for (const TResponsePoint& p : FResult->Response) {
    lo = std::min(lo, p.Gain);
    hi = std::max(hi, p.Gain);
  }
  ResponseGraph->SetYRange(std::floor(lo) - 1, std::ceil(hi) + 1, 1);
  ResponseGraph->BeginUpdate();
  ResponseGraph->Clear();
  // A line through the third octaves, with a dot at each.
  for (const TResponsePoint& p : FResult->Response) {
    ResponseGraph->AddPoint(0, ResponseColor, p.Band.Centre, p.Gain, 1.0);
    ResponseGraph->AddPoint(-1, ResponseColor, p.Band.Centre, p.Gain, 2.0);
  }
  ResponseGraph->EndUpdate();
}

void TLoopbackDialog::closeEvent(QCloseEvent* Event)
{
  if (FRunning)
    Finish(QStringLiteral("Stopped."));
  QDialog::closeEvent(Event);
}

} // namespace duv
