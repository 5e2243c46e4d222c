// Checked element-wise division of one variant set, the step that turns the
// raw autocorrelation into the unbiased one.
//
// The generic set divides element by element and gives every zero or NaN
// divisor a fixed special value (default NaN 0xFFC00000 for 0/0). The vector
// sets divide eight elements per pass by a reciprocal estimate refined by a
// two-term correction, and only a pass (or a remainder block) that holds a
// zero divisor is divided lane by lane with exact quotients and the special
// values (positive quiet NaN 0x7FC00000). A NaN divisor outside such a pass
// flows through the estimate as a NaN without the warning. Passes start
// where dst reaches a 16-byte boundary; arrays not on 4-byte boundaries run
// in blocks of four. Blocks with fewer than four elements read and write
// only their own elements.
#include <bit>
#include <cmath>
#include <cstdint>

#include "primitives/correlation/correlation_kernels.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"

namespace SP_SET_NS {
namespace {

using simd::Ld;
using simd::St;

constexpr float kPlusInf = std::bit_cast<float>(0x7F800000u);
constexpr float kMinusInf = std::bit_cast<float>(0xFF800000u);

#if SP_SET_INDEX == SP_SET_GENERIC

constexpr float kNegativeQuietNaN = std::bit_cast<float>(0xFFC00000u);

bool DivideGeneric(const float* divisor, const float* src, float* dst, int64_t n) {
  bool special = false;
  for (int64_t i = 0; i < n; ++i) {
    const float d = Ld(divisor + i), s = Ld(src + i);
    if (d != 0.0f && !std::isnan(d)) {
      St(dst + i, static_cast<float>(static_cast<double>(s) / d));
      continue;
    }
    special = true;
    St(dst + i, s > 0.0f ? kPlusInf : (s == 0.0f ? kNegativeQuietNaN : kMinusInf));
  }
  return special;
}

#else

using simd::f32x4;
constexpr float kPositiveQuietNaN = std::bit_cast<float>(0x7FC00000u);

// Reciprocal estimate r of d refined: q = r s, e = 1 - d r, q + (e q + q) e.
f32x4 Approximate(f32x4 d, f32x4 s) {
  const f32x4 r = simd::RcpEstimate(d);
  const f32x4 e = simd::Sub(simd::Splat(1.0f), simd::Mul(d, r));
  const f32x4 q = simd::Mul(r, s);
  return simd::Add(q, simd::Mul(simd::Add(simd::Mul(e, q), q), e));
}

bool HasZero(f32x4 d) { return simd::MoveMask(simd::CmpEq(d, simd::Zero4())) != 0; }

// Exact quotients, and the special values of zero and NaN divisors.
f32x4 LaneByLane(f32x4 d, f32x4 s, bool& special) {
  float dv[4], sv[4], q[4];
  simd::StoreU(dv, d);
  simd::StoreU(sv, s);
  for (int i = 0; i < 4; ++i) {
    if (dv[i] != 0.0f && !std::isnan(dv[i])) {
      q[i] = sv[i] / dv[i];
      continue;
    }
    special = true;
    if (std::isnan(dv[i]))
      q[i] = kPositiveQuietNaN;
    else
      q[i] = sv[i] > 0.0f ? kPlusInf : (sv[i] < 0.0f ? kMinusInf : kPositiveQuietNaN);
  }
  return simd::LoadU(q);
}

// One block of `count` (1 to 4) elements; the other lanes divide 1 by 1.
f32x4 LaneFix(f32x4 d, f32x4 s, bool& special) { return HasZero(d) ? LaneByLane(d, s, special) : Approximate(d, s); }

void Block(const float* divisor, const float* src, float* dst, int count, bool& special) {
  float dv[4] = {1.0f, 1.0f, 1.0f, 1.0f}, sv[4] = {1.0f, 1.0f, 1.0f, 1.0f}, q[4];
  for (int i = 0; i < count; ++i) {
    dv[i] = Ld(divisor + i);
    sv[i] = Ld(src + i);
  }
  simd::StoreU(q, LaneFix(simd::LoadU(dv), simd::LoadU(sv), special));
  for (int i = 0; i < count; ++i) St(dst + i, q[i]);
}

// Blocks of four, then two, then one.
void Blocks(const float* divisor, const float* src, float* dst, int64_t n, int64_t& i, bool& special) {
  for (; n - i >= 4; i += 4) Block(divisor + i, src + i, dst + i, 4, special);
  if (n - i >= 2) {
    Block(divisor + i, src + i, dst + i, 2, special);
    i += 2;
  }
  if (n - i == 1) {
    Block(divisor + i, src + i, dst + i, 1, special);
    ++i;
  }
}

bool DivideVector(const float* divisor, const float* src, float* dst, int64_t n) {
  bool special = false;
  int64_t i = 0;
  const bool elementAligned = simd::IsAligned(divisor, 4) && simd::IsAligned(src, 4) && simd::IsAligned(dst, 4);
  if (elementAligned) {
    // Head: bring dst to a 16-byte boundary with a block of one, then two.
    if ((simd::AddressOf(dst) & 7) == 4) {
      Block(divisor, src, dst, 1, special);
      i = 1;
    }
    if (i < n && (simd::AddressOf(dst + i) & 15) == 8 && n - i >= 2) {
      Block(divisor + i, src + i, dst + i, 2, special);
      i += 2;
    }
    if (simd::Aligned16(dst + i)) {
      for (; n - i >= 8; i += 8) {
        const f32x4 d0 = simd::LoadU(divisor + i), d1 = simd::LoadU(divisor + i + 4);
        const f32x4 s0 = simd::LoadU(src + i), s1 = simd::LoadU(src + i + 4);
        const bool zero = HasZero(d0) || HasZero(d1);
        simd::Store(dst + i, zero ? LaneByLane(d0, s0, special) : Approximate(d0, s0));
        simd::Store(dst + i + 4, zero ? LaneByLane(d1, s1, special) : Approximate(d1, s1));
      }
    }
  }
  Blocks(divisor, src, dst, n, i, special);
  return special;
}

#endif

}  // namespace

spStatus SP_V(spkDivCheckedF32)(const float* divisor, const float* src, float* dst, int32_t n) {
  if (const spStatus s = CheckArrays(n, divisor, src, dst); s != spOk) return s;
#if SP_SET_INDEX == SP_SET_GENERIC
  const bool special = DivideGeneric(divisor, src, dst, n);
#else
  const bool special = DivideVector(divisor, src, dst, n);
#endif
  return special ? spWarnZeroDivisor : spOk;
}

spStatus SP_V(spkDivInPlaceF32)(const float* divisor, float* srcDst, int32_t n) {
  if (const spStatus s = CheckArrays(n, divisor, srcDst); s != spOk) return s;
  return SP_V(spkDivCheckedF32)(divisor, srcDst, srcDst, n);
}

}  // namespace SP_SET_NS
