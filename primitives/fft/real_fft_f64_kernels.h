// The double real-FFT engine's test seams, declared for every set
// (spkFftFusedFwdC64_Sse2 in sp_sse2, ...): each names one routine of a
// set's engine so that the tests can reach it directly; no library code
// calls them (the engine's own code calls the routines behind them).
// Nothing is checked and nothing reported; counts are complex values unless
// said otherwise.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"

#define SP_REAL_FFT_F64_TEST_SEAMS(X)                                                                                 \
  /* Tables; each returns the first 16-byte boundary after what it wrote. t[k] = sin(2 pi k / N), k = 0 .. N/4 (order \
   * >= 3). */                                                                                                        \
  X(double*, spkFftSinTableF64, (int32_t order, double* table))                                                       \
  /* Complex twiddles of order m from the sine table of `order`: the generic layout in the generic and SSE sets, the  \
   * stage layout from SSE2 on. */                                                                                    \
  X(double*, spkFftTwiddleTableF64, (int32_t m, const double* sine, int32_t order, double* table))                    \
  /* Split twiddles of N = 2^order: the generic layout in the generic and SSE sets, pair-split records from SSE2 on.  \
   */                                                                                                                 \
  X(double*, spkFftSplitTableFwdF64, (int32_t order, const double* sine, double* table))                              \
  X(double*, spkFftSplitTableInvF64, (int32_t order, const double* sine, double* table))                              \
  /* W^i, i < 2^m / 4, interleaved (the large-size plan's blocked passes). */                                         \
  X(double*, spkFftTwiddleSubsampleF64, (int32_t m, const double* sine, int32_t order, double* table))                \
  /* Bit reversal of n complex doubles with this set's table. */                                                      \
  X(void, spkFftBitRevInPlaceC64, (double* data, int64_t n, const int32_t* table))                                    \
  X(void, spkFftBitRevCopyC64, (const double* src, double* dst, int64_t n, const int32_t* table))                     \
  /* The large-size path (complex orders above the set's plain limit): bytes of the plan block and of the work        \
   * buffer its transforms need. */                                                                                   \
  X(void, spkFftPlanSizeF64, (int32_t m, int64_t * blockBytes, int64_t * workBytes))
SP_DECLARE_KERNELS(SP_REAL_FFT_F64_TEST_SEAMS)

// The generic and SSE sets.
#define SP_REAL_FFT_F64_GENERIC_TEST_SEAMS(X)                                                                    \
  /* Radix passes on bit-reversed data, in place, 8 <= n <= 1024, with the generic twiddle table built for n. */ \
  X(void, spkFftRadixFwdC64, (double* data, int64_t n, const double* twiddles))                                  \
  X(void, spkFftRadixInvC64, (double* data, int64_t n, const double* twiddles))
SP_DECLARE_KERNELS(SP_REAL_FFT_F64_GENERIC_TEST_SEAMS)

// The SSE2 set and later.
#define SP_REAL_FFT_F64_SIMD_TEST_SEAMS(X)                                                                            \
  /* Bit reversal and the complex FFT in one kernel, natural order in and out (see fft_passes_f64.h for the work      \
   * area). */                                                                                                        \
  X(void, spkFftFusedFwdC64,                                                                                          \
    (const double* src, double* dst, int64_t n, const double* twiddles, const int32_t* bitReversal, double* work))    \
  X(void, spkFftFusedInvC64,                                                                                          \
    (const double* src, double* dst, int64_t n, const double* twiddles, const int32_t* bitReversal, double* work))    \
  /* The SIMD sets' large-size helpers (see fft_large_f64.h and fft_column_step.h): a whole row by the column kernel, \
   * block gather and scatter (mode 1: pair-split to interleaved), and the twiddle passes of the column step on       \
   * pair-split data. */                                                                                              \
  X(void, spkFftLargeColumnKernelFwdC64,                                                                              \
    (double* data, int32_t n, const double* twiddles, double* work, int32_t outInterleaved))                          \
  X(void, spkFftLargeColumnKernelInvC64,                                                                              \
    (double* data, int32_t n, const double* twiddles, double* work, int32_t outInterleaved))                          \
  X(void, spkFftLargeGatherC64, (const double* src, double* dst, int64_t stride, int32_t rows, int32_t cols))         \
  X(void, spkFftLargeScatterC64,                                                                                      \
    (double* dst, const double* src, int64_t stride, int32_t rows, int32_t cols, int32_t mode))                       \
  X(void, spkFftLargeTwiddleR4FwdC64,                                                                                 \
    (const double* src, double* dst, int64_t q, int64_t groups, const double* table))                                 \
  X(void, spkFftLargeTwiddleR4InvC64,                                                                                 \
    (const double* src, double* dst, int64_t q, int64_t groups, const double* table))                                 \
  X(void, spkFftLargeTwiddleR2FwdC64,                                                                                 \
    (const double* src, double* dst, int64_t h, int64_t groups, const double* table))                                 \
  X(void, spkFftLargeTwiddleR2InvC64, (const double* src, double* dst, int64_t h, int64_t groups, const double* table))
SP_DECLARE_KERNELS(SP_REAL_FFT_F64_SIMD_TEST_SEAMS)
