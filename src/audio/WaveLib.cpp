// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/WaveLib.h"

#include "audio/DefaultInput.h"
#include "audio/InputChooser.h"
#include "audio/Waveread.h"

#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <stdexcept>

namespace duv {

namespace {

// The one output device of the module (the open "handle") and the buffer it
// plays. The samples are pushed from a timer on the GUI thread as the device
// takes them.
struct WaveOut
{
  std::unique_ptr<QAudioSink, DeleteLater> Sink;
  QPointer<QIODevice> Io;
  QPointer<QTimer> Feeder;
  QByteArray Pending;
  qsizetype Fed = 0;
  qint64 DurationUs = 0;
  int BlockAlign = 0;
  unsigned Plays = 0; // counts plays, so a waiter sees a newer play take over
};

WaveOut& State()
{
  static WaveOut state;
  return state;
}

[[noreturn]] void Fail(const char* text)
{
  throw std::runtime_error(text);
}

// The Qt format of a PCM record, or an invalid format when Qt has no
// equivalent or the record contradicts itself.
QAudioFormat PlayFormat(const WAVEFORMATEX& w)
{
  QAudioFormat q;
  if (w.wFormatTag != WAVE_FORMAT_PCM || w.nChannels < 1 || w.nSamplesPerSec < 1 ||
      w.nBlockAlign != w.nChannels * (w.wBitsPerSample / 8))
    return q;
  switch (w.wBitsPerSample) {
  case 8:
    q.setSampleFormat(QAudioFormat::UInt8);
    break;
  case 16:
    q.setSampleFormat(QAudioFormat::Int16);
    break;
  case 32:
    q.setSampleFormat(QAudioFormat::Int32);
    break;
  default:
    return QAudioFormat();
  }
  q.setChannelCount(w.nChannels);
  q.setSampleRate(int(w.nSamplesPerSec));
  return q;
}

void CloseWaveOut()
{
  WaveOut& s = State();
  ++s.Plays;
  if (QTimer* feeder = s.Feeder)
    feeder->stop();
  if (s.Sink) {
    s.Sink->stop();
    s.Sink.reset(); // deleted from the event loop: see DeleteLater
  }
  s.Io = nullptr;
  s.Feeder = nullptr;
  s.Pending.clear();
  s.Fed = 0;
}

// Hands the device as much of the buffer as it has room for.
void Feed()
{
  WaveOut& s = State();
  while (s.Io && s.Sink && s.Fed < s.Pending.size()) {
    const qsizetype room = s.Sink->bytesFree() / s.BlockAlign * s.BlockAlign;
    if (room <= 0)
      break;
    const qint64 n =
        s.Io->write(s.Pending.constData() + s.Fed, std::min(room, s.Pending.size() - s.Fed));
    if (n <= 0)
      break;
    s.Fed += n;
  }
  if (s.Feeder && s.Fed >= s.Pending.size())
    s.Feeder->stop();
}

bool PlayedOut(const WaveOut& s)
{
  if (!s.Sink || !s.Io)
    return true; // closed, or the device failed: nothing more will play
  if (s.Sink->state() == QAudio::StoppedState)
    return true;
  // Played out once the device's clock has passed the buffer's end.
  return s.Fed >= s.Pending.size() && s.Sink->processedUSecs() >= s.DurationUs;
}

} // namespace

void PlayWave(WAVEFORMATEX Format, const void* Data, std::uint32_t Size, bool Wait)
{
  OpenWaveOut(Format);
  WriteWaveOut(Data, Size, Wait);
}

void OpenWaveOut(const WAVEFORMATEX& Format)
{
  CloseWaveOut();
  WaveOut& s = State();
  const QAudioDevice device = DefaultOutput();
  if (device.isNull() || !QCoreApplication::instance())
    Fail("Failed to open output device");
  const QAudioFormat format = PlayFormat(Format);
  if (!format.isValid() || !device.isFormatSupported(format))
    Fail("Can't play format");
  std::unique_ptr<QAudioSink, DeleteLater> sink(new QAudioSink(device, format));
  // A second of device buffer: most buffers go over in one piece, and a
  // longer one rides out a busy GUI thread (and a server that asks for more
  // data late).
  sink->setBufferSize(format.bytesForDuration(1000000));
  QIODevice* io = sink->start();
  if (!io || sink->error() != QAudio::NoError)
    Fail("Failed to open output device");
  s.Sink = std::move(sink);
  s.Io = io;
  s.BlockAlign = Format.nBlockAlign;
  auto* feeder = new QTimer(s.Sink.get());
  feeder->setInterval(10);
  QObject::connect(feeder, &QTimer::timeout, feeder, [] { Feed(); });
  s.Feeder = feeder;
}

void WriteWaveOut(const void* Data, std::uint32_t Size, bool Wait)
{
  WaveOut& s = State();
  if (!s.Sink || !s.Io || (!Data && Size > 0))
    Fail("Unable to prepare header");
  const qint64 bytes = qint64(Size) / s.BlockAlign * s.BlockAlign;
  if (bytes == 0)
    return;

  if (s.Fed > 0) {
    // One buffer at a time: a buffer still playing is cut off.
    QIODevice* io = s.Sink->start();
    if (!io) {
      CloseWaveOut();
      Fail("Failed to open output device");
    }
    s.Io = io;
  }
  const QAudioFormat format = s.Sink->format();
  s.DurationUs = format.durationForBytes(qint32(std::min<qint64>(bytes, INT32_MAX)));
  s.Pending = QByteArray(static_cast<const char*>(Data), bytes);
  // The device starts playing only once its buffer has filled, so a short
  // sound is followed by silence up to the buffer's size.
  const qsizetype minimum = s.Sink->bufferSize() / s.BlockAlign * s.BlockAlign;
  if (s.Pending.size() < minimum) {
    const char rest = format.sampleFormat() == QAudioFormat::UInt8 ? char(0x80) : char(0);
    s.Pending.append(minimum - s.Pending.size(), rest);
  }
  s.Fed = 0;
  Feed();
  if (s.Fed < s.Pending.size())
    s.Feeder->start();
  const unsigned play = ++s.Plays;
  if (!Wait)
    return;

  // Repaint and run timers while the buffer plays, but take no user input, so
  // no command can start inside this one. The deadline covers a device that
  // stops reporting progress.
  QElapsedTimer timer;
  timer.start();
  const qint64 deadlineMs = s.DurationUs / 1000 + 3000;
  while (s.Plays == play && !PlayedOut(s) && timer.elapsed() < deadlineMs) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    QThread::msleep(2);
  }
}

QString WaveOutErrorText(int Code)
{
  QString text = QString::number(Code);
  switch (Code) {
  case 5:
    text += QStringLiteral(": Specified device handle is invalid.");
    break;
  case 6:
    text += QStringLiteral(": No device driver is present.");
    break;
  case 7:
    text += QStringLiteral(" Unable to allocate or lock memory.");
    break;
  case 34:
    text +=
        QStringLiteral(" The data block pointed to by the pwh parameter hasn''t been prepared.");
    break;
  default:
    break;
  }
  return text;
}

void ShowSoundControlPanel(TWaveReader* Reader, QWidget* Parent)
{
  QPointer<TWaveReader> reader = Reader;
  // A null device makes the chooser select the default input.
  auto* chooser = new TInputChooser(Reader ? Reader->Device() : QAudioDevice(), Parent);
  QObject::connect(chooser, &QDialog::accepted, chooser, [chooser, reader] {
    if (reader && !chooser->SelectedDevice().isNull())
      reader->SetDevice(chooser->SelectedDevice());
  });
  // Not WA_DeleteOnClose: that posts the deletion as the dialog hides, and
  // switching the device stops capture, whose wait turns the event loop and
  // deleted the dialog while Qt was still to emit its finished() (a crash on
  // OK while capturing). finished() is its last word.
  QObject::connect(chooser, &QDialog::finished, chooser, &QObject::deleteLater);
  chooser->open(); // modal to the window, but returns at once
}

bool WaveOutIsOpen()
{
  return State().Sink != nullptr;
}

bool WaveOutIsPlaying()
{
  return !PlayedOut(State());
}

void StopWaveOut()
{
  if (WaveOutIsOpen())
    CloseWaveOut();
}

} // namespace duv
