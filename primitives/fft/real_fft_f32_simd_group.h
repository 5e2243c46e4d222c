// The single-precision real-FFT engine of the SSE, SSE2, SSE3 and SSSE3
// sets (fft_passes_f32.h): up to the fused limit one fused kernel does bit
// reversal and transform; one order above it, bit reversal and then the
// radix kernel; that order is the plain-twiddle limit, above which the
// large-size path takes over.
//
//   set    fused m   radix m   twiddles                 bit reversal    split lanes
//   SSE    <= 9      10        stage-major              swap list m 10  1 2 3 4
//   SSE2   <= 14     15        stage-major              blocks          2 1 4 3
//   SSE3   <= 15     16        levels, -0.0, 1024 chunk blocks          2 1 4 3
//   SSSE3  <= 16     17        levels, +0.0, 2048 chunk blocks          2 1 4 3
#pragma once
#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_bitrev_f32.h"
#include "primitives/fft/fft_passes_f32.h"
#include "primitives/fft/fft_split_merge_f32.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/fft_tables_f32.h"
#include "primitives/fft/real_fft_driver.h"
#include "primitives/fft/real_fft_f32_kernels.h"

#if SP_SET_INDEX >= SP_SET_SSE
namespace SP_SET_NS::fft32 {

inline constexpr int32_t kFusedLimit = SP_SET_INDEX == SP_SET_SSE    ? 9
                                       : SP_SET_INDEX == SP_SET_SSE2 ? 14
                                       : SP_SET_INDEX == SP_SET_SSE3 ? 15
                                                                     : 16;
inline constexpr int32_t kPlainLimit = kFusedLimit + 1;
inline constexpr bool kLargePath = true;
inline constexpr bool kStageMajor = SP_SET_INDEX <= SP_SET_SSE2;
inline constexpr fftk::PassFamily kFamily = {kStageMajor, SP_SET_INDEX == SP_SET_SSE3    ? 1024
                                                          : SP_SET_INDEX == SP_SET_SSSE3 ? 2048
                                                                                         : 0};
// The SSE set's fused kernels read the index table, its radix order the
// swap list; the later sets permute by blocks with the index table.
inline constexpr bool kSwapList = SP_SET_INDEX == SP_SET_SSE;
inline constexpr bool kPairSwappedLanes = SP_SET_INDEX >= SP_SET_SSE2;
inline constexpr const int64_t (&kSplitLanes)[4] = kPairSwappedLanes ? fftk::kSplitLanesPairSwapped
                                                                     : fftk::kSplitLanesInOrder;

inline int32_t* BuildBitReversal(int32_t m, int32_t* table) {
  if (kSwapList && m > kFusedLimit) return fftk::BitRevSwapTable(m, table);
  return fftk::BitRevIndexTable(m, table);
}
inline void BitRevInPlace(float* d, int64_t points, const int32_t* table) {
  if constexpr (kSwapList)
    fftk::BitRevInPlaceSwapList(d, points, table);
  else
    fftk::BitRevInPlaceBlocksF32(d, points, table);
}
inline void BitRevCopy(const float* s, float* d, int64_t points, const int32_t* table) {
  if constexpr (kSwapList)
    fftk::BitRevCopySwapList(s, d, points, table);
  else
    fftk::BitRevCopyBlocksF32(s, d, points, table);
}
inline float* BuildTwiddles(int32_t m, const float* sine, int32_t order, float* table) {
  if constexpr (kStageMajor)
    return fftk::TwiddleTableStageMajor(m, sine, order, table);
  else if constexpr (SP_SET_INDEX == SP_SET_SSE3)
    return fftk::TwiddleTableLevels<fftk::Negation::SignFlip>(m, sine, order, table);
  else
    return fftk::TwiddleTableLevels<fftk::Negation::FromZero>(m, sine, order, table);
}
inline float* BuildSplitForward(int32_t order, const float* sine, float* table) {
  return fftk::SplitTableForwardSimd<kSplitLanes>(order, sine, table);
}
inline float* BuildSplitInverse(int32_t order, const float* sine, float* table) {
  return fftk::SplitTableInverseSimd<kSplitLanes>(order, sine, table);
}
inline void Split(float* d, int64_t points, const float* table) {
  fftk::RealSplitSimd<kPairSwappedLanes>(d, points, table);
}
inline void Merge(const float* s, float* d, int64_t points, const float* table) {
  fftk::RealMergeSimd<kPairSwappedLanes>(s, d, points, table);
}
// Room for the M complex values the passes stage in when the data is not on
// a 16-byte boundary (or, fused, is the source).
inline int64_t PlainWorkBytes(int32_t m) { return 8 * fftk::Pow2(m); }

inline bool ComplexForward(const REALFFTSPEC& spec, const float* src, float* dst, void* work) {
  const int32_t m = spec.order - 1;
  const int64_t points = fftk::Pow2(m);
  const auto* twiddles = static_cast<const float*>(spec.twiddles);
  if (m <= kFusedLimit) {
    SP_V(spkFftFusedFwdC32)(src, dst, points, twiddles, spec.bitReversal, static_cast<float*>(work));
    return false;
  }
  if (src == dst)
    BitRevInPlace(dst, points, spec.bitReversal);
  else
    BitRevCopy(src, dst, points, spec.bitReversal);
  if constexpr (kLargePath) {
    if (m > kPlainLimit) {
      SP_V(spkFftLargeFwdC32)(&spec, dst, m, static_cast<float*>(work));
      return true;
    }
  }
  SP_V(spkFftRadixFwdC32)(dst, points, twiddles, static_cast<float*>(work), 1);
  return false;
}
inline bool ComplexInverse(const REALFFTSPEC& spec, float* data, void* work) {
  const int32_t m = spec.order - 1;
  const int64_t points = fftk::Pow2(m);
  const auto* twiddles = static_cast<const float*>(spec.twiddles);
  if (m <= kFusedLimit) {
    SP_V(spkFftFusedInvC32)(data, data, points, twiddles, spec.bitReversal, static_cast<float*>(work));
    return false;
  }
  BitRevInPlace(data, points, spec.bitReversal);
  if constexpr (kLargePath) {
    if (m > kPlainLimit) {
      SP_V(spkFftLargeInvC32)(&spec, data, m, static_cast<float*>(work));
      return true;
    }
  }
  SP_V(spkFftRadixInvC32)(data, points, twiddles, static_cast<float*>(work), 1);
  return false;
}

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
