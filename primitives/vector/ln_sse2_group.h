// Natural logarithm of the SSE2, SSE3 and SSSE3 sets. Floats: four at a
// time, s by division, single precision, with only the lanes outside the
// safe exponent range looked at one by one. Doubles: two at a time through a
// 65-row table, no division.
#pragma once
#include "primitives/vector/ln_rules.h"
#include "primitives/vector/ln_table.h"

#if SP_SET_INDEX >= SP_SET_SSE2
namespace SP_SET_NS::vln {
namespace {

// ---- floats ----

// The series on four lanes of bits; kOffset is added to k per lane.
inline f32x4 LnLanesF32(i32x4 bits, i32x4 kOffset) {
  const i32x4 e = And(ShiftRightLogical<23>(bits), SplatI32(0xFF));
  const i32x4 fraction = And(bits, SplatI32(0x007FFFFF));
  const i32x4 upper = CmpGt(fraction, SplatI32(static_cast<int32_t>(kHalfFractionBound) - 1));
  const i32x4 one = SplatI32(0x3F800000), half = SplatI32(0x3F000000);
  const f32x4 f = FromBits(Or(fraction, Select(upper, half, one)));
  // k = e - 127, plus one for the upper half (the mask is -1 there).
  const i32x4 k = Add(Sub(Sub(e, SplatI32(127)), upper), kOffset);
  const f32x4 s = Div(Sub(f, Splat(1.0f)), Add(f, Splat(1.0f)));
  return SeriesF32(I32ToF32(k), s);
}

// Lanes outside the safe range (exponent field, sign bit included, below 65
// or above 189): zeros, anything signed, infinities, NaNs, subnormals and
// extreme magnitudes. Only these are looked at one by one.
f32x4 FixCheckedLanesF32(f32x4 x, f32x4 computed, int mask, FirstWarning& w) {
  alignas(16) float in[4], res[4];
  Store(in, x);
  Store(res, computed);
  bool subnormal = false;
  for (int i = 0; i < 4; ++i)
    if ((mask >> i) & 1) subnormal |= (Bits(in[i]) >> 23) == 0 && Bits(in[i]) != 0;
  alignas(16) float normalised[4];
  if (subnormal) {
    Store(normalised, LnLanesF32(Bits(Mul(x, Splat(kTwoPow24))), SplatI32(-24)));
  }
  for (int i = 0; i < 4; ++i) {
    if (!((mask >> i) & 1)) continue;
    float out;
    if ((Bits(in[i]) & 0xFFC00000u) == 0x7FC00000u)
      res[i] = in[i];  // a positive quiet NaN passes unchanged
    else if (SpecialLn(in[i], out, w))
      res[i] = out;
    else if ((Bits(in[i]) >> 23) == 0)
      res[i] = normalised[i];
  }
  return Load(res);
}

inline f32x4 LnGroupF32(f32x4 x, FirstWarning& w) {
  const i32x4 bits = Bits(x);
  const i32x4 signedExponent = ShiftRightArith<23>(bits);
  const i32x4 outside = Or(CmpLt(signedExponent, SplatI32(65)), CmpGt(signedExponent, SplatI32(189)));
  const f32x4 computed = LnLanesF32(bits, ZeroI32());
  const int mask = MoveMask(outside);
  return mask ? FixCheckedLanesF32(x, computed, mask, w) : computed;
}

spStatus LnArrayF32(const float* src, float* dst, int64_t n) {
  FirstWarning w;
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) StoreU(dst + i, LnGroupF32(LoadU(src + i), w));
  if (i < n) {
    // Last 1..3 elements; the unused lanes hold 1.0 (ln 1 = 0, no warning).
    alignas(16) float t[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    for (int64_t j = i; j < n; ++j) t[j - i] = Ld(src + j);
    Store(t, LnGroupF32(Load(t), w));
    for (int64_t j = i; j < n; ++j) St(dst + j, t[j - i]);
  }
  return w.status;
}

// ---- doubles ----
// x = 2^k m, m in [1, 2); j = round(64 (m - 1)) from the top 11 fraction
// bits; m = m_hi + m_lo with m_hi keeping the top 31 fraction bits, so that
// m_hi r_j - 1 is exact; u = (m_hi r_j - 1) + m_lo r_j and
// ln x = (k ln2_hi + T_hi) + ((m_hi r_j - 1) + ((k ln2_lo + T_lo) + m_lo r_j + u^2 P(u))).
// ln2_hi keeps 11 trailing zero bits so that k ln2_hi is exact.
constexpr uint64_t kLn2High = 0x3FE62E42FEFA3800ull, kLn2Low = 0x3D2EF35793C7672Eull;
constexpr uint64_t kP0 = 0xBFE000000000001Bull, kP1 = 0x3FD55555555555A9ull, kP2 = 0xBFCFFFFFFF201E11ull;
constexpr uint64_t kP3 = 0x3FC9999998867A5Eull, kP4 = 0xBFC555C54DD57D7Cull, kP5 = 0x3FC24998090DC54Aull;

// Both lanes positive, finite and normal; kOffset (an integer per lane) is
// added to k, for subnormals that were scaled by 2^52 beforehand.
inline f64x2 LnNormalPairF64(f64x2 x, f64x2 kOffset) {
  const i64x2 bits = Bits(x);
  const i64x2 exponent = ShiftRightLogical<52>(bits);
  const f64x2 k = Add(Sub(LowI32ToF64(LowHalvesOfI64(exponent)), Splat(1023.0)), kOffset);
  // j = (top 11 fraction bits + 16) / 32, 0 .. 64.
  const i64x2 rows = ShiftRightLogical<5>(Add(And(ShiftRightLogical<41>(bits), SplatI64(0x7FF)), SplatI64(16)));
  const LnTableRow& row0 = kLnTable[Lane0(rows)];
  const LnTableRow& row1 = kLnTable[Lane1(rows)];
  const f64x2 m = FromBits(Or(And(bits, SplatI64(0x000FFFFFFFFFFFFFull)), SplatI64(0x3FF0000000000000ull)));
  const f64x2 mHigh = And(m, SplatBits(~((uint64_t{1} << 21) - 1)));
  const f64x2 mLow = Sub(m, mHigh);
  const f64x2 r = Lanes(row0.reciprocal, row1.reciprocal);
  const f64x2 tHigh = Lanes(row0.minusLnHigh, row1.minusLnHigh);
  const f64x2 tLow = Lanes(row0.minusLnLow, row1.minusLnLow);
  const f64x2 t = Sub(Mul(mHigh, r), Splat(1.0));  // exact
  const f64x2 mLowR = Mul(mLow, r);
  const f64x2 u = Add(t, mLowR);
  f64x2 p = Add(Splat(DoubleFromBits(kP4)), Mul(u, Splat(DoubleFromBits(kP5))));
  p = Add(Splat(DoubleFromBits(kP3)), Mul(u, p));
  p = Add(Splat(DoubleFromBits(kP2)), Mul(u, p));
  p = Add(Splat(DoubleFromBits(kP1)), Mul(u, p));
  p = Add(Splat(DoubleFromBits(kP0)), Mul(u, p));
  const f64x2 high = Add(Mul(k, Splat(DoubleFromBits(kLn2High))), tHigh);
  const f64x2 low = Add(Add(Add(Mul(k, Splat(DoubleFromBits(kLn2Low))), tLow), mLowR), Mul(Mul(u, u), p));
  return Add(high, Add(t, low));
}

inline bool PositiveNormal(double x) { return Bits(x) - kF64SmallestNormal < 0x7FE0000000000000ull; }

// A pair holding a special or a subnormal: specials are evaluated as 1.0
// and replaced afterwards (lowest index first), subnormals are normalised.
inline f64x2 LnCheckedPairF64(double x0, double x1, FirstWarning& w) {
  double in[2] = {x0, x1}, special[2] = {0.0, 0.0}, offset[2] = {0.0, 0.0};
  bool isSpecial[2];
  for (int i = 0; i < 2; ++i) {
    isSpecial[i] = SpecialLn(in[i], special[i], w);
    if (isSpecial[i]) {
      in[i] = 1.0;
    } else if (!PositiveNormal(in[i])) {
      in[i] *= kTwoPow52;
      offset[i] = -52.0;
    }
  }
  alignas(16) double lanes[2];
  Store(lanes, LnNormalPairF64(Lanes(in[0], in[1]), Lanes(offset[0], offset[1])));
  for (int i = 0; i < 2; ++i)
    if (isSpecial[i]) lanes[i] = special[i];
  return Load(lanes);
}

spStatus LnArrayF64(const double* src, double* dst, int64_t n) {
  FirstWarning w;
  const bool alignedDst = Aligned16(dst);
  int64_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const double x0 = Ld(src + i), x1 = Ld(src + i + 1);
    const f64x2 v = PositiveNormal(x0) && PositiveNormal(x1) ? LnNormalPairF64(Lanes(x0, x1), Zero2())
                                                             : LnCheckedPairF64(x0, x1, w);
    if (alignedDst)
      Store(dst + i, v);
    else
      StoreU(dst + i, v);
  }
  if (i < n) St(dst + i, Lane0(LnCheckedPairF64(Ld(src + i), 1.0, w)));  // a lone last element pairs with 1.0
  return w.status;
}

}  // namespace
}  // namespace SP_SET_NS::vln
#endif
