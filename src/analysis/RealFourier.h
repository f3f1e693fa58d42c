// SPDX-License-Identifier: GPL-3.0-or-later
// The transform of real samples, for the batch paths (the command line and a
// whole file's spectrogram): bins 0 .. N/2 of N real values, at about half
// the cost of the complex transform fed zero imaginary parts. Its twiddles
// are exact to the last bit or so, so its results differ from
// TFastFourier's, whose ten-digit angle constant the window's values keep,
// by about 1e-9 of the largest bin.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace duv {

// Storage on cache-line boundaries, so that the transform's loads of eight
// doubles never straddle two lines.
template <class T> struct TLineAllocator
{
  using value_type = T;
  static constexpr std::align_val_t Line{64};
  TLineAllocator() = default;
  template <class U> TLineAllocator(const TLineAllocator<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), Line)); }
  void deallocate(T* p, std::size_t) { ::operator delete(p, Line); }
  template <class U> bool operator==(const TLineAllocator<U>&) const { return true; }
};
using TLineDoubles = std::vector<double, TLineAllocator<double>>;

struct TRealFourierPlan;

class TRealFourier
{
public:
  static constexpr int MaxSize = 1 << 20;

  // N a power of two from 2 to MaxSize; anything else throws
  // std::invalid_argument. The tables of a size are made once per process
  // and shared, also between threads; each object keeps working arrays of
  // its own, so one object serves one thread.
  explicit TRealFourier(int N);
  ~TRealFourier();
  TRealFourier(TRealFourier&&) noexcept;
  TRealFourier& operator=(TRealFourier&&) noexcept;

  int Size() const { return N; }

  // Re[k] + i Im[k] = sum of x[n] e^(-2 pi i kn/N) over n < N, for
  // k = 0 .. N/2 (N/2 + 1 values each; Im[0] and Im[N/2] are 0). x is only
  // read and must not overlap Re or Im. Nothing is divided by N.
  void Forward(const double* x, double* Re, double* Im);

  // Adds |X[k]|^2 to Power[k], k = 0 .. N/2, where X is the transform of
  // x[n] Window[n] (x alone when Window is null): the power spectrum of a
  // frame, windowed and summed on the way, for averaging frames.
  void AddPower(const double* x, const double* Window, double* Power);

private:
  void run(const double* x, const double* window, double* Re, double* Im, double* power);

  int N = 0;
  std::shared_ptr<const TRealFourierPlan> Plan;
  TLineDoubles Work; // the working arrays, real and imaginary parts
  std::size_t Offset[8] = {};
};

// cos(2 pi k / n) for k < n (n a power of two from 4), within about an ulp:
// one table per size, made once and shared. The windows of the batch paths
// are summed from it.
std::shared_ptr<const std::vector<double>> CosineTable(int n);

} // namespace duv
