// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Waveread.h"

#include "audio/DefaultInput.h"

#include <QAudioSource>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMediaDevices>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <exception>

namespace duv {

namespace {

TWaveMessageEvent& GlobalMessageHandler()
{
  static TWaveMessageEvent handler;
  return handler;
}

// The notice a filled (or, on Stop, returned) buffer posts to its reader, so
// OnWaveIn always runs from the event loop, one buffer at a time.
class BufferDone : public QEvent
{
public:
  BufferDone(int index, unsigned generation)
      : QEvent(QEvent::Type(TWaveReader::BufferDoneEvent())), Index(index), Generation(generation)
  {
  }
  int Index;
  unsigned Generation;
};

// A loss smaller than this is not told apart from the jitter of the device's
// latency.
constexpr int LossThresholdMs = 100;
// What a capture reads before its latency counts as settled.
constexpr int SettleMs = 1000;
// A pause in reading shorter than this loses nothing: the servers keep
// seconds of input for a reader that is held up.
constexpr int PauseMs = 1000;

// Largest frame count Start accepts: four buffers of it stay near half a
// gigabyte even in stereo 24-bit or float.
constexpr int MaxSampleCount = 1 << 24;

} // namespace

QString WaveTypeCaption(int t)
{
  const TWaveDataFormat f = WaveTypeFormat(t);
  if (f.SampleRate == 0)
    return QStringLiteral("No Wave Mapper");
  // 11.025, 22.05, 44.1, 48, 88.2, 96
  const QString rate = QString::number(f.SampleRate / 1000.0, 'g', 6);
  const QString width =
      f.Float ? QStringLiteral("32-bit float") : QStringLiteral("%1-bit").arg(8 * f.BytesPerSample);
  return QStringLiteral("%1 kHz, %2, %3")
      .arg(rate, f.Channels == 2 ? QStringLiteral("Stereo") : QStringLiteral("Mono"), width);
}

QAudioFormat ToAudioFormat(const TWaveDataFormat& f)
{
  QAudioFormat q;
  q.setSampleRate(f.SampleRate);
  q.setChannelCount(f.Channels);
  // 24-bit samples come as 32-bit integers holding them in their top three
  // bytes: Qt has no packed 24-bit format.
  q.setSampleFormat(f.Float                 ? QAudioFormat::Float
                    : f.BytesPerSample == 1 ? QAudioFormat::UInt8
                    : f.BytesPerSample == 2 ? QAudioFormat::Int16
                                            : QAudioFormat::Int32);
  return q;
}

int DeviceBytesPerSample(const TWaveDataFormat& f)
{
  return f.BytesPerSample == 3 ? 4 : f.BytesPerSample;
}

void PackFrom32(char* Data, qsizetype Samples)
{
  // Little-endian: the top three bytes of each 32-bit sample. Writing never
  // overtakes reading, so the packing works in place.
  for (qsizetype i = 0; i < Samples; ++i)
    for (int k = 0; k < 3; ++k)
      Data[3 * i + k] = Data[4 * i + 1 + k];
}

TWaveTypes PreferredType(const QAudioFormat& Preferred, std::uint64_t Mask)
{
  // Rate, channels and sample format only: a device's format also names a
  // channel layout, which ours leave open.
  for (int t = 1; t <= WaveTypeCount; ++t) {
    const QAudioFormat q = ToAudioFormat(WaveTypeFormat(t));
    if ((Mask & (std::uint64_t(1) << (t - 1))) && q.sampleRate() == Preferred.sampleRate() &&
        q.channelCount() == Preferred.channelCount() &&
        q.sampleFormat() == Preferred.sampleFormat())
      return TWaveTypes(t);
  }
  return wfNone;
}

std::uint64_t FormatMask(const QAudioDevice& device)
{
  if (device.isNull())
    return 0;
  std::uint64_t mask = 0;
  for (int t = 1; t <= WaveTypeCount; ++t)
    if (device.isFormatSupported(ToAudioFormat(WaveTypeFormat(t))))
      mask |= std::uint64_t(1) << (t - 1);
  return mask;
}

std::vector<std::pair<QString, TWaveTypes>> FormatListFromMask(std::uint64_t mask)
{
  std::vector<std::pair<QString, TWaveTypes>> list;
  if (mask == 0)
    list.emplace_back(WaveTypeCaption(wfNone), wfNone);
  for (int t = 1; t <= WaveTypeCount; ++t)
    if (mask & (std::uint64_t(1) << (t - 1)))
      list.emplace_back(WaveTypeCaption(t), TWaveTypes(t));
  return list;
}

void DeleteLater::operator()(QObject* object) const
{
  // Without an application no event loop will run again: the process is
  // ending, and deleting a device now would reach into a backend that may be
  // gone already, so it is left to the end of the process.
  if (!object || !QCoreApplication::instance())
    return;
  // A device retired after the event loop's last turn is deleted as the
  // application goes, while the backend is still there, not left to the
  // process's end with its stream to the server.
  static const bool flushAtExit = [] {
    qAddPostRoutine([] { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); });
    return true;
  }();
  Q_UNUSED(flushAtExit);
  object->deleteLater();
}

TWaveMessageEvent SetWaveMessageHandler(TWaveMessageEvent handler)
{
  return std::exchange(GlobalMessageHandler(), std::move(handler));
}

int TWaveReader::BufferDoneEvent()
{
  static const int type = QEvent::registerEventType();
  return type;
}

TWaveReader::TWaveReader(QObject* Owner) : QObject(Owner)
{
  FDevice = DefaultInput();
  ReadFormats();
  if (!FormatList.empty())
    StoredType = FormatList.front().second;
  // Watch for the input disappearing while it records (unplugged, server
  // gone). Qt 6.4 does not always signal a removed input, so a running
  // capture also looks at the list now and then.
  auto* devices = new QMediaDevices(this);
  connect(devices, &QMediaDevices::audioInputsChanged, this, &TWaveReader::InputsChanged);
  DeviceWatch = new QTimer(this);
  DeviceWatch->setInterval(250);
  connect(DeviceWatch, &QTimer::timeout, this, &TWaveReader::InputsChanged);
}

TWaveReader::~TWaveReader()
{
  // OnWaveIn belongs to the owner, which may already be half destroyed.
  OnWaveIn = nullptr;
  Stop();
  Release();
}

void TWaveReader::ShowMessage(const QString& text)
{
  if (OnMessage)
    OnMessage(text);
  else if (GlobalMessageHandler())
    GlobalMessageHandler()(text);
  else
    QMessageBox::information(nullptr, QCoreApplication::applicationName(), text);
}

void TWaveReader::ReadFormats()
{
  if (FDevice.isNull())
    ShowMessage(QStringLiteral("No Wave Device Available"));
  FormatList = FormatListFromMask(FormatMask(FDevice));
}

TWaveTypes TWaveReader::PreferredWaveType() const
{
  if (FDevice.isNull())
    return wfNone;
  std::uint64_t mask = 0;
  for (const auto& item : FormatList)
    if (item.second != wfNone)
      mask |= std::uint64_t(1) << (item.second - 1);
  return PreferredType(FDevice.preferredFormat(), mask);
}

QStringList TWaveReader::FormatCaptions() const
{
  QStringList captions;
  for (const auto& item : FormatList)
    captions << item.first;
  return captions;
}

QComboBox* TWaveReader::ComboBox() const
{
  return FComboBox;
}

void TWaveReader::SetComboBox(QComboBox* Value)
{
  FComboBox = Value; // QPointer: unlinks itself when the list is destroyed
  if (!Value)
    return;
  Value->clear();
  for (const auto& [caption, type] : FormatList)
    Value->addItem(caption, int(type));
  if (Value->count() > 0)
    Value->setCurrentIndex(0);
}

TWaveTypes TWaveReader::WaveType() const
{
  if (FComboBox) {
    // No selection reads as no format rather than failing.
    const int i = FComboBox->currentIndex();
    return i < 0 ? wfNone : TWaveTypes(FComboBox->itemData(i).toInt());
  }
  return StoredType;
}

void TWaveReader::SetWaveType(TWaveTypes Value)
{
  if (Value == WaveType())
    return;
  StoredType = Value;
  if (FComboBox)
    FComboBox->setCurrentIndex(FComboBox->findData(int(Value)));
}

void TWaveReader::GetDataFormat(TWaveDataFormat& Format) const
{
  const TWaveDataFormat f = WaveTypeFormat(WaveType());
  if (f.SampleRate != 0)
    Format = f;
}

void TWaveReader::SetDevice(const QAudioDevice& Value)
{
  const bool restart = Running;
  Stop();
  FFollowDefault = false;
  UseDevice(Value);
  if (restart)
    Start();
}

// Takes Value as the input and lists its formats, keeping the user's format
// when the new input has it too.
void TWaveReader::UseDevice(const QAudioDevice& Value)
{
  const TWaveTypes keep = WaveType();
  FDevice = Value;
  const auto before = FormatList;
  ReadFormats();
  StoredType = keep;
  // Refilling an unchanged list would only tell the list's owner of changes
  // that are none.
  if (FComboBox && FormatList != before) {
    SetComboBox(FComboBox);
    const int i = FComboBox->findData(int(keep));
    if (i >= 0)
      FComboBox->setCurrentIndex(i);
  }
}

void TWaveReader::Start()
{
  if (Running || Stopping)
    return;
  if (FFollowDefault) {
    // With no input left, the old one stays, and the check below names it.
    const QAudioDevice current = DefaultInput();
    if (current != FDevice && !current.isNull())
      UseDevice(current);
  }
  const TWaveTypes type = WaveType();
  const TWaveDataFormat format = WaveTypeFormat(type);
  if (format.SampleRate == 0) {
    ShowMessage(QStringLiteral("No capture format is selected, so capture cannot start."));
    return;
  }
  if (FSampleCount < 1 || FSampleCount > MaxSampleCount) {
    ShowMessage(QStringLiteral("Invalid buffer size: %1 samples.").arg(FSampleCount));
    return;
  }
  if (FDevice.isNull()) {
    ShowMessage(QStringLiteral("No Wave Device Available"));
    return;
  }
  const QString name = FDevice.description();
  const auto inputs = QMediaDevices::audioInputs();
  if (std::find(inputs.begin(), inputs.end(), FDevice) == inputs.end()) {
    ShowMessage(QStringLiteral("The input device \"%1\" is not available.").arg(name));
    return;
  }
  const QAudioFormat qformat = ToAudioFormat(format);
  if (!FDevice.isFormatSupported(qformat)) {
    ShowMessage(QStringLiteral("The input device \"%1\" cannot record %2.")
                    .arg(name, WaveTypeCaption(type)));
    return;
  }

  CurFormat = format;
  CurSampleCount = FSampleCount;
  const qsizetype blockAlign = qsizetype(format.Channels) * DeviceBytesPerSample(format);
  const qsizetype bytes = blockAlign * CurSampleCount;
  for (auto& b : Buffers) {
    b.Data.assign(std::size_t(bytes), 0);
    b.Filled = 0;
  }
  ++Generation;
  LossPending = false;
  BytesRead = 0;
  LastAhead = -1;
  SinceDrained.start();
  LostFrames = 0;
  emit InputLostChanged(0);

  Source.reset(new QAudioSource(FDevice, qformat));
  QAudioSource* source = Source.get();
  // The device hands data over in fragments of about one buffer, kept
  // between 5 ms (shorter only burns time polling) and 20 ms (latency).
  const qsizetype perMs = format.SampleRate * blockAlign / 1000;
  const qsizetype fragment = std::clamp<qsizetype>(bytes, 5 * perMs, 20 * perMs);
  source->setBufferSize(fragment / blockAlign * blockAlign);
  connect(source, &QAudioSource::stateChanged, this, &TWaveReader::SourceStateChanged);
  QIODevice* input = source->start();
  if (!input || source->error() != QAudio::NoError) {
    Release();
    ShowMessage(QStringLiteral("Failed to open input device \"%1\".").arg(name));
    return;
  }
  Input = input;
  connect(input, &QIODevice::readyRead, this, &TWaveReader::Pump);

  Queue.clear();
  for (int i = 0; i < BufferCount; ++i)
    Queue.push_back(i);
  FOutstanding = BufferCount;
  Running = true;
  Stopping = false;
  DeviceWatch->start();
}

// Moves what the device has recorded into the queued buffers, in queue order,
// and posts a notice for each one that fills up. With all four buffers out
// the data waits in the device until OnWaveIn hands one back.
void TWaveReader::Pump()
{
  bool drained = false;
  while (Running && Input && !Queue.empty()) {
    Buffer& b = Buffers[std::size_t(Queue.front())];
    const qint64 want = qint64(b.Data.size()) - b.Filled;
    const qint64 got = Input->read(b.Data.data() + b.Filled, want);
    if (got <= 0) {
      drained = true;
      break;
    }
    BytesRead += got;
    b.Filled += got;
    if (b.Filled == qsizetype(b.Data.size())) {
      const int index = Queue.front();
      Queue.pop_front();
      PostReturned(index);
    }
  }
  if (drained)
    CountLost();
}

// With everything read that the device had, the device's clock (Qt's
// processed time of a source is the server's stream time) is ahead of what
// was read by the latency of the device and the server. Input is lost when
// the reader does not read for longer than the device's buffer lasts; the
// lead then grows by what was dropped. Only growth across such a pause
// counts: while reading goes on, PulseAudio's clock, which runs on between
// its timing updates, drifts ahead of a source that delivers late (a pipe
// source waiting for its writer) without anything being lost. A backend
// whose processed time counts what was read reads no loss at all.
void TWaveReader::CountLost()
{
  if (!Source)
    return;
  const qint64 blockAlign = qint64(CurFormat.Channels) * DeviceBytesPerSample(CurFormat);
  const qint64 recorded = Source->processedUSecs() * CurFormat.SampleRate / 1000000;
  const qint64 ahead = recorded - BytesRead / blockAlign;
  if (ahead < 0)
    return; // the server's timing has not caught up with the reads yet
  const qint64 paused = SinceDrained.restart();
  const qint64 last = std::exchange(LastAhead, ahead);
  // A starting stream settles first: PulseAudio's clock runs on while a
  // monitor source wakes its sink, and the latency it then keeps is larger
  // than the one it started with.
  if (BytesRead < qint64(CurFormat.SampleRate) * blockAlign * SettleMs / 1000 || last < 0 ||
      paused < PauseMs)
    return;
  // Below the threshold it is the jitter of the latency, not a loss.
  const qint64 grown = ahead - last;
  if (grown > qint64(CurFormat.SampleRate) * LossThresholdMs / 1000) {
    LostFrames += grown;
    emit InputLostChanged(InputLost());
  }
}

double TWaveReader::InputLost() const
{
  return CurFormat.SampleRate > 0 ? double(LostFrames) / CurFormat.SampleRate : 0.0;
}

void TWaveReader::PostReturned(int index)
{
  QCoreApplication::postEvent(this, new BufferDone(index, Generation));
}

bool TWaveReader::event(QEvent* e)
{
  if (e->type() == BufferDoneEvent()) {
    auto* done = static_cast<BufferDone*>(e);
    BufferReturned(done->Index, done->Generation);
    return true;
  }
  return QObject::event(e);
}

void TWaveReader::BufferReturned(int index, unsigned generation)
{
  if (generation != Generation)
    return; // from a capture that has ended
  --FOutstanding;
  Buffer& b = Buffers[std::size_t(index)];
  // What the device gave is handed on in the format's own layout.
  const int frames =
      int(b.Filled / (qsizetype(CurFormat.Channels) * DeviceBytesPerSample(CurFormat)));
  if (DeviceBytesPerSample(CurFormat) != CurFormat.BytesPerSample)
    PackFrom32(b.Data.data(), qsizetype(CurSampleCount) * CurFormat.Channels);
  if (OnRecorded) {
    try {
      if (frames > 0)
        OnRecorded(this, b.Data.data(), frames, CurFormat);
    } catch (const std::exception& ex) {
      DeviceLost(QString::fromUtf8(ex.what()));
    } catch (...) {
      DeviceLost(QStringLiteral("Capture stopped after an unknown error."));
    }
  }
  if (OnWaveIn) {
    // An exception must not unwind through the event loop of the device:
    // it ends the capture and reaches the user as a message.
    try {
      OnWaveIn(this, b.Data.data(), CurSampleCount, CurFormat);
    } catch (const std::exception& ex) {
      DeviceLost(QString::fromUtf8(ex.what()));
    } catch (...) {
      DeviceLost(QStringLiteral("Capture stopped after an unknown error."));
    }
  }
  // OnWaveIn may have stopped (and even restarted) the capture.
  if (Running && generation == Generation) {
    b.Filled = 0;
    Queue.push_back(index);
    ++FOutstanding;
    Pump();
  }
}

void TWaveReader::Stop()
{
  if (!Running || Stopping)
    return;
  Running = false;
  Stopping = true;

  // Reset: the device stops and hands back every queued buffer in order; the
  // part of a buffer it had not filled reads as silence, which for unsigned
  // 8-bit samples is their mid level 128, not the bottom rail 0.
  if (Source) {
    disconnect(Source.get(), nullptr, this, nullptr);
    Source->stop();
  }
  const char rest = CurFormat.BytesPerSample == 1 ? char(0x80) : char(0);
  for (int index : Queue) {
    Buffer& b = Buffers[std::size_t(index)];
    std::fill(b.Data.begin() + b.Filled, b.Data.end(), rest);
    PostReturned(index);
  }
  Queue.clear();

  // The returned buffers come through the event loop, so OnWaveIn still sees
  // them; the deadline keeps a lost notice from hanging the program.
  QElapsedTimer timer;
  timer.start();
  while (FOutstanding > 0 && QCoreApplication::instance() && timer.elapsed() < StopDeadlineMs) {
    QCoreApplication::sendPostedEvents(this, BufferDoneEvent());
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (FOutstanding > 0)
      QThread::msleep(1);
  }
  if (FOutstanding > 0)
    qWarning("TWaveReader: %d buffers did not come back; giving up on them", FOutstanding);
  FOutstanding = 0;
  Stopping = false;
  Release();
}

void TWaveReader::Release()
{
  ++Generation; // notices still on their way are ignored
  DeviceWatch->stop();
  Queue.clear();
  FOutstanding = 0;
  Input = nullptr;
  if (Source) {
    disconnect(Source.get(), nullptr, this, nullptr);
    Source->stop();
    Source.reset(); // deleted from the event loop: see DeleteLater
  }
  for (auto& b : Buffers) {
    b.Data.clear();
    b.Data.shrink_to_fit();
    b.Filled = 0;
  }
}

void TWaveReader::SourceStateChanged()
{
  if (!Running || !Source)
    return;
  if (Source->state() == QAudio::StoppedState && Source->error() != QAudio::NoError)
    DeviceLost(QStringLiteral("The input device \"%1\" stopped working; capture has stopped.")
                   .arg(FDevice.description()));
}

void TWaveReader::InputsChanged()
{
  if (!Running)
    return;
  const auto inputs = QMediaDevices::audioInputs();
  if (std::find(inputs.begin(), inputs.end(), FDevice) == inputs.end())
    DeviceLost(
        QStringLiteral("The input device \"%1\" is no longer available; capture has stopped.")
            .arg(FDevice.description()));
}

// Stops the capture and tells the user why, from the event loop rather than
// from inside the device's (or OnWaveIn's) call stack.
void TWaveReader::DeviceLost(const QString& text)
{
  if (LossPending)
    return;
  LossPending = true;
  const unsigned generation = Generation;
  QMetaObject::invokeMethod(
      this,
      [this, generation, text] {
        if (generation != Generation)
          return; // the capture ended some other way meanwhile
        Stop();
        ShowMessage(text);
      },
      Qt::QueuedConnection);
}

} // namespace duv
