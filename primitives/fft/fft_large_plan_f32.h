// The large-size plan of the single-precision complex FFT: which split each
// complex order above a set's plain limit takes, the bytes the plan needs,
// and its build into one table block (deepest part first, each part at the
// end address the previous builder returned).
//
//   generic and SSE sets (per-level tables): a level of order M splits into
//     2^k1 rows of 2^d points; it keeps the plain twiddles of order k1 for
//     its column transforms and one twiddle-multiply factor per point, read
//     in the order the column step gathers (column groups of four, rows,
//     four columns; the SSE set's groups in the split 4-lane layout). A
//     split exponent of 0 marks a blocked order: 1024-point blocks on the
//     order-10 plain table, joined with a subsampled table.
//   SSE2, SSE3, SSSE3 sets (pass twiddles): per level the radix-4 (and for
//     odd k1 one radix-2) pass records of its column groups of 2^b points.
//
// Sizes are 64-bit: the block passes 2^32 bytes at complex order 29.
// Include only from *_variant.cpp.
#pragma once
#include <algorithm>
#include <cstdint>

#include "primitives/fft/fft_tables.h"
#include "primitives/fft/sp_real_fft.h"

namespace SP_SET_NS::fft32 {

using fftk::Pow2;

// Split exponents (k1 by complex order) and block exponents (log2 of the
// points one column group holds) for orders 0..29; 0 below the large path.
struct LargeSplitTables {
  int8_t split[30];
  int8_t block[30];
};
inline constexpr LargeSplitTables kLargeSplitGeneric = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 7, 8, 8, 8, 10, 10, 10, 10, 8, 8, 10, 10, 10, 10, 10}, {}};
inline constexpr LargeSplitTables kLargeSplitSse2 = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 5, 6, 6, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 10, 10, 13, 13, 13, 14, 14, 14, 14, 14, 14, 14, 14}};
inline constexpr LargeSplitTables kLargeSplitSse3 = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 4, 4, 4, 5, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 10, 10, 10, 13, 15, 15, 15, 15, 15, 15, 15, 15}};

// What distinguishes the sets' plans.
struct LargePlanShape {
  const LargeSplitTables& tables;
  int32_t plainLimit;  // rows up to this order run the plain radix passes
  bool passTwiddles;   // SSE2, SSE3, SSSE3
  bool splitLanes;     // SSE: tables and work in the split 4-lane layout
};

// The sets' plans, by set index.
inline constexpr LargePlanShape kLargeShapes[] = {
    {kLargeSplitGeneric, 10, false, false},  // generic
    {kLargeSplitGeneric, 10, false, true},   // SSE
    {kLargeSplitSse2, 15, true, false},      // SSE2
    {kLargeSplitSse3, 16, true, false},      // SSE3
    {kLargeSplitSse3, 17, true, false},      // SSSE3
};

struct LargePlanSizes {
  int64_t tableBytes = 0, scratchBytes = 0, workBytes = 0;
};

inline constexpr int32_t kBlockedBaseOrder = 10;
inline constexpr int64_t kBlockLength = int64_t{1} << kBlockedBaseOrder;
inline constexpr int32_t kSmallestBlockedOrder = 11;  // rows below it never run blocked

// Bytes reserved for a plain twiddle table of order k, and 16-byte round-up.
inline int64_t PlainTableBytes(int32_t k) { return ((int64_t{8} << k) + 23) & ~int64_t{15}; }
inline int64_t RoundUp16(int64_t x) { return (x + 15) & ~int64_t{15}; }

// Subsampled table of a blocked order D: 2^D/4 values (generic), or the
// runs of the levels D down to 11 (SSE, reserved as 2^D/2 values).
inline int64_t SubsampledBytes(const LargePlanShape& shape, int32_t D) {
  return 8 * (shape.splitLanes ? Pow2(D) / 2 : Pow2(D) / 4);
}
inline int64_t BlockedTableBytes(const LargePlanShape& shape, int32_t D) {
  return PlainTableBytes(kBlockedBaseOrder) + RoundUp16(SubsampledBytes(shape, D));
}
inline int64_t BlockedWorkBytes(const LargePlanShape& shape) { return shape.splitLanes ? 8 * kBlockLength : 0; }
inline int64_t RowWorkBytes(const LargePlanShape& shape, int32_t d) {
  return shape.splitLanes || shape.passTwiddles ? RoundUp16(int64_t{8} << d) : 0;
}

inline LargePlanSizes LargePlanSizesOf(const LargePlanShape& shape, int32_t m) {
  LargePlanSizes sizes;
  const int32_t k1 = shape.tables.split[m];
  if (k1 == 0) {  // blocked, only at the top of the generic and SSE sets
    sizes.tableBytes = BlockedTableBytes(shape, m);
    sizes.workBytes = BlockedWorkBytes(shape);
    return sizes;
  }
  const int32_t d = m - k1;
  if (shape.passTwiddles) {
    if (d <= shape.plainLimit) {
      sizes.tableBytes = PlainTableBytes(d);
      sizes.workBytes = RowWorkBytes(shape, d);
    } else {
      sizes = LargePlanSizesOf(shape, d);
    }
    sizes.tableBytes += int64_t{8} << m;
    sizes.workBytes = std::max(sizes.workBytes, int64_t{8} << shape.tables.block[m]);
    return sizes;
  }
  if (d < kSmallestBlockedOrder) {
    sizes.tableBytes = PlainTableBytes(d);
    sizes.workBytes = RowWorkBytes(shape, d);
  } else if (shape.tables.split[d] == 0) {
    sizes.tableBytes = BlockedTableBytes(shape, d);
    sizes.workBytes = BlockedWorkBytes(shape);
  } else {
    sizes = LargePlanSizesOf(shape, d);
  }
  sizes.tableBytes += PlainTableBytes(k1) + (int64_t{8} << m);
  // Build scratch: four rows of 2^k1 values and the swap list of order k1.
  sizes.scratchBytes += ((Pow2(k1) + 19) & ~int64_t{15}) + (int64_t{32} << k1);
  sizes.workBytes = std::max(sizes.workBytes, int64_t{32} << k1);
  return sizes;
}

// Four interleaved values (8 floats) into the split 4-lane layout, in place.
inline void ToSplitLanes(float* group) {
  float re[4], im[4];
  for (int i = 0; i < 4; ++i) {
    re[i] = group[2 * i];
    im[i] = group[2 * i + 1];
  }
  for (int i = 0; i < 4; ++i) {
    group[i] = re[i];
    group[4 + i] = im[i];
  }
}

// Subsampled table of a blocked order D at `out`; returns its end on a
// 16-byte boundary.
inline float* SubsampledTable(const LargePlanShape& shape, int32_t D, const float* sine, int32_t sineOrder,
                              float* out) {
  float* at = out;
  const int32_t lowest = shape.splitLanes ? kSmallestBlockedOrder : D;
  for (int32_t L = D; L >= lowest; --L) {
    float* run = at;
    for (int64_t k = 0; k < Pow2(L) / 4; ++k, at += 2) fftk::TwiddleFromSine(k, L, sine, sineOrder, at);
    if (shape.splitLanes)
      for (float* g = run; g < at; g += 8) ToSplitLanes(g);
  }
  return fftk::Next16(at);
}

// Twiddle-multiply table of a level of order M split 2^k1 ways: column
// groups c0 of four, rows j, columns c0..c0+3: W(rev(j) (c0 + r), M).
inline float* MultiplyTable(const LargePlanShape& shape, int32_t M, int32_t k1, const float* sine, int32_t sineOrder,
                            float* out) {
  const int64_t rows = Pow2(k1), cols = Pow2(M - k1);
  for (int64_t c0 = 0; c0 < cols; c0 += 4)
    for (int64_t j = 0; j < rows; ++j) {
      const int64_t reversed = fftk::ReverseBits(j, k1);
      for (int64_t r = 0; r < 4; ++r) fftk::FullCircleTwiddle(reversed * (c0 + r), M, sine, sineOrder, out + 2 * r);
      if (shape.splitLanes) ToSplitLanes(out);
      out += 8;
    }
  return out;
}

// Pass-twiddle table of a level of order M (split k1, block exponent b):
// per column group of G = 2^(b - k1) columns, the records of each radix-4
// pass (factors 1, 2, 3 for four columns, split layout), then for odd k1
// the radix-2 records.
inline float* PassTwiddleTable(int32_t M, int32_t k1, int32_t b, const float* sine, int32_t sineOrder, float* out) {
  const int32_t d = M - k1;
  const int64_t rowLength = Pow2(d), groupCols = Pow2(b - k1);
  auto record = [&](int64_t u, int64_t factor, int32_t L) {
    float w[2];
    for (int64_t i = 0; i < 4; ++i) {
      fftk::FullCircleTwiddle((u + i) * factor, L, sine, sineOrder, w);
      out[i] = w[0];
      out[4 + i] = w[1];
    }
    out += 8;
  };
  for (int64_t c0 = 0; c0 < rowLength; c0 += groupCols) {
    int64_t subBlocks = 1;
    for (int32_t p = 0; p < k1 / 2; ++p, subBlocks *= 4) {
      const int32_t L = d + 2 + 2 * p;
      for (int64_t q = 0; q < subBlocks; ++q)
        for (int64_t i0 = 0; i0 < groupCols; i0 += 4)
          for (int64_t r = 1; r <= 3; ++r) record(c0 + q * rowLength + i0, r, L);
    }
    if (k1 % 2 == 1)
      for (int64_t q = 0; q < subBlocks; ++q)
        for (int64_t i0 = 0; i0 < groupCols; i0 += 4) record(c0 + q * rowLength + i0, 1, M);
  }
  return out;
}

// Builds the plan of complex order m into `block` (tableBytes of
// LargePlanSizesOf) and points the spec's plan fields at it. Builders
// gives the set's plain twiddle builder, BuildTwiddles(m, sine, order, at).
template <class Builders>
void BuildLargePlan(const LargePlanShape& shape, REALFFTSPEC& spec, int32_t m, const float* sine, int32_t order,
                    float* block) {
  auto blockedBase = [&](int32_t D, float* at) {
    spec.twiddles = at;
    float* sub = Builders::BuildTwiddles(kBlockedBaseOrder, sine, order, at);
    spec.subsampledTwiddles = sub;
    return SubsampledTable(shape, D, sine, order, sub);
  };
  // Builds the level of order M and the ones below it at `at`; returns the
  // first address after them.
  auto level = [&](auto& self, int32_t M, int32_t depth, float* at) -> float* {
    const int32_t k1 = shape.tables.split[M], d = M - k1;
    float* next;
    if (d <= shape.plainLimit) {
      spec.twiddles = at;
      next = Builders::BuildTwiddles(d, sine, order, at);
    } else if (!shape.passTwiddles && shape.tables.split[d] == 0) {
      next = blockedBase(d, at);
    } else {
      next = self(self, d, depth + 1, at);
    }
    if (shape.passTwiddles) {
      spec.multiplyTables[depth] = next;
      PassTwiddleTable(M, k1, shape.tables.block[M], sine, order, next);
      return next + 2 * Pow2(M);
    }
    spec.rowTwiddles[depth] = next;
    float* multiply = Builders::BuildTwiddles(k1, sine, order, next);
    spec.multiplyTables[depth] = multiply;
    MultiplyTable(shape, M, k1, sine, order, multiply);
    return multiply + 2 * Pow2(M);
  };
  if (shape.tables.split[m] == 0)
    blockedBase(m, block);
  else
    level(level, m, 0, block);
  spec.workBytes = LargePlanSizesOf(shape, m).workBytes;
}

}  // namespace SP_SET_NS::fft32
