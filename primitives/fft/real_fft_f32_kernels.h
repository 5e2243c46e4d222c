// The single-precision real-FFT engine's kernels, declared for every set
// (spkFftScaleF32_Sse2 in sp_sse2, ...), nothing checked, nothing reported.
// Two lists: the kernels the library's own code calls (the large-size
// path), and the test seams, which name one routine of a set's engine so
// that the tests can reach it directly; no library code calls a seam.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"

struct REALFFTSPEC;

// Called by the large-size path: the scale, and (the SSE set and later) the
// radix kernels, which take M >= 16 bit-reversed points (any float
// boundary) to their transform in natural order, as interleaved pairs
// (layout 1) or quad-split (layout 0); work: 8M bytes on a 16-byte
// boundary, touched only when data is not on one. The table is this set's
// for M (or, stage-major and even levels, for a larger order of the same
// parity).
#define SP_REAL_FFT_F32_KERNELS(X)                                                                           \
  /* Multiplies count floats by scale in place. */                                                           \
  X(void, spkFftScaleF32, (float scale, float* data, int64_t count))                                         \
  X(void, spkFftRadixFwdC32, (float* data, int64_t points, const float* table, float* work, int32_t layout)) \
  X(void, spkFftRadixInvC32, (float* data, int64_t points, const float* table, float* work, int32_t layout))
SP_DECLARE_KERNELS(SP_REAL_FFT_F32_KERNELS)

// Test seams: the tables and steps of a set's engine.
#define SP_REAL_FFT_F32_TEST_SEAMS(X)                                                                                  \
  /* t[k] = sin(2 pi k / N), k = 0 .. N/4 (order >= 3); returns the first 16-byte boundary after the table. */         \
  X(float*, spkFftSinTableF32, (int32_t order, float* table))                                                          \
  /* Bit-reversal tables of complex order m (M/4 + 1 entries; nothing for m < 2): the swap list and the index table.   \
   * Return the first 16-byte boundary after the table. */                                                             \
  X(int32_t*, spkFftBitRevSwapTableI32, (int32_t m, int32_t * table))                                                  \
  X(int32_t*, spkFftBitRevIndexTableI32, (int32_t m, int32_t * table))                                                 \
  /* This set's bit-reversal permutation of M complex floats with the table this set builds for its specs (swap list   \
   * in the generic and SSE sets, index table from SSE2 on): in place (M >= 1), and by copy into a distinct array. */  \
  X(void, spkFftBitRevInPlaceC32, (float* data, int64_t points, const int32_t* table))                                 \
  X(void, spkFftBitRevCopyC32, (const float* src, float* dst, int64_t points, const int32_t* table))                   \
  /* This set's complex twiddles of order m (layout of the set's passes) from a sine table of order sineOrder >= m;    \
   * returns the first 16-byte boundary after what the table reserves. */                                              \
  X(float*, spkFftTwiddleTableF32, (int32_t m, const float* sine, int32_t sineOrder, float* table))                    \
  /* Split twiddles of a real FFT of the given order in this set's layout (interleaved in the generic set and for N <= \
   * 8, else quad-split). */                                                                                           \
  X(float*, spkFftSplitTableFwdF32, (int32_t order, const float* sine, float* table))                                  \
  X(float*, spkFftSplitTableInvF32, (int32_t order, const float* sine, float* table))                                  \
  /* Large-size plan of complex order m above the set's plain limit: the bytes of its table block and of the work      \
   * buffer its transforms need (64-bit; the block passes 2^32 bytes at m = 29). */                                    \
  X(void, spkFftPlanSizeF32, (int32_t m, int64_t * tableBytes, int64_t * workBytes))                                   \
  /* The SSE set and later: fused kernels, M >= 8 points in natural order from src to dst (may be src), bit reversal   \
   * through the index table of order m included. */                                                                   \
  X(void, spkFftFusedFwdC32,                                                                                           \
    (const float* src, float* dst, int64_t points, const float* table, const int32_t* index, float* work))             \
  X(void, spkFftFusedInvC32,                                                                                           \
    (const float* src, float* dst, int64_t points, const float* table, const int32_t* index, float* work))
SP_DECLARE_KERNELS(SP_REAL_FFT_F32_TEST_SEAMS)
