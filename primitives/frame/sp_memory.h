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

#include "primitives/frame/sp_status.h"

// Null for bytes (count) 0 or below or when memory is exhausted.
void* spAlignedAlloc(int32_t bytes);
float* spAlignedAllocF32(int32_t count);
double* spAlignedAllocF64(int32_t count);
// Null is ignored.
void spAlignedFree(void* p);

// Overlapping ranges are copied as memmove would copy them.
spStatus spCopyF32(const float* src, float* dst, int32_t n);
spStatus spCopyF64(const double* src, double* dst, int32_t n);
// Writes all-zero bits (+0.0).
spStatus spZeroF32(float* dst, int32_t n);
spStatus spZeroF64(double* dst, int32_t n);
// Writes the value's bit pattern (-0.0, infinities and NaNs keep their bits).
spStatus spSetF32(float value, float* dst, int32_t n);
spStatus spSetF64(double value, double* dst, int32_t n);
