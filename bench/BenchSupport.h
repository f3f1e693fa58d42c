// Shared entry of the benchmarks: runs them (under an offscreen QApplication
// when widgets are measured), keeps each one's time per iteration, and hands
// those to a summary that prints the ratios the figures are judged by.
#pragma once

#include <QApplication>
#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace duv::bench {

// Nanoseconds per iteration, by benchmark name ("BM_Paint/100").
using Times = std::map<std::string, double>;

class TimesReporter : public benchmark::ConsoleReporter
{
public:
  Times times;
  void ReportRuns(const std::vector<Run>& runs) override
  {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        times[run.benchmark_name()] = run.GetAdjustedRealTime() *
                                      benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                      benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
};

inline int RunBenchmarks(int argc, char** argv, bool withWidgets,
                         const std::function<void(const Times&)>& summary = {})
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
    summary(reporter.times);
  benchmark::Shutdown();
  return 0;
}

} // namespace duv::bench
