// The double-precision large-size plan's rows (fft_large_plan.h builds and
// sizes it): the split and block exponents by complex order, each set's
// shape, and the builders of the double layouts of its tables.
//
//   generic and SSE sets: blocked orders on 512-point blocks (the order-9
//     plain table and the subsampled list); per level the generic table of
//     the column transforms (order k1) and the twiddle-multiply table (2^M
//     values, in reading order: column groups of four, rows, four columns).
//   SSE2, SSE3, SSSE3 sets: per level the twiddle-multiply table of the
//     column step (pair-split entries, read on across the column blocks).
#pragma once
#include <cstdint>

#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_large_plan.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/sp_real_fft.h"

namespace SP_SET_NS::fft64 {

using fftk::Pow2;

// Split exponents (k1 by complex order) and block exponents (log2 of the
// points one column group holds) for orders 0..30; 0 below the large path.
struct LargeSplitTables {
  int8_t split[31];
  int8_t block[31];
};
// Only orders above a set's plain limit are read; 0 = the blocked plan.
inline constexpr LargeSplitTables kLargeSplitGeneric = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 7, 7, 8, 9, 9, 9, 8, 8, 9, 9, 9, 9, 9, 9, 9, 9}, {}};
inline constexpr LargeSplitTables kLargeSplitSse2 = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 10, 10, 12, 13, 13, 13, 10, 12, 13, 13, 13, 13, 13, 13, 13}};
inline constexpr LargeSplitTables kLargeSplitSse3 = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 6, 4, 4, 6, 6, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 11, 10, 10, 10, 13, 13, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14}};

using LargePlanShape = fftk::LargePlanShape<LargeSplitTables>;

// The sets' plans, by set index.
inline constexpr SpSetRow<LargePlanShape> kLargeShapes = {
    LargePlanShape{kLargeSplitGeneric, 9, 9, false, false},  // generic
    LargePlanShape{kLargeSplitGeneric, 9, 9, false, false},  // SSE
    LargePlanShape{kLargeSplitSse2, 13, 9, true, false},     // SSE2
    LargePlanShape{kLargeSplitSse3, 14, 9, true, false},     // SSE3
    LargePlanShape{kLargeSplitSse3, 14, 9, true, false},     // SSSE3
};

// The large-plan table builders of the double layouts (see BuildLargePlan)
// other than the plain twiddles; every set's Plan derives from it.
struct LargeTableBuilders {
  static double* BuildSubsampled(int32_t D, const double* sine, int32_t order, double* at) {
    return fftk::SubsampledTwiddles(D, sine, order, at);
  }
  static double* BuildMultiply(int32_t M, int32_t k1, const double* sine, int32_t order, double* at) {
    return fftk::Next16(fftk::MultiplyTable(M, k1, sine, order, at));
  }
};

}  // namespace SP_SET_NS::fft64
