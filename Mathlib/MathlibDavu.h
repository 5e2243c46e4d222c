// Real transforms of N = 2^order values over the layer's fallback complex
// FFT: forward to the packed half spectrum (N + 2 values Re0, Im0, ...,
// Re(N/2), Im(N/2)) unscaled, inverse back scaled by 1/N, in place; and the
// full complex spectrum of N reals. An order outside the range whose scratch
// fits the allocator or a null array leaves the data as it is; so does
// exhausted memory, which is traced (and "VEZIzidiru failed!" printed on
// stdout for a table of the fallback transform).
#pragma once
#include <cstdint>

void MathlibDavuFwdF32(float* data, int32_t order);
void MathlibDavuInvF32(float* data, int32_t order);
void MathlibDavuFwdF64(double* data, int32_t order);
void MathlibDavuInvF64(double* data, int32_t order);
void MathlibDavuFwdComplexF32(const float* src, float* dst, int32_t order);

// Largest order each precision accepts (the scratch of N complex values must
// fit one guarded block).
constexpr int32_t kMathlibDavuMaxOrderF32 = 27;
constexpr int32_t kMathlibDavuMaxOrderF64 = 26;
