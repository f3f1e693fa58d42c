// SPDX-License-Identifier: GPL-3.0-or-later
// Costs of the graph per live frame at each frame size, as a share of the
// period of that frame size at 44.1 kHz (N / 44100 s): filling the
// oscilloscope with a frame of N points, and one full paint of the
// oscilloscope (N points) and of the spectrum graph (N / 2 - 1 points) into an
// offscreen image. All in CPU time.
#include "graph/Graphbox.h"

#include "BenchSupport.h"
#include <QImage>

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace duv;

namespace {
constexpr double SampleRate = 44100.0;

double FramePeriodNs(int n)
{
  return 1e9 * n / SampleRate;
}

void FrameSizes(benchmark::internal::Benchmark* b)
{
  for (int n = 256; n <= 32768; n *= 2)
    b->Arg(n);
}

void SetupOscilloscope(TGraphBox& g, int n)
{
  g.resize(502, 104);
  g.SetBevelOuter(bvNone);
  g.SetGraphType(gtLine);
  g.SetDefaultData(false);
  g.SetXRange(4, 0, n - 1);
  g.YAxis().SetLines(2);
  g.YAxis().SetMin(-32768);
  g.YAxis().SetMax(32768);
  g.Title().SetCaption("Left Channel");
  g.Title().SetShowCaption(true);
  g.Title().SetBoxed(true);
}

// One frame of samples, made once so that only the graph is measured.
const std::vector<double>& FrameSamples()
{
  static const std::vector<double> samples = [] {
    std::vector<double> v(32768);
    for (std::size_t i = 0; i < v.size(); ++i)
      v[i] = 30000 * std::sin(double(i) * 0.05) * std::sin(double(i) * 0.0007);
    return v;
  }();
  return samples;
}

void FillOscilloscope(TGraphBox& g, int n)
{
  const std::vector<double>& samples = FrameSamples();
  g.BeginUpdate();
  g.Clear();
  for (int i = 0; i < n; ++i)
    g.AddPoint(0, clRed, i, samples[std::size_t(i)], 1.0);
  g.EndUpdate();
}

void BM_FillFrame(benchmark::State& state)
{
  const int n = int(state.range(0));
  TGraphBox g;
  SetupOscilloscope(g, n);
  for (auto _ : state) {
    FillOscilloscope(g, n);
    benchmark::DoNotOptimize(g.PointCount());
  }
}
BENCHMARK(BM_FillFrame)->Apply(FrameSizes);

void PaintLoop(benchmark::State& state, TGraphBox& g)
{
  QImage image(g.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    g.Invalidate();
    g.render(&image);
    benchmark::ClobberMemory();
  }
}

void BM_PaintOscilloscope(benchmark::State& state)
{
  const int n = int(state.range(0));
  TGraphBox g;
  SetupOscilloscope(g, n);
  FillOscilloscope(g, n);
  PaintLoop(state, g);
}
BENCHMARK(BM_PaintOscilloscope)->Apply(FrameSizes);

void BM_PaintSpectrum(benchmark::State& state)
{
  const int n = int(state.range(0));
  TGraphBox g;
  g.resize(500, 187);
  g.SetColor(clBlack);
  g.SetGridColor(MakeColor(0, 128, 0));
  g.SetFontColor(clLime);
  g.SetGraphBorder(25);
  g.SetGraphType(gtLine);
  g.SetDefaultData(false);
  const double step = SampleRate / n;
  g.SetXRange(8, step, SampleRate / 2);
  g.SetYRange(-96, 10, 20);
  g.BeginUpdate();
  for (int k = 1; k < n / 2; ++k)
    g.AddPoint(0, clLime, k * step, -90 + 80 * std::fabs(std::sin(k * 0.01)), 1.0);
  g.EndUpdate();
  PaintLoop(state, g);
}
BENCHMARK(BM_PaintSpectrum)->Apply(FrameSizes);

// A ten-minute CD-quality channel held as one sample series (the wave-file view).
// It is drawn when the user opens or moves through a file, not per frame, so
// it is reported as a time only.
void BM_PaintWaveFileTenMinutes(benchmark::State& state)
{
  TGraphBox g;
  SetupOscilloscope(g, 32768);
  const std::size_t n = 44100u * 600u;
  auto samples = std::make_shared<std::vector<std::int16_t>>(n);
  for (std::size_t i = 0; i < n; ++i)
    (*samples)[i] = std::int16_t(20000 * std::sin(double(i) * 0.01));
  g.SetXRange(4, 0, double(n));
  g.BeginUpdate();
  g.AddSamples(0, clRed, samples, 1.0);
  g.EndUpdate();
  PaintLoop(state, g);
}
BENCHMARK(BM_PaintWaveFileTenMinutes)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
  return duv::bench::RunBenchmarks(argc, argv, true, [](const duv::bench::Times& times) {
    auto share = [&times](const char* name, int n) {
      const auto t = times.find(std::string(name) + "/" + std::to_string(n));
      return t == times.end() ? std::nan("") : 100.0 * t->second / FramePeriodNs(n);
    };
    std::printf("\nGraph cost per frame, %% of the frame's own period at 44.1 kHz (CPU time)\n");
    std::printf("%8s %10s %8s %12s %12s %8s\n", "N", "period ms", "fill %", "oscope paint",
                "spectrum", "sum %");
    for (int n = 256; n <= 32768; n *= 2) {
      const double fill = share("BM_FillFrame", n), scope = share("BM_PaintOscilloscope", n),
                   spectrum = share("BM_PaintSpectrum", n);
      std::printf("%8d %10.2f %8.2f %12.2f %12.2f %8.2f\n", n, FramePeriodNs(n) / 1e6, fill, scope,
                  spectrum, fill + scope + spectrum);
    }
    const auto wave = times.find("BM_PaintWaveFileTenMinutes");
    if (wave != times.end())
      std::printf("ten-minute wave-file view paint: %.2f ms\n", wave->second / 1e6);
  });
}
