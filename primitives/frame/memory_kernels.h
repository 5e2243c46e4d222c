// The frame's internal memory kernels, which variant code of any family calls
// for its own set, e.g. SP_V(spkZeroBytes)(dst, bytes).
// Kernels do no checks: pointers are valid and counts at least 1 (0 is
// tolerated and does nothing). Byte and element counts are 64-bit; the
// mirror kernels count complex values in 32 bits, as their callers do.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_memory.h"  // the memory primitives, and this set's variants of them

#define SP_MEMORY_KERNELS(X)                                                     \
  /* Copies `bytes` bytes; overlapping ranges are copied as memmove would. Large \
     blocks (against the reported cache size) go through non-temporal stores. */ \
  X(void*, spkCopyBytes, (const void* src, void* dst, int64_t bytes))            \
  /* Sets `bytes` bytes to 0; large blocks use non-temporal stores. */           \
  X(void*, spkZeroBytes, (void* dst, int64_t bytes))                             \
  /* Sets n elements to the value's bit pattern (dst may be misaligned). */      \
  X(float*, spkSetF32, (float value, float* dst, int64_t n))                     \
  X(double*, spkSetF64, (double value, double* dst, int64_t n))                  \
  /* Half-spectrum mirror: for k in 0..m-1, dst[k] = conj(src[m-1-k]) on         \
     interleaved (re, im) pairs; the sign bit is flipped, not negated by         \
     arithmetic. m counts complex values; src and dst do not overlap. */         \
  X(void, spkHalfSpecMirrorC32, (const float* src, float* dst, int32_t m))       \
  X(void, spkHalfSpecMirrorC64, (const double* src, double* dst, int32_t m))     \
  /* 32-byte aligned block of a 64-bit byte count; null for 0 or below, sizes    \
     that cannot be allocated, or exhausted memory. Free with spkAlignedFree of  \
     any set (or the public spAlignedFree). */                                   \
  X(void*, spkAlignedAlloc, (int64_t bytes))                                     \
  X(void, spkAlignedFree, (void* p))

// The SSE set's extra kernels, which only that set defines; its callers choose
// one by size. Plain 8/16-byte moves; non-temporal 8-byte stores (64 bytes per
// step); page-wise with prefetch of every source page. spkTouchPages reads the
// first and last byte of every 4096-byte chunk and prefetches (non-temporal)
// each 32-byte line of it.
#define SP_SSE_MEMORY_KERNELS(X)                                            \
  X(void*, spkCopyBytesStream, (const void* src, void* dst, int64_t bytes)) \
  X(void*, spkCopyBytesLarge, (const void* src, void* dst, int64_t bytes))  \
  X(void*, spkZeroBytesLarge, (void* dst, int64_t bytes))                   \
  X(float*, spkSetF32Large, (float value, float* dst, int64_t n))           \
  X(double*, spkSetF64Large, (double value, double* dst, int64_t n))        \
  X(void, spkTouchPages, (const void* p, int64_t bytes))

SP_DECLARE_KERNELS(SP_MEMORY_KERNELS)

// Declared in the SSE set's namespace only: no other set has them.
namespace sp_sse {
#define SP_DECLARE_SSE_KERNEL(ret, name, params) ret name##_Sse params;
SP_SSE_MEMORY_KERNELS(SP_DECLARE_SSE_KERNEL)
#undef SP_DECLARE_SSE_KERNEL
}  // namespace sp_sse
