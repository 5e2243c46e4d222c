// Square root of float and double arrays, one source for all five sets.
// Generic: the C library root per element, default NaN and a warning for
// everything that is not >= 0 (negatives, -inf, NaNs). SIMD sets: blocks of
// ordinary values take the reciprocal-square-root estimate refined by Newton
// steps; a block holding a zero, subnormal, negative, infinity or NaN takes
// the exact root instead. -0.0 gives -0.0 without a warning everywhere.
// The SSE2 to SSSE3 kernels and every float kernel flag by an ordered
// compare (x < 0, so NaNs pass unflagged), the SSE set's double kernel by
// the sign bit; either way the status does not depend on where an element
// falls in the array.
#include "primitives/vector/sp_elementary.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/frame/sp_status.h"
#include "primitives/vector/elementary_env.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

// The SSE set's double blocks write the positive quiet NaN for negative
// elements.
constexpr uint64_t kF64PositiveNan = kF64QuietNan;
constexpr uint64_t kF64ExponentBits = 0x7FF0000000000000ull;
// Fraction and lowest exponent bit; with the exponent of 0.5 they give
// m in [0.5, 2) with x = m * 4^j.
constexpr uint64_t kF64MantissaAndParity = 0x001FFFFFFFFFFFFFull;
constexpr uint64_t kF64HalfExponent = 0x3FE0000000000000ull;

#if SP_SET_INDEX == SP_SET_GENERIC

template <class T, class Wide, auto kNanBits>
spStatus SqrtExactLoop(const T* src, T* dst, int64_t len) {
  bool negative = false;
  for (int64_t i = 0; i < len; ++i) {
    const T x = src[i];
    if (x >= T(0)) {  // +-0, positives, +inf; NaNs fail the compare
      dst[i] = static_cast<T>(std::sqrt(static_cast<Wide>(x)));
    } else {
      dst[i] = std::bit_cast<T>(kNanBits);
      negative = true;
    }
  }
  return negative ? spWarnSqrtNegative : spOk;
}

spStatus SqrtF32Kernel(const float* src, float* dst, int64_t len) {
  return SqrtExactLoop<float, double, kF32DefaultNan>(src, dst, len);
}
spStatus SqrtF64Kernel(const double* src, double* dst, int64_t len) {
  return SqrtExactLoop<double, double, kF64DefaultNan>(src, dst, len);
}

#else  // SIMD sets

// One element by the exact root; flagged only when it is below zero.
template <class T>
inline bool SqrtOne(T x, T& out) {
  out = simd::SqrtScalar(x);
  return x < T(0);
}

// Eight elements per step: one Newton step y = 0.5 x r (3 - x r r) on the
// estimate r, unless a lane is below the smallest normal or t is a NaN
// (NaN, +inf against its zero estimate, zero against its infinite one).
template <bool kSrcAligned>
int SqrtBlocksF32(const float* src, float* dst, int64_t blocks) {
  using namespace simd;
  const f32x4 three = Splat(3.0f);
  const f32x4 half = Splat(0.5f);
  const f32x4 smallestNormal = SplatBits(kF32SmallestNormal);
  const f32x4 zero = Zero4();
  int negative = 0;
  for (int64_t b = 0; b < blocks; ++b, src += 8, dst += 8) {
    const f32x4 x0 = kSrcAligned ? Load(src) : LoadU(src);
    const f32x4 x1 = kSrcAligned ? Load(src + 4) : LoadU(src + 4);
    const f32x4 r0 = RsqrtEstimate(x0);
    const f32x4 r1 = RsqrtEstimate(x1);
    const f32x4 y0 = Mul(x0, r0);
    const f32x4 y1 = Mul(x1, r1);
    const f32x4 t0 = Mul(r0, y0);
    const f32x4 t1 = Mul(r1, y1);
    const f32x4 special = Or(CmpLt(Min(x0, x1), smallestNormal), CmpUnord(t0, t1));
    f32x4 out0;
    f32x4 out1;
    if (MoveMask(special) != 0) {
      out0 = Sqrt(x0);
      out1 = Sqrt(x1);
      negative |= MoveMask(CmpLt(x0, zero)) | MoveMask(CmpLt(x1, zero));
    } else {
      out0 = Mul(Sub(three, t0), Mul(y0, half));
      out1 = Mul(Sub(three, t1), Mul(y1, half));
    }
    Store(dst, out0);
    Store(dst + 4, out1);
  }
  return negative;
}

spStatus SqrtF32Kernel(const float* src, float* dst, int64_t len) {
  using namespace simd;
  int negative = 0;
  int64_t i = 0;
  const int64_t n = len;
  // Head: single exact roots until the destination is 16-byte aligned (a
  // float* off its 4-byte grid never gets there and runs scalar throughout).
  while (i < n && !simd::Aligned16(dst + i)) {
    negative |= SqrtOne(src[i], dst[i]);
    ++i;
  }
  const int64_t blocks = (n - i) / 8;
  if (blocks > 0) {
    negative |= simd::Aligned16(src + i) ? SqrtBlocksF32<true>(src + i, dst + i, blocks)
                                         : SqrtBlocksF32<false>(src + i, dst + i, blocks);
    i += blocks * 8;
  }
  // Tail: a group of four and single elements, all exact.
  if (n - i >= 4) {
    const f32x4 x = LoadU(src + i);
    StoreU(dst + i, Sqrt(x));
    negative |= MoveMask(CmpLt(x, Zero4()));
    i += 4;
  }
  for (; i < n; ++i) negative |= SqrtOne(src[i], dst[i]);
  return negative != 0 ? spWarnSqrtNegative : spOk;
}

#if SP_SET_INDEX == SP_SET_SSE

// Roots of four positive normal finite doubles from the single-precision
// estimate of their mantissas and two Newton steps (about 44 correct bits):
// x = m * 4^j with m in [0.5, 2), sqrt(x) = sqrt(m) * 2^j, and 2^j enters as
// an integer added to the exponent field.
inline void SqrtEstimateFourF64(const double* x, double* out) {
  double m[4];
  uint64_t exponentStep[4];
  for (int j = 0; j < 4; ++j) {
    const uint64_t bits = std::bit_cast<uint64_t>(x[j]);
    const uint64_t mBits = (bits & kF64MantissaAndParity) | kF64HalfExponent;
    // The difference is a multiple of 2^53, so halving it is exact.
    exponentStep[j] = static_cast<uint64_t>(static_cast<int64_t>(bits - mBits) >> 1);
    m[j] = std::bit_cast<double>(mBits);
  }
  alignas(16) float r0[4];
  simd::Store(r0, simd::RsqrtEstimate(simd::Lanes(static_cast<float>(m[0]), static_cast<float>(m[1]),
                                                  static_cast<float>(m[2]), static_cast<float>(m[3]))));
  for (int j = 0; j < 4; ++j) {
    const double r = r0[j];
    const double a = r * 0.5;
    const double b = r * r * m[j] - 3.0;
    const double c = b * a;     // -r1, r1 = 0.5 r0 (3 - m r0 r0)
    const double e = m[j] * c;  // -y1, y1 = m r1
    const double f = c * e;
    const double g = e * 0.5;
    const double h = f - 3.0;
    const double y = h * g;  // 0.5 y1 (3 - y1 r1)
    out[j] = std::bit_cast<double>(std::bit_cast<uint64_t>(y) + exponentStep[j]);
  }
}

// SSE set, doubles on the scalar unit: blocks of four, classified by bits;
// a block of four positive normal values takes the estimate, any other
// block the exact root, with +inf and positive NaNs copied, zeros kept and
// everything else with the sign bit set replaced by a NaN and flagged.
spStatus SqrtF64Kernel(const double* src, double* dst, int64_t len) {
  bool negative = false;
  int64_t i = 0;
  const int64_t n = len;
  for (; i + 4 <= n; i += 4) {
    // Read straight from the source: a copy to a local array costs a
    // failed store forwarding per block.
    const double* x = src + i;
    bool special = false;
    for (int j = 0; j < 4; ++j) {
      const uint64_t bits = std::bit_cast<uint64_t>(x[j]);
      special |= bits - kF64SmallestNormal >= kF64ExponentBits - kF64SmallestNormal;
    }
    if (!special) {
      SqrtEstimateFourF64(x, dst + i);
      continue;
    }
    for (int j = 0; j < 4; ++j) {
      const uint64_t bits = std::bit_cast<uint64_t>(x[j]);
      if ((bits & ~kF64SignBit) == 0 || ((bits & kF64ExponentBits) == kF64ExponentBits && !(bits & kF64SignBit))) {
        dst[i + j] = x[j];  // +-0, +inf and positive NaNs are their own roots
      } else if (bits & kF64SignBit) {
        dst[i + j] = std::bit_cast<double>(kF64PositiveNan);
        negative = true;
      } else {
        dst[i + j] = std::sqrt(x[j]);  // positive normal or subnormal
      }
    }
  }
  for (; i < n; ++i) {
    const double x = src[i];
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    if ((bits & kF64SignBit) && (bits & ~kF64SignBit) != 0) {
      dst[i] = std::bit_cast<double>(kF64DefaultNan);
      negative = true;
    } else {
      dst[i] = std::sqrt(x);
    }
  }
  return negative ? spWarnSqrtNegative : spOk;
}

#else  // SSE2, SSE3, SSSE3

// Pairs: both positive normal finite take the estimate, otherwise the exact
// packed root with the ordered negative test.
template <bool kSrcAligned>
int SqrtPairsF64(const double* src, double* dst, int64_t pairs) {
  using namespace simd;
  const f64x2 smallestNormal = SplatBits(kF64SmallestNormal);
  const f64x2 infinity = SplatBits(kF64ExponentBits);
  const f64x2 zero = Zero2();
  const f64x2 half = Splat(0.5);
  const f64x2 three = Splat(3.0);
  const i64x2 mantissaMask = SplatI64(kF64MantissaAndParity);
  const i64x2 halfExponent = SplatI64(kF64HalfExponent);
  int negative = 0;
  for (int64_t p = 0; p < pairs; ++p, src += 2, dst += 2) {
    const f64x2 x = kSrcAligned ? Load(src) : LoadU(src);
    const f64x2 special = Or(CmpNge(x, smallestNormal), CmpEq(x, infinity));
    if (MoveMask(special) != 0) {
      Store(dst, Sqrt(x));
      negative |= MoveMask(CmpLt(x, zero));
      continue;
    }
    const i64x2 mBits = Or(And(Bits(x), mantissaMask), halfExponent);
    // Low halves of the difference are zero; the high halves hold the
    // even exponent difference, halved exactly by the arithmetic shift.
    const i64x2 exponentStep = Reinterpret<i64x2>(ShiftRightArith<1>(Reinterpret<i32x4>(Sub(Bits(x), mBits))));
    const f64x2 m = FromBits(mBits);
    const f64x2 r0 = RsqrtEstimateViaF32(m);
    const f64x2 a = Mul(r0, half);
    const f64x2 b = Sub(Mul(Mul(r0, r0), m), three);
    const f64x2 c = Mul(b, a);
    const f64x2 e = Mul(m, c);
    const f64x2 f = Mul(c, e);
    const f64x2 g = Mul(e, half);
    const f64x2 h = Sub(f, three);
    const f64x2 y = Mul(h, g);
    Store(dst, FromBits(Add(Bits(y), exponentStep)));
  }
  return negative;
}

spStatus SqrtF64Kernel(const double* src, double* dst, int64_t len) {
  int negative = 0;
  int64_t i = 0;
  const int64_t n = len;
  if (!simd::Aligned16(dst)) {
    negative |= SqrtOne(src[0], dst[0]);
    i = 1;
  }
  const int64_t pairs = (n - i) / 2;
  if (pairs > 0 && simd::Aligned16(dst + i)) {
    negative |= simd::Aligned16(src + i) ? SqrtPairsF64<true>(src + i, dst + i, pairs)
                                         : SqrtPairsF64<false>(src + i, dst + i, pairs);
    i += pairs * 2;
  }
  for (; i < n; ++i) negative |= SqrtOne(src[i], dst[i]);  // tail, or a misaligned double*
  return negative != 0 ? spWarnSqrtNegative : spOk;
}

#endif  // SP_SET_INDEX == SP_SET_SSE
#endif  // SP_SET_INDEX == SP_SET_GENERIC

}  // namespace

spStatus SP_V(spSqrtF32)(const float* src, float* dst, int32_t len) {
  if (const spStatus st = CheckArrays(len, src, dst); st != spOk) return st;
  ElementaryFloatEnv env;
  return SqrtF32Kernel(src, dst, len);
}

spStatus SP_V(spSqrtF64)(const double* src, double* dst, int32_t len) {
  if (const spStatus st = CheckArrays(len, src, dst); st != spOk) return st;
  ElementaryFloatEnv env;
  return SqrtF64Kernel(src, dst, len);
}

}  // namespace SP_SET_NS

// The square-root dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_SQRT_ENTRIES)
#endif
