#include "analysis/Fourier.h"

#include "support/DSupport.h"

#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

namespace duv {

namespace {

// The angle constant is deliberately this ten-digit literal rather than full
// 2 pi: every spectrum the program has ever shown was computed with it.
constexpr long double TwoPi10 = 6.283185308L;

// Twiddle factors of one size and direction, laid out stage after stage
// (L = 1, 2, 4, ...: L entries each) so the butterfly loop reads them in
// order. Each is computed once by the same formula the transform would use
// for every (stage, k) pair, in extended precision, rounded to double.
struct Twiddles
{
  std::vector<double> wr, wi;
};

Twiddles makeTwiddles(int N, bool inverse)
{
  Twiddles t;
  t.wr.reserve(N);
  t.wi.reserve(N);
  for (int L = 1; L < N; L *= 2) {
    const int S = 2 * L;
    for (int k = 0; k < L; ++k) {
      const long long m = (inverse ? 1LL : -1LL) * k * (N / S);
      // The cosine is taken as the negated sine a quarter period back;
      // multiplication before division, as the results depend on it.
      const long double a = (static_cast<long double>(m - N / 4) * TwoPi10) / N;
      const long double b = (static_cast<long double>(m) * TwoPi10) / N;
      t.wr.push_back(static_cast<double>(-std::sin(a)));
      t.wi.push_back(static_cast<double>(std::sin(b)));
    }
  }
  return t;
}

// One table per power of two and direction, built on first use. The
// transform is otherwise stateless; the lock keeps the cache safe should a
// worker thread ever transform too.
const Twiddles& twiddlesFor(int N, bool inverse)
{
  static std::mutex lock;
  static std::array<std::array<std::unique_ptr<Twiddles>, 2>, 32> cache;
  const int log2n = std::countr_zero(static_cast<unsigned>(N));
  std::lock_guard<std::mutex> guard(lock);
  auto& slot = cache[log2n][inverse ? 1 : 0];
  if (!slot)
    slot = std::make_unique<Twiddles>(makeTwiddles(N, inverse));
  return *slot;
}

} // namespace

void TFastFourier::Transform(double* Re, double* Im, int N, bool Inverse) const
{
  if (N < 2)
    return;

  // Bit-reversal permutation with a running counter: j walks through the
  // bit-reversed value of i, and each pair is exchanged once.
  int j = 0;
  for (int i = 1; i < N; ++i) {
    int M = N;
    do
      M /= 2;
    while (M + j > N - 1);
    j = (j % M) + M;
    if (j > i) {
      std::swap(Re[i], Re[j]);
      std::swap(Im[i], Im[j]);
    }
  }

  const Twiddles& tw = twiddlesFor(N, Inverse);
  const double* wrs = tw.wr.data();
  const double* wis = tw.wi.data();
  // Butterflies within a stage are independent, so each block of span S is
  // finished before the next: the data and the stage's twiddles are then read
  // in order, which keeps large frames in cache and lets the loop vectorise.
  // Every butterfly computes exactly the same expressions as it would in the
  // k-outer order.
  for (int L = 1; L < N; L *= 2) {
    const int S = 2 * L;
    const double* wr = wrs + (L - 1);
    const double* wi = wis + (L - 1);
    for (int base = 0; base < N; base += S) {
      double* __restrict reI = Re + base;
      double* __restrict imI = Im + base;
      double* __restrict reJ = Re + base + L;
      double* __restrict imJ = Im + base + L;
      for (int k = 0; k < L; ++k) {
        const double tr = wr[k] * reJ[k] - wi[k] * imJ[k];
        const double ti = wr[k] * imJ[k] + wi[k] * reJ[k];
        reJ[k] = reI[k] - tr;
        imJ[k] = imI[k] - ti;
        reI[k] = reI[k] + tr;
        imI[k] = imI[k] + ti;
      }
    }
  }
}

void TFastFourier::MagnitudeAndPhase(const double* Re, const double* Im, double* Mag,
                                     double* Phase, int N) const
{
  for (int i = 0; i < N; ++i) {
    const long double re = Re[i];
    const long double im = Im[i];
    Mag[i] = static_cast<double>(std::sqrt(re * re + im * im) / N);
    // A zero real part is nudged so the phase comes out as +-pi/2 or 0 by
    // the sign of the imaginary part.
    const long double x = (Re[i] == 0) ? 1e-300L : re;
    Phase[i] = static_cast<double>(FullArcTan(im, x));
  }
}

} // namespace duv
