// SPDX-License-Identifier: GPL-3.0-or-later
// Our transforms against FFTW's with FFTW_MEASURE plans, size by size: the
// transform of real samples (the batch paths') against FFTW's real-input
// r2c, its fair peer, and the complex transform (the window's) against
// FFTW's in-place complex one. Both sides of a pair run in one benchmark
// loop in alternating blocks, timed in this thread's CPU time, and the ratio
// ours/FFTW is printed with the quartiles of its per-round values.
#include "analysis/Fourier.h"
#include "analysis/RealFourier.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int Rounds = 400;

std::vector<double> noise(int n, unsigned seed)
{
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1, 1);
  std::vector<double> v(n);
  for (double& x : v)
    x = d(gen);
  return v;
}

void BM_RealVsFftw(benchmark::State& state)
{
  const int n = int(state.range(0));
  // Both read the same samples and write their own output, as the batch
  // paths do frame after frame.
  const std::vector<double> samples = noise(n, 3);
  std::vector<double> re(n / 2 + 1), im(n / 2 + 1);
  duv::TRealFourier fft(n);
  double* in = fftw_alloc_real(std::size_t(n));
  fftw_complex* out = fftw_alloc_complex(std::size_t(n / 2 + 1));
  const fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
  std::copy(samples.begin(), samples.end(), in);

  auto ours = [&] { fft.Forward(samples.data(), re.data(), im.data()); };
  auto fftw = [&] { fftw_execute(plan); };
  const int calls = duv::bench::CallsForBlock(ours, 1e6);
  duv::bench::ComparePair(
      state, calls, [] {}, ours, fftw);
  benchmark::DoNotOptimize(re.data());
  benchmark::DoNotOptimize(out);

  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
}

void BM_ComplexVsFftw(benchmark::State& state)
{
  const int n = int(state.range(0));
  // Each block transforms its own output again and again, so the data stays
  // in cache as in the live path, without a copy inside the timing. A forward
  // transform grows the values by at most n, so the input starts near the
  // bottom of the double range (exactly scaled, never subnormal on the way)
  // and a block stops well before the top.
  const int maxCalls = int(1800 / std::log2(double(n)));
  std::vector<double> srcRe = noise(n, 1), srcIm = noise(n, 2);
  for (int i = 0; i < n; ++i) {
    srcRe[i] = std::ldexp(srcRe[i], -900);
    srcIm[i] = std::ldexp(srcIm[i], -900);
  }

  std::vector<double> re(n), im(n);
  const duv::TFastFourier fft;
  fftw_complex* buf = fftw_alloc_complex(std::size_t(n));
  const fftw_plan plan = fftw_plan_dft_1d(n, buf, buf, FFTW_FORWARD, FFTW_MEASURE);

  auto prepare = [&] {
    std::copy(srcRe.begin(), srcRe.end(), re.begin());
    std::copy(srcIm.begin(), srcIm.end(), im.begin());
    for (int i = 0; i < n; ++i) {
      buf[i][0] = srcRe[i];
      buf[i][1] = srcIm[i];
    }
  };
  auto ours = [&] { fft.ForwardTransform(re.data(), im.data(), n); };
  auto fftw = [&] { fftw_execute(plan); };
  prepare();
  const int calls = std::min(maxCalls, duv::bench::CallsForBlock(ours, 1e6));
  duv::bench::ComparePair(state, calls, prepare, ours, fftw);
  benchmark::DoNotOptimize(re.data());
  benchmark::DoNotOptimize(buf);

  fftw_destroy_plan(plan);
  fftw_free(buf);
}

BENCHMARK(BM_RealVsFftw)->RangeMultiplier(2)->Range(256, 32768)->Iterations(Rounds);
BENCHMARK(BM_ComplexVsFftw)->RangeMultiplier(2)->Range(256, 32768)->Iterations(Rounds);

void printTable(const duv::bench::Results& results, const char* bench, const char* title)
{
  std::printf("\n%s, ours/FFTW_MEASURE, CPU time, %d interleaved rounds per size\n", title, Rounds);
  std::printf("%8s %12s %12s %8s %18s\n", "N", "ours ns", "fftw ns", "ratio", "quartiles");
  for (int n = 256; n <= 32768; n *= 2) {
    const std::string name =
        std::string(bench) + "/" + std::to_string(n) + "/iterations:" + std::to_string(Rounds);
    const double ratio = results.Counter(name, "ratio");
    if (std::isnan(ratio))
      continue;
    std::printf("%8d %12.0f %12.0f %8.2f %8.2f .. %-8.2f\n", n, results.Counter(name, "a_ns"),
                results.Counter(name, "b_ns"), ratio, results.Counter(name, "ratio_q1"),
                results.Counter(name, "ratio_q3"));
  }
}

} // namespace

int main(int argc, char** argv)
{
  return duv::bench::RunBenchmarks(argc, argv, false, [](const duv::bench::Results& results) {
    printTable(results, "BM_RealVsFftw", "Real input (TRealFourier against r2c)");
    printTable(results, "BM_ComplexVsFftw", "Complex (TFastFourier against the complex DFT)");
  });
}
