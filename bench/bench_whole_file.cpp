// SPDX-License-Identifier: GPL-3.0-or-later
// The Whole File view on a generated hour of 44.1 kHz stereo 16-bit sound,
// loaded into its 16-bit store as the window loads it:
// - the first complete picture, 800 x 513 plot pixels, frames of 1024,
//   Hann: the level cache's whole-file pass on its worker threads and one
//   paint, against the command line's picture of the same size and settings
//   (ComputeFileSpectrogram, which streams the file on two threads), in
//   interleaved rounds, each side in the process's CPU time (all threads);
// - each zoom and pan step of the view, from the whole hour down to a few
//   milliseconds and into a narrow band of frequencies: the paint at once
//   (the GUI thread's CPU time) against 8 ms, half a 60 Hz frame, and the
//   wall time until the detail for the step is computed and drawn, against
//   0.3 s;
// - the memory the view holds (its tiles and the columns not collected yet)
//   at its peak over the steps, and how far the process's resident memory
//   grew with the view made and zoomed, the file's samples loaded before.
// The file is made in a temporary folder and removed at the end.
#include "spectrogram/FileSpectroView.h"
#include "spectrogram/LevelPainter.h"
#include "wavefile/FileSpectrogram.h"
#include "wavefile/LevelCache.h"
#include "wavefile/WaveFileParser.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace duv;

namespace {

constexpr int Width = 800, Height = 513, Size = 1024;
constexpr double PaintBudgetMs = 8, DetailBudgetMs = 300;

struct Files
{
  QTemporaryDir dir{QDir::tempPath() + "/duvovovi-bench-XXXXXX"};
  QString hour;
  TSoundFile loaded; // the window's 16-bit store
};
std::unique_ptr<Files> TheFiles;

double processCpuNs()
{
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}

double wallNs()
{
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}

// The resident memory of now, in KiB.
long rssKiB()
{
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
      resident = 0;
    std::fclose(f);
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

void makeFiles()
{
  TheFiles = std::make_unique<Files>();
  TheFiles->hour = TheFiles->dir.filePath(QStringLiteral("hour.wav"));
  bench::WriteTestWav(TheFiles->hour, 60);
  TheFiles->loaded.SetFileName(TheFiles->hour);
}

// The first complete picture of the hour against the command line's.
void BM_FirstPicture(benchmark::State& state)
{
  const TSoundData& data = TheFiles->loaded.SoundData();
  TLevelView view;
  view.To = double(data.SamplesPerChannel);
  view.FHigh = data.Format.nSamplesPerSec / 2.0;
  view.Width = Width;
  view.Height = Height;
  std::vector<std::uint32_t> pixels(std::size_t(Width) * Height);
  TLevelPainter painter;
  TColorBands bands;
  bands.LoadColorTable(TColorCount::dc32);
  bands.SetRange(0, -96);
  painter.SetColors(bands);

  TFileSpectrogramSettings settings;
  settings.Width = Width;
  settings.Height = Height;
  settings.Size = Size;
  settings.Window = TWindowKind::Hann;
  settings.Channel = TChannelChoice::Mix;

  std::vector<double> ours, peer, ratio, oursWall, peerWall;
  bool oursFirst = true;
  for (auto _ : state) {
    double a = 0, aw = 0, b = 0, bw = 0;
    const auto oursSide = [&] {
      TLevelCache cache; // its threads start idle
      const double w0 = wallNs(), t0 = processCpuNs();
      cache.SetSource(data, Size, TWindowKind::Hann);
      cache.Want(view);
      while (!cache.WaitIdle(20))
        cache.Collect();
      cache.Collect();
      painter.Paint(cache, view, pixels.data(), Width);
      a = processCpuNs() - t0;
      aw = wallNs() - w0;
      if (!cache.PassDone())
        state.SkipWithError("the whole-file pass did not finish");
    };
    const auto peerSide = [&] {
      const double w0 = wallNs(), t0 = processCpuNs();
      TSoundFile file;
      file.LoadHeader(TheFiles->hour);
      benchmark::DoNotOptimize(ComputeFileSpectrogram(file, settings).Levels.data());
      b = processCpuNs() - t0;
      bw = wallNs() - w0;
    };
    if (oursFirst) {
      oursSide();
      peerSide();
    } else {
      peerSide();
      oursSide();
    }
    oursFirst = !oursFirst;
    ours.push_back(a);
    peer.push_back(b);
    ratio.push_back(a / b);
    oursWall.push_back(aw);
    peerWall.push_back(bw);
  }
  state.counters["ours_ms"] = bench::Quantile(ours, 0.5) / 1e6;
  state.counters["peer_ms"] = bench::Quantile(peer, 0.5) / 1e6;
  state.counters["ours_wall_ms"] = bench::Quantile(oursWall, 0.5) / 1e6;
  state.counters["peer_wall_ms"] = bench::Quantile(peerWall, 0.5) / 1e6;
  state.counters["ratio"] = bench::Quantile(ratio, 0.5);
  state.counters["ratio_q1"] = bench::Quantile(ratio, 0.25);
  state.counters["ratio_q3"] = bench::Quantile(ratio, 0.75);
}

// Waits until the view's work for what it shows is done and drawn; the
// wall time it took, in ms.
double awaitDetail(TFileSpectroView& view, double since)
{
  QElapsedTimer clock;
  clock.start();
  while (!view.Cache().Idle() && clock.elapsed() < 60000) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    view.Cache().WaitIdle(2);
  }
  QApplication::processEvents();
  view.repaint();
  return (wallNs() - since) / 1e6;
}

// Zoom and pan steps of the view over the hour.
void BM_ZoomAndPan(benchmark::State& state)
{
  const TSoundData& data = TheFiles->loaded.SoundData();
  const long rssBefore = rssKiB();
  long rssPeak = rssBefore;
  TFileSpectroView view;
  view.resize(Width + 110, Height + 60);
  view.show();
  view.SetFile(data);
  awaitDetail(view, wallNs());
  const TAxisRange fullTime = view.FullTime(), fullFreq = view.FullFrequency();

  // The steps: halving the time about a point 40 % in, down to about 2 ms
  // across, panning there, then halving the frequencies about 1 kHz, then
  // back out in eighths.
  std::vector<std::pair<TAxisRange, TAxisRange>> steps;
  TAxisRange t = fullTime, f = fullFreq;
  const double at = fullTime.Max * 0.4;
  while (t.Max - t.Min > 0.002) {
    const double span = (t.Max - t.Min) / 2;
    t = {at - span * 0.4, at + span * 0.6};
    steps.push_back({t, f});
  }
  for (int i = 0; i < 8; ++i) {
    const double shift = (t.Max - t.Min) / 8;
    t = {t.Min + shift, t.Max + shift};
    steps.push_back({t, f});
  }
  t = {at - 5, at + 5};
  while (f.Max - f.Min > 50) {
    const double span = (f.Max - f.Min) / 2;
    f = {std::max(0.0, 1000 - span / 2), 1000 + span / 2};
    steps.push_back({t, f});
  }
  for (int i = 0; i < 6; ++i) {
    t = {std::max(0.0, at - (t.Max - t.Min) * 4), std::min(fullTime.Max, at + (t.Max - t.Min) * 4)};
    steps.push_back({t, fullFreq});
  }

  std::vector<double> paint, detail;
  double worstPaint = 0, worstDetail = 0, worstSpan = 0, worstBand = 0;
  std::size_t peakBytes = 0;
  for (auto _ : state) {
    for (const auto& [time, freq] : steps) {
      const double w0 = wallNs(), t0 = bench::ThreadCpuNs();
      view.SetTimeView(time);
      view.SetFrequencyView(freq);
      view.repaint();
      const double ms = (bench::ThreadCpuNs() - t0) / 1e6;
      paint.push_back(ms);
      worstPaint = std::max(worstPaint, ms);
      const double d = awaitDetail(view, w0);
      detail.push_back(d);
      if (d > worstDetail) {
        worstDetail = d;
        worstSpan = time.Max - time.Min;
        worstBand = freq.Max - freq.Min;
      }
      peakBytes = std::max(peakBytes, view.Cache().Bytes());
      rssPeak = std::max(rssPeak, rssKiB());
    }
  }
  state.counters["steps"] = double(steps.size());
  state.counters["paint_ms"] = bench::Quantile(paint, 0.5);
  state.counters["paint_q3_ms"] = bench::Quantile(paint, 0.75);
  state.counters["paint_max_ms"] = worstPaint;
  state.counters["paint_ratio"] = bench::Quantile(paint, 0.5) / PaintBudgetMs;
  state.counters["paint_max_ratio"] = worstPaint / PaintBudgetMs;
  state.counters["detail_ms"] = bench::Quantile(detail, 0.5);
  state.counters["detail_q3_ms"] = bench::Quantile(detail, 0.75);
  state.counters["detail_max_ms"] = worstDetail;
  state.counters["detail_max_span_s"] = worstSpan;
  state.counters["detail_max_band_hz"] = worstBand;
  state.counters["cache_mb"] = double(peakBytes) / (1 << 20);
  state.counters["rss_view_mb"] = double(rssPeak - rssBefore) / 1024;
}

BENCHMARK(BM_FirstPicture)->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomAndPan)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
  std::fprintf(stderr, "making and loading the hour-long file ...\n");
  makeFiles();
  return bench::RunBenchmarks(argc, argv, true, [](const bench::Results& r) {
    const std::string first = "BM_FirstPicture/iterations:4";
    std::printf("\nThe first complete picture of the hour (%d x %d, %d-point Hann), process CPU "
                "time:\n  the view %.0f ms, the command line's picture %.0f ms, ratio %.3f "
                "(quartiles %.3f .. %.3f); wall %.0f ms against %.0f ms\n",
                Width, Height, Size, r.Counter(first, "ours_ms"), r.Counter(first, "peer_ms"),
                r.Counter(first, "ratio"), r.Counter(first, "ratio_q1"),
                r.Counter(first, "ratio_q3"), r.Counter(first, "ours_wall_ms"),
                r.Counter(first, "peer_wall_ms"));
    const std::string zoom = "BM_ZoomAndPan/iterations:2";
    std::printf("Zoom and pan, %.0f steps: a paint %.2f ms median, %.2f ms at most (%.2f of "
                "the %.0f ms budget);\n  the detail in %.0f ms median, %.0f ms at most (budget "
                "%.0f ms, wall time),\n  the slowest at %.3g s across and %.3g Hz up\n",
                r.Counter(zoom, "steps"), r.Counter(zoom, "paint_ms"),
                r.Counter(zoom, "paint_max_ms"), r.Counter(zoom, "paint_max_ratio"), PaintBudgetMs,
                r.Counter(zoom, "detail_ms"), r.Counter(zoom, "detail_max_ms"), DetailBudgetMs,
                r.Counter(zoom, "detail_max_span_s"), r.Counter(zoom, "detail_max_band_hz"));
    std::printf("Memory: the view's levels %.1f MB at most; the process's resident memory "
                "grew by %.1f MB at most\n  with the view made and zoomed (the file's samples "
                "were loaded before)\n",
                r.Counter(zoom, "cache_mb"), r.Counter(zoom, "rss_view_mb"));
    TheFiles.reset();
  });
}
