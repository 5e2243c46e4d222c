// Dot-product kernels of the running variant set, which other primitives of
// the same set call directly. Include only from *_variant.cpp. No checks:
// pointers are valid (any alignment) and n at least 1.
#pragma once
#include <cstdint>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS {

void SP_V(spkDotF32)(const float* a, const float* b, int64_t n, float* result);
void SP_V(spkDotF64)(const double* a, const double* b, int64_t n, double* result);

}  // namespace SP_SET_NS
