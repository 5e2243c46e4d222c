// The single-precision large-size plan's rows (fft_large_plan.h builds
// and sizes it): the split and block exponents by complex order, each
// set's shape, and the builders of the float layouts of its tables (the SSE
// set's quad-split).
#pragma once
#include <cstdint>

#include "primitives/fft/fft_large_plan.h"
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

using LargePlanShape = fftk::LargePlanShape<LargeSplitTables>;

inline constexpr int32_t kBlockedBaseOrder = 10;
inline constexpr int64_t kBlockLength = int64_t{1} << kBlockedBaseOrder;
inline constexpr int32_t kSmallestBlockedOrder = 11;  // rows below it never run blocked

// The sets' plans, by set index.
inline constexpr SpSetRow<LargePlanShape> kLargeShapes = {
    LargePlanShape{kLargeSplitGeneric, 10, kBlockedBaseOrder, false, false},  // generic
    LargePlanShape{kLargeSplitGeneric, 10, kBlockedBaseOrder, false, true},   // SSE
    LargePlanShape{kLargeSplitSse2, 15, kBlockedBaseOrder, true, false},      // SSE2
    LargePlanShape{kLargeSplitSse3, 16, kBlockedBaseOrder, true, false},      // SSE3
    LargePlanShape{kLargeSplitSse3, 17, kBlockedBaseOrder, true, false},      // SSSE3
};

// Four interleaved values (8 floats) quad-split, in place.
inline void ToQuadSplit(float* group) {
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
  const int32_t lowest = shape.quadSplit ? kSmallestBlockedOrder : D;
  for (int32_t L = D; L >= lowest; --L) {
    float* run = at;
    at = fftk::SubsampledTwiddles(L, sine, sineOrder, at);  // whole 16-byte groups: no padding between levels
    if (shape.quadSplit)
      for (float* g = run; g < at; g += 8) ToQuadSplit(g);
  }
  return fftk::Next16(at);
}

// The large-plan table builders of the float layouts (see BuildLargePlan);
// every set's Plan derives from it.
struct LargeTableBuilders {
  static float* BuildSubsampled(int32_t D, const float* sine, int32_t order, float* at) {
    return SubsampledTable(kLargeShapes[SP_SET_INDEX], D, sine, order, at);
  }
  static float* BuildMultiply(int32_t M, int32_t k1, const float* sine, int32_t order, float* at) {
    float* end = fftk::MultiplyTable(M, k1, sine, order, at);
    if (kLargeShapes[SP_SET_INDEX].quadSplit)
      for (float* group = at; group < end; group += 8) ToQuadSplit(group);
    return at + 2 * Pow2(M);
  }
};

}  // namespace SP_SET_NS::fft32
