// The real-FFT engine routines of the running variant set that other code
// of the same set (the correlation transforms, the double-precision spec
// build) and the tests call directly. Include only from *_variant.cpp; each
// set's routines carry its suffix, e.g. spkFftBitRevInPlaceC32_Sse2.
// Nothing is checked and nothing reported.
#pragma once
#include <cstdint>

#include "primitives/frame/variant_set.h"

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

}  // namespace SP_SET_NS
