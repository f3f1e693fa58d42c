// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Fourier.h"

#include "analysis/SpectrumMath.h"
#include "support/DSupport.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
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

unsigned reverseBits(unsigned x, int bits)
{
  unsigned r = 0;
  for (int i = 0; i < bits; ++i, x >>= 1)
    r = (r << 1) | (x & 1);
  return r;
}

// The bit-reversal permutation of one size. Small frames swap the pairs a
// running counter finds, in its order. From 4096 points on, pairs whose
// partners lie N/2, N/4, ... apart thrash the cache, so the array is moved in
// tiles instead: index i = (a, b, c) with a and c of TileBits bits reverses
// to (rev c, rev b, rev a), so tile b and tile rev b exchange their values
// through a small buffer, a few cache lines at a time. Both give the same
// permutation.
class BitReversal
{
public:
  explicit BitReversal(int N) : n(std::countr_zero(unsigned(N)))
  {
    if (n >= 3 * TileBits) {
      const int midBits = n - 2 * TileBits;
      for (unsigned i = 0; i < (1u << TileBits); ++i)
        revTile.push_back(int(reverseBits(i, TileBits)));
      for (unsigned i = 0; i < (1u << midBits); ++i)
        revMid.push_back(int(reverseBits(i, midBits)));
      return;
    }
    int j = 0;
    for (int i = 1; i < N; ++i) {
      int M = N;
      do
        M /= 2;
      while (M + j > N - 1);
      j = (j % M) + M;
      if (j > i)
        swaps.emplace_back(i, j);
    }
  }

  void apply(double* x) const
  {
    if (revMid.empty()) {
      for (const auto& [i, j] : swaps)
        std::swap(x[i], x[j]);
      return;
    }
    constexpr int Q = 1 << TileBits;
    const int rowStride = 1 << (n - TileBits);
    double t1[Q * Q], t2[Q * Q];
    for (int b = 0; b < int(revMid.size()); ++b) {
      const int b2 = revMid[b];
      if (b > b2)
        continue;
      double* base1 = x + (b << TileBits);
      double* base2 = x + (b2 << TileBits);
      for (int a = 0; a < Q; ++a)
        std::copy_n(base1 + a * rowStride, Q, t1 + a * Q);
      if (b2 != b)
        for (int a = 0; a < Q; ++a)
          std::copy_n(base2 + a * rowStride, Q, t2 + a * Q);
      const double* from2 = (b2 == b) ? t1 : t2;
      for (int a = 0; a < Q; ++a) {
        double* row = base1 + a * rowStride;
        for (int c = 0; c < Q; ++c)
          row[c] = from2[revTile[c] * Q + revTile[a]];
      }
      if (b2 != b)
        for (int a = 0; a < Q; ++a) {
          double* row = base2 + a * rowStride;
          for (int c = 0; c < Q; ++c)
            row[c] = t1[revTile[c] * Q + revTile[a]];
        }
    }
  }

private:
  static constexpr int TileBits = 4;
  int n;
  std::vector<std::pair<int, int>> swaps;
  std::vector<int> revTile, revMid;
};

const BitReversal& bitReversalFor(int N)
{
  static std::mutex lock;
  static std::array<std::unique_ptr<BitReversal>, 32> cache;
  const int log2n = std::countr_zero(static_cast<unsigned>(N));
  std::lock_guard<std::mutex> guard(lock);
  auto& slot = cache[log2n];
  if (!slot)
    slot = std::make_unique<BitReversal>(N);
  return *slot;
}

// Butterflies within a stage are independent, so they may run in any order
// as long as every butterfly computes exactly the same expressions as in the
// stage/k/position order; the results are then unchanged to the bit. The
// helpers below use that freedom to read data and twiddles in order (so the
// loops vectorise) and to stay in cache. All are built for AVX2 too where
// the processor has it (no fused multiply-add, which would change rounding).
#define DUV_FFT_CLONES __attribute__((target_clones("avx2", "default")))
// The loops over k touch disjoint quarters of a block, which the compiler
// cannot see for itself.
#if defined(__clang__)
#define DUV_INDEPENDENT_ITERATIONS _Pragma("clang loop vectorize(assume_safety)")
#elif defined(__GNUC__)
#define DUV_INDEPENDENT_ITERATIONS _Pragma("GCC ivdep")
#else
#define DUV_INDEPENDENT_ITERATIONS
#endif

// One butterfly: b is turned by the twiddle (wr, wi), then a, b := a + t, a - t.
inline __attribute__((always_inline)) void butterfly(double wr, double wi, double& ar, double& ai,
                                                     double& br, double& bi)
{
  const double tr = wr * br - wi * bi;
  const double ti = wr * bi + wi * br;
  br = ar - tr;
  bi = ai - ti;
  ar = ar + tr;
  ai = ai + ti;
}

// Stages L = 1 and L = 2 over n points, the factors held in registers.
DUV_FFT_CLONES void firstTwoStages(double* Re, double* Im, int n, const double* wrs,
                                   const double* wis)
{
  const double w0r = wrs[0], w0i = wis[0];
  for (int i = 0; i < n; i += 2)
    butterfly(w0r, w0i, Re[i], Im[i], Re[i + 1], Im[i + 1]);
  if (n < 4)
    return;
  const double w1r = wrs[1], w1i = wis[1], w2r = wrs[2], w2i = wis[2];
  for (int i = 0; i < n; i += 4) {
    butterfly(w1r, w1i, Re[i], Im[i], Re[i + 2], Im[i + 2]);
    butterfly(w2r, w2i, Re[i + 1], Im[i + 1], Re[i + 3], Im[i + 3]);
  }
}

// Stages L and 2L together over n points: each block of span 4L has its four
// values per k in registers for both stages, halving the passes over memory.
DUV_FFT_CLONES void stagePair(double* Re, double* Im, int n, int L, const double* wrs,
                              const double* wis)
{
  const double* wrA = wrs + (L - 1);
  const double* wiA = wis + (L - 1);
  const double* wrB = wrs + (2 * L - 1);
  const double* wiB = wis + (2 * L - 1);
  for (int base = 0; base < n; base += 4 * L) {
    double* r0 = Re + base;
    double* i0 = Im + base;
    double* r1 = r0 + L;
    double* i1 = i0 + L;
    double* r2 = r0 + 2 * L;
    double* i2 = i0 + 2 * L;
    double* r3 = r0 + 3 * L;
    double* i3 = i0 + 3 * L;
    DUV_INDEPENDENT_ITERATIONS
    for (int k = 0; k < L; ++k) {
      double a0r = r0[k], a0i = i0[k], a1r = r1[k], a1i = i1[k];
      double a2r = r2[k], a2i = i2[k], a3r = r3[k], a3i = i3[k];
      // Stage L: pairs (0,1) and (2,3), both with twiddle k.
      butterfly(wrA[k], wiA[k], a0r, a0i, a1r, a1i);
      butterfly(wrA[k], wiA[k], a2r, a2i, a3r, a3i);
      // Stage 2L: pairs (0,2) with twiddle k, (1,3) with twiddle k + L.
      butterfly(wrB[k], wiB[k], a0r, a0i, a2r, a2i);
      butterfly(wrB[k + L], wiB[k + L], a1r, a1i, a3r, a3i);
      r0[k] = a0r;
      i0[k] = a0i;
      r1[k] = a1r;
      i1[k] = a1i;
      r2[k] = a2r;
      i2[k] = a2i;
      r3[k] = a3r;
      i3[k] = a3i;
    }
  }
}

// The last stage, L = N / 2, when it is left over from the pairing.
DUV_FFT_CLONES void lastStage(double* Re, double* Im, int L, const double* wrs, const double* wis)
{
  const double* wr = wrs + (L - 1);
  const double* wi = wis + (L - 1);
  double* reJ = Re + L;
  double* imJ = Im + L;
  DUV_INDEPENDENT_ITERATIONS
  for (int k = 0; k < L; ++k) {
    double ar = Re[k], ai = Im[k], br = reJ[k], bi = imJ[k];
    butterfly(wr[k], wi[k], ar, ai, br, bi);
    Re[k] = ar;
    Im[k] = ai;
    reJ[k] = br;
    imJ[k] = bi;
  }
}

// Points per block for the early stages: re and im of a block fit in L1.
constexpr int CacheBlock = 1024;

void butterflies(double* Re, double* Im, int N, const double* wrs, const double* wis)
{
  // The early stages only mix points within blocks, so each block goes
  // through all of them while it is in cache.
  const int block = std::min(N, CacheBlock);
  int L = 4;
  for (int b = 0; b < N; b += block) {
    firstTwoStages(Re + b, Im + b, block, wrs, wis);
    for (L = 4; 4 * L <= block; L *= 4)
      stagePair(Re + b, Im + b, block, L, wrs, wis);
  }
  for (; 2 * L < N; L *= 4)
    stagePair(Re, Im, N, L, wrs, wis);
  if (L < N)
    lastStage(Re, Im, L, wrs, wis);
}

} // namespace

void TFastFourier::Transform(double* Re, double* Im, int N, bool Inverse) const
{
  // Any other size would run the butterflies past the arrays' ends, and its
  // tables would be cached under a power of two's slot.
  if (N < 2 || N > MaxTransformSize || !std::has_single_bit(static_cast<unsigned>(N)))
    throw std::invalid_argument("Fourier transform size " + std::to_string(N) +
                                " is not a power of two from 2 to " +
                                std::to_string(MaxTransformSize));
  const BitReversal& reversal = bitReversalFor(N);
  reversal.apply(Re);
  reversal.apply(Im);
  const Twiddles& tw = twiddlesFor(N, Inverse);
  butterflies(Re, Im, N, tw.wr.data(), tw.wi.data());
}

void TFastFourier::Magnitude(const double* Re, const double* Im, double* Mag, int N) const
{
  Magnitudes(Re, Im, Mag, N);
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
