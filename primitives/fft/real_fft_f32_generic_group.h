// The generic set's single-precision real-FFT engine: bit reversal by the
// swap list, then the generic passes on plain twiddles (complex orders up
// to 10) or the large-size path (above), the interleaved split tables and
// the generic split and merge.
#pragma once
#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_radix_generic.h"
#include "primitives/fft/fft_split_merge.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/real_fft_driver.h"
#include "primitives/fft/real_fft_f32_kernels.h"

#if SP_SET_INDEX == SP_SET_GENERIC
namespace SP_SET_NS::fft32 {

inline constexpr int32_t kPlainLimit = 10;
inline constexpr bool kLargePath = true;

inline int32_t* BuildBitReversal(int32_t m, int32_t* table) { return fftk::BitRevSwapTable(m, table); }
inline void BitRevInPlace(float* d, int64_t points, const int32_t* table) {
  fftk::BitRevInPlaceSwapList(d, points, table);
}
inline void BitRevCopy(const float* s, float* d, int64_t points, const int32_t* table) {
  fftk::BitRevCopySwapList(s, d, points, table);
}
inline float* BuildTwiddles(int32_t m, const float* sine, int32_t order, float* table) {
  return fftk::TwiddleTableGeneric(m, sine, order, table);
}
inline float* BuildSplitForward(int32_t order, const float* sine, float* table) {
  return fftk::SplitTableForwardGeneric(order, sine, table);
}
inline float* BuildSplitInverse(int32_t order, const float* sine, float* table) {
  return fftk::SplitTableInverseGeneric(order, sine, table);
}
inline void Split(float* d, int64_t points, const float* table) { fftk::RealSplitGeneric(d, points, table); }
inline void Merge(const float* s, float* d, int64_t points, const float* table) {
  fftk::RealMergeGeneric(s, d, points, table);
}
// The generic passes work in place and need no scratch.
inline int64_t PlainWorkBytes(int32_t) { return 0; }

// Above the plain limit the large-size path runs and applies the scale.
inline bool ComplexForward(const REALFFTSPEC& spec, const float* src, float* dst, void* work) {
  const int32_t m = spec.order - 1;
  const int64_t points = fftk::Pow2(m);
  if (src == dst)
    BitRevInPlace(dst, points, spec.bitReversal);
  else
    BitRevCopy(src, dst, points, spec.bitReversal);
  if (m > kPlainLimit) {
    SP_V(spkFftLargeFwdC32)(&spec, dst, m, static_cast<float*>(work));
    return true;
  }
  fftk::RadixPassesGeneric<false>(dst, points, static_cast<const float*>(spec.twiddles));
  return false;
}
inline bool ComplexInverse(const REALFFTSPEC& spec, float* data, void* work) {
  const int32_t m = spec.order - 1;
  const int64_t points = fftk::Pow2(m);
  BitRevInPlace(data, points, spec.bitReversal);
  if (m > kPlainLimit) {
    SP_V(spkFftLargeInvC32)(&spec, data, m, static_cast<float*>(work));
    return true;
  }
  fftk::RadixPassesGeneric<true>(data, points, static_cast<const float*>(spec.twiddles));
  return false;
}

}  // namespace SP_SET_NS::fft32
#endif
