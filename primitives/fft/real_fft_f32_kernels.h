// The real-FFT engine routines of the running variant set that other code
// of the same set (the correlation transforms, the double-precision spec
// build) and the tests call directly. Include only from *_variant.cpp; each
// set's routines carry its suffix, e.g. spkFftBitRevInPlaceC32_Sse2.
// Nothing is checked and nothing reported.
#pragma once
#include <cstdint>

#include "primitives/frame/variant_set.h"

struct REALFFTSPEC;

namespace SP_SET_NS {

// t[k] = sin(2 pi k / N), k = 0 .. N/4 (order >= 3); returns the first
// 16-byte boundary after the table.
float* SP_V(spkFftSinTableF32)(int32_t order, float* table);

// Bit-reversal tables of complex order m (M/4 + 1 entries; nothing for
// m < 2): the swap list and the index table. Return the first 16-byte
// boundary after the table.
int32_t* SP_V(spkFftBitRevSwapTableI32)(int32_t m, int32_t* table);
int32_t* SP_V(spkFftBitRevIndexTableI32)(int32_t m, int32_t* table);

// This set's bit-reversal permutation of M complex floats with the table
// this set builds for its specs (swap list in the generic and SSE sets,
// index table from SSE2 on): in place (M >= 1), and by copy into a distinct
// array.
void SP_V(spkFftBitRevInPlaceC32)(float* data, int64_t points, const int32_t* table);
void SP_V(spkFftBitRevCopyC32)(const float* src, float* dst, int64_t points, const int32_t* table);

// Multiplies count floats by scale in place.
void SP_V(spkFftScaleF32)(float scale, float* data, int64_t count);

// This set's complex twiddles of order m (layout of the set's passes) from
// a sine table of order sineOrder >= m; returns the first 16-byte boundary
// after what the table reserves.
float* SP_V(spkFftTwiddleTableF32)(int32_t m, const float* sine, int32_t sineOrder, float* table);

// Split twiddles of a real FFT of the given order in this set's layout
// (interleaved in the generic set and for N <= 8, else grouped by four).
float* SP_V(spkFftSplitTableFwdF32)(int32_t order, const float* sine, float* table);
float* SP_V(spkFftSplitTableInvF32)(int32_t order, const float* sine, float* table);

// The real split (in place; floats 0 and 1 already hold X[0] and X[N/2])
// and merge (writes complex values 1 .. M-1 of dst as 2 Z[k]; dst may be
// src) between the M-point complex spectrum and the real one.
void SP_V(spkFftRealSplitF32)(float* data, int64_t points, const float* table);
void SP_V(spkFftRealMergeF32)(const float* src, float* dst, int64_t points, const float* table);

// Large-size plan of complex order m above the set's plain limit: the bytes
// of its table block, of the build scratch the plan rules reserve and of
// the work buffer its transforms need (64-bit; the block passes 2^32 bytes
// at m = 29).
void SP_V(spkFftPlanSizeF32)(int32_t m, int64_t* tableBytes, int64_t* scratchBytes, int64_t* workBytes);
// Builds that plan into `block` and points the spec's plan fields at it.
void SP_V(spkFftPlanBuildF32)(REALFFTSPEC* spec, int32_t m, const float* sine, int32_t sineOrder, float* block);
// The large-size complex FFT of 2^m bit-reversed points in place, natural
// order out, the direction's scale applied; work: the spec's workBytes on a
// 16-byte boundary (null when they are 0).
void SP_V(spkFftLargeFwdC32)(const REALFFTSPEC* spec, float* data, int32_t m, float* work);
void SP_V(spkFftLargeInvC32)(const REALFFTSPEC* spec, float* data, int32_t m, float* work);

#if SP_SET_INDEX >= SP_SET_SSE
// Radix kernels: M >= 16 bit-reversed points (any float boundary) to their
// transform in natural order, as interleaved pairs (layout 1) or in the
// split 4-lane layout; work: 8M bytes on a 16-byte boundary, touched only
// when data is not on one. The table is this set's for M (or, stage-major
// and even levels, for a larger order of the same parity).
void SP_V(spkFftRadixFwdC32)(float* data, int64_t points, const float* table, float* work, int32_t layout);
void SP_V(spkFftRadixInvC32)(float* data, int64_t points, const float* table, float* work, int32_t layout);
// Fused kernels: M >= 8 points in natural order from src to dst (may be
// src), bit reversal through the index table of order m included.
void SP_V(spkFftFusedFwdC32)(const float* src, float* dst, int64_t points, const float* table, const int32_t* index,
                             float* work);
void SP_V(spkFftFusedInvC32)(const float* src, float* dst, int64_t points, const float* table, const int32_t* index,
                             float* work);
#endif

}  // namespace SP_SET_NS
