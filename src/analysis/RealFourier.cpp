// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RealFourier.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <string>

namespace duv {

// How it works: the N real samples are read as M = N/2 complex ones, z[j] =
// x[2j] + i x[2j+1], whose transform Z a complex FFT of M points gives; one
// last pass splits it into the spectra of the even and the odd samples,
// E[k] = (Z[k] + conj Z[M-k]) / 2 and O[k] = (Z[k] - conj Z[M-k]) / 2i, and
// joins them: X[k] = E[k] + e^(-2 pi i k/N) O[k].
//
// The complex FFTs are self-sorting (Stockham) ones of radix 4, the last
// pass of an odd power of two of radix 8: every pass reads one array and
// writes another in natural order, so there is no bit-reversal permutation
// to pay for. Pass by pass, with n the length of the sub-transforms (the
// whole length first) and s their stride,
//   y[q + s(4p + j)] = w^(jp) DFT4(x[q + s(p + l n/4)], l = 0 .. 3)[j],
// w = e^(-2 pi i/n), for p < n/4 and q < s; the last pass has p = 0 alone,
// so no twiddles. Each element x[.] may be a run of lanes, independent
// transforms side by side, which the loops run through four or eight at a
// time.
//
// A small M is one such FFT, in which neighbouring points serve as the
// lanes once s reaches 4; the first pass (s = 1) runs four p at a time
// instead and transposes its 4 x 4 results on the way out. From 1024 points,
// where those passes would each stream the arrays through the second-level
// cache, M is split into R x C (R the smaller power of two) so that every
// transform stays in the first-level cache: with j = C j1 + j2 and
// k = k1 + R k2,
//   1. for each column j2, an R-point FFT over j1 (eight columns at a time,
//      as lanes), times e^(-2 pi i j2 k1 / M), stored transposed;
//   2. for each k1, a C-point FFT over j2 (eight k1 at a time), giving
//      Z[k1 + R k2].
// Between the steps the values lie in blocks of eight k1 by all j2, one
// block after the other: step 2 reads and writes each block whole, and
// the split reads Z from them.

namespace {

// Four doubles, and eight for the processors with 512-bit registers; the
// loops are written in these, so that one source serves an AVX-512, an AVX2
// and a plain SSE2 build (the vectors in halves or quarters).
using V = double __attribute__((vector_size(32)));
using V8 = double __attribute__((vector_size(64)));

#define DUV_INLINE inline __attribute__((always_inline))
// Loops of a fixed few turns, unrolled so that their values stay in
// registers.
#define DUV_UNROLL _Pragma("GCC unroll 4")

template <class T> constexpr int Width = int(sizeof(T) / sizeof(double));

template <class T = V> DUV_INLINE T load(const double* p)
{
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T> DUV_INLINE void store(double* p, T v)
{
  std::memcpy(p, &v, sizeof v);
}

template <class T = V> DUV_INLINE T splat(double x)
{
  return T{} + x;
}

DUV_INLINE V reversed(V v)
{
  return __builtin_shufflevector(v, v, 3, 2, 1, 0);
}

DUV_INLINE V8 reversed(V8 v)
{
  return __builtin_shufflevector(v, v, 7, 6, 5, 4, 3, 2, 1, 0);
}

// The real and the imaginary parts of pairs of reals.
DUV_INLINE V evens(V a, V b)
{
  return __builtin_shufflevector(a, b, 0, 2, 4, 6);
}

DUV_INLINE V odds(V a, V b)
{
  return __builtin_shufflevector(a, b, 1, 3, 5, 7);
}

DUV_INLINE V8 evens(V8 a, V8 b)
{
  return __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
}

DUV_INLINE V8 odds(V8 a, V8 b)
{
  return __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15);
}

// Lanes l of a run of values at M-k-l, from the runs that hold M-k-W ..
// M-k-1 (a) and M-k .. M-k+W-1 (b), W the width.
DUV_INLINE V mirrored(V a, V b)
{
  return __builtin_shufflevector(a, b, 4, 3, 2, 1);
}

DUV_INLINE V8 mirrored(V8 a, V8 b)
{
  return __builtin_shufflevector(a, b, 8, 7, 6, 5, 4, 3, 2, 1);
}

// Complex values, a vector at a time.
template <class T> struct CT
{
  T r, i;
};
using C = CT<V>;

template <class T> DUV_INLINE CT<T> operator+(CT<T> a, CT<T> b)
{
  return {a.r + b.r, a.i + b.i};
}
template <class T> DUV_INLINE CT<T> operator-(CT<T> a, CT<T> b)
{
  return {a.r - b.r, a.i - b.i};
}
template <class T> DUV_INLINE CT<T> times(CT<T> a, T wr, T wi)
{
  return {a.r * wr - a.i * wi, a.r * wi + a.i * wr};
}
// a times -i.
template <class T> DUV_INLINE CT<T> timesMinusI(CT<T> a)
{
  return {a.i, -a.r};
}

template <class T = V> DUV_INLINE CT<T> loadC(const double* re, const double* im, std::ptrdiff_t at)
{
  return {load<T>(re + at), load<T>(im + at)};
}

template <class T> DUV_INLINE void storeC(double* re, double* im, std::ptrdiff_t at, CT<T> v)
{
  store(re + at, v.r);
  store(im + at, v.i);
}

// Complex values j .. j+3 from the pairs of reals at x + at, at = 2j, each
// real first multiplied by its window coefficient when there is a window.
template <bool Windowed, class T = V>
DUV_INLINE CT<T> loadPairs(const double* x, const double* w, std::ptrdiff_t at)
{
  constexpr int W = Width<T>;
  T lo = load<T>(x + at), hi = load<T>(x + at + W);
  if constexpr (Windowed) {
    lo *= load<T>(w + at);
    hi *= load<T>(w + at + W);
  }
  return {evens(lo, hi), odds(lo, hi)};
}

// The 4-point DFT of a, b, c, d.
template <class T>
DUV_INLINE void dft4(CT<T> a, CT<T> b, CT<T> c, CT<T> d, CT<T>& y0, CT<T>& y1, CT<T>& y2, CT<T>& y3)
{
  const CT<T> apc = a + c, amc = a - c, bpd = b + d, bmd = timesMinusI(b - d);
  y0 = apc + bpd;
  y1 = amc + bmd;
  y2 = apc - bpd;
  y3 = amc - bmd;
}

// Rows a, b, c, d of a 4 x 4 block become its columns.
DUV_INLINE void transpose(V& a, V& b, V& c, V& d)
{
  const V t0 = __builtin_shufflevector(a, b, 0, 4, 2, 6);
  const V t1 = __builtin_shufflevector(a, b, 1, 5, 3, 7);
  const V t2 = __builtin_shufflevector(c, d, 0, 4, 2, 6);
  const V t3 = __builtin_shufflevector(c, d, 1, 5, 3, 7);
  a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
  b = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
  c = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
  d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

// Built for AVX2 with fused multiply-add where the processor has it. Each
// such function only calls an inlined body: clang refuses vector arguments
// passed in the function's own body when building it for plain SSE2.
#define DUV_REAL_FFT_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))

// Lanes of the steps of a two-level FFT: eight transforms side by side.
constexpr int Lanes = 8, ColumnLanes = Lanes;

// Where one pass reads and writes: element e of the input starts at
// in + e * inStep, of the output at out + e * outStep (in doubles); each
// holds Lanes doubles.
struct TPassIo
{
  const double *inRe, *inIm;
  std::ptrdiff_t inStep;
  double *outRe, *outIm;
  std::ptrdiff_t outStep;
};

// A radix-4 pass of sub-transforms of n points at stride s (in elements);
// tw holds w^p, w^2p, w^3p for p < n/4, real then imaginary parts.
template <int Lanes, class T>
DUV_INLINE void radix4(const TPassIo& io, int n, int s, const double* tw)
{
  const int m = n / 4;
  const std::ptrdiff_t quarter = std::ptrdiff_t(m) * s * io.inStep;
  const std::ptrdiff_t outS = std::ptrdiff_t(s) * io.outStep;
  if (m == 1) {
    for (int q = 0; q < s; ++q) {
      const double* ar = io.inRe + q * io.inStep;
      const double* ai = io.inIm + q * io.inStep;
      double* br = io.outRe + q * io.outStep;
      double* bi = io.outIm + q * io.outStep;
      DUV_UNROLL
      for (int v = 0; v < Lanes; v += Width<T>) {
        CT<T> y0, y1, y2, y3;
        dft4(loadC<T>(ar, ai, v), loadC<T>(ar, ai, v + quarter), loadC<T>(ar, ai, v + 2 * quarter),
             loadC<T>(ar, ai, v + 3 * quarter), y0, y1, y2, y3);
        storeC(br, bi, v, y0);
        storeC(br, bi, v + outS, y1);
        storeC(br, bi, v + 2 * outS, y2);
        storeC(br, bi, v + 3 * outS, y3);
      }
    }
    return;
  }
  for (int p = 0; p < m; ++p) {
    const T w1r = splat<T>(tw[p]), w1i = splat<T>(tw[m + p]), w2r = splat<T>(tw[2 * m + p]),
            w2i = splat<T>(tw[3 * m + p]), w3r = splat<T>(tw[4 * m + p]),
            w3i = splat<T>(tw[5 * m + p]);
    for (int q = 0; q < s; ++q) {
      const double* ar = io.inRe + (std::ptrdiff_t(s) * p + q) * io.inStep;
      const double* ai = io.inIm + (std::ptrdiff_t(s) * p + q) * io.inStep;
      double* br = io.outRe + (std::ptrdiff_t(s) * 4 * p + q) * io.outStep;
      double* bi = io.outIm + (std::ptrdiff_t(s) * 4 * p + q) * io.outStep;
      DUV_UNROLL
      for (int v = 0; v < Lanes; v += Width<T>) {
        CT<T> y0, y1, y2, y3;
        dft4(loadC<T>(ar, ai, v), loadC<T>(ar, ai, v + quarter), loadC<T>(ar, ai, v + 2 * quarter),
             loadC<T>(ar, ai, v + 3 * quarter), y0, y1, y2, y3);
        storeC(br, bi, v, y0);
        storeC(br, bi, v + outS, times(y1, w1r, w1i));
        storeC(br, bi, v + 2 * outS, times(y2, w2r, w2i));
        storeC(br, bi, v + 3 * outS, times(y3, w3r, w3i));
      }
    }
  }
}

// The radix-8 last pass (n = 8, p = 0) of an odd power of two: two 4-point
// DFTs of the even and the odd inputs, joined through e^(-2 pi i k/8).
template <int Lanes, class T> DUV_INLINE void radix8(const TPassIo& io, int s)
{
  const std::ptrdiff_t eighth = std::ptrdiff_t(s) * io.inStep;
  const std::ptrdiff_t outS = std::ptrdiff_t(s) * io.outStep;
  const T r = splat<T>(std::numbers::sqrt2 / 2);
  for (int q = 0; q < s; ++q) {
    const double* ar = io.inRe + q * io.inStep;
    const double* ai = io.inIm + q * io.inStep;
    double* br = io.outRe + q * io.outStep;
    double* bi = io.outIm + q * io.outStep;
    DUV_UNROLL
    for (int v = 0; v < Lanes; v += Width<T>) {
      CT<T> e0, e1, e2, e3, o0, o1, o2, o3;
      dft4(loadC<T>(ar, ai, v), loadC<T>(ar, ai, v + 2 * eighth), loadC<T>(ar, ai, v + 4 * eighth),
           loadC<T>(ar, ai, v + 6 * eighth), e0, e1, e2, e3);
      dft4(loadC<T>(ar, ai, v + eighth), loadC<T>(ar, ai, v + 3 * eighth),
           loadC<T>(ar, ai, v + 5 * eighth), loadC<T>(ar, ai, v + 7 * eighth), o0, o1, o2, o3);
      // o1 (1 - i)/sqrt 2, o2 (-i), o3 (-1 - i)/sqrt 2.
      o1 = {r * (o1.r + o1.i), r * (o1.i - o1.r)};
      o2 = timesMinusI(o2);
      o3 = {r * (o3.i - o3.r), -r * (o3.r + o3.i)};
      storeC(br, bi, v, e0 + o0);
      storeC(br, bi, v + outS, e1 + o1);
      storeC(br, bi, v + 2 * outS, e2 + o2);
      storeC(br, bi, v + 3 * outS, e3 + o3);
      storeC(br, bi, v + 4 * outS, e0 - o0);
      storeC(br, bi, v + 5 * outS, e1 - o1);
      storeC(br, bi, v + 6 * outS, e2 - o2);
      storeC(br, bi, v + 7 * outS, e3 - o3);
    }
  }
}

// One pass of a plan: radix 4, or the last pass of radix 8.
template <int Lanes, class T = V>
DUV_INLINE void pass(const TPassIo& io, int n, int s, const double* tw)
{
  if (n == 8 && !tw)
    radix8<Lanes, T>(io, s);
  else
    radix4<Lanes, T>(io, n, s, tw);
}

DUV_REAL_FFT_CLONES void pass4(const TPassIo& io, int n, int s, const double* tw)
{
  pass<4>(io, n, s, tw);
}

DUV_REAL_FFT_CLONES void pass8(const TPassIo& io, int n, int s, const double* tw)
{
  pass<8>(io, n, s, tw);
}

__attribute__((target("arch=x86-64-v4"))) void pass8Wide(const TPassIo& io, int n, int s,
                                                         const double* tw)
{
  pass<8, V8>(io, n, s, tw);
}

// The first pass of a one-level FFT of M points (n = M, s = 1), read from
// pairs of reals (through the window w, if any): four p at a time, its
// results transposed on the way out.
template <bool Windowed>
DUV_INLINE void firstPassOf(const double* x, const double* w, double* yr, double* yi, int M,
                            const double* tw)
{
  const int m = M / 4;
  const double *w1r = tw, *w1i = tw + m, *w2r = tw + 2 * m, *w2i = tw + 3 * m, *w3r = tw + 4 * m,
               *w3i = tw + 5 * m;
  for (int p = 0; p < m; p += 4) {
    C y0, y1, y2, y3;
    dft4(loadPairs<Windowed>(x, w, 2 * p), loadPairs<Windowed>(x, w, 2 * (p + m)),
         loadPairs<Windowed>(x, w, 2 * (p + 2 * m)), loadPairs<Windowed>(x, w, 2 * (p + 3 * m)), y0,
         y1, y2, y3);
    y1 = times(y1, load(w1r + p), load(w1i + p));
    y2 = times(y2, load(w2r + p), load(w2i + p));
    y3 = times(y3, load(w3r + p), load(w3i + p));
    transpose(y0.r, y1.r, y2.r, y3.r);
    transpose(y0.i, y1.i, y2.i, y3.i);
    storeC(yr, yi, 4 * p, y0);
    storeC(yr, yi, 4 * p + 4, y1);
    storeC(yr, yi, 4 * p + 8, y2);
    storeC(yr, yi, 4 * p + 12, y3);
  }
}

DUV_REAL_FFT_CLONES void firstPass(const double* x, const double* w, double* yr, double* yi, int M,
                                   const double* tw)
{
  w ? firstPassOf<true>(x, w, yr, yi, M, tw) : firstPassOf<false>(x, w, yr, yi, M, tw);
}

// Step 1's first pass for columns c0 .. c0+7 (n = R, s = 1): column j2
// holds z[C j1 + j2], read from pairs of reals (through the window w, if
// any).
template <bool Windowed, class T>
DUV_INLINE void columnsFirstPassOf(const double* x, const double* w, int Cols, int c0, int R,
                                   double* yr, double* yi, const double* tw)
{
  constexpr int W = Width<T>;
  const int m = R / 4;
  const std::ptrdiff_t quarter = 2 * std::ptrdiff_t(m) * Cols;
  for (int p = 0; p < m; ++p) {
    const T w1r = splat<T>(tw[p]), w1i = splat<T>(tw[m + p]), w2r = splat<T>(tw[2 * m + p]),
            w2i = splat<T>(tw[3 * m + p]), w3r = splat<T>(tw[4 * m + p]),
            w3i = splat<T>(tw[5 * m + p]);
    const std::ptrdiff_t a = 2 * (std::ptrdiff_t(Cols) * p + c0);
    double* br = yr + 4 * p * ColumnLanes;
    double* bi = yi + 4 * p * ColumnLanes;
    DUV_UNROLL
    for (int v = 0; v < ColumnLanes; v += W) {
      CT<T> y0, y1, y2, y3;
      dft4(loadPairs<Windowed, T>(x, w, a + 2 * v),
           loadPairs<Windowed, T>(x, w, a + 2 * v + quarter),
           loadPairs<Windowed, T>(x, w, a + 2 * v + 2 * quarter),
           loadPairs<Windowed, T>(x, w, a + 2 * v + 3 * quarter), y0, y1, y2, y3);
      storeC(br, bi, v, y0);
      storeC(br, bi, v + ColumnLanes, times(y1, w1r, w1i));
      storeC(br, bi, v + 2 * ColumnLanes, times(y2, w2r, w2i));
      storeC(br, bi, v + 3 * ColumnLanes, times(y3, w3r, w3i));
    }
  }
}

DUV_REAL_FFT_CLONES void columnsFirstPass(const double* x, const double* w, int Cols, int c0, int R,
                                          double* yr, double* yi, const double* tw)
{
  w ? columnsFirstPassOf<true, V>(x, w, Cols, c0, R, yr, yi, tw)
    : columnsFirstPassOf<false, V>(x, w, Cols, c0, R, yr, yi, tw);
}

__attribute__((target("arch=x86-64-v4"))) void columnsFirstPassWide(const double* x,
                                                                    const double* w, int Cols,
                                                                    int c0, int R, double* yr,
                                                                    double* yi, const double* tw)
{
  w ? columnsFirstPassOf<true, V8>(x, w, Cols, c0, R, yr, yi, tw)
    : columnsFirstPassOf<false, V8>(x, w, Cols, c0, R, yr, yi, tw);
}

// The blocked layout of the two-level FFT, between its steps: Z[k1 + R k2]
// lies in block k1 / 8 (Block doubles apart), row k2, lane k1 % 8.
struct TBlocked
{
  int Shift = 0; // log2 R
  std::ptrdiff_t Block = 0;
};

// The end of step 1 for columns c0 .. c0+7: element k1 of the local result,
// times e^(-2 pi i j2 k1/M), into the blocked layout at row j2, lane k1.
// base holds e^(-2 pi i c k1/M) for c = c0, c0 + 4 (per k1), lane a factor
// e^(-2 pi i l k1/M) for l < 4 (four per k1).
DUV_INLINE void storeColumnsOf(const double* lr, const double* li, int R, int c0, double* Ar,
                               double* Ai, std::ptrdiff_t Block, const double* baseRe,
                               const double* baseIm, const double* laneRe, const double* laneIm)
{
  for (int v = 0; v < ColumnLanes; v += 4) {
    const double* bRe = baseRe + std::ptrdiff_t(c0 + v) / 4 * R;
    const double* bIm = baseIm + std::ptrdiff_t(c0 + v) / 4 * R;
    for (int k = 0; k < R; k += 4) {
      C y[4];
      DUV_UNROLL
      for (int i = 0; i < 4; ++i) {
        const int k1 = k + i;
        const V ur = load(laneRe + 4 * k1), ui = load(laneIm + 4 * k1);
        const V sr = splat(bRe[k1]), si = splat(bIm[k1]);
        y[i] = times(loadC(lr, li, k1 * ColumnLanes + v), ur * sr - ui * si, ur * si + ui * sr);
      }
      transpose(y[0].r, y[1].r, y[2].r, y[3].r);
      transpose(y[0].i, y[1].i, y[2].i, y[3].i);
      // Rows c0 + v + l, lanes k .. k+3.
      const std::ptrdiff_t at = (k / Lanes) * Block + (c0 + v) * Lanes + k % Lanes;
      DUV_UNROLL
      for (int l = 0; l < 4; ++l)
        storeC(Ar, Ai, at + l * Lanes, y[l]);
    }
  }
}

DUV_REAL_FFT_CLONES void storeColumns(const double* lr, const double* li, int R, int c0, double* Ar,
                                      double* Ai, std::ptrdiff_t Block, const double* baseRe,
                                      const double* baseIm, const double* laneRe,
                                      const double* laneIm)
{
  storeColumnsOf(lr, li, R, c0, Ar, Ai, Block, baseRe, baseIm, laneRe, laneIm);
}

// Z (of M values, where `at` says) to X, or to |X|^2 added to power when
// Power; w holds e^(-2 pi i k/N) / 2 for k < M/2, real parts then imaginary
// parts.
// One step of the split, for X[k .. k+W-1] and X[M-k-W+1 .. M-k]: Z[k ..]
// lies at z, Z[M-k-W .. M-k-1] at a and Z[M-k .. M-k+W-1] at b (Z[M] is
// Z[0]). w holds e^(-2 pi i k/N) / 2 for k < M/2, real parts then
// imaginary parts. With Power, |X|^2 is added to power instead.
template <bool Power, class T>
DUV_INLINE void splitStep(const double* zr, const double* zi, int k, std::ptrdiff_t z,
                          std::ptrdiff_t a, std::ptrdiff_t b, double* re, double* im, double* power,
                          int M, const double* w)
{
  constexpr int W = Width<T>;
  const T half = splat<T>(0.5);
  const int mirror = M - k - (W - 1);
  const CT<T> zk = loadC<T>(zr, zi, z);
  // Lanes l hold Z[M-k-l].
  const CT<T> zm{mirrored(load<T>(zr + a), load<T>(zr + b)),
                 mirrored(load<T>(zi + a), load<T>(zi + b))};
  // 2E = Z[k] + conj Z[M-k]; 2O = (Z[k] - conj Z[M-k]) / i; t = wO.
  const T er = zk.r + zm.r, ei = zk.i - zm.i;
  const CT<T> t = times(CT<T>{zk.i + zm.i, zm.r - zk.r}, load<T>(w + k), load<T>(w + M / 2 + k));
  // X[k] = E + wO; X[M-k] = conj(E - wO).
  const CT<T> x{half * er + t.r, half * ei + t.i};
  const T xmr = half * er - t.r, xmi = t.i - half * ei;
  if constexpr (Power) {
    store(power + k, load<T>(power + k) + x.r * x.r + x.i * x.i);
    store(power + mirror, load<T>(power + mirror) + reversed(xmr * xmr + xmi * xmi));
  } else {
    storeC(re, im, k, x);
    store(re + mirror, reversed(xmr));
    store(im + mirror, reversed(xmi));
  }
}

// X[M/2] = conj Z[M/2], found at z; X[0] and X[M] are real.
template <bool Power>
DUV_INLINE void splitMiddle(const double* zr, const double* zi, std::ptrdiff_t z, double* re,
                            double* im, double* power, int M)
{
  const double cr = zr[z], ci = -zi[z];
  if constexpr (Power) {
    power[M / 2] += cr * cr + ci * ci;
  } else {
    re[M / 2] = cr;
    im[M / 2] = ci;
    im[0] = 0;
    im[M] = 0;
  }
}

// Z in order to X.
template <bool Power, class T>
DUV_INLINE void splitInOrderOf(const double* zr, const double* zi, double* re, double* im,
                               double* power, int M, const double* w)
{
  constexpr int W = Width<T>;
  for (int k = 0; k < M / 2; k += W)
    splitStep<Power, T>(zr, zi, k, k, M - k - W, (M - k) & (M - 1), re, im, power, M, w);
  splitMiddle<Power>(zr, zi, M / 2, re, im, power, M);
}

// Z in the blocked layout to X. Row by row (k2), where Z[k1 + R k2] lies at
// block k1 / 8, row k2, lane k1 % 8; its mirror M - k lies in row C-1-k2
// (row C-k2 when k1 is 0).
template <bool Power, class T>
DUV_INLINE void splitBlockedOf(const double* zr, const double* zi, TBlocked layout, double* re,
                               double* im, double* power, int M, const double* w)
{
  constexpr int W = Width<T>;
  const int R = 1 << layout.Shift, C = M >> layout.Shift;
  const auto at = [&](int k1, int k2) {
    return (k1 / Lanes) * layout.Block + std::ptrdiff_t(k2) * Lanes + k1 % Lanes;
  };
  for (int k2 = 0; k2 < C / 2; ++k2)
    for (int k1 = 0; k1 < R; k1 += W)
      splitStep<Power, T>(zr, zi, k2 * R + k1, at(k1, k2), at(R - W - k1, C - 1 - k2),
                          k1 == 0 ? at(0, (C - k2) & (C - 1)) : at(R - k1, C - 1 - k2), re, im,
                          power, M, w);
  splitMiddle<Power>(zr, zi, at(0, C / 2), re, im, power, M);
}

template <class T>
DUV_INLINE void splitInOrderAny(const double* zr, const double* zi, double* re, double* im,
                                double* power, int M, const double* w)
{
  power ? splitInOrderOf<true, T>(zr, zi, re, im, power, M, w)
        : splitInOrderOf<false, T>(zr, zi, re, im, power, M, w);
}

template <class T>
DUV_INLINE void splitBlockedAny(const double* zr, const double* zi, TBlocked at, double* re,
                                double* im, double* power, int M, const double* w)
{
  power ? splitBlockedOf<true, T>(zr, zi, at, re, im, power, M, w)
        : splitBlockedOf<false, T>(zr, zi, at, re, im, power, M, w);
}

DUV_REAL_FFT_CLONES void splitInOrder(const double* zr, const double* zi, double* re, double* im,
                                      double* power, int M, const double* w)
{
  splitInOrderAny<V>(zr, zi, re, im, power, M, w);
}

DUV_REAL_FFT_CLONES void splitBlocked(const double* zr, const double* zi, TBlocked at, double* re,
                                      double* im, double* power, int M, const double* w)
{
  splitBlockedAny<V>(zr, zi, at, re, im, power, M, w);
}

__attribute__((target("arch=x86-64-v4"))) void splitInOrderWide(const double* zr, const double* zi,
                                                                double* re, double* im,
                                                                double* power, int M,
                                                                const double* w)
{
  splitInOrderAny<V8>(zr, zi, re, im, power, M, w);
}

__attribute__((target("arch=x86-64-v4"))) void splitBlockedWide(const double* zr, const double* zi,
                                                                TBlocked at, double* re, double* im,
                                                                double* power, int M,
                                                                const double* w)
{
  splitBlockedAny<V8>(zr, zi, at, re, im, power, M, w);
}

// The kernels for this processor: in 512-bit registers, where it has them,
// those that run eight lanes at a time.
struct TKernels
{
  void (*Lanes)(const TPassIo&, int, int, const double*);
  decltype(&columnsFirstPass) Columns;
  decltype(&splitInOrder) SplitInOrder;
  decltype(&splitBlocked) SplitBlocked;
};

const TKernels& kernels()
{
  // The features of x86-64-v4, asked one by one: not every compiler knows
  // the level's name here.
  static const bool wide = __builtin_cpu_supports("avx512f") &&
                           __builtin_cpu_supports("avx512bw") &&
                           __builtin_cpu_supports("avx512cd") &&
                           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  static const TKernels chosen =
      wide ? TKernels{pass8Wide, columnsFirstPassWide, splitInOrderWide, splitBlockedWide}
           : TKernels{pass8, columnsFirstPass, splitInOrder, splitBlocked};
  return chosen;
}

// The direct sum, for the few sizes too small for four points at a time.
void directTransform(const double* x, double* re, double* im, int N, const double* cosN)
{
  for (int k = 0; k <= N / 2; ++k) {
    double sr = 0, si = 0;
    for (int n = 0; n < N; ++n) {
      const int a = int((std::int64_t(k) * n) % N);
      // e^(-i t) = cos t - i sin t, sin t = cos(t - pi/2).
      sr += x[n] * cosN[a];
      si -= x[n] * cosN[(a + 3 * N / 4) % N];
    }
    re[k] = sr;
    im[k] = si;
  }
  im[0] = 0;
  im[N / 2] = 0;
}

std::shared_ptr<const std::vector<double>> makeCosineTable(int n)
{
  auto table = std::make_shared<std::vector<double>>(std::size_t(n));
  std::vector<double>& c = *table;
  const int quarter = n / 4, eighth = n / 8;
  // cos and sin over the first eighth of the circle, the rest by symmetry:
  // the angle is pi k / (n/2), exact but for pi's own rounding.
  std::vector<double> s(std::size_t(quarter + 1));
  for (int k = 0; k <= eighth; ++k) {
    const double t = std::numbers::pi * k / (n / 2);
    c[std::size_t(k)] = std::cos(t);
    s[std::size_t(k)] = std::sin(t);
  }
  for (int k = eighth + 1; k <= quarter; ++k) {
    c[std::size_t(k)] = s[std::size_t(quarter - k)];
    s[std::size_t(k)] = c[std::size_t(quarter - k)];
  }
  c[std::size_t(quarter)] = 0; // exact
  for (int k = 1; k < quarter; ++k)
    c[std::size_t(quarter + k)] = -s[std::size_t(k)];
  for (int k = 0; k < n / 2; ++k)
    c[std::size_t(n / 2 + k)] = -c[std::size_t(k)];
  return table;
}

// One slot per power of two, filled on first use.
template <class T> class TCache
{
public:
  template <class Make> std::shared_ptr<const T> Get(int n, Make make)
  {
    const std::lock_guard guard(Lock);
    auto& slot = Slots[std::size_t(std::countr_zero(unsigned(n)))];
    if (!slot)
      slot = make(n);
    return slot;
  }

private:
  std::mutex Lock;
  std::array<std::shared_ptr<const T>, 32> Slots;
};

// The twiddle offset of a pass that needs none.
constexpr std::size_t NoTwiddles = std::size_t(-1);

// The passes of a Stockham FFT of L points: length and stride of the
// sub-transforms, and where their twiddles start.
struct TStockham
{
  struct Pass
  {
    int n, s;
    std::size_t at;
  };
  std::vector<Pass> Passes;
  TLineDoubles Twiddles;

  const double* At(const Pass& pass) const
  {
    return pass.at == NoTwiddles ? nullptr : Twiddles.data() + pass.at;
  }
};

// The largest block of step 2 (doubles per part) that goes through two
// small pairs rather than being copied back: 8 KiB, so that three pairs fit
// the first-level cache.
constexpr int ChainedBlockUpTo = 1024;

// Sizes from which M is split in two levels.
constexpr int TwoLevelsFrom = 1024;

} // namespace

struct TRealFourierPlan
{
  int N = 0, M = 0;
  std::shared_ptr<const std::vector<double>> Cos; // cos(2 pi k/N), k < N
  // One level: the FFT of M. Two: R x C, with the FFTs of R and C, the
  // twiddles between the steps, and the blocks of the layout of A and Z.
  int R = 0, Cols = 0;
  TBlocked Layout;
  TLineDoubles Split; // e^(-2 pi i k/N) / 2, k < M/2: real parts, imaginary parts
  TStockham FftM, FftR, FftC;
  TLineDoubles BaseRe, BaseIm, LaneRe, LaneIm;

  // e^(-2 pi i k/N).
  double Re(std::int64_t k) const { return (*Cos)[std::size_t(k % N)]; }
  double Im(std::int64_t k) const { return -(*Cos)[std::size_t((k + 3 * N / 4) % N)]; }

  // Radix 4 throughout, but for an odd power of two the last pass is of
  // radix 8 (needing no twiddles); L is a power of two from 16.
  TStockham stockham(int L) const
  {
    TStockham f;
    for (int n = L, s = 1; n > 1;) {
      const bool odd = std::countr_zero(unsigned(n)) % 2 != 0;
      const int radix = n == 8 && odd ? 8 : 4;
      f.Passes.push_back({n, s, radix == 4 ? f.Twiddles.size() : NoTwiddles});
      if (radix == 4) {
        // w^(jp) = e^(-2 pi i jp/n) = e^(-2 pi i jp (N/n)/N).
        const int m = n / 4;
        const std::int64_t step = N / n;
        for (int j = 1; j <= 3; ++j) {
          for (int p = 0; p < m; ++p)
            f.Twiddles.push_back(Re(j * p * step));
          for (int p = 0; p < m; ++p)
            f.Twiddles.push_back(Im(j * p * step));
        }
      }
      s *= radix;
      n /= radix;
    }
    return f;
  }

  explicit TRealFourierPlan(int n) : N(n), M(n / 2), Cos(CosineTable(n))
  {
    if (M < 16)
      return;
    for (int k = 0; k < M / 2; ++k)
      Split.push_back(Re(k) / 2);
    for (int k = 0; k < M / 2; ++k)
      Split.push_back(Im(k) / 2);
    if (M < TwoLevelsFrom) {
      R = M;
      Cols = 1;
      FftM = stockham(M);
    } else {
      R = 1 << (std::countr_zero(unsigned(M)) / 2);
      Cols = M / R;
      // A block of eight lanes of all rows; one cache line more, so that
      // blocks do not start in the same set of the cache.
      Layout = {std::countr_zero(unsigned(R)), std::ptrdiff_t(Cols) * Lanes + Lanes};
      FftR = stockham(R);
      FftC = stockham(Cols);
      // e^(-2 pi i j2 k1/M) = e^(-2 pi i 2 j2 k1/N), with j2 = c + l.
      for (int c = 0; c < Cols; c += 4)
        for (int k1 = 0; k1 < R; ++k1) {
          BaseRe.push_back(Re(2LL * c * k1));
          BaseIm.push_back(Im(2LL * c * k1));
        }
      for (int k1 = 0; k1 < R; ++k1)
        for (int l = 0; l < 4; ++l) {
          LaneRe.push_back(Re(2LL * l * k1));
          LaneIm.push_back(Im(2LL * l * k1));
        }
    }
  }
};

std::shared_ptr<const std::vector<double>> CosineTable(int n)
{
  if (n < 4 || !std::has_single_bit(unsigned(n)))
    throw std::invalid_argument("cosine table size " + std::to_string(n) +
                                " is not a power of two from 4");
  static TCache<std::vector<double>> cache;
  return cache.Get(n, makeCosineTable);
}

TRealFourier::TRealFourier(int n) : N(n)
{
  if (n < 2 || n > MaxSize || !std::has_single_bit(unsigned(n)))
    throw std::invalid_argument("real transform size " + std::to_string(n) +
                                " is not a power of two from 2 to " + std::to_string(MaxSize));
  if (n < 4)
    return; // two points need no table
  static TCache<TRealFourierPlan> cache;
  Plan = cache.Get(n, [](int size) { return std::make_shared<const TRealFourierPlan>(size); });
  if (!Plan->R)
    return;
  // One level goes back and forth between two pairs of arrays (real and
  // imaginary parts); two levels need one pair of arrays in blocks of lanes,
  // and two small pairs for one block. A pass reads streams a power of
  // two apart, which meet in the same sets of the first-level cache;
  // starting each array a quarter of a 4 KiB page after the one before
  // keeps the arrays' streams apart.
  const std::size_t page = 512, lead = page / 4;
  const auto padded = [&](std::size_t size) { return (size + page - 1) / page * page + lead; };
  const bool twoLevels = Plan->Cols > 1;
  const std::size_t big =
      padded(twoLevels ? std::size_t(Plan->R / Lanes) * std::size_t(Plan->Layout.Block)
                       : std::size_t(Plan->M));
  const std::size_t small =
      twoLevels ? padded(std::size_t(std::max(Plan->R, Plan->Cols)) * Lanes) : big;
  Offset[0] = 0;
  Offset[1] = big;
  for (int i = 2; i < 8; ++i)
    Offset[i] = 2 * big + std::size_t(i - 2) * small;
  Work.resize(2 * big + (twoLevels ? 6 : 2) * small);
}

TRealFourier::~TRealFourier() = default;
TRealFourier::TRealFourier(TRealFourier&&) noexcept = default;
TRealFourier& TRealFourier::operator=(TRealFourier&&) noexcept = default;

void TRealFourier::Forward(const double* x, double* Re, double* Im)
{
  run(x, nullptr, Re, Im, nullptr);
}

void TRealFourier::AddPower(const double* x, const double* Window, double* Power)
{
  run(x, Window, nullptr, nullptr, Power);
}

void TRealFourier::run(const double* x, const double* window, double* Re, double* Im, double* power)
{
  if (N < 32) {
    // Too few points for four at a time: the direct sum, through the
    // window first.
    std::vector<double> in(x, x + N);
    if (window)
      for (int i = 0; i < N; ++i)
        in[std::size_t(i)] *= window[i];
    std::vector<double> re(std::size_t(N / 2 + 1)), im(std::size_t(N / 2 + 1));
    if (N == 2) {
      re[0] = in[0] + in[1];
      re[1] = in[0] - in[1];
    } else {
      directTransform(in.data(), re.data(), im.data(), N, Plan->Cos->data());
    }
    for (int k = 0; k <= N / 2; ++k) {
      if (power) {
        power[k] +=
            re[std::size_t(k)] * re[std::size_t(k)] + im[std::size_t(k)] * im[std::size_t(k)];
      } else {
        Re[k] = re[std::size_t(k)];
        Im[k] = im[std::size_t(k)];
      }
    }
    return;
  }
  const TRealFourierPlan& plan = *Plan;
  const int M = plan.M;
  double* const w = Work.data();
  double* const zr[2] = {w + Offset[0], w + Offset[2]};
  double* const zi[2] = {w + Offset[1], w + Offset[3]};
  // (Two levels use pair 0 and the blocks' pairs 4, 5 and 6, 7.)
  int at = 0; // the pair holding the latest result
  const TKernels& k = kernels();
  if (plan.Cols == 1) {
    // The passes go back and forth between the two pairs.
    const TStockham& f = plan.FftM;
    firstPass(x, window, zr[0], zi[0], M, f.Twiddles.data());
    for (std::size_t i = 1; i < f.Passes.size(); ++i, at ^= 1) {
      const auto& pass = f.Passes[i];
      // Neighbouring points as lanes: eight of them from the third pass on.
      if (pass.s >= 8)
        k.Lanes({zr[at], zi[at], 8, zr[at ^ 1], zi[at ^ 1], 8}, pass.n, pass.s / 8, f.At(pass));
      else
        pass4({zr[at], zi[at], 4, zr[at ^ 1], zi[at ^ 1], 4}, pass.n, pass.s / 4, f.At(pass));
    }
  } else {
    const int R = plan.R, Cols = plan.Cols;
    const std::ptrdiff_t block = plan.Layout.Block;
    double* const lr[2] = {w + Offset[4], w + Offset[6]};
    double* const li[2] = {w + Offset[5], w + Offset[7]};
    // Step 1, into pair 0.
    const TStockham& fr = plan.FftR;
    for (int c0 = 0; c0 < Cols; c0 += ColumnLanes) {
      k.Columns(x, window, Cols, c0, R, lr[0], li[0], fr.Twiddles.data());
      int l = 0;
      for (std::size_t i = 1; i < fr.Passes.size(); ++i, l ^= 1) {
        const auto& pass = fr.Passes[i];
        k.Lanes({lr[l], li[l], ColumnLanes, lr[l ^ 1], li[l ^ 1], ColumnLanes}, pass.n, pass.s,
                fr.At(pass));
      }
      storeColumns(lr[l], li[l], R, c0, zr[0], zi[0], block, plan.BaseRe.data(), plan.BaseIm.data(),
                   plan.LaneRe.data(), plan.LaneIm.data());
    }
    // Step 2, block by block: Z replaces A. The passes go back and forth
    // between the block and one small pair, so that both stay in the
    // first-level cache; an odd count of passes ends in the pair, and is
    // copied back, unless the block is small enough that a second pair
    // fits beside it as well, in which the middle passes alternate.
    const TStockham& fc = plan.FftC;
    const std::size_t passes = fc.Passes.size();
    const bool chain = passes % 2 && Cols * Lanes <= ChainedBlockUpTo;
    for (int b = 0; b < R / Lanes; ++b) {
      double* const ar = zr[0] + b * block;
      double* const ai = zi[0] + b * block;
      for (std::size_t i = 0; i < passes; ++i) {
        const auto& pass = fc.Passes[i];
        // The pair read and the pair written: A, or a small pair.
        const int from = chain ? (i == 0 ? -1 : int((i - 1) % 2)) : (i % 2 ? 0 : -1);
        const int to = chain ? (i + 1 == passes ? -1 : int(i % 2)) : (i % 2 ? -1 : 0);
        k.Lanes({from < 0 ? ar : lr[from], from < 0 ? ai : li[from], Lanes, to < 0 ? ar : lr[to],
                 to < 0 ? ai : li[to], Lanes},
                pass.n, pass.s, fc.At(pass));
      }
      if (passes % 2 && !chain) {
        std::memcpy(ar, lr[0], sizeof(double) * std::size_t(Cols * Lanes));
        std::memcpy(ai, li[0], sizeof(double) * std::size_t(Cols * Lanes));
      }
    }
  }
  if (plan.Cols == 1)
    k.SplitInOrder(zr[at], zi[at], Re, Im, power, M, plan.Split.data());
  else
    k.SplitBlocked(zr[at], zi[at], plan.Layout, Re, Im, power, M, plan.Split.data());
}

} // namespace duv
