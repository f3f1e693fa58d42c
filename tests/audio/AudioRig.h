// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for tests that run against the private sound server of
// scripts/audio-rig: finding its inputs, feeding its FIFO microphone at
// real-time pace, collecting messages and waiting on the event loop.
#pragma once

#include "audio/Waveread.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QMediaDevices>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
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
#include <memory>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

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

// A child process whose standard output goes to Out (or nowhere), started in
// Dir; ended with Signal by End or the destructor.
class Child
{
public:
  Child(const QStringList& command, const QString& dir = QString(), int out = -1)
  {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0)
      posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    else
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (!dir.isEmpty())
      posix_spawn_file_actions_addchdir_np(&actions, QFile::encodeName(dir).constData());
    std::vector<QByteArray> args;
    for (const QString& a : command)
      args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&Pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
      Pid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() { End(SIGTERM); }
  bool Started() const { return Pid > 0; }
  void End(int signal)
  {
    if (Pid <= 0)
      return;
    ::kill(Pid, signal);
    ::waitpid(Pid, nullptr, 0);
    Pid = -1;
  }

private:
  pid_t Pid = -1;
};

// An independent recorder of a source of the rig (parec, mono s16le 44100 Hz,
// as the FIFO microphone is written), read on a thread of its own so that a
// held GUI thread never holds it up.
class Recorder
{
public:
  explicit Recorder(const QString& source)
  {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
      return;
    Process = std::make_unique<Child>(QStringList{"parec", "--device=" + source, "--format=s16le",
                                                  "--rate=44100", "--channels=1", "--raw",
                                                  "--latency-msec=20"},
                                      QString(), fds[1]);
    ::close(fds[1]);
    Fd = fds[0];
    Thread = std::thread([this] {
      std::int16_t chunk[4096];
      for (;;) {
        const ssize_t n = ::read(Fd, chunk, sizeof chunk);
        if (n <= 0)
          break;
        const std::lock_guard<std::mutex> lock(Mutex);
        Samples.insert(Samples.end(), chunk, chunk + n / 2);
      }
    });
  }
  ~Recorder() { Stop(); }
  bool Started() const { return Process && Process->Started(); }
  std::size_t Count()
  {
    const std::lock_guard<std::mutex> lock(Mutex);
    return Samples.size();
  }
  // Ends the recording and hands over what was recorded.
  std::vector<std::int16_t> Stop()
  {
    if (Process)
      Process->End(SIGINT);
    if (Thread.joinable())
      Thread.join();
    if (Fd >= 0)
      ::close(Fd);
    Fd = -1;
    const std::lock_guard<std::mutex> lock(Mutex);
    return Samples;
  }

private:
  std::unique_ptr<Child> Process;
  int Fd = -1;
  std::thread Thread;
  std::mutex Mutex;
  std::vector<std::int16_t> Samples;
};

// What the rig's server did meanwhile, for a test's output: whether it runs
// with real-time scheduling and, on PipeWire, how many of its graph's cycles
// came late and how many each node left unfinished (its xruns), as its
// profiler tells from construction to Report. A server without real-time
// scheduling on a busy machine falls behind the clock, and then every
// recorder of its sources sees the same breaks.
class ServerWatch
{
public:
  ServerWatch()
  {
    if (OnPipeWire() && Dir.isValid())
      Profiler =
          std::make_unique<Child>(QStringList{"pw-profiler", "-o", "profiler.log"}, Dir.path());
  }

  // The scheduling of the server's threads: the strongest policy among them.
  static QString Scheduling()
  {
    const QString run = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QFile pidFile(OnPipeWire() ? run + "/pipewire.pid" : run + "/pulse/pid");
    if (!pidFile.open(QIODevice::ReadOnly))
      return "scheduling unknown";
    const QString pid = QString::fromUtf8(pidFile.readAll()).trimmed();
    int policy = 0, priority = 0;
    for (const QString& task :
         QDir("/proc/" + pid + "/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      QFile stat("/proc/" + pid + "/task/" + task + "/stat");
      if (!stat.open(QIODevice::ReadOnly))
        continue;
      // The fields after the command name, which may hold blanks: rt_priority
      // and policy are the 40th and 41st of the whole line.
      const QStringList f = QString::fromUtf8(stat.readAll()).section(") ", 1).split(' ');
      if (f.size() > 38 && f[38].toInt() > policy) {
        policy = f[38].toInt();
        priority = f[37].toInt();
      }
    }
    static const char* const names[] = {"SCHED_OTHER", "SCHED_FIFO", "SCHED_RR", "SCHED_BATCH"};
    return policy == 0 ? QString("no real-time scheduling (SCHED_OTHER)")
                       : QString("real-time scheduling (%1 %2)")
                             .arg(policy < 4 ? names[policy] : "policy")
                             .arg(priority);
  }

  // Cycles of the graph that came late, and cycles its nodes left
  // unfinished (their xruns), once Report has run; -1 when the server does
  // not tell (PulseAudio).
  int LateCycles() const { return FLate; }
  // The xruns of the nodes whose names end with Suffix (a client's
  // ":pid"), once Report has run.
  int NodeXruns(const QString& Suffix) const
  {
    int n = 0;
    for (const auto& [name, count] : FNodes)
      n += name.endsWith(Suffix) ? count : 0;
    return n;
  }
  int Xruns() const { return FXruns; }

  QString Report()
  {
    QString text =
        QString("%1 with %2").arg(OnPipeWire() ? "PipeWire" : "PulseAudio", Scheduling());
    if (!Profiler)
      return text + "; it counts no xruns";
    Profiler->End(SIGINT);
    Profiler.reset();
    // The profiler's log has four columns of the driver (its period first,
    // marked at 1.4 times the quantum when the cycle came late) and then
    // eight for each node, the node's status seventh (3: finished in time).
    QFile log(Dir.filePath("profiler.log"));
    QFile plot(Dir.filePath("Timing3.plot"));
    if (!log.open(QIODevice::ReadOnly))
      return text + "; its profiler logged nothing";
    QStringList names;
    if (plot.open(QIODevice::ReadOnly)) {
      const QRegularExpression title("title \"([^\"]*)/[0-9]+\"");
      auto it = title.globalMatch(QString::fromUtf8(plot.readAll()));
      while (it.hasNext())
        names << it.next().captured(1);
    }
    int cycles = 0, late = 0;
    std::vector<int> unfinished(std::size_t(names.size()), 0);
    for (const QByteArray& line : log.readAll().split('\n')) {
      const QList<QByteArray> f = line.split('\t');
      if (f.size() < 4)
        continue;
      ++cycles;
      late += f[0].toDouble() > 1.3 * f[3].toDouble();
      for (int i = 0; i < names.size(); ++i) {
        const int at = 4 + 8 * i + 6;
        const int status = at < f.size() ? f[at].trimmed().toInt() : 0;
        unfinished[std::size_t(i)] += status == 1 || status == 2;
      }
    }
    FLate = late;
    FXruns = 0;
    QStringList nodes;
    for (int i = 0; i < names.size(); ++i) {
      FXruns += unfinished[std::size_t(i)];
      FNodes.emplace_back(names[i], unfinished[std::size_t(i)]);
      nodes << QString("%1 %2").arg(names[i]).arg(unfinished[std::size_t(i)]);
    }
    return text + QString("; %1 graph cycles, %2 late; xruns by node: %3")
                      .arg(cycles)
                      .arg(late)
                      .arg(nodes.isEmpty() ? QString("none logged") : nodes.join(", "));
  }

private:
  QTemporaryDir Dir;
  std::unique_ptr<Child> Profiler;
  int FLate = -1, FXruns = -1;
  std::vector<std::pair<QString, int>> FNodes;
};

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
