// Summation kernels, which other primitives of the same set (the means) call
// directly. No checks: src is valid and n at least 1. Results are at double
// precision.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"

// spkSumF32 hint 1: fast block mode (SIMD sets); anything else: accurate
// mode. The generic set has one layout (two interleaved partial sums) and
// ignores it.
#define SP_SUM_KERNELS(X)                                           \
  X(double, spkSumF32, (const float* src, int64_t n, int32_t hint)) \
  X(double, spkSumF64, (const double* src, int64_t n))

SP_DECLARE_KERNELS(SP_SUM_KERNELS)
