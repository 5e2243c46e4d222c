// Aligned memory, copy, zero-fill and fill: the dispatched primitives every
// other primitive and the math layer use for their buffers.
//
// Blocks from the allocators are 32-byte aligned and go back through
// spAlignedFree. On x86-64 the 8-byte raw pointer sits just before the block,
// so the byte at p[-1] is the top byte of a user-space address (never 0x55 or
// 0xAA, which the math layer's own guarded blocks carry there). Sizes are
// formed in 64 bits; a count whose byte size does not fit gives null.
//
// Copy, zero and fill check null pointers (-8) then n below 1 (-6); nothing
// is written on an error.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments); see entries.h.
#define SP_ALIGNED_MEMORY_ENTRIES(X)                                   \
  /* Null for bytes (count) 0 or below or when memory is exhausted. */ \
  X(void*, spAlignedAlloc, (int32_t bytes), (bytes))                   \
  X(float*, spAlignedAllocF32, (int32_t count), (count))               \
  X(double*, spAlignedAllocF64, (int32_t count), (count))              \
  /* Null is ignored. */                                               \
  X(void, spAlignedFree, (void* p), (p))

#define SP_COPY_FILL_ENTRIES(X)                                                      \
  /* Overlapping ranges are copied as memmove would copy them. */                    \
  X(spStatus, spCopyF32, (const float* src, float* dst, int32_t n), (src, dst, n))   \
  X(spStatus, spCopyF64, (const double* src, double* dst, int32_t n), (src, dst, n)) \
  /* Writes all-zero bits (+0.0). */                                                 \
  X(spStatus, spZeroF32, (float* dst, int32_t n), (dst, n))                          \
  X(spStatus, spZeroF64, (double* dst, int32_t n), (dst, n))                         \
  /* Writes the value's bit pattern (-0.0, infinities and NaNs keep their bits). */  \
  X(spStatus, spSetF32, (float value, float* dst, int32_t n), (value, dst, n))       \
  X(spStatus, spSetF64, (double value, double* dst, int32_t n), (value, dst, n))

SP_DECLARE_ENTRIES(SP_ALIGNED_MEMORY_ENTRIES)
SP_DECLARE_ENTRIES(SP_COPY_FILL_ENTRIES)
