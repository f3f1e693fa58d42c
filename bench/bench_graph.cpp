// Costs of the graph per live frame, as a fraction of the frame period of
// 256 samples at 44.1 kHz (5.8 ms): filling a frame of points, and one full
// paint of the oscilloscope and spectrum graphs into an offscreen image.
#include "graph/Graphbox.h"

#include "BenchSupport.h"
#include <QImage>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

using namespace duv;

namespace {
constexpr double framePeriod = 256.0 / 44100.0;

// Times each iteration on the wall clock and reports the mean as a share of
// the frame period, e.g. frame_pct=6 for 6 % of 5.8 ms.
class FrameShare
{
public:
  explicit FrameShare(benchmark::State& State) : FState(State) {}
  ~FrameShare()
  {
    if (FState.iterations() > 0)
      FState.counters["frame_pct"] = 100.0 * std::chrono::duration<double>(FTotal).count() /
                                     (double(FState.iterations()) * framePeriod);
  }
  void Start() { FBegin = std::chrono::steady_clock::now(); }
  void Stop() { FTotal += std::chrono::steady_clock::now() - FBegin; }

private:
  benchmark::State& FState;
  std::chrono::steady_clock::time_point FBegin;
  std::chrono::steady_clock::duration FTotal{};
};

void SetupOscilloscope(TGraphBox& g)
{
  g.resize(502, 104);
  g.SetBevelOuter(bvNone);
  g.SetGraphType(gtLine);
  g.SetDefaultData(false);
  g.SetXRange(4, 0, 32767);
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

void FillOscilloscope(TGraphBox& g)
{
  const std::vector<double>& samples = FrameSamples();
  g.BeginUpdate();
  g.Clear();
  for (int i = 0; i < 32768; ++i)
    g.AddPoint(0, clRed, i, samples[std::size_t(i)], 1.0);
  g.EndUpdate();
}

void BM_FillFrame32768(benchmark::State& state)
{
  TGraphBox g;
  SetupOscilloscope(g);
  FrameShare share(state);
  for (auto _ : state) {
    share.Start();
    FillOscilloscope(g);
    benchmark::DoNotOptimize(g.PointCount());
    share.Stop();
  }
}
BENCHMARK(BM_FillFrame32768);

void PaintLoop(benchmark::State& state, TGraphBox& g)
{
  QImage image(g.size(), QImage::Format_RGB32);
  FrameShare share(state);
  for (auto _ : state) {
    share.Start();
    g.Invalidate();
    g.render(&image);
    benchmark::ClobberMemory();
    share.Stop();
  }
}

void BM_PaintOscilloscope502x104_32768(benchmark::State& state)
{
  TGraphBox g;
  SetupOscilloscope(g);
  FillOscilloscope(g);
  PaintLoop(state, g);
}
BENCHMARK(BM_PaintOscilloscope502x104_32768);

void BM_PaintSpectrum500x187_16383(benchmark::State& state)
{
  TGraphBox g;
  g.resize(500, 187);
  g.SetColor(clBlack);
  g.SetGridColor(MakeColor(0, 128, 0));
  g.SetFontColor(clLime);
  g.SetGraphBorder(25);
  g.SetGraphType(gtLine);
  g.SetDefaultData(false);
  g.SetXRange(8, 0, 22050);
  g.SetYRange(-96, 10, 20);
  g.BeginUpdate();
  const double step = 22050.0 / 16384;
  for (int k = 1; k <= 16383; ++k)
    g.AddPoint(0, clLime, k * step, -90 + 80 * std::fabs(std::sin(k * 0.01)), 1.0);
  g.EndUpdate();
  PaintLoop(state, g);
}
BENCHMARK(BM_PaintSpectrum500x187_16383);

// A ten-minute CD-quality channel held as one sample series (the wave-file view).
void BM_PaintWaveFileTenMinutes(benchmark::State& state)
{
  TGraphBox g;
  SetupOscilloscope(g);
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
BENCHMARK(BM_PaintWaveFileTenMinutes);

} // namespace

int main(int argc, char** argv) { return duv::bench::RunBenchmarks(argc, argv, true); }
