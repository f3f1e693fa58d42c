// The transform against FFTW's complex double transform, size by size, and
// the ratio ours/FFTW printed after the runs.
#include "analysis/Fourier.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstdio>
#include <random>
#include <vector>

namespace {

std::vector<double> noise(int n, unsigned seed)
{
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1, 1);
  std::vector<double> v(n);
  for (double& x : v)
    x = d(gen);
  return v;
}

void BM_Ours(benchmark::State& state)
{
  const int n = int(state.range(0));
  const std::vector<double> src = noise(n, 1);
  std::vector<double> re(n), im(n);
  duv::TFastFourier fft;
  fft.ForwardTransform(re.data(), im.data(), n); // builds the twiddle table
  for (auto _ : state) {
    state.PauseTiming();
    re = src;
    std::fill(im.begin(), im.end(), 0.0);
    state.ResumeTiming();
    fft.ForwardTransform(re.data(), im.data(), n);
    benchmark::DoNotOptimize(re.data());
  }
}

void BM_Fftw(benchmark::State& state)
{
  const int n = int(state.range(0));
  const std::vector<double> src = noise(n, 1);
  fftw_complex* buf = fftw_alloc_complex(n);
  fftw_plan plan = fftw_plan_dft_1d(n, buf, buf, FFTW_FORWARD, FFTW_MEASURE);
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < n; ++i) {
      buf[i][0] = src[i];
      buf[i][1] = 0;
    }
    state.ResumeTiming();
    fftw_execute(plan);
    benchmark::DoNotOptimize(buf);
  }
  fftw_destroy_plan(plan);
  fftw_free(buf);
}

BENCHMARK(BM_Ours)->RangeMultiplier(2)->Range(256, 32768);
BENCHMARK(BM_Fftw)->RangeMultiplier(2)->Range(256, 32768);

} // namespace

int main(int argc, char** argv)
{
  return duv::bench::RunBenchmarks(argc, argv, false, [](const duv::bench::Times& times) {
    std::printf("\n%8s %12s %12s %8s\n", "N", "ours ns", "fftw ns", "ratio");
    for (int n = 256; n <= 32768; n *= 2) {
      const auto ours = times.find("BM_Ours/" + std::to_string(n));
      const auto fftw = times.find("BM_Fftw/" + std::to_string(n));
      if (ours != times.end() && fftw != times.end())
        std::printf("%8d %12.0f %12.0f %8.2f\n", n, ours->second, fftw->second,
                    ours->second / fftw->second);
    }
  });
}
