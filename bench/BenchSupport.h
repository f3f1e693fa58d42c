// SPDX-License-Identifier: GPL-3.0-or-later
// Shared entry of the benchmarks: runs them (under an offscreen QApplication
// when widgets are measured), keeps each one's CPU time per iteration and its
// counters, and hands those to a summary that prints the ratios the figures
// are judged by. Also the interleaved CPU-time comparison of two sides that
// those ratios come from.
#pragma once

#include <QApplication>
#include <QFile>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace duv::bench {

// Nanoseconds of CPU time per iteration, by benchmark name ("BM_Paint/100").
using Times = std::map<std::string, double>;

// What a run leaves for the summary: the times, and every benchmark's
// counters by name ("BM_Pair/256" -> "ratio" -> 2.4).
struct Results
{
  Times times;
  std::map<std::string, std::map<std::string, double>> counters;

  // NaN when the benchmark or the counter is missing (filtered out).
  double Counter(const std::string& name, const std::string& key) const
  {
    const auto run = counters.find(name);
    if (run == counters.end())
      return std::numeric_limits<double>::quiet_NaN();
    const auto c = run->second.find(key);
    return c == run->second.end() ? std::numeric_limits<double>::quiet_NaN() : c->second;
  }
};

class TimesReporter : public benchmark::ConsoleReporter
{
public:
  Results results;
  void ReportRuns(const std::vector<Run>& runs) override
  {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration)
        continue;
      const std::string name = run.benchmark_name();
      results.times[name] = run.GetAdjustedCPUTime() *
                            benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                            benchmark::GetTimeUnitMultiplier(run.time_unit);
      for (const auto& [key, counter] : run.counters)
        results.counters[name][key] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

inline int RunBenchmarks(int argc, char** argv, bool withWidgets,
                         const std::function<void(const Results&)>& summary)
{
  std::unique_ptr<QApplication> app;
  if (withWidgets) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QApplication>(argc, argv);
  }
  benchmark::Initialize(&argc, argv);
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (summary)
    summary(reporter.results);
  benchmark::Shutdown();
  return 0;
}

inline int RunBenchmarks(int argc, char** argv, bool withWidgets,
                         const std::function<void(const Times&)>& summary = {})
{
  return RunBenchmarks(argc, argv, withWidgets, [&summary](const Results& r) {
    if (summary)
      summary(r.times);
  });
}

// CPU time this thread has used, in nanoseconds: time the scheduler gave to
// other work on the shared machine does not count.
inline double ThreadCpuNs()
{
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}

// The q-quantile (0 .. 1) of v, by linear interpolation.
inline double Quantile(std::vector<double> v, double q)
{
  if (v.empty())
    return std::numeric_limits<double>::quiet_NaN();
  std::sort(v.begin(), v.end());
  const double pos = q * double(v.size() - 1);
  const auto i = std::size_t(pos);
  const double frac = pos - double(i);
  return i + 1 < v.size() ? v[i] * (1 - frac) + v[i + 1] * frac : v[i];
}

// How many calls of f take about `blockNs` of CPU time (at least 1).
template <class F> int CallsForBlock(F& f, double blockNs)
{
  f(); // warm caches and lazily built tables
  for (int calls = 1;; calls *= 2) {
    const double t0 = ThreadCpuNs();
    for (int i = 0; i < calls; ++i)
      f();
    const double t = ThreadCpuNs() - t0;
    if (t >= blockNs / 8 || calls >= (1 << 20))
      return std::max(1, int(double(calls) * blockNs / std::max(t, 1.0)));
  }
}

// Compares two sides A and B of the same work in one benchmark. Every
// iteration of the benchmark loop is one round: `prepare` (untimed), a block
// of `calls` calls of A, `prepare` again, a block of as many calls of B, the
// order of A and B swapped every round so neither always runs on the other's
// leftovers. Each block is timed in this thread's CPU time. The counters hold
// the per-call medians a_ns and b_ns, and the median of the per-round ratios
// A/B with its quartiles: ratio, ratio_q1, ratio_q3.
template <class Prepare, class A, class B>
void ComparePair(benchmark::State& state, int calls, Prepare&& prepare, A&& a, B&& b)
{
  std::vector<double> ta, tb, ratio;
  bool aFirst = true;
  auto block = [&](auto& f) {
    prepare();
    const double t0 = ThreadCpuNs();
    for (int i = 0; i < calls; ++i)
      f();
    return (ThreadCpuNs() - t0) / calls;
  };
  for (auto _ : state) {
    double timeA = 0, timeB = 0;
    if (aFirst) {
      timeA = block(a);
      timeB = block(b);
    } else {
      timeB = block(b);
      timeA = block(a);
    }
    aFirst = !aFirst;
    ta.push_back(timeA);
    tb.push_back(timeB);
    ratio.push_back(timeA / timeB);
  }
  state.counters["calls"] = calls;
  state.counters["a_ns"] = Quantile(ta, 0.5);
  state.counters["b_ns"] = Quantile(tb, 0.5);
  state.counters["ratio"] = Quantile(ratio, 0.5);
  state.counters["ratio_q1"] = Quantile(ratio, 0.25);
  state.counters["ratio_q3"] = Quantile(ratio, 0.75);
}

// A 44.1 kHz stereo 16-bit file of `minutes`: a slow sweep on the left, a
// tone with a beat on the right, a little noise on both, so that neither side
// reads a constant.
inline void WriteTestWav(const QString& path, int minutes)
{
  constexpr int Rate = 44100;
  const std::int64_t frames = std::int64_t(Rate) * 60 * minutes;
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly))
    std::abort();
  auto le32 = [](std::uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
  auto le16 = [](std::uint16_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
  const std::uint32_t dataBytes = std::uint32_t(frames * 4);
  f.write("RIFF" + le32(36 + dataBytes) + "WAVE" + "fmt " + le32(16) + le16(1) + le16(2) +
          le32(Rate) + le32(Rate * 4) + le16(4) + le16(16) + "data" + le32(dataBytes));
  std::vector<std::int16_t> block(2 * Rate);
  std::uint32_t noise = 1;
  double phaseL = 0, phaseR = 0;
  for (std::int64_t done = 0; done < frames;) {
    const std::int64_t n = std::min<std::int64_t>(Rate, frames - done);
    for (std::int64_t i = 0; i < n; ++i) {
      const double t = double(done + i) / Rate;
      phaseL += 2 * M_PI * (200 + 50 * std::sin(t * 0.05)) / Rate;
      phaseR += 2 * M_PI * 1000.0 / Rate;
      noise = noise * 1664525u + 1013904223u;
      const double n1 = double(std::int32_t(noise)) / 2147483648.0 * 300;
      block[2 * i] = std::int16_t(std::lround(12000 * std::sin(phaseL) + n1));
      block[2 * i + 1] = std::int16_t(std::lround(9000 * std::sin(phaseR) * std::sin(t) - n1));
    }
    f.write(reinterpret_cast<const char*>(block.data()), qint64(n) * 4);
    done += n;
  }
}

} // namespace duv::bench
