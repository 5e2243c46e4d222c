// The generic and SSE sets' double-precision real-FFT engine: bit reversal
// by the swap list, then the generic radix passes on plain twiddles up to
// complex order 9 or the large-size path above it, the generic split
// tables and the generic split and merge.
#pragma once
#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_large_generic.h"
#include "primitives/fft/fft_large_plan_f64.h"
#include "primitives/fft/fft_radix_generic.h"
#include "primitives/fft/fft_split_merge.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/real_fft_f64_kernels.h"

#if !SP_SET_HAS_F64_VECTORS
namespace SP_SET_NS::fft64 {

struct Plan : LargeTableBuilders {
  using T = double;
  static constexpr const LargePlanShape& kLargeShape = kLargeShapes[SP_SET_INDEX];
  static constexpr int32_t kFusedLimit = 0;  // no fused kernel
  static constexpr int32_t kPlainLimit = kLargeShape.rowLimit;
  // Butterflies per block pair and strip of the blocked large form.
  static constexpr int64_t kBlockStrip = 128;

  static int32_t* BuildBitReversal(int32_t m, int32_t* table) { return fftk::BitRevSwapTable(m, table); }
  static void BitRevInPlace(double* d, int64_t points, const int32_t* table) {
    fftk::BitRevInPlaceSwapList(d, points, table);
  }
  static void BitRevCopy(const double* s, double* d, int64_t points, const int32_t* table) {
    fftk::BitRevCopySwapList(s, d, points, table);
  }
  static double* BuildTwiddles(int32_t m, const double* sine, int32_t order, double* table) {
    return fftk::TwiddleTableGeneric(m, sine, order, table);
  }
  static double* BuildSplitForward(int32_t order, const double* sine, double* table) {
    return fftk::SplitTableForwardGeneric(order, sine, table);
  }
  static double* BuildSplitInverse(int32_t order, const double* sine, double* table) {
    return fftk::SplitTableInverseGeneric(order, sine, table);
  }
  static void Split(double* d, int64_t points, const double* table) { fftk::RealSplitGeneric(d, points, table); }
  static void Merge(const double* s, double* d, int64_t points, const double* table) {
    fftk::RealMergeGeneric(s, d, points, table);
  }
  static void Scale(double scale, double* d, int64_t count) { fftk::ScaleInPlace(scale, d, count); }
  // The generic passes work in place and need no scratch.
  static int64_t PlainWorkBytes(int32_t) { return 0; }

  template <bool kInverse>
  static void Radix(double* d, int64_t points, const double* twiddles, double*) {
    fftk::RadixPassesGeneric<kInverse>(d, points, twiddles);
  }
  template <bool kInverse>
  static void Large(const spkRealFftView<double>& spec, double* d, int32_t m, double* work) {
    fftk::LargeGeneric<kInverse>(spec, kLargeShape, d, m, 0, work, kBlockStrip);
  }

  static int64_t LargePlanBytes(int32_t m) { return fftk::LargePlanSizesOf<double>(kLargeShape, m).tableBytes; }
  static void BuildLargePlan(REALFFTSPEC& spec, int32_t m, const double* sine, int32_t order, double* block) {
    fftk::BuildLargePlan<Plan>(kLargeShape, spec, m, sine, order, block);
  }
};

}  // namespace SP_SET_NS::fft64

namespace SP_SET_NS {
void SP_V(spkFftRadixFwdC64)(double* data, int64_t n, const double* twiddles) {
  fft64::Plan::Radix<false>(data, n, twiddles, nullptr);
}
void SP_V(spkFftRadixInvC64)(double* data, int64_t n, const double* twiddles) {
  fft64::Plan::Radix<true>(data, n, twiddles, nullptr);
}
}  // namespace SP_SET_NS
#endif
