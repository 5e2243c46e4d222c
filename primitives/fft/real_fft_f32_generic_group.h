// The generic set's single-precision real-FFT engine: bit reversal by the
// swap list, then the generic passes on plain twiddles (complex orders up
// to 10) or the large-size path (above), the interleaved split tables and
// the generic split and merge.
#pragma once
#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_large_generic.h"
#include "primitives/fft/fft_large_plan_f32.h"
#include "primitives/fft/fft_radix_generic.h"
#include "primitives/fft/fft_split_merge.h"
#include "primitives/fft/fft_tables.h"

#if SP_SET_INDEX == SP_SET_GENERIC
namespace SP_SET_NS::fft32 {

struct Plan : LargeTableBuilders {
  using T = float;
  static constexpr int32_t kFusedLimit = 0;  // no fused kernel
  static constexpr int32_t kPlainLimit = 10;
  // Butterflies per block pair and strip of the blocked large form.
  static constexpr int64_t kBlockStrip = 256;

  static int32_t* BuildBitReversal(int32_t m, int32_t* table) { return fftk::BitRevSwapTable(m, table); }
  static void BitRevInPlace(float* d, int64_t points, const int32_t* table) {
    fftk::BitRevInPlaceSwapList(d, points, table);
  }
  static void BitRevCopy(const float* s, float* d, int64_t points, const int32_t* table) {
    fftk::BitRevCopySwapList(s, d, points, table);
  }
  static float* BuildTwiddles(int32_t m, const float* sine, int32_t order, float* table) {
    return fftk::TwiddleTableGeneric(m, sine, order, table);
  }
  static float* BuildSplitForward(int32_t order, const float* sine, float* table) {
    return fftk::SplitTableForwardGeneric(order, sine, table);
  }
  static float* BuildSplitInverse(int32_t order, const float* sine, float* table) {
    return fftk::SplitTableInverseGeneric(order, sine, table);
  }
  static void Split(float* d, int64_t points, const float* table) { fftk::RealSplitGeneric(d, points, table); }
  static void Merge(const float* s, float* d, int64_t points, const float* table) {
    fftk::RealMergeGeneric(s, d, points, table);
  }
  static void Scale(float scale, float* d, int64_t count) { fftk::ScaleInPlace(scale, d, count); }
  // The generic passes work in place and need no scratch.
  static int64_t PlainWorkBytes(int32_t) { return 0; }

  template <bool kInverse>
  static void Radix(float* d, int64_t points, const float* twiddles, float*) {
    fftk::RadixPassesGeneric<kInverse>(d, points, twiddles);
  }
  template <bool kInverse>
  static void Large(const spkRealFftView<float>& spec, float* d, int32_t m, float* work) {
    fftk::LargeGeneric<kInverse>(spec, kLargeShape, d, m, 0, work, kBlockStrip);
  }

  static constexpr const LargePlanShape& kLargeShape = kLargeShapes[SP_SET_INDEX];
  static int64_t LargePlanBytes(int32_t m) { return fftk::LargePlanSizesOf<float>(kLargeShape, m).tableBytes; }
  static void BuildLargePlan(REALFFTSPEC& spec, int32_t m, const float* sine, int32_t order, float* block) {
    fftk::BuildLargePlan<Plan>(kLargeShape, spec, m, sine, order, block);
  }
};

}  // namespace SP_SET_NS::fft32
#endif
