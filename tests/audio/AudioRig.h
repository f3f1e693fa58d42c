// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for tests that run against the private sound server of
// scripts/audio-rig: finding its inputs, feeding its FIFO microphone at
// real-time pace, collecting messages and waiting on the event loop.
#pragma once

#include "audio/Waveread.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QMediaDevices>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace rig {

constexpr int PipeRate = 44100; // the FIFO microphone takes s16le mono 44100 Hz

inline QAudioDevice FindInput(const QString& description)
{
  for (const QAudioDevice& d : QMediaDevices::audioInputs())
    if (d.description() == description)
      return d;
  return {};
}

// Whether the rig runs on PipeWire (scripts/audio-rig start --pipewire).
// PipeWire resamples what the FIFO microphone hears, since its graph runs at
// 48 kHz, so only PulseAudio hands the samples over exactly as written.
inline bool OnPipeWire()
{
  return qgetenv("DUVOVOVI_RIG_SERVER") == "pipewire";
}

inline bool Available()
{
  return !qEnvironmentVariableIsEmpty("DUVOVOVI_RIG_PIPE") && !FindInput("RigPipe").isNull();
}

#define SKIP_WITHOUT_RIG()                                                                         \
  do {                                                                                             \
    if (!rig::Available())                                                                         \
      GTEST_SKIP() << "No audio rig reachable: run scripts/audio-rig start and "                   \
                      "eval \"$(scripts/audio-rig env)\" first (scripts/test does both).";         \
  } while (0)

// Runs the event loop until pred holds or ms pass; returns pred().
inline bool WaitFor(const std::function<bool()>& pred, int ms)
{
  QElapsedTimer t;
  t.start();
  while (!pred() && t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return pred();
}

inline void Spin(int ms)
{
  WaitFor([] { return false; }, ms);
}

// Output of a pactl command on the rig.
inline QString Pactl(const QStringList& args)
{
  QProcess p;
  p.start("pactl", args);
  p.waitForFinished(10000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

// Record streams opened by clients (the rig's own loopback has none).
inline int ClientRecordStreams()
{
  int n = 0;
  for (const QString& line : Pactl({"list", "short", "source-outputs"}).split('\n'))
    if (line.split('\t').value(2, "-") != "-")
      ++n;
  return n;
}

// The sources that client record streams record from, by name.
inline QStringList RecordingFrom()
{
  QMap<QString, QString> names;
  for (const QString& line : Pactl({"list", "short", "sources"}).split('\n', Qt::SkipEmptyParts))
    names[line.section('\t', 0, 0)] = line.section('\t', 1, 1);
  QStringList from;
  for (const QString& line : Pactl({"list", "short", "source-outputs"}).split('\n'))
    if (line.split('\t').value(2, "-") != "-")
      from << names.value(line.section('\t', 1, 1), "?");
  return from;
}

// Makes name the server's default source and waits until the server says so:
// on PipeWire the session manager settles it a moment after the request.
inline bool SetDefaultSource(const QString& name)
{
  Pactl({"set-default-source", name});
  return WaitFor([&] { return Pactl({"get-default-source"}).trimmed() == name; }, 3000);
}

inline int ClientPlayStreams()
{
  int n = 0;
  for (const QString& line : Pactl({"list", "short", "sink-inputs"}).split('\n'))
    if (!line.trimmed().isEmpty() && line.split('\t').value(2, "-") != "-")
      ++n;
  return n;
}

// Writes Sample(n) for n = 0, 1, ... into a FIFO microphone, keeping Lead()
// ahead of the wall clock, until destroyed.
//
// It never blocks its test: the FIFO is written without blocking, and a full
// one is waited on in short slices that also watch for the end. The pipe
// source (PipeWire's, and PulseAudio 16's too) reads only while something
// records, so a full FIFO between two captures is normal; one that takes
// nothing for StallMs is not, and the writer then gives up and fails the test
// with a message.
//
// What an earlier test left in the FIFO is drained first, so a capture hears
// this writer's signal and not someone else's.
class PipeWriter
{
public:
  static constexpr int StallMs = 3000;

  explicit PipeWriter(std::function<std::int16_t(std::int64_t)> sample)
      : PipeWriter(qgetenv("DUVOVOVI_RIG_PIPE"), std::move(sample))
  {
  }
  PipeWriter(const QByteArray& path, std::function<std::int16_t(std::int64_t)> sample,
             int stallMs = StallMs)
      : Sample(std::move(sample)), Path(path), Stall(stallMs)
  {
    // A write after the server died must fail, not kill the test.
    ::signal(SIGPIPE, SIG_IGN);
    Drain();
    Fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0)
      ADD_FAILURE() << "cannot open the rig's FIFO " << path.constData() << ": "
                    << std::strerror(errno);
    Thread = std::thread([this] { Run(); });
  }
  ~PipeWriter()
  {
    Done = true;
    Thread.join();
    if (Fd >= 0)
      ::close(Fd);
    if (Stalled)
      ADD_FAILURE() << "the FIFO " << Path.constData() << " took nothing for " << Stall
                    << " ms, so the writer gave up after " << FWritten
                    << " samples: nothing records from it, or its server hangs";
  }
  std::int64_t Written() const { return FWritten; }
  // Whether the writer gave up on a FIFO that stopped taking samples.
  bool HasStalled() const { return Stalled; }
  // Whether the FIFO lost its reader (the server went away).
  bool HasLostReader() const { return LostReader; }

  // How far ahead of the wall clock the writer keeps, in seconds.
  // PulseAudio's pipe source waits for a late writer. PipeWire's runs on the
  // graph's clock and keeps about 0.19 s buffered, and a writer that falls
  // behind on a busy machine breaks the signal there, so on PipeWire the
  // writer keeps further ahead.
  static double Lead() { return OnPipeWire() ? 0.25 : 0.03; }

private:
  void Drain()
  {
    const int fd = ::open(Path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
      return;
    char junk[4096];
    while (::read(fd, junk, sizeof junk) > 0) {
    }
    ::close(fd);
  }

  // Writes len bytes; false when the writer has to stop.
  bool Put(const char* p, std::size_t len)
  {
    using clock = std::chrono::steady_clock;
    auto lastProgress = clock::now();
    while (len > 0) {
      if (Done)
        return false;
      const ssize_t w = ::write(Fd, p, len);
      if (w > 0) {
        p += w;
        len -= std::size_t(w);
        lastProgress = clock::now();
        continue;
      }
      if (w < 0 && errno == EPIPE) {
        LostReader = true;
        return false;
      }
      if (w < 0 && errno != EAGAIN && errno != EINTR)
        return false;
      if (clock::now() - lastProgress > std::chrono::milliseconds(Stall)) {
        Stalled = true;
        return false;
      }
      pollfd pfd{Fd, POLLOUT, 0};
      ::poll(&pfd, 1, 10);
    }
    return true;
  }

  void Run()
  {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    const double lead = Lead();
    std::int16_t chunk[441];
    std::int64_t n = 0;
    while (!Done && Fd >= 0) {
      const double elapsed = std::chrono::duration<double>(clock::now() - start).count();
      const auto due = std::int64_t((elapsed + lead) * PipeRate);
      if (n >= due) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      for (auto& s : chunk)
        s = Sample(n++);
      if (!Put(reinterpret_cast<const char*>(chunk), sizeof chunk))
        return;
      FWritten = n;
    }
  }
  std::function<std::int16_t(std::int64_t)> Sample;
  QByteArray Path;
  int Stall;
  int Fd = -1;
  std::atomic<bool> Done{false};
  std::atomic<bool> Stalled{false};
  std::atomic<bool> LostReader{false};
  std::atomic<std::int64_t> FWritten{0};
  std::thread Thread;
};

inline std::function<std::int16_t(std::int64_t)> Tone(double hz, double amplitude = 16000)
{
  return [hz, amplitude](std::int64_t n) {
    return std::int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * double(n) / PipeRate)));
  };
}

// Collects the reader's messages instead of showing boxes.
class MessageLog
{
public:
  MessageLog()
  {
    Previous = duv::SetWaveMessageHandler([this](const QString& t) { Messages << t; });
  }
  ~MessageLog() { duv::SetWaveMessageHandler(Previous); }
  QStringList Messages;

private:
  duv::TWaveMessageEvent Previous;
};

} // namespace rig
