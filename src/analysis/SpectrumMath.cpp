// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/SpectrumMath.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace duv {

double PlainMagnitude(double re, double im, int N)
{
  const long double r = re, i = im;
  return static_cast<double>(std::sqrt(r * r + i * i) / N);
}

double PlainDecibels(double magnitude, int bits)
{
  const long double reference = std::ldexp(1.0L, bits) / 2;
  return static_cast<double>(20 * std::log10(magnitude / reference));
}

// The fast routes work in pairs of doubles (hi + lo, about 106 bits), round
// the pair to a double, and keep that result only when it is plainly the
// long-double expression's result too: when no rounding boundary of doubles
// lies close to the value. A bin they cannot vouch for is left NaN and
// worked out by the plain expression afterwards.
//
// Why that is exact: the long-double expressions err from the true value by
// a few units in the 64th bit (below 2^-62 relative), the pairs by far less
// (below 2^-66). Both round to the same double whenever the true value lies
// farther than their errors from the midpoint between two doubles. The
// routes ask for 2^-59, eight times the sum, and so leave about 1 bin in 50
// to the plain expression.
//
// They reproduce 64-bit-mantissa long double arithmetic (x87) and need fused
// multiply-add in the processor; anywhere else the plain expressions run.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define DUV_FAST_ROUTES 1
#define DUV_FMA_TARGET __attribute__((target("avx2,fma")))
#else
#define DUV_FAST_ROUTES 0
#endif

#if DUV_FAST_ROUTES
namespace {

bool fastRoutesAvailable()
{
  static const bool available = std::numeric_limits<long double>::digits == 64 &&
                                __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return available;
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// hi + lo, unevaluated.
struct Pair
{
  double hi, lo;
};

// a + b exactly.
DUV_FMA_TARGET inline Pair twoSum(double a, double b)
{
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// a * b exactly, barring underflow.
DUV_FMA_TARGET inline Pair twoProduct(double a, double b)
{
  const double p = a * b;
  return {p, std::fma(a, b, -p)};
}

// True when hi + lo (hi the rounding of the sum, so |lo| is at most half a
// unit of hi) lies so far from the midpoints beside hi that every value
// within 2^-59 of it, relatively, rounds to hi as well. hi finite, not 0.
DUV_FMA_TARGET inline bool roundsSafely(double hi, double lo)
{
  const double a = std::fabs(hi);
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(a);
  // The gap to the neighbour on lo's side; below a power of two it is half
  // the gap above.
  const double up = std::bit_cast<double>(bits + 1) - a;
  const double down = a - std::bit_cast<double>(bits - 1);
  const double gap = ((lo > 0) == (hi > 0)) ? up : down;
  return std::fabs(lo) < 0.5 * gap - a * 0x1p-59;
}

// sqrt(re^2 + im^2): an exact pair for the sum of squares, one Newton step
// on the double square root of its high part, the rounding check. Dividing
// by N, a power of two, is exact in either arithmetic, so it comes last.
DUV_FMA_TARGET void fastMagnitudes(const double* __restrict Re, const double* __restrict Im,
                                   double* __restrict Mag, int N)
{
  const double scale = 1.0 / N;
  for (int i = 0; i < N; ++i) {
    const double re = Re[i], im = Im[i];
    const Pair rr = twoProduct(re, re), ii = twoProduct(im, im);
    const Pair sum = twoSum(rr.hi, ii.hi);
    const double s = sum.hi, sLow = sum.lo + rr.lo + ii.lo;
    const double root = std::sqrt(s);
    // s - root^2 is exact for a rounded square root.
    const double correction = (std::fma(-root, root, s) + sLow) / (2 * root);
    const double t = root + correction;
    const bool safe = (s >= 0x1p-900) & (s <= 0x1p900) & roundsSafely(t, correction - (t - root));
    const bool zero = (re == 0) & (im == 0); // not s: squares can underflow to 0
    Mag[i] = zero ? 0.0 : safe ? t * scale : NaN;
  }
}

// ln x = n ln 2 + ln f with f in [sqrt(1/2), sqrt(2)), and ln f = -ln c +
// ln(1 + r), r = f c - 1, with c from a cell of 256 by the top eight
// mantissa bits of x. Then |r| < 2^-8, and the series of ln(1 + r) up to r^9
// is within 2^-75 of it. c is 1 in the two cells around f = 1, so that a
// level near 0 dB keeps its relative precision.
constexpr int CellBits = 8;
constexpr int Cells = 1 << CellBits;
constexpr int FirstHalved = 106; // cells from 1 + 106/256 > sqrt(2) on hold f / 2

// The tables are worked out once in the widest arithmetic at hand, so that
// their own rounding stays far below the routes' errors.
#if defined(__SIZEOF_FLOAT128__)
using Wide = __float128;
#else
using Wide = long double;
#endif

// ln c = 2 atanh((c - 1) / (c + 1)), summed until the terms vanish; quick
// for c near 1, as all uses here are (2 at the farthest).
Wide wideLog(Wide c)
{
  const Wide z = (c - 1) / (c + 1), z2 = z * z;
  Wide power = z, sum = 0;
  for (int k = 1; k < 400; k += 2, power *= z2) {
    const Wide term = power / k;
    sum += term;
    if (!(term / sum > Wide(1e-40)))
      break;
  }
  return 2 * sum;
}

struct LogTables
{
  double c[Cells];
  double minusLogCHi[Cells], minusLogCLo[Cells];
  double ln2Hi, ln2Lo;     // hi with its low 12 bits clear, so n * hi is exact
  double scaleHi, scaleLo; // 20 / ln 10, decibels per neper
};

LogTables makeTables()
{
  LogTables t{};
  for (int j = 0; j < Cells; ++j) {
    const double centre = 1 + (j + 0.5) / Cells;
    const double c = (j == 0 || j == Cells - 1) ? 1.0 : j < FirstHalved ? 1 / centre : 2 / centre;
    const Wide minusLogC = -wideLog(c);
    t.c[j] = c;
    t.minusLogCHi[j] = static_cast<double>(minusLogC);
    t.minusLogCLo[j] = static_cast<double>(minusLogC - t.minusLogCHi[j]);
  }
  const Wide ln2 = wideLog(2);
  t.ln2Hi =
      std::bit_cast<double>(std::bit_cast<std::uint64_t>(double(ln2)) & ~std::uint64_t(0xFFF));
  t.ln2Lo = static_cast<double>(ln2 - t.ln2Hi);
  const Wide scale = 20 / (3 * ln2 + wideLog(Wide(1.25)));
  t.scaleHi = static_cast<double>(scale);
  t.scaleLo = static_cast<double>(scale - t.scaleHi);
  return t;
}

const LogTables& logTables()
{
  static const LogTables tables = makeTables();
  return tables;
}

DUV_FMA_TARGET void fastDecibels(const double* __restrict Mag, double* __restrict dB, int count,
                                 int bits, const LogTables& t)
{
  const double offset = 1023 + (bits - 1);
  for (int i = 0; i < count; ++i) {
    const double m = Mag[i];
    const std::uint64_t mBits = std::bit_cast<std::uint64_t>(m);
    // 64-bit integers throughout, the exponent turned into a double by
    // placing it in a mantissa, so that the loop runs several bins at once.
    const std::uint64_t j = (mBits >> (52 - CellBits)) & (Cells - 1);
    const bool halved = j >= FirstHalved;
    const double exponent =
        std::bit_cast<double>((mBits >> 52) | 0x4330000000000000u) - 0x1p52; // biased
    // m = 2^e f; the reference 2^(bits - 1) only moves the exponent.
    const double dn = exponent + (halved ? 1.0 : 0.0) - offset;
    const double f = std::bit_cast<double>((mBits & 0x000FFFFFFFFFFFFFu) |
                                           (halved ? 0x3FE0000000000000u : 0x3FF0000000000000u));

    // r = r1 + r2 exactly; r1 is exact as the product lies near 1.
    const Pair product = twoProduct(f, t.c[j]);
    const double r1 = product.hi - 1, r2 = product.lo;
    const double r = r1 + r2;
    const double series =
        r * r * r *
        ((((((r * (1.0 / 9) - 1.0 / 8) * r + 1.0 / 7) * r - 1.0 / 6) * r + 1.0 / 5) * r - 0.25) *
             r +
         1.0 / 3);
    const Pair square = twoProduct(r1, r1);

    // ln x = n ln2 - ln c + r - r^2 / 2 + r^3 (...): the four large terms
    // summed exactly, the rest in one double.
    const Pair s1 = twoSum(dn * t.ln2Hi, t.minusLogCHi[j]);
    const Pair s2 = twoSum(s1.hi, r1);
    const Pair s3 = twoSum(s2.hi, -0.5 * square.hi);
    const double low = s1.lo + s2.lo + s3.lo +
                       (dn * t.ln2Lo + t.minusLogCLo[j] + r2 - 0.5 * square.lo - r1 * r2 + series);

    const Pair y = twoProduct(t.scaleHi, s3.hi);
    const Pair level = twoSum(y.hi, y.lo + (t.scaleHi * low + t.scaleLo * s3.hi));
    // Positive, normal and not huge: anything else takes the plain way.
    const bool inRange = (m >= 0x1p-1022) & (m <= 0x1p1000);
    const bool safe = inRange & (level.hi != 0) & roundsSafely(level.hi, level.lo);
    // ln x is 0 only for m equal to the reference, and 0 dB is exact then.
    const bool reference = inRange & (level.hi == 0);
    dB[i] = m == 0      ? -std::numeric_limits<double>::infinity()
            : safe      ? level.hi
            : reference ? 0.0
                        : NaN;
  }
}

} // namespace
#endif

void Magnitudes(const double* Re, const double* Im, double* Mag, int N)
{
#if DUV_FAST_ROUTES
  if (fastRoutesAvailable() && std::has_single_bit(static_cast<unsigned>(N))) {
    fastMagnitudes(Re, Im, Mag, N);
    for (int i = 0; i < N; ++i)
      if (std::isnan(Mag[i]))
        Mag[i] = PlainMagnitude(Re[i], Im[i], N);
    return;
  }
#endif
  for (int i = 0; i < N; ++i)
    Mag[i] = PlainMagnitude(Re[i], Im[i], N);
}

void Decibels(const double* Mag, double* dB, int count, int bits)
{
#if DUV_FAST_ROUTES
  if (fastRoutesAvailable() && bits >= 1 && bits <= 64) {
    fastDecibels(Mag, dB, count, bits, logTables());
    for (int i = 0; i < count; ++i)
      if (std::isnan(dB[i]))
        dB[i] = PlainDecibels(Mag[i], bits);
    return;
  }
#endif
  for (int i = 0; i < count; ++i)
    dB[i] = PlainDecibels(Mag[i], bits);
}

} // namespace duv
