// The real-FFT engine routines of the running variant set that other code
// of the same set (the correlation transforms, the double-precision spec
// build) and the tests call directly. Include only from *_variant.cpp; each
// set's routines carry its suffix, e.g. spkFftBitRevInPlaceC32_Sse2.
// Nothing is checked and nothing reported.
#pragma once
#include <cstdint>

#include "primitives/fft/fft_kernel_rows.h"
#include "primitives/frame/variant_set.h"

struct REALFFTSPEC;

#define SPK_REAL_FFT_F32_KERNELS(X)                                                                                    \
  /* t[k] = sin(2 pi k / N), k = 0 .. N/4 (order >= 3); returns the first 16-byte boundary after the table. */         \
  X(float*, spkFftSinTableF32, (int32_t order, float* table), (order, table))                                          \
  /* Bit-reversal tables of complex order m (M/4 + 1 entries; nothing for m < 2): the swap list and the index table.   \
   * Return the first 16-byte boundary after the table. */                                                             \
  X(int32_t*, spkFftBitRevSwapTableI32, (int32_t m, int32_t * table), (m, table))                                      \
  X(int32_t*, spkFftBitRevIndexTableI32, (int32_t m, int32_t * table), (m, table))                                     \
  /* This set's bit-reversal permutation of M complex floats with the table this set builds for its specs (swap list   \
   * in the generic and SSE sets, index table from SSE2 on): in place (M >= 1), and by copy into a distinct array. */  \
  X(void, spkFftBitRevInPlaceC32, (float* data, int64_t points, const int32_t* table), (data, points, table))          \
  X(void, spkFftBitRevCopyC32, (const float* src, float* dst, int64_t points, const int32_t* table),                   \
    (src, dst, points, table))                                                                                         \
  /* Multiplies count floats by scale in place. */                                                                     \
  X(void, spkFftScaleF32, (float scale, float* data, int64_t count), (scale, data, count))                             \
  /* This set's complex twiddles of order m (layout of the set's passes) from a sine table of order sineOrder >= m;    \
   * returns the first 16-byte boundary after what the table reserves. */                                              \
  X(float*, spkFftTwiddleTableF32, (int32_t m, const float* sine, int32_t sineOrder, float* table),                    \
    (m, sine, sineOrder, table))                                                                                       \
  /* Split twiddles of a real FFT of the given order in this set's layout (interleaved in the generic set and for N <= \
   * 8, else grouped by four). */                                                                                      \
  X(float*, spkFftSplitTableFwdF32, (int32_t order, const float* sine, float* table), (order, sine, table))            \
  X(float*, spkFftSplitTableInvF32, (int32_t order, const float* sine, float* table), (order, sine, table))            \
  /* Large-size plan of complex order m above the set's plain limit: the bytes of its table block and of the work      \
   * buffer its transforms need (64-bit; the block passes 2^32 bytes at m = 29). */                                    \
  X(void, spkFftPlanSizeF32, (int32_t m, int64_t * tableBytes, int64_t * workBytes), (m, tableBytes, workBytes))

// The SSE set and later.
#define SPK_REAL_FFT_F32_SIMD_KERNELS(X)                                                                              \
  /* Radix kernels: M >= 16 bit-reversed points (any float boundary) to their transform in natural order, as          \
   * interleaved pairs (layout 1) or in the split 4-lane layout; work: 8M bytes on a 16-byte boundary, touched only   \
   * when data is not on one. The table is this set's for M (or, stage-major and even levels, for a larger order of   \
   * the same parity). */                                                                                             \
  X(void, spkFftRadixFwdC32, (float* data, int64_t points, const float* table, float* work, int32_t layout),          \
    (data, points, table, work, layout))                                                                              \
  X(void, spkFftRadixInvC32, (float* data, int64_t points, const float* table, float* work, int32_t layout),          \
    (data, points, table, work, layout))                                                                              \
  /* Fused kernels: M >= 8 points in natural order from src to dst (may be src), bit reversal through the index table \
   * of order m included. */                                                                                          \
  X(void, spkFftFusedFwdC32,                                                                                          \
    (const float* src, float* dst, int64_t points, const float* table, const int32_t* index, float* work),            \
    (src, dst, points, table, index, work))                                                                           \
  X(void, spkFftFusedInvC32,                                                                                          \
    (const float* src, float* dst, int64_t points, const float* table, const int32_t* index, float* work),            \
    (src, dst, points, table, index, work))

namespace SP_SET_NS {
SPK_REAL_FFT_F32_KERNELS(SPK_DECLARE_THIS_SETS_KERNEL)
#if SP_SET_INDEX >= SP_SET_SSE
SPK_REAL_FFT_F32_SIMD_KERNELS(SPK_DECLARE_THIS_SETS_KERNEL)
#endif
}  // namespace SP_SET_NS
