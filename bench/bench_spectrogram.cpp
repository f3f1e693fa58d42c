// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one spectrogram line and of one paint, at the smallest and the
// largest image height (600 s of 256-sample frames at 44.1 kHz). Both should
// stay flat: the ratios big/small are printed at the end.
#include "spectrogram/Spectrogram.h"

#include "BenchSupport.h"
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace duv;

namespace {
constexpr int Width = 128;
constexpr int SmallHeight = 100;
constexpr int BigHeight = 103359;

std::vector<double> Line(int n)
{
  std::vector<double> v(Width);
  for (int i = 0; i < Width; ++i)
    v[i] = -96.0 * ((i * 7 + n * 13) % 97) / 97.0;
  return v;
}

void BM_AddLine(benchmark::State& state)
{
  TSpectroGram spectro;
  spectro.SetColorCount(TColorDepth::dcTemp32);
  spectro.SetImageSize(Width, int(state.range(0)));
  spectro.SetDepthRange({-96, 0});
  const std::vector<double> a = Line(0), b = Line(1);
  bool flip = false;
  for (auto _ : state) {
    spectro.AddLine(flip ? a : b, Width - 1);
    flip = !flip;
  }
}

void BM_Paint(benchmark::State& state)
{
  TSpectroGram spectro;
  spectro.SetColorCount(TColorDepth::dcTemp32);
  spectro.resize(470 + 50, 300 + 30); // a 470 x 300 plot area
  const int h = int(state.range(0));
  spectro.SetImageSize(Width, h);
  spectro.SetDepthRange({-96, 0});
  spectro.SetXRange({172, 22050});
  spectro.SetYRange({600, 0});
  for (int n = 0; n < std::min(h, 2000); ++n)
    spectro.AddLine(Line(n), Width - 1);
  QImage canvas(spectro.size(), QImage::Format_RGB32);
  QPainter painter(&canvas);
  painter.setFont(spectro.font());
  for (auto _ : state) {
    spectro.PaintTo(painter);
    benchmark::DoNotOptimize(canvas.constBits());
  }
}

BENCHMARK(BM_AddLine)->Arg(SmallHeight)->Arg(BigHeight);
BENCHMARK(BM_Paint)->Arg(SmallHeight)->Arg(BigHeight)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  return duv::bench::RunBenchmarks(argc, argv, true, [](const duv::bench::Times& times) {
    auto ratio = [&times](const char* name) {
      const auto small = times.find(std::string(name) + "/" + std::to_string(SmallHeight));
      const auto big = times.find(std::string(name) + "/" + std::to_string(BigHeight));
      if (small != times.end() && big != times.end() && small->second > 0)
        std::printf("%s: height %d / height %d = %.3f\n", name, BigHeight, SmallHeight,
                    big->second / small->second);
    };
    ratio("BM_AddLine");
    ratio("BM_Paint");
  });
}
