// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a long WAV file in the window, on generated 10- and 60-minute
// 44.1 kHz stereo 16-bit files:
// - from the open to both traces painted (TForm1::OpenWaveFile, then a paint
//   of each channel graph) against `sox FILE -n stat` reading the same file,
//   in interleaved rounds from a warm page cache, each side in CPU time (our
//   thread's; sox's process, exec included), printed as the ratio ours/sox;
// - the peak resident memory of the whole program opening the file, in a
//   fresh process of its own, against the file's size;
// - one paint of the left trace of the hour while zooming and panning its
//   time axis, against the 16.7 ms frame period of a 60 Hz screen.
// The files are made in a temporary folder and removed at the end.
#include "app/SAMain.h"
#include "app/pages/ScopeBand.h"
#include "audio/Waveread.h"
#include "graph/Graphbox.h"
#include "app/pages/SAGraphs.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace duv;

namespace {

constexpr double FramePeriodMs = 1000.0 / 60;

double wallNs()
{
  return double(std::chrono::duration_cast<std::chrono::nanoseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count());
}

struct Files
{
  QTemporaryDir dir{QDir::tempPath() + "/duvovovi-bench-XXXXXX"};
  // Two names of each file (a hard link): the window does not read a name
  // it has loaded again, so the rounds alternate between them.
  QString ten[2], hour[2];
  qint64 tenBytes = 0, hourBytes = 0;
};
// Made before the benchmarks and removed after them, before the
// application object goes: nothing of them outlives the run.
std::unique_ptr<Files> TheFiles;
std::unique_ptr<TForm1> TheForm;

void makeFiles()
{
  TheFiles = std::make_unique<Files>();
  Files& files = *TheFiles;
  for (auto [minutes, names] : {std::pair{10, files.ten}, std::pair{60, files.hour}}) {
    names[0] = files.dir.filePath(QStringLiteral("%1min-a.wav").arg(minutes));
    names[1] = files.dir.filePath(QStringLiteral("%1min-b.wav").arg(minutes));
    bench::WriteTestWav(names[0], minutes);
    if (::link(QFile::encodeName(names[0]).constData(), QFile::encodeName(names[1]).constData()))
      std::abort();
  }
  files.tenBytes = QFileInfo(files.ten[0]).size();
  files.hourBytes = QFileInfo(files.hour[0]).size();
}

// Runs a program with its standard error discarded; returns its CPU time
// (user and system, ns), its wall time (ns), and what it wrote on standard
// output when `keepOutput`.
struct ChildRun
{
  double cpuNs = 0, wallNs = 0;
  int status = -1;
  std::string output;
};

ChildRun runChild(const std::vector<std::string>& args, bool keepOutput = false)
{
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0)
    std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (keepOutput)
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  ChildRun run;
  const double t0 = wallNs();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    std::abort();
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  char buffer[256];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
    run.output.append(buffer, std::size_t(n));
  ::close(out[0]);
  rusage usage{};
  ::wait4(pid, &run.status, 0, &usage);
  run.wallNs = wallNs() - t0;
  run.cpuNs = (double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec)) * 1e9 +
              (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) * 1e3;
  return run;
}

// The window as the user has it, made once: no sound device's messages in
// modal boxes, settings in the test location.
TForm1& window()
{
  if (!TheForm) {
    QStandardPaths::setTestModeEnabled(true);
    SetWaveMessageHandler([](const QString&) {});
    TheForm = std::make_unique<TForm1>();
    TheForm->resize(1024, 768);
    TheForm->show();
    QApplication::processEvents();
  }
  return *TheForm;
}

// Open to traces shown: the window's open, then both traces painted.
void openAndShow(TForm1& form, const QString& path)
{
  form.OpenWaveFile(path);
  form.ScopeBand().LeftGraph().repaint();
  form.ScopeBand().RightGraph().repaint();
}

void BM_OpenVsSoxStat(benchmark::State& state)
{
  const int minutes = int(state.range(0));
  const QString* names = minutes == 10 ? TheFiles->ten : TheFiles->hour;
  TForm1& form = window();
  const std::string sox = "sox";
  std::vector<double> ours, theirs, ratio, oursWall, theirsWall;
  int round = 0;
  // Warm: the page cache holds the file, the window has drawn once.
  openAndShow(form, names[1]);
  runChild({sox, names[0].toStdString(), "-n", "stat"});
  for (auto _ : state) {
    const QString& path = names[round % 2];
    double a = 0, aw = 0;
    ChildRun b;
    auto oursSide = [&] {
      const double w0 = wallNs(), t0 = bench::ThreadCpuNs();
      openAndShow(form, path);
      a = bench::ThreadCpuNs() - t0;
      aw = wallNs() - w0;
    };
    auto soxSide = [&] { b = runChild({sox, path.toStdString(), "-n", "stat"}); };
    if (round % 2 == 0) {
      oursSide();
      soxSide();
    } else {
      soxSide();
      oursSide();
    }
    if (b.status != 0)
      state.SkipWithError("sox failed (is it installed?)");
    ours.push_back(a);
    theirs.push_back(b.cpuNs);
    oursWall.push_back(aw);
    theirsWall.push_back(b.wallNs);
    ratio.push_back(a / b.cpuNs);
    ++round;
  }
  state.counters["ours_ms"] = bench::Quantile(ours, 0.5) / 1e6;
  state.counters["sox_ms"] = bench::Quantile(theirs, 0.5) / 1e6;
  state.counters["ours_wall_ms"] = bench::Quantile(oursWall, 0.5) / 1e6;
  state.counters["sox_wall_ms"] = bench::Quantile(theirsWall, 0.5) / 1e6;
  state.counters["ratio"] = bench::Quantile(ratio, 0.5);
  state.counters["ratio_q1"] = bench::Quantile(ratio, 0.25);
  state.counters["ratio_q3"] = bench::Quantile(ratio, 0.75);
}
BENCHMARK(BM_OpenVsSoxStat)->Arg(10)->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenVsSoxStat)->Arg(60)->Iterations(4)->Unit(benchmark::kMillisecond);

// The whole program opening the file in a fresh process (this executable as
// a driver): its peak resident set, and that of the same window opening no
// file.
void BM_PeakMemory(benchmark::State& state)
{
  const int minutes = int(state.range(0));
  const QString& path = minutes == 10 ? TheFiles->ten[0] : TheFiles->hour[0];
  const qint64 bytes = minutes == 10 ? TheFiles->tenBytes : TheFiles->hourBytes;
  const std::string self = "/proc/self/exe";
  long peak = 0, base = 0;
  for (auto _ : state) {
    const ChildRun opened = runChild({self, "--open-once", path.toStdString()}, true);
    const ChildRun idle = runChild({self, "--open-once", ""}, true);
    if (opened.status != 0 || idle.status != 0)
      state.SkipWithError("the driver failed");
    peak = std::max(peak, std::stol(opened.output));
    base = std::max(base, std::stol(idle.output));
  }
  state.counters["file_mb"] = double(bytes) / 1e6;
  state.counters["peak_mb"] = double(peak) * 1024 / 1e6;
  state.counters["window_mb"] = double(base) * 1024 / 1e6;
  state.counters["peak_per_file"] = double(peak) * 1024 / double(bytes);
}
BENCHMARK(BM_PeakMemory)->Arg(10)->Arg(60)->Iterations(2)->Unit(benchmark::kMillisecond);

// One paint of the left trace of the hour after each step of zooming in to
// an eighth, panning both ways and zooming out again.
void BM_ZoomPanPaint(benchmark::State& state)
{
  TForm1& form = window();
  openAndShow(form, TheFiles->hour[0]);
  TGraphBox& g = form.ScopeBand().LeftGraph();
  QImage image(g.size(), QImage::Format_RGB32);
  const auto steps = std::vector<std::function<void()>>{
      [&] { ZoomAxis(g, false, 0.5); }, [&] { ZoomAxis(g, false, 0.5); },
      [&] { ZoomAxis(g, false, 0.5); }, [&] { PanAxis(g, false, 0.25); },
      [&] { PanAxis(g, false, 0.25); }, [&] { PanAxis(g, false, -0.25); },
      [&] { PanAxis(g, false, -0.25); }, [&] { ZoomAxis(g, false, 2); },
      [&] { ZoomAxis(g, false, 2); },   [&] { ZoomAxis(g, false, 2); }};
  std::vector<double> times;
  std::size_t i = 0;
  for (auto _ : state) {
    steps[i++ % steps.size()]();
    const double t0 = bench::ThreadCpuNs();
    g.render(&image);
    times.push_back(bench::ThreadCpuNs() - t0);
    benchmark::ClobberMemory();
  }
  state.counters["median_ms"] = bench::Quantile(times, 0.5) / 1e6;
  state.counters["max_ms"] = bench::Quantile(times, 1.0) / 1e6;
}
BENCHMARK(BM_ZoomPanPaint)->Iterations(200)->Unit(benchmark::kMillisecond);

// Driver: opens `path` in a fresh window (none when empty) and exits.
int openOnce(int argc, char** argv)
{
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TForm1& form = window();
  if (argv[2][0] != '\0')
    openAndShow(form, QString::fromLocal8Bit(argv[2]));
  // The high-water mark of this process's own memory: the resource usage a
  // parent sees would also count the parent's pages the child had before
  // its exec.
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly))
    return 1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:"))
      std::printf("%s\n", line.mid(6).trimmed().split(' ').front().constData());
  std::fflush(stdout);
  std::_Exit(0); // the peak is what counts; tearing the window down adds nothing
}

} // namespace

int main(int argc, char** argv)
{
  if (argc == 3 && std::strcmp(argv[1], "--open-once") == 0)
    return openOnce(argc, argv);
  std::fprintf(stderr, "making the 10- and 60-minute files ...\n");
  // Made before the benchmarks start, so that they run on a warm cache.
  makeFiles();
  return duv::bench::RunBenchmarks(argc, argv, true, [](const duv::bench::Results& r) {
    TheForm.reset(); // while the application object is there
    TheFiles.reset();
    std::printf("\nOpening a file in the window, to both traces shown, against sox stat "
                "(CPU time; ratio median and quartiles)\n");
    std::printf("%8s %10s %10s %8s %16s %12s %12s\n", "minutes", "ours ms", "sox ms", "ratio",
                "quartiles", "ours wall", "sox wall");
    for (int minutes : {10, 60}) {
      const std::string name =
          "BM_OpenVsSoxStat/" + std::to_string(minutes) + "/iterations:" +
          std::to_string(minutes == 10 ? 8 : 4);
      std::printf("%8d %10.1f %10.1f %8.2f %7.2f .. %5.2f %12.1f %12.1f\n", minutes,
                  r.Counter(name, "ours_ms"), r.Counter(name, "sox_ms"), r.Counter(name, "ratio"),
                  r.Counter(name, "ratio_q1"), r.Counter(name, "ratio_q3"),
                  r.Counter(name, "ours_wall_ms"), r.Counter(name, "sox_wall_ms"));
    }
    std::printf("\nPeak resident memory of the whole program opening the file\n");
    std::printf("%8s %10s %10s %12s %15s %22s\n", "minutes", "file MB", "peak MB", "peak / file",
                "window alone", "(peak - window) / file");
    for (int minutes : {10, 60}) {
      const std::string name = "BM_PeakMemory/" + std::to_string(minutes) + "/iterations:2";
      const double file = r.Counter(name, "file_mb"), peak = r.Counter(name, "peak_mb"),
                   window = r.Counter(name, "window_mb");
      std::printf("%8d %10.1f %10.1f %12.2f %12.1f MB %22.2f\n", minutes, file, peak, peak / file,
                  window, (peak - window) / file);
    }
    const std::string zoom = "BM_ZoomPanPaint/iterations:200";
    std::printf("\nOne paint of the hour's left trace while zooming and panning: median %.2f ms, "
                "slowest %.2f ms (%.0f%% of a %.1f ms frame at 60 Hz)\n",
                r.Counter(zoom, "median_ms"), r.Counter(zoom, "max_ms"),
                100 * r.Counter(zoom, "max_ms") / FramePeriodMs, FramePeriodMs);
  });
}
