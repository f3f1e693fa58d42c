// SPDX-License-Identifier: GPL-3.0-or-later
// The headless commands as a user runs them, each a fresh process, against
// sox on the same file, and a whole file's spectrogram against the least it
// can cost:
// - `info`, `spectrum` and `peaks` on a short stretch (256 samples, one
//   second into the file) of a generated hour of 44.1 kHz stereo 16-bit
//   sound, against `sox --i` and `sox FILE -n trim 1 256s stat -freq`;
// - `spectrum` and `peaks` over 32768 samples (Hann), the largest frame,
//   against sox's stat -freq over as many;
// - `spectrogram` of the hour (800 x 513, frames of 1024, Hann, channels
//   mixed) against duvovovi_lower_bound: reading, mixing, windowing and
//   FFTW's r2c alone, no levels and no picture.
// Every process runs through duvovovi_measure, which reports its CPU time
// (user and system, all threads, start-up included) and its peak resident
// memory. The two sides of a comparison alternate, the order swapped every
// round, from a warm page cache; ratios are medians of the per-round ratios,
// with their quartiles. The file is made in a temporary folder and removed
// at the end.
#include "BenchSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Files
{
  QTemporaryDir dir{QDir::tempPath() + "/duvovovi-bench-XXXXXX"};
  QString hour, picture, wisdom;
};
std::unique_ptr<Files> TheFiles;

// One run as duvovovi_measure reports it.
struct Cost
{
  double cpuMs = 0, wallMs = 0;
  long peakKiB = 0;
  int status = -1;
};

Cost measure(const std::vector<std::string>& command)
{
  std::vector<std::string> words{DUVOVOVI_MEASURE};
  words.insert(words.end(), command.begin(), command.end());
  std::vector<char*> argv;
  for (std::string& w : words)
    argv.push_back(w.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0)
    std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    std::abort();
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  // The measured command's own output comes first; the report is the last
  // line.
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
    text.append(buffer, std::size_t(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  const std::size_t end = text.find_last_not_of('\n');
  const std::size_t line = text.rfind('\n', end);
  std::istringstream report(text.substr(line == std::string::npos ? 0 : line + 1));
  double wall = 0, user = 0, system = 0;
  Cost c;
  report >> wall >> user >> system >> c.peakKiB >> c.status;
  c.cpuMs = (user + system) * 1e3;
  c.wallMs = wall * 1e3;
  return c;
}

std::string file()
{
  return TheFiles->hour.toStdString();
}

// Alternates the two commands for the benchmark's rounds and keeps the
// medians, the ratio ours/peer with its quartiles, and both peaks.
void compare(benchmark::State& state, const std::vector<std::string>& ours,
             const std::vector<std::string>& peer)
{
  measure(ours); // warm both once
  measure(peer);
  std::vector<double> a, b, ratio, aWall;
  long aPeak = 0, bPeak = 0;
  bool oursFirst = true;
  for (auto _ : state) {
    Cost x, y;
    if (oursFirst) {
      x = measure(ours);
      y = measure(peer);
    } else {
      y = measure(peer);
      x = measure(ours);
    }
    oursFirst = !oursFirst;
    if (x.status != 0 || y.status != 0) {
      state.SkipWithError("a command failed (is sox installed?)");
      break;
    }
    a.push_back(x.cpuMs);
    b.push_back(y.cpuMs);
    aWall.push_back(x.wallMs);
    ratio.push_back(x.cpuMs / y.cpuMs);
    aPeak = std::max(aPeak, x.peakKiB);
    bPeak = std::max(bPeak, y.peakKiB);
  }
  using duv::bench::Quantile;
  state.counters["ours_ms"] = Quantile(a, 0.5);
  state.counters["ours_q1"] = Quantile(a, 0.25);
  state.counters["ours_q3"] = Quantile(a, 0.75);
  state.counters["ours_wall_ms"] = Quantile(aWall, 0.5);
  state.counters["peer_ms"] = Quantile(b, 0.5);
  state.counters["ratio"] = Quantile(ratio, 0.5);
  state.counters["ratio_q1"] = Quantile(ratio, 0.25);
  state.counters["ratio_q3"] = Quantile(ratio, 0.75);
  state.counters["ours_mb"] = double(aPeak) / 1024;
  state.counters["peer_mb"] = double(bPeak) / 1024;
}

void BM_Info(benchmark::State& state)
{
  compare(state, {DUVOVOVI_PROGRAM, "info", file()}, {"sox", "--i", file()});
}

// A short stretch (or the largest frame, Hann) of the spectrum or the peaks.
void BM_Stretch(benchmark::State& state)
{
  const bool peaks = state.range(0) != 0;
  const std::string size = std::to_string(state.range(1));
  std::vector<std::string> ours{
      DUVOVOVI_PROGRAM, peaks ? "peaks" : "spectrum", file(), "--offset", "1", "--size", size};
  if (state.range(1) > 256)
    ours.insert(ours.end(), {"--window", "hann"});
  compare(state, ours, {"sox", file(), "-n", "trim", "1", size + "s", "stat", "-freq"});
}

void BM_SpectrogramOfTheHour(benchmark::State& state)
{
  compare(state, {DUVOVOVI_PROGRAM, "spectrogram", file(), "-o", TheFiles->picture.toStdString()},
          {DUVOVOVI_LOWER_BOUND, file(), "1024", TheFiles->wisdom.toStdString()});
}

constexpr int ShortRounds = 40, LongRounds = 5;
BENCHMARK(BM_Info)->Iterations(ShortRounds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stretch)
    ->Args({0, 256})
    ->Args({1, 256})
    ->Args({0, 32768})
    ->Args({1, 32768})
    ->Iterations(ShortRounds)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpectrogramOfTheHour)->Iterations(LongRounds)->Unit(benchmark::kMillisecond);

void makeFiles()
{
  TheFiles = std::make_unique<Files>();
  TheFiles->hour = TheFiles->dir.filePath(QStringLiteral("60min.wav"));
  TheFiles->picture = TheFiles->dir.filePath(QStringLiteral("60min.png"));
  TheFiles->wisdom = TheFiles->dir.filePath(QStringLiteral("fftw.wisdom"));
  duv::bench::WriteTestWav(TheFiles->hour, 60);
  // The lower bound's plan, measured here once.
  double* in = fftw_alloc_real(1024);
  fftw_complex* out = fftw_alloc_complex(513);
  fftw_destroy_plan(fftw_plan_dft_r2c_1d(1024, in, out, FFTW_MEASURE));
  fftw_export_wisdom_to_filename(QFile::encodeName(TheFiles->wisdom).constData());
  fftw_free(in);
  fftw_free(out);
}

void printRow(const duv::bench::Results& r, const std::string& name, const char* what)
{
  std::printf("%-34s %8.2f %6.2f..%-6.2f %8.2f %8.2f %6.2f..%-6.2f %7.1f %7.1f\n", what,
              r.Counter(name, "ours_ms"), r.Counter(name, "ours_q1"), r.Counter(name, "ours_q3"),
              r.Counter(name, "peer_ms"), r.Counter(name, "ratio"), r.Counter(name, "ratio_q1"),
              r.Counter(name, "ratio_q3"), r.Counter(name, "ours_mb"), r.Counter(name, "peer_mb"));
}

} // namespace

int main(int argc, char** argv)
{
  std::fprintf(stderr, "making the hour-long file ...\n");
  makeFiles();
  return duv::bench::RunBenchmarks(argc, argv, false, [](const duv::bench::Results& r) {
    const std::string shortRounds = "/iterations:" + std::to_string(ShortRounds);
    std::printf("\nCommands as processes, CPU time (ms, median; ours with quartiles), the "
                "ratio ours/peer\n(median and quartiles of %d interleaved rounds; %d for the "
                "spectrogram) and peak resident memory (MB)\n",
                ShortRounds, LongRounds);
    std::printf("%-34s %8s %14s %8s %8s %14s %7s %7s\n", "command (peer)", "ours", "", "peer",
                "ratio", "quartiles", "ours", "peer");
    printRow(r, "BM_Info" + shortRounds, "info (sox --i)");
    printRow(r, "BM_Stretch/0/256" + shortRounds, "spectrum 256 (sox stat -freq)");
    printRow(r, "BM_Stretch/1/256" + shortRounds, "peaks 256 (sox stat -freq)");
    printRow(r, "BM_Stretch/0/32768" + shortRounds, "spectrum 32768 hann (sox)");
    printRow(r, "BM_Stretch/1/32768" + shortRounds, "peaks 32768 hann (sox)");
    printRow(r, "BM_SpectrogramOfTheHour/iterations:" + std::to_string(LongRounds),
             "spectrogram, hour (lower bound)");
    const std::string hour = "BM_SpectrogramOfTheHour/iterations:" + std::to_string(LongRounds);
    std::printf("(the spectrogram's wall time: %.0f ms; it splits the file between two "
                "threads)\n",
                r.Counter(hour, "ours_wall_ms"));
    TheFiles.reset();
  });
}
