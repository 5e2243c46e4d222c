// The large-size plan of the double complex FFT: its size and its build,
// for complex orders above a set's plain limit. Every table of the plan
// lies in one block, one table after another on 16-byte boundaries: the
// base table (the row kernel's twiddles) first, then each level's tables
// from the deepest level out.
//
//   generic and SSE sets: a base of complex order <= 9 (plain table), or
//     the blocked base (the order-9 plain table and the subsampled list of
//     the base order); per level the generic table of the column transforms
//     (order k1) and the twiddle-multiply table (2^M values, in reading
//     order: column groups of four, rows, four columns).
//   SSE2, SSE3, SSSE3 sets: a base of the stage twiddles of the row order;
//     per level the twiddle-multiply table of the column step (pair-split
//     entries, read on across the column blocks).
//
// Sizes are 64-bit throughout; the largest plan (complex order 29) takes
// 8 GiB. Include only from *_variant.cpp.
#pragma once
#include <algorithm>
#include <cstdint>

#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/fft_tables_f64.h"
#include "primitives/fft/sp_real_fft.h"

namespace SP_SET_NS::fftk {

// The deepest row order a set transforms with its row kernel, and whether
// the set runs the SIMD family.
struct LargePlanShape {
  const spkFftLargePlanExponents& exponents;
  int32_t rowLimit;  // 9 generic/SSE, 13 SSE2, 14 SSE3/SSSE3
  bool simd;
};

// The sets' plans, by set index.
inline constexpr LargePlanShape kLargeShapes[] = {
    {kLargePlanGeneric, 9, false},  // generic
    {kLargePlanGeneric, 9, false},  // SSE
    {kLargePlanSse2, 13, true},     // SSE2
    {kLargePlanSse3, 14, true},     // SSE3
    {kLargePlanSse3, 14, true},     // SSSE3
};

// Bytes of the plan block and the largest work buffer its transforms need.
struct LargePlanSize {
  int64_t blockBytes = 0;
  int64_t workBytes = 0;
};

inline constexpr int64_t kBlockedBaseBytes = 8208;  // the order-9 plain table, (2^9 + 1) * 16

inline LargePlanSize LargePlanSizeOf(const LargePlanShape& shape, int32_t m) {
  LargePlanSize size;
  const int32_t k1 = shape.exponents.split[m];
  if (!shape.simd && k1 == 0) {
    size.blockBytes = 4 * Pow2(m) + kBlockedBaseBytes;
    return size;
  }
  const int32_t m2 = m - k1;
  if (m2 <= shape.rowLimit) {
    size.blockBytes = (Pow2(m2) + 1) * 16;
    if (shape.simd) size.workBytes = 16 * Pow2(m2);
  } else if (!shape.simd && shape.exponents.split[m2] == 0) {
    size.blockBytes = 4 * Pow2(m2) + kBlockedBaseBytes;
  } else {
    size = LargePlanSizeOf(shape, m2);
  }
  if (shape.simd) {
    size.blockBytes += 16 * Pow2(m);
    size.workBytes = std::max(size.workBytes, 16 * Pow2(shape.exponents.block[m]));
  } else {
    size.blockBytes += (Pow2(m) + Pow2(k1) + 1) * 16;
    size.workBytes = std::max(size.workBytes, 64 * Pow2(k1));
  }
  return size;
}

// Pair-split entry for positions e and e + 1 of e^(-2 pi j f e / 2^r).
inline double* PairEntry(int64_t e, int64_t factor, int32_t r, const double* sine, int32_t sineOrder, double* out) {
  double w0[2], w1[2];
  TwiddleFromSine(factor * e, r, sine, sineOrder, w0);
  TwiddleFromSine(factor * (e + 1), r, sine, sineOrder, w1);
  out[0] = w0[0];
  out[1] = w1[0];
  out[2] = w0[1];
  out[3] = w1[1];
  return out + 4;
}

// Generic twiddle-multiply table of a level of order M split 2^k1 ways.
inline double* MultiplyTableGeneric(int32_t M, int32_t k1, const double* sine, int32_t sineOrder, double* out) {
  const int64_t rows = Pow2(k1), cols = Pow2(M - k1);
  for (int64_t c0 = 0; c0 < cols; c0 += 4)
    for (int64_t r = 0; r < rows; ++r) {
      const int64_t reversed = ReverseBits(r, k1);
      for (int64_t t = 0; t < 4; ++t, out += 2) FullCircleTwiddle((c0 + t) * reversed, M, sine, sineOrder, out);
    }
  return Next16(out);
}

// SIMD twiddle-multiply table of a level: per column block, the records of
// each radix-4 pass, then the radix-2 entries when k1 is odd.
inline double* MultiplyTablePairs(int32_t M, int32_t k1, int32_t blockExponent, const double* sine, int32_t sineOrder,
                                  double* out) {
  const int32_t L = M - k1;
  const int64_t rowLength = Pow2(L), cols = Pow2(blockExponent - k1);
  for (int64_t c0 = 0; c0 < rowLength; c0 += cols) {
    int64_t span = 1;
    int32_t r = L + 2;
    for (int32_t s = 2; s <= k1; s += 2, span *= 4, r += 2)
      for (int64_t g = 0; g < span; ++g)
        for (int64_t c = 0; c < cols; c += 2)
          for (int64_t f = 1; f <= 3; ++f) out = PairEntry(g * rowLength + c0 + c, f, r, sine, sineOrder, out);
    if (k1 % 2 == 1)
      for (int64_t g = 0; g < span; ++g)
        for (int64_t c = 0; c < cols; c += 2) out = PairEntry(g * rowLength + c0 + c, 1, M, sine, sineOrder, out);
  }
  return out;
}

// Builds the plan of complex order m into `block` (LargePlanSizeOf bytes)
// and points the spec's tables at it; sets workBytes.
template <class Builders>
void BuildLargePlan(const LargePlanShape& shape, REALFFTSPEC& spec, int32_t m, const double* sine, int32_t order,
                    double* block) {
  auto blockedBase = [&](int32_t baseOrder, double* at) {
    spec.twiddles = at;
    double* sub = Builders::BuildTwiddles(9, sine, order, at);
    spec.subsampledTwiddles = sub;
    return Builders::BuildSubsampled(baseOrder, sine, order, sub);
  };
  // Returns the address after the tables of this level and the deeper ones.
  auto level = [&](auto& self, int32_t M, int32_t depth, double* at) -> double* {
    const int32_t k1 = shape.exponents.split[M], m2 = M - k1;
    double* next;
    if (m2 <= shape.rowLimit) {
      spec.twiddles = at;
      next = Builders::BuildTwiddles(m2, sine, order, at);
    } else if (!shape.simd && shape.exponents.split[m2] == 0) {
      next = blockedBase(m2, at);
    } else {
      next = self(self, m2, depth + 1, at);
    }
    if (shape.simd) {
      spec.multiplyTables[depth] = next;
      MultiplyTablePairs(M, k1, shape.exponents.block[M], sine, order, next);
      return next + 2 * Pow2(M);
    }
    spec.rowTwiddles[depth] = next;
    double* multiply = Builders::BuildTwiddles(k1, sine, order, next);
    spec.multiplyTables[depth] = multiply;
    return MultiplyTableGeneric(M, k1, sine, order, multiply);
  };
  if (!shape.simd && shape.exponents.split[m] == 0)
    blockedBase(m, block);
  else
    level(level, m, 0, block);
  spec.workBytes = LargePlanSizeOf(shape, m).workBytes;
}

}  // namespace SP_SET_NS::fftk
