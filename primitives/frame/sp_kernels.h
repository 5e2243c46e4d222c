// Directly callable memory kernels of the running variant set. Include only
// from *_variant.cpp: the declarations land in SP_SET_NS, so variant code of
// any family calls its own set's kernel, e.g. SP_V(spkZeroBytes)(dst, bytes).
// Kernels do no checks: pointers are valid and counts at least 1 (0 is
// tolerated and does nothing). Byte and element counts are 64-bit; the
// mirror kernels count complex values in 32 bits, as their callers do.
#pragma once
#include <cstdint>

#include "primitives/frame/sp_memory.h"  // with this set's variants of the memory primitives
#include "primitives/frame/sp_status.h"
#include "primitives/frame/variant_set.h"

#if SP_SET_INDEX == SP_SET_SSE
#include "primitives/frame/sp_kernels_sse.h"  // the SSE set's extra kernels
#endif

namespace SP_SET_NS {

// Copies `bytes` bytes; overlapping ranges are copied as memmove would. Large
// blocks (against the reported cache size) go through non-temporal stores.
void* SP_V(spkCopyBytes)(const void* src, void* dst, int64_t bytes);
// Sets `bytes` bytes to 0; large blocks use non-temporal stores.
void* SP_V(spkZeroBytes)(void* dst, int64_t bytes);
// Sets n elements to the value's bit pattern (dst may be misaligned).
float* SP_V(spkSetF32)(float value, float* dst, int64_t n);
double* SP_V(spkSetF64)(double value, double* dst, int64_t n);

// Half-spectrum mirror: for k in 0..m-1, dst[k] = conj(src[m-1-k]) on
// interleaved (re, im) pairs; the sign bit is flipped, not negated by
// arithmetic. m counts complex values; src and dst do not overlap.
void SP_V(spkHalfSpecMirrorC32)(const float* src, float* dst, int32_t m);
void SP_V(spkHalfSpecMirrorC64)(const double* src, double* dst, int32_t m);

// 32-byte aligned block of a 64-bit byte count; null for 0 or below, sizes
// that cannot be allocated, or exhausted memory. Free with spkAlignedFree of
// any set (or the public spAlignedFree).
void* SP_V(spkAlignedAlloc)(int64_t bytes);
void SP_V(spkAlignedFree)(void* p);

}  // namespace SP_SET_NS
