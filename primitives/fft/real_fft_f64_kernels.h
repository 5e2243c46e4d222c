// The double real-FFT engine routines of the running variant set, for other
// code of the same set (the large-size path, the compact-spectrum and
// correlation transforms) and the tests. Include only from *_variant.cpp;
// each set's routines carry its suffix, e.g. spkFftFusedFwdC64_Sse2.
// Nothing is checked and nothing reported; counts are complex values unless
// said otherwise.
#pragma once
#include <cstdint>

#include "primitives/fft/fft_kernel_rows.h"
#include "primitives/frame/variant_set.h"

struct REALFFTSPEC;

// Split exponent k1 and (SIMD sets) block exponent B of the large-size plan
// by complex order 0..30 (see fft_tables_f64.h).
struct spkFftLargePlanExponents {
  int8_t split[31];
  int8_t block[31];
};

#define SPK_REAL_FFT_F64_KERNELS(X)                                                                                   \
  /* Tables; each returns the first 16-byte boundary after what it wrote. t[k] = sin(2 pi k / N), k = 0 .. N/4 (order \
   * >= 3). */                                                                                                        \
  X(double*, spkFftSinTableF64, (int32_t order, double* table), (order, table))                                       \
  /* Complex twiddles of order m from the sine table of `order`: the generic layout in the generic and SSE sets, the  \
   * stage layout from SSE2 on. */                                                                                    \
  X(double*, spkFftTwiddleTableF64, (int32_t m, const double* sine, int32_t order, double* table),                    \
    (m, sine, order, table))                                                                                          \
  /* Split twiddles of N = 2^order: the generic layout in the generic and SSE sets, pair-split records from SSE2 on.  \
   */                                                                                                                 \
  X(double*, spkFftSplitTableFwdF64, (int32_t order, const double* sine, double* table), (order, sine, table))        \
  X(double*, spkFftSplitTableInvF64, (int32_t order, const double* sine, double* table), (order, sine, table))        \
  /* W^i, i < 2^m / 4, interleaved (the large-size plan's blocked passes). */                                         \
  X(double*, spkFftTwiddleSubsampleF64, (int32_t m, const double* sine, int32_t order, double* table),                \
    (m, sine, order, table))                                                                                          \
  /* Bit reversal of n complex doubles with this set's table. */                                                      \
  X(void, spkFftBitRevInPlaceC64, (double* data, int64_t n, const int32_t* table), (data, n, table))                  \
  X(void, spkFftBitRevCopyC64, (const double* src, double* dst, int64_t n, const int32_t* table),                     \
    (src, dst, n, table))                                                                                             \
  /* The large-size path (complex orders above the set's plain limit): bytes of the plan block and of the work        \
   * buffer its transforms need. */                                                                                   \
  X(void, spkFftPlanSizeF64, (int32_t m, int64_t * blockBytes, int64_t * workBytes), (m, blockBytes, workBytes))

// The generic and SSE sets.
#define SPK_REAL_FFT_F64_GENERIC_KERNELS(X)                                                                      \
  /* Radix passes on bit-reversed data, in place, 8 <= n <= 1024, with the generic twiddle table built for n. */ \
  X(void, spkFftRadixFwdC64, (double* data, int64_t n, const double* twiddles), (data, n, twiddles))             \
  X(void, spkFftRadixInvC64, (double* data, int64_t n, const double* twiddles), (data, n, twiddles))

// The SSE2 set and later.
#define SPK_REAL_FFT_F64_SIMD_KERNELS(X)                                                                              \
  /* Bit reversal and the complex FFT in one kernel, natural order in and out (see fft_passes_f64.h for the work      \
   * area). */                                                                                                        \
  X(void, spkFftFusedFwdC64,                                                                                          \
    (const double* src, double* dst, int64_t n, const double* twiddles, const int32_t* bitReversal, double* work),    \
    (src, dst, n, twiddles, bitReversal, work))                                                                       \
  X(void, spkFftFusedInvC64,                                                                                          \
    (const double* src, double* dst, int64_t n, const double* twiddles, const int32_t* bitReversal, double* work),    \
    (src, dst, n, twiddles, bitReversal, work))                                                                       \
  /* The SIMD sets' large-size helpers (see fft_large_f64.h and fft_column_step.h): a whole row by the column kernel, \
   * block gather and scatter (mode 1: pair-split to interleaved), and the twiddle passes of the column step on       \
   * pair-split data. */                                                                                              \
  X(void, spkFftLargeColumnKernelFwdC64,                                                                              \
    (double* data, int32_t n, const double* twiddles, double* work, int32_t outInterleaved),                          \
    (data, n, twiddles, work, outInterleaved))                                                                        \
  X(void, spkFftLargeColumnKernelInvC64,                                                                              \
    (double* data, int32_t n, const double* twiddles, double* work, int32_t outInterleaved),                          \
    (data, n, twiddles, work, outInterleaved))                                                                        \
  X(void, spkFftLargeGatherC64, (const double* src, double* dst, int64_t stride, int32_t rows, int32_t cols),         \
    (src, dst, stride, rows, cols))                                                                                   \
  X(void, spkFftLargeScatterC64,                                                                                      \
    (double* dst, const double* src, int64_t stride, int32_t rows, int32_t cols, int32_t mode),                       \
    (dst, src, stride, rows, cols, mode))                                                                             \
  X(void, spkFftLargeTwiddleR4FwdC64,                                                                                 \
    (const double* src, double* dst, int64_t q, int64_t groups, const double* table), (src, dst, q, groups, table))   \
  X(void, spkFftLargeTwiddleR4InvC64,                                                                                 \
    (const double* src, double* dst, int64_t q, int64_t groups, const double* table), (src, dst, q, groups, table))   \
  X(void, spkFftLargeTwiddleR2FwdC64,                                                                                 \
    (const double* src, double* dst, int64_t h, int64_t groups, const double* table), (src, dst, h, groups, table))   \
  X(void, spkFftLargeTwiddleR2InvC64,                                                                                 \
    (const double* src, double* dst, int64_t h, int64_t groups, const double* table), (src, dst, h, groups, table))

namespace SP_SET_NS {
SPK_REAL_FFT_F64_KERNELS(SPK_DECLARE_THIS_SETS_KERNEL)
#if SP_SET_INDEX <= SP_SET_SSE
SPK_REAL_FFT_F64_GENERIC_KERNELS(SPK_DECLARE_THIS_SETS_KERNEL)
#else
SPK_REAL_FFT_F64_SIMD_KERNELS(SPK_DECLARE_THIS_SETS_KERNEL)
#endif
}  // namespace SP_SET_NS
