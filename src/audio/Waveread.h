// SPDX-License-Identifier: GPL-3.0-or-later
// TWaveReader: captures PCM sound from an input device in one of the twelve
// classic formats and hands each filled buffer to OnWaveIn on the GUI thread.
#pragma once

#include "support/WaveFormat.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAudioSource;
class QComboBox;
class QIODevice;
class QTimer;

namespace duv {

class TWaveReader;

// (Sender, Buffer, SampleCount, Format): one filled buffer of interleaved
// samples, SampleCount frames long.
using TWaveInEvent = std::function<void(TWaveReader* Sender, const void* Buffer, int SampleCount,
                                        const TWaveDataFormat& Format)>;
// (Sender, Frames, Count, Format): the Count frames the device really
// recorded into a buffer, which may be fewer than its length when Stop
// hands it back part filled.
using TWaveRecordedEvent = std::function<void(TWaveReader* Sender, const void* Frames, int Count,
                                              const TWaveDataFormat& Format)>;
// Receives a message meant for the user.
using TWaveMessageEvent = std::function<void(const QString& Text)>;

// Caption of a format in the format list, e.g. "44.1 kHz, Stereo, 16-bit";
// "No Wave Mapper" for wfNone.
QString WaveTypeCaption(int t);

// The Qt format of a capture format: 8-bit is unsigned, 16-bit signed,
// 24-bit 32-bit signed, float float.
QAudioFormat ToAudioFormat(const TWaveDataFormat& f);

// Bytes per sample the device delivers a format in: 4 for 24-bit.
int DeviceBytesPerSample(const TWaveDataFormat& f);

// Packs Samples 32-bit samples holding 24 bits in their top bytes into three
// bytes each, in place.
void PackFrom32(char* Data, qsizetype Samples);

// The type among Mask whose Qt format is Preferred (a device's preferred
// format); wfNone when none is.
TWaveTypes PreferredType(const QAudioFormat& Preferred, std::uint64_t Mask);

// Bit t-1 set for each type t (1 ... WaveTypeCount) the device can record; 0
// for a null device.
std::uint64_t FormatMask(const QAudioDevice& device);

// The format list for a mask: "No Wave Mapper" alone for 0, otherwise the
// supported types in table order.
std::vector<std::pair<QString, TWaveTypes>> FormatListFromMask(std::uint64_t mask);

// Deletes a device object from the event loop instead of at once. Qt 6.4's
// PulseAudio devices run the event loop inside their destructors, which must
// not happen inside one of our own handlers or the device's signals. A device
// held this way has no parent: Qt 6.4 gives a device's platform object the
// same parent as the device, so a parent dying before the deferred delete ran
// would delete both a second time.
struct DeleteLater
{
  void operator()(QObject* object) const;
};

// Where the reader's messages go when the reader has no OnMessage of its own:
// an information box unless a handler is set (tests set one so that no modal
// box ever blocks them). Returns the previous handler.
TWaveMessageEvent SetWaveMessageHandler(TWaveMessageEvent handler);

class TWaveReader : public QObject
{
  Q_OBJECT
public:
  // Reads the formats of the default input; with no input device the user is
  // told "No Wave Device Available" and the list holds "No Wave Mapper".
  explicit TWaveReader(QObject* Owner = nullptr);
  // Stops a running capture.
  ~TWaveReader() override;

  TWaveInEvent OnWaveIn;
  // Called with what each buffer really holds, just before OnWaveIn: for
  // keeping or writing the input itself, without the rest level that pads a
  // buffer Stop hands back.
  TWaveRecordedEvent OnRecorded;
  // Messages for the user (failed start, lost device); falls back to the
  // handler of SetWaveMessageHandler.
  TWaveMessageEvent OnMessage;

  QComboBox* ComboBox() const;
  void SetComboBox(QComboBox* Value);

  TWaveTypes WaveType() const;
  void SetWaveType(TWaveTypes Value);

  int SampleCount() const { return FSampleCount; }
  void SetSampleCount(int Value) { FSampleCount = Value; }

  // The input captured from. Until the user chooses one, it is the sound
  // server's default input, looked up again at every Start, so a change in
  // the desktop's sound settings takes effect at the next capture. Choosing
  // re-reads the device's formats into the list (and the linked combo box)
  // and restarts a running capture on the new device.
  QAudioDevice Device() const { return FDevice; }
  void SetDevice(const QAudioDevice& Value);
  // Whether the reader still follows the server's default input.
  bool FollowsDefault() const { return FFollowDefault; }

  void Start();
  void Stop();
  bool IsActive() const { return Running || Stopping; }
  // The format of the current WaveType; left as it was for wfNone.
  void GetDataFormat(TWaveDataFormat& Format) const;

  // The listed format that is the input's own preferred one; wfNone when the
  // list does not hold it.
  TWaveTypes PreferredWaveType() const;

  // Captions of the supported formats, in list order.
  QStringList FormatCaptions() const;
  // Buffers that sit with the device: 4 while running, 3 inside OnWaveIn.
  int Outstanding() const { return FOutstanding; }

  // Seconds of input that the device recorded but could not hand over in
  // the current (or last) capture because the GUI thread was held for longer
  // than the device's buffer lasts: how much further the device's clock got
  // ahead of what was read while nothing was read.
  double InputLost() const;

  // How long Stop waits for the buffers to come back before it gives up on
  // them, so a device that never returns them cannot hang the program.
  static constexpr int StopDeadlineMs = 3000;
  static constexpr int BufferCount = 4;

  // The event type of the reader's buffer-returned notice.
  static int BufferDoneEvent();

signals:
  // InputLost grew, or a capture began (at 0).
  void InputLostChanged(double Seconds);

protected:
  bool event(QEvent* e) override;

private:
  struct Buffer
  {
    std::vector<char> Data;
    qsizetype Filled = 0;
  };

  void ReadFormats();
  void UseDevice(const QAudioDevice& Value);
  void ShowMessage(const QString& text);
  void Pump();
  void CountLost();
  void BufferReturned(int index, unsigned generation);
  void PostReturned(int index);
  void SourceStateChanged();
  void InputsChanged();
  void DeviceLost(const QString& text);
  void Release();

  std::vector<std::pair<QString, TWaveTypes>> FormatList;
  QPointer<QComboBox> FComboBox;
  TWaveTypes StoredType = wfNone;
  int FSampleCount = 256;
  QAudioDevice FDevice;
  bool FFollowDefault = true;

  bool Running = false;
  bool Stopping = false;
  int FOutstanding = 0;
  TWaveDataFormat CurFormat;
  // Frames per buffer of the current capture: buffers keep the size they
  // were allocated with even if SampleCount changes while running.
  int CurSampleCount = 0;
  // Counts captures; a notice from an earlier capture is ignored.
  unsigned Generation = 0;
  bool LossPending = false;
  // What this capture has read from the device; how far the device's clock
  // was ahead of that when everything recorded had last been read, and how
  // long ago that was.
  qint64 BytesRead = 0;
  qint64 LastAhead = -1;
  QElapsedTimer SinceDrained;
  qint64 LostFrames = 0;

  QTimer* DeviceWatch = nullptr;
  std::unique_ptr<QAudioSource, DeleteLater> Source;
  QPointer<QIODevice> Input;
  std::array<Buffer, BufferCount> Buffers;
  std::deque<int> Queue; // buffers with the device, the one being filled first
};

} // namespace duv
