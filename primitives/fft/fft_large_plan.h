// The large-size plan of the complex FFT, written once for both
// precisions: which split each complex order above a set's plain limit
// takes (the set's exponent tables), the bytes the plan needs, and its
// build into one table block (deepest part first, each part at the end
// address the previous builder returned).
//
//   generic and SSE sets (per-level tables): a level of order M splits into
//     2^k1 rows of 2^d points; it keeps the plain twiddles of order k1 for
//     its column transforms and one twiddle-multiply factor per point, read
//     in the order the column step gathers. A split exponent of 0 marks a
//     blocked order: blocks on the plain table of the blocked base order,
//     joined with a subsampled table.
//   SSE2, SSE3, SSSE3 sets (pass twiddles): per level the radix-4 (and for
//     odd k1 one radix-2) pass records of its column groups of 2^b points.
//
// The precisions differ in their element size, their exponent tables and
// limits (a row of the set's shape) and the layouts of their tables (the
// Plan's builders). Sizes are 64-bit: the block passes 2^32 bytes at
// complex order 29. Include only from *_variant.cpp.
#pragma once
#include <algorithm>
#include <cstdint>

#include "primitives/fft/fft_tables.h"
#include "primitives/fft/sp_real_fft.h"

namespace SP_SET_NS::fftk {

// What distinguishes the sets' plans. Tables holds split[] (k1 by complex
// order) and block[] (log2 of the points one column group holds).
template <class Tables>
struct LargePlanShape {
  const Tables& tables;
  int32_t rowLimit;          // rows up to this order run the plain radix passes
  int32_t blockedBaseOrder;  // order of the blocks of a blocked order
  bool passTwiddles;         // SSE2, SSE3, SSSE3
  bool quadSplit;            // single-precision SSE: tables and work quad-split
};

struct LargePlanSizes {
  int64_t tableBytes = 0, workBytes = 0;
};

inline int64_t RoundUp16(int64_t x) { return (x + 15) & ~int64_t{15}; }

// Bytes of `values` complex values of T.
template <class T>
inline int64_t ComplexBytes(int64_t values) {
  return values * 2 * static_cast<int64_t>(sizeof(T));
}
// Bytes reserved for a plain twiddle table of order k (2^k + 1 values).
template <class T>
inline int64_t PlainTableBytes(int32_t k) {
  return RoundUp16(ComplexBytes<T>(Pow2(k) + 1));
}

// A blocked order D: the base table and the subsampled table, 2^D/4 values
// (or, quad-split, the runs of the levels D down to the base order + 1,
// reserved as 2^D/2 values).
template <class T, class Shape>
inline int64_t BlockedTableBytes(const Shape& shape, int32_t D) {
  const int64_t subsampled = shape.quadSplit ? Pow2(D) / 2 : Pow2(D) / 4;
  return PlainTableBytes<T>(shape.blockedBaseOrder) + RoundUp16(ComplexBytes<T>(subsampled));
}
template <class T, class Shape>
inline int64_t BlockedWorkBytes(const Shape& shape) {
  return shape.quadSplit ? ComplexBytes<T>(Pow2(shape.blockedBaseOrder)) : 0;
}
template <class T, class Shape>
inline int64_t RowWorkBytes(const Shape& shape, int32_t d) {
  return shape.quadSplit || shape.passTwiddles ? RoundUp16(ComplexBytes<T>(Pow2(d))) : 0;
}

template <class T, class Shape>
LargePlanSizes LargePlanSizesOf(const Shape& shape, int32_t m) {
  LargePlanSizes sizes;
  const int32_t k1 = shape.tables.split[m];
  if (!shape.passTwiddles && k1 == 0) {  // blocked, only at the top
    sizes.tableBytes = BlockedTableBytes<T>(shape, m);
    sizes.workBytes = BlockedWorkBytes<T>(shape);
    return sizes;
  }
  const int32_t d = m - k1;
  if (d <= shape.rowLimit) {
    sizes.tableBytes = PlainTableBytes<T>(d);
    sizes.workBytes = RowWorkBytes<T>(shape, d);
  } else if (!shape.passTwiddles && shape.tables.split[d] == 0) {
    sizes.tableBytes = BlockedTableBytes<T>(shape, d);
    sizes.workBytes = BlockedWorkBytes<T>(shape);
  } else {
    sizes = LargePlanSizesOf<T>(shape, d);
  }
  if (shape.passTwiddles) {
    sizes.tableBytes += ComplexBytes<T>(Pow2(m));
    sizes.workBytes = std::max(sizes.workBytes, ComplexBytes<T>(Pow2(shape.tables.block[m])));
    return sizes;
  }
  sizes.tableBytes += PlainTableBytes<T>(k1) + ComplexBytes<T>(Pow2(m));
  sizes.workBytes = std::max(sizes.workBytes, 4 * ComplexBytes<T>(Pow2(k1)));
  return sizes;
}

// Twiddle-multiply table of a level of order M split 2^k1 ways, the
// generic layout: column groups c0 of four, rows j, columns c0..c0+3:
// W(rev(j) (c0 + r), M), interleaved. Returns the end of what it wrote.
template <class T>
T* MultiplyTable(int32_t M, int32_t k1, const T* sine, int32_t sineOrder, T* out) {
  const int64_t rows = Pow2(k1), cols = Pow2(M - k1);
  for (int64_t c0 = 0; c0 < cols; c0 += 4)
    for (int64_t j = 0; j < rows; ++j) {
      const int64_t reversed = ReverseBits(j, k1);
      for (int64_t r = 0; r < 4; ++r) FullCircleTwiddle(reversed * (c0 + r), M, sine, sineOrder, out + 2 * r);
      out += 8;
    }
  return out;
}

// Pass-twiddle table of a level of order M (split k1, block exponent b) of
// the SIMD sets: per column group of G = 2^(b - k1) columns, the records of
// each radix-4 pass (factors 1, 2, 3 for each run of 16 bytes' worth of
// columns, split), then for odd k1 the radix-2 records. Returns the
// end of what it wrote.
template <class T>
T* PassTwiddleTable(int32_t M, int32_t k1, int32_t b, const T* sine, int32_t sineOrder, T* out) {
  constexpr int64_t kWidth = 16 / sizeof(T);  // complex values per split run
  const int32_t d = M - k1;
  const int64_t rowLength = Pow2(d), groupCols = Pow2(b - k1);
  auto record = [&](int64_t u, int64_t factor, int32_t L) {
    T w[2];
    for (int64_t i = 0; i < kWidth; ++i) {
      FullCircleTwiddle((u + i) * factor, L, sine, sineOrder, w);
      out[i] = w[0];
      out[kWidth + i] = w[1];
    }
    out += 2 * kWidth;
  };
  for (int64_t c0 = 0; c0 < rowLength; c0 += groupCols) {
    int64_t subBlocks = 1;
    for (int32_t p = 0; p < k1 / 2; ++p, subBlocks *= 4) {
      const int32_t L = d + 2 + 2 * p;
      for (int64_t q = 0; q < subBlocks; ++q)
        for (int64_t i0 = 0; i0 < groupCols; i0 += kWidth)
          for (int64_t r = 1; r <= 3; ++r) record(c0 + q * rowLength + i0, r, L);
    }
    if (k1 % 2 == 1)
      for (int64_t q = 0; q < subBlocks; ++q)
        for (int64_t i0 = 0; i0 < groupCols; i0 += kWidth) record(c0 + q * rowLength + i0, 1, M);
  }
  return out;
}

// Builds the plan of complex order m into `block` (tableBytes of
// LargePlanSizesOf) and points the spec's plan fields at it. Plan gives
// the set's table builders, each writing at `at` and returning the first
// 16-byte boundary after what it wrote:
//   BuildTwiddles(k, sine, order, at)      plain twiddles of order k
//   BuildSubsampled(D, sine, order, at)    subsampled table of a blocked order D
//   BuildMultiply(M, k1, sine, order, at)  twiddle-multiply table of a level (sets without pass twiddles)
template <class Plan, class Shape, class T>
void BuildLargePlan(const Shape& shape, REALFFTSPEC& spec, int32_t m, const T* sine, int32_t order, T* block) {
  auto blockedBase = [&](int32_t D, T* at) {
    spec.twiddles = at;
    T* sub = Plan::BuildTwiddles(shape.blockedBaseOrder, sine, order, at);
    spec.subsampledTwiddles = sub;
    return Plan::BuildSubsampled(D, sine, order, sub);
  };
  // Builds the level of order M and the ones below it at `at`; returns the
  // first address after them.
  auto level = [&](auto& self, int32_t M, int32_t depth, T* at) -> T* {
    const int32_t k1 = shape.tables.split[M], d = M - k1;
    T* next;
    if (d <= shape.rowLimit) {
      spec.twiddles = at;
      next = Plan::BuildTwiddles(d, sine, order, at);
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
    T* multiply = Plan::BuildTwiddles(k1, sine, order, next);
    spec.multiplyTables[depth] = multiply;
    return Plan::BuildMultiply(M, k1, sine, order, multiply);
  };
  if (!shape.passTwiddles && shape.tables.split[m] == 0)
    blockedBase(m, block);
  else
    level(level, m, 0, block);
  spec.workBytes = LargePlanSizesOf<T>(shape, m).workBytes;
}

}  // namespace SP_SET_NS::fftk
