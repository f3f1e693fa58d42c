// SPDX-License-Identifier: GPL-3.0-or-later
// Per-bin costs of a 32768-point frame after its transform: the conversion to
// decibels (TAnalysis::ComputeSpectrum, with the frame's peak) and one spectrogram line
// (TSpectroGram::AddLine over 16384 columns). Each runs interleaved with the
// plain long-double routine it replaces, kept here as the yardstick, in this
// thread's CPU time; the summary prints nanoseconds per bin for both and the
// ratio with its quartiles.
#include "analysis/SAGlobal.h"
#include "spectrogram/Spectrogram.h"
#include "support/DSupport.h"

#include "BenchSupport.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace duv;

namespace {

constexpr int N = 32768;
constexpr int Bins = N / 2;
constexpr int Bits = 16;
constexpr int Rounds = 200;

// A 16-bit frame: a few tones over noise, so the bins spread from the floor
// to near full scale.
struct Transformed
{
  std::vector<double> Re = std::vector<double>(N), Im = std::vector<double>(N, 0.0);
  const TFrameFormat Format{44100, N, Bits};
  TFastFourier FFT;
};

void FillFrame(Transformed& a)
{
  std::mt19937 gen(3);
  std::normal_distribution<double> noise(0, 30);
  for (int i = 0; i < N; ++i) {
    const double t = double(i);
    const double v = 12000 * std::sin(t * 0.0627) + 3000 * std::sin(t * 0.5113) +
                     200 * std::sin(t * 1.9) + noise(gen);
    a.Re[i] = std::round(v);
  }
  a.FFT.ForwardTransform(a.Re.data(), a.Im.data(), N);
}

// The conversion as it was: every bin's magnitude and phase in long double,
// then long-double log10.
void PlainSpectrum(const Transformed& a, TSpectrumFrame& out)
{
  const double floor = DecibelFloor(Bits);
  const long double reference = std::ldexp(1.0L, Bits) / 2;
  const int H = N / 2;
  static std::vector<double> magnitude(H), phase(H);
  a.FFT.MagnitudeAndPhase(a.Re.data(), a.Im.data(), magnitude.data(), phase.data(), H);
  out.DCOffset = magnitude[0];
  out.X.resize(H - 1);
  out.Y.resize(H - 1);
  out.SpectrumLine.assign(H, 0.0);
  for (int k = 1; k < H; ++k) {
    double v = static_cast<double>(20 * std::log10(magnitude[k] / reference));
    if (!(v >= floor))
      v = floor;
    out.X[k - 1] = k * a.Format.FreqStep();
    out.Y[k - 1] = v;
    out.SpectrumLine[k - 1] = v;
  }
}

void BM_DecibelsPerBin(benchmark::State& state)
{
  TAnalysis analysis;
  Transformed fast, plain;
  FillFrame(fast);
  FillFrame(plain);
  TSpectrumFrame a, b;
  auto ours = [&] { analysis.ComputeSpectrum(fast.Re.data(), fast.Im.data(), fast.Format, a); };
  auto yardstick = [&] { PlainSpectrum(plain, b); };
  duv::bench::ComparePair(
      state, duv::bench::CallsForBlock(yardstick, 2e6), [] {}, ours, yardstick);
  if (a.Y != b.Y || a.DCOffset != b.DCOffset)
    state.SkipWithError("the conversion differs from the long-double one");
}
BENCHMARK(BM_DecibelsPerBin)->Iterations(Rounds);

// One spectrogram line as it was drawn: a long-double rounding of every
// column's index and a linear search of the bands for every pixel.
void PlainLine(const TColorBar& bar, const std::vector<double>& values, int lastIndex, QRgb* row,
               int w)
{
  const double ratio = double(lastIndex) / w;
  for (int i = 0; i < w; ++i) {
    const int index = std::clamp(Round(i * ratio), 0, lastIndex);
    const TColor c = bar.Bands().ColorOf(values[index]);
    row[i] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
  }
}

void BM_AddLinePerBin(benchmark::State& state)
{
  TAnalysis analysis;
  Transformed transformed;
  FillFrame(transformed);
  TSpectrumFrame frame;
  analysis.ComputeSpectrum(transformed.Re.data(), transformed.Im.data(), transformed.Format, frame);
  TSpectroGram spectro;
  spectro.SetColorCount(TColorDepth::dcTemp32);
  spectro.SetImageSize(Bins, 13); // 10 s of 32768-sample frames at 44.1 kHz
  spectro.SetDepthRange({DecibelFloor(Bits), 0});
  QImage plainRow(Bins, 1, QImage::Format_RGB32);
  auto* row = reinterpret_cast<QRgb*>(plainRow.scanLine(0));
  auto ours = [&] { spectro.AddLine(frame.SpectrumLine, Bins - 1); };
  auto yardstick = [&] {
    spectro.DepthBar()->SetRange(0, DecibelFloor(Bits));
    PlainLine(*spectro.DepthBar(), frame.SpectrumLine, Bins - 1, row, Bins);
  };
  duv::bench::ComparePair(
      state, duv::bench::CallsForBlock(yardstick, 2e6), [] {}, ours, yardstick);
  if (spectro.Image().copy(0, 12, Bins, 1) != plainRow)
    state.SkipWithError("the line differs from the plainly drawn one");
}
BENCHMARK(BM_AddLinePerBin)->Iterations(Rounds);

} // namespace

int main(int argc, char** argv)
{
  return duv::bench::RunBenchmarks(argc, argv, true, [](const duv::bench::Results& results) {
    std::printf("\nPer bin at N = %d (%d bins), CPU time, %d interleaved rounds\n", N, Bins,
                Rounds);
    std::printf("%-12s %12s %14s %8s %18s\n", "", "ours ns/bin", "plain ns/bin", "ratio",
                "quartiles");
    for (const char* what : {"DecibelsPerBin", "AddLinePerBin"}) {
      const std::string name = std::string("BM_") + what + "/iterations:" + std::to_string(Rounds);
      const double ratio = results.Counter(name, "ratio");
      if (std::isnan(ratio))
        continue;
      std::printf("%-14s %10.2f %14.2f %8.3f %8.3f .. %-8.3f\n", what,
                  results.Counter(name, "a_ns") / Bins, results.Counter(name, "b_ns") / Bins, ratio,
                  results.Counter(name, "ratio_q1"), results.Counter(name, "ratio_q3"));
    }
  });
}
