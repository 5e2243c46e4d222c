// Summation kernels of the running variant set, which other primitives of
// the same set (the means) call directly. Include only from *_variant.cpp.
// No checks: src is valid and n at least 1. Results are at double precision.
#pragma once
#include <cstdint>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS {

// hint 1: fast block mode (SIMD sets); anything else: accurate mode. The
// generic set has one layout (two interleaved partial sums) and ignores it.
double SP_V(spkSumF32)(const float* src, int64_t n, int32_t hint);
double SP_V(spkSumF64)(const double* src, int64_t n);

}  // namespace SP_SET_NS
