// The double real-FFT engine routines of the running variant set, for other
// code of the same set (the large-size path, the compact-spectrum and
// correlation transforms) and the tests. Include only from *_variant.cpp;
// each set's routines carry its suffix, e.g. spkFftFusedFwdC64_Sse2.
// Nothing is checked and nothing reported; counts are complex values unless
// said otherwise.
#pragma once
#include <cstdint>

#include "primitives/frame/variant_set.h"

struct REALFFTSPEC;

// Split exponent k1 and (SIMD sets) block exponent B of the large-size plan
// by complex order 0..30 (see fft_tables_f64.h).
struct spkFftLargePlanExponents {
  int8_t split[31];
  int8_t block[31];
};

namespace SP_SET_NS {

// Tables; each returns the first 16-byte boundary after what it wrote.
// t[k] = sin(2 pi k / N), k = 0 .. N/4 (order >= 3).
double* SP_V(spkFftSinTableF64)(int32_t order, double* table);
// Complex twiddles of order m from the sine table of `order`: the generic
// layout in the generic and SSE sets, the stage layout from SSE2 on.
double* SP_V(spkFftTwiddleTableF64)(int32_t m, const double* sine, int32_t order, double* table);
// Split twiddles of N = 2^order: the generic layout in the generic and SSE
// sets, pair-split records from SSE2 on.
double* SP_V(spkFftSplitTableFwdF64)(int32_t order, const double* sine, double* table);
double* SP_V(spkFftSplitTableInvF64)(int32_t order, const double* sine, double* table);
// W^i, i < 2^m / 4, interleaved (the large-size plan's blocked passes).
double* SP_V(spkFftTwiddleSubsampleF64)(int32_t m, const double* sine, int32_t order, double* table);
// This set's large-size plan exponents.
const spkFftLargePlanExponents& SP_V(spkFftLargePlanF64)();

// Bit reversal of n complex doubles with this set's table.
void SP_V(spkFftBitRevInPlaceC64)(double* data, int64_t n, const int32_t* table);
void SP_V(spkFftBitRevCopyC64)(const double* src, double* dst, int64_t n, const int32_t* table);

// Forward real split on n = N/2 complex values (floats 0, 1 already hold
// X[0], X[N/2]) and inverse merge (writes values 1 .. n-1 of dst).
void SP_V(spkFftRealSplitF64)(double* data, int64_t n, const double* splitForward);
void SP_V(spkFftRealMergeF64)(const double* src, double* dst, int64_t n, const double* splitInverse);

// data[i] *= factor for i < count doubles.
void SP_V(spkFftScaleF64)(double factor, double* data, int64_t count);

#if SP_SET_INDEX <= SP_SET_SSE
// Radix passes on bit-reversed data, in place, 8 <= n <= 1024, with the
// generic twiddle table built for n.
void SP_V(spkFftRadixFwdC64)(double* data, int64_t n, const double* twiddles);
void SP_V(spkFftRadixInvC64)(double* data, int64_t n, const double* twiddles);
#else
// Bit reversal and the complex FFT in one kernel, natural order in and out
// (see fft_passes_f64.h for the work area).
void SP_V(spkFftFusedFwdC64)(const double* src, double* dst, int64_t n, const double* twiddles,
                             const int32_t* bitReversal, double* work);
void SP_V(spkFftFusedInvC64)(const double* src, double* dst, int64_t n, const double* twiddles,
                             const int32_t* bitReversal, double* work);
#endif

// The large-size path (complex orders above the set's plain limit).
// Plan: bytes of the plan block and of the work buffer its transforms need;
// the build fills `block` and points the spec's tables at it.
void SP_V(spkFftPlanSizeF64)(int32_t m, int64_t* blockBytes, int64_t* workBytes);
void SP_V(spkFftPlanBuildF64)(REALFFTSPEC* spec, int32_t m, const double* sine, int32_t order, double* block);
// 2^m bit-reversed complex doubles to their DFT in natural order, in place,
// scaled as the spec's direction says; work: the spec's workBytes.
void SP_V(spkFftLargeFwdC64)(const REALFFTSPEC* spec, double* data, int32_t m, double* work);
void SP_V(spkFftLargeInvC64)(const REALFFTSPEC* spec, double* data, int32_t m, double* work);

#if SP_SET_INDEX >= SP_SET_SSE2
// The SIMD sets' large-size helpers (see fft_large_f64.h and
// fft_column_step.h): a whole row by the column kernel, block gather and
// scatter (mode 1: pair-split to interleaved), and the twiddle passes of
// the column step on pair-split data.
void SP_V(spkFftLargeColumnKernelFwdC64)(double* data, int32_t n, const double* twiddles, double* work,
                                         int32_t outInterleaved);
void SP_V(spkFftLargeColumnKernelInvC64)(double* data, int32_t n, const double* twiddles, double* work,
                                         int32_t outInterleaved);
void SP_V(spkFftLargeGatherC64)(const double* src, double* dst, int64_t stride, int32_t rows, int32_t cols);
void SP_V(spkFftLargeScatterC64)(double* dst, const double* src, int64_t stride, int32_t rows, int32_t cols,
                                 int32_t mode);
void SP_V(spkFftLargeTwiddleR4FwdC64)(const double* src, double* dst, int64_t q, int64_t groups, const double* table);
void SP_V(spkFftLargeTwiddleR4InvC64)(const double* src, double* dst, int64_t q, int64_t groups, const double* table);
void SP_V(spkFftLargeTwiddleR2FwdC64)(const double* src, double* dst, int64_t h, int64_t groups, const double* table);
void SP_V(spkFftLargeTwiddleR2InvC64)(const double* src, double* dst, int64_t h, int64_t groups, const double* table);
#endif

}  // namespace SP_SET_NS
