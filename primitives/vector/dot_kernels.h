// Dot-product kernels, which other primitives of the same set call directly.
// No checks: pointers are valid (any alignment) and n at least 1.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"

#define SP_DOT_KERNELS(X)                                                        \
  X(void, spkDotF32, (const float* a, const float* b, int64_t n, float* result)) \
  X(void, spkDotF64, (const double* a, const double* b, int64_t n, double* result))

SP_DECLARE_KERNELS(SP_DOT_KERNELS)
