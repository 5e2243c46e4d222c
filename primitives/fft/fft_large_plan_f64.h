// The double-precision large-size plan's rows (fft_large_plan.h builds and
// sizes it): each set's shape over its exponent tables (fft_tables_f64.h),
// and the builders of the double layouts of its tables.
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
#include "primitives/fft/fft_tables_f64.h"
#include "primitives/fft/sp_real_fft.h"

namespace SP_SET_NS::fftk {

using LargePlanShapeF64 = LargePlanShape<spkFftLargePlanExponents>;

// The sets' plans, by set index.
inline constexpr LargePlanShapeF64 kLargeShapes[] = {
    {kLargePlanGeneric, 9, 9, false, false},  // generic
    {kLargePlanGeneric, 9, 9, false, false},  // SSE
    {kLargePlanSse2, 13, 9, true, false},     // SSE2
    {kLargePlanSse3, 14, 9, true, false},     // SSE3
    {kLargePlanSse3, 14, 9, true, false},     // SSSE3
};

// The large-plan table builders of the double layouts (see BuildLargePlan)
// other than the plain twiddles; every set's Plan derives from it.
struct LargeTableBuildersF64 {
  static double* BuildSubsampled(int32_t D, const double* sine, int32_t order, double* at) {
    return SubsampledTwiddles(D, sine, order, at);
  }
  static double* BuildMultiply(int32_t M, int32_t k1, const double* sine, int32_t order, double* at) {
    return Next16(MultiplyTable(M, k1, sine, order, at));
  }
};

}  // namespace SP_SET_NS::fftk
