// Helpers for tests that run against the private sound server of
// scripts/audio-rig: finding its inputs, feeding its FIFO microphone at
// real-time pace, collecting messages and waiting on the event loop.
#pragma once

#include "audio/Waveread.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
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

inline int ClientPlayStreams()
{
  int n = 0;
  for (const QString& line : Pactl({"list", "short", "sink-inputs"}).split('\n'))
    if (!line.trimmed().isEmpty() && line.split('\t').value(2, "-") != "-")
      ++n;
  return n;
}

// Writes Sample(n) for n = 0, 1, ... into the FIFO microphone, keeping about
// 30 ms ahead of the wall clock, until destroyed.
class PipeWriter
{
public:
  explicit PipeWriter(std::function<std::int16_t(std::int64_t)> sample) : Sample(std::move(sample))
  {
    // A write after the server died must fail, not kill the test.
    ::signal(SIGPIPE, SIG_IGN);
    const QByteArray path = qgetenv("DUVOVOVI_RIG_PIPE");
    Fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
    if (Fd >= 0)
      ::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) & ~O_NONBLOCK);
    else
      ADD_FAILURE() << "cannot open the rig's FIFO " << path.constData();
    Thread = std::thread([this] { Run(); });
  }
  ~PipeWriter()
  {
    Done = true;
    Thread.join();
    if (Fd >= 0)
      ::close(Fd);
  }
  std::int64_t Written() const { return FWritten; }

private:
  void Run()
  {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    std::int16_t chunk[441];
    std::int64_t n = 0;
    while (!Done && Fd >= 0) {
      const double elapsed = std::chrono::duration<double>(clock::now() - start).count();
      const auto due = std::int64_t((elapsed + 0.03) * PipeRate);
      if (n >= due) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      for (auto& s : chunk)
        s = Sample(n++);
      const char* p = reinterpret_cast<const char*>(chunk);
      std::size_t left = sizeof chunk;
      while (left > 0) {
        const ssize_t w = ::write(Fd, p, left);
        if (w <= 0)
          return;
        p += w;
        left -= std::size_t(w);
      }
      FWritten = n;
    }
  }
  std::function<std::int16_t(std::int64_t)> Sample;
  int Fd = -1;
  std::atomic<bool> Done{false};
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
