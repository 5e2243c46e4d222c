// The math layer's guarded allocator: zero-filled blocks framed by guard
// bytes and their stored total size, so that MathlibFreeMem can tell its own
// blocks from the primitive library's aligned blocks and refuses to free a
// block whose frame is damaged.
//
// Layout from the 32-byte aligned start B (T = payload + 15):
//   B+0 0x55 | B+1..4 T (little-endian int32) | B+5 0x55 | B+6..7 0xAA
//   B+8 payload (returned) | 6 zero slack bytes | B+T-1 0x55
#pragma once
#include <cstdint>

// Null for a negative or too large count * size, or when memory runs out.
void* MathlibAllocGuarded(int32_t count, int32_t size);
void* MathlibAlloc(int32_t bytes);
float* MathlibAllocF32(int32_t count);
double* MathlibAllocF64(int32_t count);
float* MathlibAllocC32(int32_t count);  // count complex values
double* MathlibAllocC64(int32_t count);

// Releases a guarded block, or a block of spAlignedAlloc. A block whose frame
// is damaged is traced and left allocated. Null is ignored.
void MathlibFreeMem(void* p);
