// The SSE set's extra memory kernels, which only that set has; its callers
// choose one by size. Declared apart from sp_kernels.h so that tests comparing
// the sets can name them without a variant set of their own.
#pragma once
#include <cstdint>

namespace sp_sse {

// Plain 8/16-byte moves; non-temporal 8-byte stores (64 bytes per step);
// page-wise with prefetch of every source page.
void* spkCopyBytesStream_Sse(const void* src, void* dst, int64_t bytes);
void* spkCopyBytesLarge_Sse(const void* src, void* dst, int64_t bytes);
void* spkZeroBytesLarge_Sse(void* dst, int64_t bytes);
float* spkSetF32Large_Sse(float value, float* dst, int64_t n);
double* spkSetF64Large_Sse(double value, double* dst, int64_t n);
// Reads the first and last byte of every 4096-byte chunk and prefetches
// (non-temporal) each 32-byte line of it.
void spkTouchPages_Sse(const void* p, int64_t bytes);

}  // namespace sp_sse
