// The single-precision real-FFT engine of the SSE, SSE2, SSE3 and SSSE3
// sets (fft_passes_f32.h): up to the fused limit one fused kernel does bit
// reversal and transform; one order above it, bit reversal and then the
// radix kernel; that order is the plain-twiddle limit, above which the
// large-size path takes over.
//
//   set    fused m   radix m   twiddles                 bit reversal    split-table lanes
//   SSE    <= 9      10        stage-major              swap list m 10  1 2 3 4
//   SSE2   <= 14     15        stage-major              blocks          2 1 4 3
//   SSE3   <= 15     16        levels, -0.0, 1024 chunk blocks          2 1 4 3
//   SSSE3  <= 16     17        levels, +0.0, 2048 chunk blocks          2 1 4 3
#pragma once
#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_bitrev_f32.h"
#include "primitives/fft/fft_large_f32.h"
#include "primitives/fft/fft_large_plan_f32.h"
#include "primitives/fft/fft_passes_f32.h"
#include "primitives/fft/fft_split_merge.h"
#include "primitives/fft/fft_split_merge_f32.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/fft_tables_f32.h"
#include "primitives/fft/real_fft_f32_kernels.h"

#if SP_SET_HAS_F32_VECTORS
namespace SP_SET_NS::fft32 {

// The SSE set's fused kernels read the index table, its radix order the
// swap list; the later sets permute by blocks with the index table.
inline constexpr bool kSwapList = SP_SET_INDEX == SP_SET_SSE;
inline constexpr bool kStageMajor = SP_SET_INDEX <= SP_SET_SSE2;
// Chunk length of the level-major passes, by set (0: stage-major).
inline constexpr SpSetRow<int32_t> kChunkOfSet = {0, 0, 0, 1024, 2048};
inline constexpr fftk::PassFamily kFamily = {kStageMajor, kChunkOfSet[SP_SET_INDEX]};
inline constexpr bool kPairSwappedLanes = SP_SET_INDEX >= SP_SET_SSE2;
inline constexpr const int64_t (&kSplitTableLanes)[4] = kPairSwappedLanes ? fftk::kSplitTableLanesPairSwapped
                                                                          : fftk::kSplitTableLanesInOrder;

struct Plan : LargeTableBuilders {
  using T = float;
  static constexpr const LargePlanShape& kLargeShape = kLargeShapes[SP_SET_INDEX];
  // The plain-twiddle limit is the radix order, one above the fused limit.
  static constexpr int32_t kPlainLimit = kLargeShape.rowLimit;
  static constexpr int32_t kFusedLimit = kPlainLimit - 1;

  static int32_t* BuildBitReversal(int32_t m, int32_t* table) {
    if (kSwapList && m > kFusedLimit) return fftk::BitRevSwapTable(m, table);
    return fftk::BitRevIndexTable(m, table);
  }
  static void BitRevInPlace(float* d, int64_t points, const int32_t* table) {
    if constexpr (kSwapList)
      fftk::BitRevInPlaceSwapList(d, points, table);
    else
      fftk::BitRevInPlaceBlocksF32(d, points, table);
  }
  static void BitRevCopy(const float* s, float* d, int64_t points, const int32_t* table) {
    if constexpr (kSwapList)
      fftk::BitRevCopySwapList(s, d, points, table);
    else
      fftk::BitRevCopyBlocksF32(s, d, points, table);
  }
  static float* BuildTwiddles(int32_t m, const float* sine, int32_t order, float* table) {
    if constexpr (kStageMajor)
      return fftk::TwiddleTableStageMajor(m, sine, order, table);
    else if constexpr (SP_SET_INDEX == SP_SET_SSE3)
      return fftk::TwiddleTableLevels<fftk::Negation::SignFlip>(m, sine, order, table);
    else
      return fftk::TwiddleTableLevels<fftk::Negation::FromZero>(m, sine, order, table);
  }
  static float* BuildSplitForward(int32_t order, const float* sine, float* table) {
    return fftk::SplitTableForwardSimd<kSplitTableLanes>(order, sine, table);
  }
  static float* BuildSplitInverse(int32_t order, const float* sine, float* table) {
    return fftk::SplitTableInverseSimd<kSplitTableLanes>(order, sine, table);
  }
  static void Split(float* d, int64_t points, const float* table) {
    fftk::RealSplitSimd<kPairSwappedLanes>(d, points, table);
  }
  static void Merge(const float* s, float* d, int64_t points, const float* table) {
    fftk::RealMergeSimd<kPairSwappedLanes>(s, d, points, table);
  }
  static void Scale(float scale, float* d, int64_t count) { fftk::ScaleQuads(scale, d, count); }
  // Room for the M complex values the passes stage in when the data is not
  // on a 16-byte boundary (or, fused, is the source).
  static int64_t PlainWorkBytes(int32_t m) { return 8 * fftk::Pow2(m); }

  // The fused kernel applies the scale itself in its last stage.
  template <bool kInverse>
  static void Fused(const float* s, float* d, int64_t points, const float* twiddles, const int32_t* index, float* work,
                    const float* scale) {
    fftk::FusedKernel<kInverse>(s, d, points, twiddles, index, work, kFamily, scale);
  }
  template <bool kInverse>
  static void Radix(float* d, int64_t points, const float* twiddles, float* work) {
    if constexpr (kInverse)
      SP_V(spkFftRadixInvC32)(d, points, twiddles, work, 1);
    else
      SP_V(spkFftRadixFwdC32)(d, points, twiddles, work, 1);
  }
  // A row of the large-size path, left quad-split.
  template <bool kInverse>
  static void SplitRow(float* row, int64_t points, const float* twiddles, float* work) {
    if constexpr (kInverse)
      SP_V(spkFftRadixInvC32)(row, points, twiddles, work, 0);
    else
      SP_V(spkFftRadixFwdC32)(row, points, twiddles, work, 0);
  }
  template <bool kInverse>
  static void Large(const spkRealFftView<float>& spec, float* d, int32_t m, float* work) {
#if SP_SET_INDEX == SP_SET_SSE
    LargeSse<kInverse>(spec, d, m, 0, work);
#else
    fftk::columns::LargeLevels<kInverse, Plan>(spec, kLargeShape, d, m, 0, work);
#endif
  }

  static int64_t LargePlanBytes(int32_t m) { return fftk::LargePlanSizesOf<float>(kLargeShape, m).tableBytes; }
  static void BuildLargePlan(REALFFTSPEC& spec, int32_t m, const float* sine, int32_t order, float* block) {
    fftk::BuildLargePlan<Plan>(kLargeShape, spec, m, sine, order, block);
  }
};

}  // namespace SP_SET_NS::fft32

namespace SP_SET_NS {
void SP_V(spkFftRadixFwdC32)(float* data, int64_t points, const float* table, float* work, int32_t layout) {
  fftk::RadixKernel<false>(data, points, table, work, layout, fft32::kFamily);
}
void SP_V(spkFftRadixInvC32)(float* data, int64_t points, const float* table, float* work, int32_t layout) {
  fftk::RadixKernel<true>(data, points, table, work, layout, fft32::kFamily);
}
void SP_V(spkFftFusedFwdC32)(const float* src, float* dst, int64_t points, const float* table, const int32_t* index,
                             float* work) {
  fftk::FusedKernel<false>(src, dst, points, table, index, work, fft32::kFamily);
}
void SP_V(spkFftFusedInvC32)(const float* src, float* dst, int64_t points, const float* table, const int32_t* index,
                             float* work) {
  fftk::FusedKernel<true>(src, dst, points, table, index, work, fft32::kFamily);
}
}  // namespace SP_SET_NS
#endif
