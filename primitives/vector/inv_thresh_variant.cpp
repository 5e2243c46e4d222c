// Inverse with threshold, one source for all five sets. Threshold 0 (either
// sign): x = 1/x, a zero element of either sign gives +inf and warning 4.
// Threshold above 0: the divisor's magnitude is held at or above the
// threshold, the sign comes from x < 0 (so both zeros give +1/threshold).
// NaN elements give NaN and never a warning. Generic: double precision, one
// division shared by four (threshold 0) or two elements. SIMD sets: the
// reciprocal estimate refined once; a group whose estimate is off the
// ordinary range (zeros, infinities, NaNs, subnormals, values whose
// reciprocal is subnormal) is done by true division instead.
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

#if SP_SET_INDEX == SP_SET_GENERIC

// One element at threshold 0; true when it was a zero.
inline bool InvertAlone(float& x) {
  if (x == 0.0f) {
    x = std::bit_cast<float>(kF32PlusInf);
    return true;
  }
  x = static_cast<float>(1.0 / static_cast<double>(x));
  return false;
}

bool InvertZeroThreshold(float* p, int64_t n) {
  bool zero = false;
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const double x0 = p[i];
    const double x1 = p[i + 1];
    const double x2 = p[i + 2];
    const double x3 = p[i + 3];
    // Products of four floats neither overflow nor underflow a double, so
    // the shared quotient is exact apart from rounding unless an element
    // is zero, infinite or NaN.
    const double product = x0 * x1 * (x2 * x3);
    // A zero element takes the one-by-one path without a division by zero.
    const double q = product != 0.0 ? 1.0 / product : 0.0;
    if (std::isfinite(q) && q != 0.0) {
      p[i] = static_cast<float>(q * (x1 * x2 * x3));
      p[i + 1] = static_cast<float>(q * (x0 * x2 * x3));
      p[i + 2] = static_cast<float>(q * (x0 * x1 * x3));
      p[i + 3] = static_cast<float>(q * (x0 * x1 * x2));
    } else {
      for (int j = 0; j < 4; ++j) zero |= InvertAlone(p[i + j]);
    }
  }
  for (; i < n; ++i) zero |= InvertAlone(p[i]);
  return zero;
}

void InvertAboveThreshold(float* p, int64_t n, float threshold) {
  const float inverse = static_cast<float>(1.0 / static_cast<double>(threshold));
  auto clamped = [&](float x) { return x < 0.0f ? -inverse : inverse; };
  auto alone = [&](float x) {
    return std::fabs(x) <= threshold ? clamped(x) : static_cast<float>(1.0 / static_cast<double>(x));
  };
  int64_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const float x0 = p[i];
    const float x1 = p[i + 1];
    if (!(std::fabs(x0) <= threshold) && !(std::fabs(x1) <= threshold)) {
      const double q = 1.0 / (static_cast<double>(x0) * static_cast<double>(x1));
      if (std::isfinite(q) && q != 0.0) {  // no infinity or NaN in the pair
        p[i] = static_cast<float>(static_cast<double>(x1) * q);
        p[i + 1] = static_cast<float>(static_cast<double>(x0) * q);
        continue;
      }
    }
    p[i] = alone(x0);
    p[i + 1] = alone(x1);
  }
  if (i < n) p[i] = alone(p[i]);
}

bool InvThreshKernel(float* p, int64_t n, float threshold) {
  if (threshold == 0.0f) return InvertZeroThreshold(p, n);
  InvertAboveThreshold(p, n, threshold);
  return false;
}

#else  // SIMD sets

// True when every lane's d * rcp lies near 1, so the refined estimate holds;
// zeros, infinities, NaNs, subnormals and values whose reciprocal is
// subnormal all fall outside.
inline bool EstimateHolds(simd::f32x4 e) {
  using namespace simd;
  return MoveMask(And(CmpGt(e, Splat(0.5f)), CmpLt(e, Splat(2.0f)))) == 0xF;
}

// 1/d per lane: the refined estimate, or true division for all four lanes.
inline simd::f32x4 Reciprocal(simd::f32x4 d) {
  using namespace simd;
  const f32x4 rcp = RcpEstimate(d);
  const f32x4 e = Mul(d, rcp);
  if (EstimateHolds(e)) return Mul(rcp, Sub(Splat(2.0f), e));
  return Div(Splat(1.0f), d);
}

// Four lanes at threshold 0; `zero` gets a bit per zero lane. A zero always
// sends its group to the division, so only that path looks for zeros.
inline simd::f32x4 InvertFourZeroThreshold(simd::f32x4 x, int& zero) {
  using namespace simd;
  const f32x4 rcp = RcpEstimate(x);
  const f32x4 e = Mul(x, rcp);
  if (EstimateHolds(e)) return Mul(rcp, Sub(Splat(2.0f), e));
  const f32x4 isZero = CmpEq(x, Zero4());
  zero |= MoveMask(isZero);
  return Select(isZero, SplatBits(kF32PlusInf), Div(Splat(1.0f), x));
}

// Four lanes above a positive threshold.
inline simd::f32x4 InvertFourAboveThreshold(simd::f32x4 x, simd::f32x4 threshold) {
  using namespace simd;
  const f32x4 signBit = SplatBits(kF32SignBit);
  const f32x4 magnitude = AndNot(signBit, x);
  const f32x4 held = Select(CmpLe(magnitude, threshold), threshold, magnitude);  // NaN stays
  const f32x4 negative = And(CmpLt(x, Zero4()), signBit);
  return Or(Reciprocal(held), negative);
}

// Head elements up to a 16-byte boundary, blocks of eight, a group of four
// and the last one to three elements; partial groups are padded with ones.
template <class Four>
void InvertAll(float* p, int64_t n, Four four) {
  int64_t i = 0;
  const int64_t head = static_cast<int64_t>((16 - simd::AddressOf(p) % 16) % 16) / 4;
  if (head > 0 && simd::Aligned16(p + head)) {  // a float* off its 4-byte grid never aligns
    i = head < n ? head : n;
    walk::FourPadded(p, p, i, 1.0f, four);
  }
  if (simd::Aligned16(p + i))
    walk::FourWideFrom<true>(p, p, i, n, 1.0f, four);
  else
    walk::FourWideFrom<false>(p, p, i, n, 1.0f, four);
}

bool InvThreshKernel(float* p, int64_t n, float threshold) {
  using namespace simd;
  if (threshold != 0.0f) {
    const f32x4 held = Splat(threshold);
    InvertAll(p, n, [held](f32x4 x) { return InvertFourAboveThreshold(x, held); });
    return false;
  }
  int zero = 0;
  InvertAll(p, n, [&zero](f32x4 x) { return InvertFourZeroThreshold(x, zero); });
  return zero != 0;
}

#endif

}  // namespace

spStatus SP_V(spInvThreshInPlaceF32)(float* srcDst, int32_t len, float threshold) {
  // A negative or NaN threshold is refused.
  const spStatus st = FirstFailure(CheckArrays(len, srcDst), CheckThat(threshold >= 0.0f, spErrThreshold));
  if (st != spOk) return st;
  ElementaryFloatEnv env;
  return InvThreshKernel(srcDst, len, threshold) ? spWarnDivByZero : spOk;
}

}  // namespace SP_SET_NS

// The inverse-with-threshold dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_INV_THRESH_ENTRIES)
#endif
