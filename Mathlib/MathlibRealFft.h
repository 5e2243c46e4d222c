// Real FFTs of N = 2^order points (order 0..30) on a handle's cached spec,
// between N real values and the packed half spectrum of N + 2 values
//   R0, 0, Re1, Im1, ..., Re(N/2-1), Im(N/2-1), R(N/2), 0
// with X(k) = sum x(n) e^(-2 pi i n k / N) (two values R0, 0 for N = 1).
//
// Forward flags: bit 0 (1) dst = X; bit 1 (2) dst = -X/N.
// Inverse flags: bit 0 (1) dst(n) = -sum X(k) e^(2 pi i n k / N);
//                bit 1 (2) dst(n) = (1/N) sum X(k) e^(2 pi i n k / N).
// Both bits: both passes run, bit 0 first, and bit 1's result stands. No
// bit: only the spec is built or kept. So forward 1 then inverse 2, and
// forward 2 then inverse 1, give back the signal.
//
// Each returns 1 when it ran, 0 when it could not (null handle or array,
// order outside 0..30, a spec that cannot be built, no memory for the cache
// or the scratch array, a failing transform): a trace line then says so and
// the outputs are left as they were, apart from what a pass that completed
// before a failing one wrote (both flag bits, the pair). The first call on
// a handle, and any call with another order, precision or running variant
// set than the cached spec's, builds a new spec and releases the old one.
#pragma once
#include <cstdint>

struct MathlibHandle;

int duvuvRealFftFwdF32(MathlibHandle* handle, const float* src, float* dst, int32_t order, int32_t flags);
int duvuvRealFftInvF32(MathlibHandle* handle, const float* src, float* dst, int32_t order, int32_t flags);
// Two forward transforms with flags 1 on one spec (the correlators' pair);
// the second runs only when the first succeeded.
int duvuvRealFftFwdPairF32(MathlibHandle* handle, const float* src1, float* dst1, const float* src2, float* dst2,
                           int32_t order);
// Inverse from a copy of src, so dst may be src.
int duvuvRealFftInvCopyF32(MathlibHandle* handle, const float* src, float* dst, int32_t order, int32_t flags);
// data holds N + 2 values: N reals in, the packed spectrum out.
int duvuvRealFftFwdInPlaceF32(MathlibHandle* handle, float* data, int32_t order, int32_t flags);
// data holds N + 2 values: the packed spectrum in, N reals out in data[0 .. N-1]
// (data[N] and data[N+1] keep what they held).
int duvuvRealFftInvInPlaceF32(MathlibHandle* handle, float* data, int32_t order, int32_t flags);
// Forward expanded to the full spectrum: dst holds N complex values (2N reals,
// real part first), X(N-k) = conj X(k).
int duvuvRealFftFwdComplexF32(MathlibHandle* handle, const float* src, float* dst, int32_t order, int32_t flags);
// In place, order MathlibLog2Ceil(n): the forward unscaled, the inverse
// scaled by 1/N. data must hold 2^order + 2 values, more than n when n is
// not a power of two.
int duvuvRealFftFwdByLenF32(MathlibHandle* handle, float* data, uint32_t n);
int duvuvRealFftInvByLenF32(MathlibHandle* handle, float* data, uint32_t n);

int duvuvRealFftFwdF64(MathlibHandle* handle, const double* src, double* dst, int32_t order, int32_t flags);
int duvuvRealFftInvF64(MathlibHandle* handle, const double* src, double* dst, int32_t order, int32_t flags);
int duvuvRealFftFwdPairF64(MathlibHandle* handle, const double* src1, double* dst1, const double* src2, double* dst2,
                           int32_t order);
int duvuvRealFftInvCopyF64(MathlibHandle* handle, const double* src, double* dst, int32_t order, int32_t flags);
int duvuvRealFftFwdInPlaceF64(MathlibHandle* handle, double* data, int32_t order, int32_t flags);
int duvuvRealFftInvInPlaceF64(MathlibHandle* handle, double* data, int32_t order, int32_t flags);
int duvuvRealFftFwdComplexF64(MathlibHandle* handle, const double* src, double* dst, int32_t order, int32_t flags);

// 0 for n <= 1, otherwise the smallest k with 2^k >= n (32 for n > 2^31).
uint32_t MathlibLog2Ceil(uint32_t n);
