// Exponential of float arrays, one source for all five sets. Every set uses
// e^x = R(r) * 2^k with k the nearest integer to x log2(e), r = x - k ln 2
// and the (3,3) rational approximation
//   R(r) = (12 (r^2 + 10) + r (r^2 + 60)) / (12 (r^2 + 10) - r (r^2 + 60)).
// Generic: double precision, one division per four elements, elements out of
// range handled on the spot. SIMD sets: single precision, a refined
// reciprocal per four lanes, and 2^k applied in two halves so that results
// up to the float overflow bound stay finite.
#include "primitives/vector/sp_elementary.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/elementwise_walk.h"
#include "primitives/frame/simd.h"
#include "primitives/frame/sp_status.h"
#include "primitives/vector/elementary_env.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

// 88.72283935546875: the first float whose exponential overflows.
constexpr uint32_t kUpperBoundBits = 0x42B17218u;

#if SP_SET_INDEX == SP_SET_GENERIC

constexpr double kUpperBoundShort = std::bit_cast<double>(0x40562E4302B40F67ull);  // 88.72284
// -87.3365478515625: at and below it the result is flushed to zero.
constexpr uint32_t kLowerBoundBits = 0xC2AEAC50u;
constexpr double kLog2E = 1.4426950408889634;
constexpr double kLn2 = 0.6931471805599453;
// 1.5 * 2^52: adding and subtracting it rounds |t| < 2^51 to the nearest
// integer whatever its sign, with no branch on the sign.
constexpr double kRoundingShift = 6755399441055744.0;

inline float FloatFromBits(uint32_t b) { return std::bit_cast<float>(b); }

// Short arrays: the C library in double precision.
inline float ExpShort(float x) {
  if (static_cast<double>(x) > kUpperBoundShort) return FloatFromBits(kF32PlusInf);
  return static_cast<float>(std::exp(static_cast<double>(x)));
}

// Four in-range values: one division serves all four quotients.
void ExpGroupOfFour(const double (&x)[4], float (&out)[4]) {
  double k[4];
  double num[4];
  double den[4];
  for (int j = 0; j < 4; ++j) {
    const double t = x[j] * kLog2E;
    k[j] = (t + kRoundingShift) - kRoundingShift;
    const double r = x[j] - k[j] * kLn2;
    const double r2 = r * r;
    const double even = 12.0 * (r2 + 10.0);
    const double odd = r * (r2 + 60.0);
    num[j] = even + odd;
    den[j] = even - odd;
  }
  const double q = 1.0 / (den[0] * den[1] * den[2] * den[3]);
  const double others[4] = {den[1] * den[2] * den[3], den[0] * den[2] * den[3], den[0] * den[1] * den[3],
                            den[0] * den[1] * den[2]};
  for (int j = 0; j < 4; ++j) {
    // k lies in [-126, 128]; scaling in double rounds once, also where the
    // result is subnormal.
    const double scale = std::bit_cast<double>(static_cast<uint64_t>(static_cast<int64_t>(k[j]) + 1023) << 52);
    out[j] = static_cast<float>(num[j] * others[j] * q * scale);
  }
}

// Out-of-range elements by their bits; false for an element to compute.
inline bool ExpSpecial(float x, float& out) {
  const uint32_t bits = std::bit_cast<uint32_t>(x);
  const uint32_t magnitude = bits & ~kF32SignBit;
  // One predictable test for the common in-range case (a branch on the
  // sign would be mispredicted half the time on mixed data).
  const uint32_t limit = (bits & kF32SignBit) ? kLowerBoundBits : kUpperBoundBits;
  if (magnitude >= kF32SmallestNormal && bits < limit) return false;
  if (magnitude < kF32SmallestNormal) {
    out = 1.0f;  // zeros and subnormals
  } else if (magnitude > kF32PlusInf) {
    out = FloatFromBits((bits & kF32SignBit) | kF32QuietNan);  // NaN keeps its sign
  } else if (bits & kF32SignBit) {
    if (bits < kLowerBoundBits) return false;
    out = 0.0f;  // down to -inf
  } else {
    if (bits < kUpperBoundBits) return false;
    out = FloatFromBits(kF32PlusInf);  // up to +inf
  }
  return true;
}

void ExpKernel(const float* src, float* dst, int64_t len) {
  if (len < 4) {
    for (int64_t i = 0; i < len; ++i) dst[i] = ExpShort(src[i]);
    return;
  }
  // From the last element to the first, gathering in-range ones by four.
  double group[4];  // widened once: scalar stores reloaded as pairs would stall
  float results[4];
  int64_t where[4];
  int gathered = 0;
  for (int64_t i = len - 1; i >= 0; --i) {
    const float x = src[i];
    float special;
    if (ExpSpecial(x, special)) {
      dst[i] = special;
      continue;
    }
    group[gathered] = x;
    where[gathered] = i;
    if (++gathered == 4) {
      ExpGroupOfFour(group, results);
      for (int j = 0; j < 4; ++j) dst[where[j]] = results[j];
      gathered = 0;
    }
  }
  for (int j = 0; j < gathered; ++j) dst[where[j]] = static_cast<float>(std::exp(group[j]));
}

#else  // SIMD sets

// Four lanes; lanes from the upper bound up give +inf, lanes at or below
// the lower bound 0, NaN lanes a quiet NaN of their sign. Those lanes run
// the arithmetic as 0 so that nothing in it overflows.
inline simd::f32x4 ExpFour(simd::f32x4 x) {
  using namespace simd;
  const f32x4 upper = SplatBits(kUpperBoundBits);
  const f32x4 lower = SplatBits(0xC2AEAC4Au);  // -87.3365021
  const f32x4 high = CmpGe(x, upper);
  const f32x4 low = CmpLe(x, lower);
  const f32x4 nan = CmpUnord(x, x);
  const f32x4 outside = Or(Or(high, low), nan);
  const f32x4 xs = AndNot(outside, x);

  const f32x4 roundingShift = SplatBits(0x4B400000u);  // 1.5 * 2^23
  const f32x4 n = Sub(Add(Mul(xs, SplatBits(0x3FB8AA3Bu)), roundingShift), roundingShift);
  // ln 2 = 0.693359375 - 0.00021219444; the first product is exact.
  const f32x4 r = Add(Sub(xs, Mul(n, SplatBits(0x3F318000u))), Mul(n, SplatBits(0x395E8083u)));
  const f32x4 r2 = Mul(r, r);
  const f32x4 even = Mul(Splat(12.0f), Add(r2, Splat(10.0f)));
  const f32x4 odd = Mul(r, Add(r2, Splat(60.0f)));
  const f32x4 num = Add(even, odd);
  const f32x4 den = Sub(even, odd);
  const f32x4 rcp = RcpEstimate(den);
  const f32x4 invDen = Mul(rcp, Sub(Splat(2.0f), Mul(den, rcp)));
  f32x4 lowHalf;
  f32x4 highHalf;
  PowerOfTwoHalves(n, lowHalf, highHalf);
  const f32x4 y = Mul(Mul(Mul(num, invDen), lowHalf), highHalf);
  if (MoveMask(outside) == 0) return y;
  const f32x4 nanOut = Or(And(x, SplatBits(kF32SignBit)), SplatBits(kF32QuietNan));
  const f32x4 special = Or(And(high, SplatBits(kF32PlusInf)), And(nan, nanOut));
  return Or(AndNot(outside, y), special);  // low lanes: 0
}

void ExpKernel(const float* src, float* dst, int64_t len) {
  // The last one to three elements are padded with zeros.
  walk::FourWideFrom<false>(src, dst, 0, len, 0.0f, [](f32x4 x) { return ExpFour(x); });
}

#endif

}  // namespace

spStatus SP_V(spExpF32)(const float* src, float* dst, int32_t len) {
  if (const spStatus st = CheckArrays(len, src, dst); st != spOk) return st;
  ElementaryFloatEnv env;
  ExpKernel(src, dst, len);
  return spOk;
}

spStatus SP_V(spExpInPlaceF32)(float* srcDst, int32_t len) {
  if (const spStatus st = CheckArrays(len, srcDst); st != spOk) return st;
  ElementaryFloatEnv env;
  ExpKernel(srcDst, srcDst, len);
  return spOk;
}

}  // namespace SP_SET_NS

// The exponential dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_EXP_ENTRIES)
#endif
