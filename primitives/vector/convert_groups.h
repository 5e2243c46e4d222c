// The conversion kernels whose algorithm differs by group of sets, defined
// in convert_scalar_group_variant.cpp (generic and SSE sets: no packed
// integers) and convert_sse2_group_variant.cpp (SSE2 and later). The *Steps
// kernels convert whole vector steps from element 0 and return how many
// elements they converted (none in the scalar group); the shared entries in
// convert_variant.cpp convert the rest with the rules of convert_rules.h.
// Include only from the conversion *_variant.cpp files.
#pragma once
#include <cstdint>

#include "primitives/vector/convert_rules.h"

namespace SP_SET_NS::convert {

int64_t I8ToF32Steps(const int8_t* src, float* dst, int64_t n);
int64_t I16ToF32Steps(const int16_t* src, float* dst, int64_t n);
int64_t I32ToF32Steps(const int32_t* src, float* dst, int64_t n);
int64_t I8ToI16Steps(const int8_t* src, int16_t* dst, int64_t n);
int64_t I32ToF64Steps(const int32_t* src, double* dst, int64_t n);
int64_t I32ToI16SatSteps(const int32_t* src, int16_t* dst, int64_t n, int32_t scaleFactor);
// Also converts the head that aligns dst; scale applies when `scaled`.
int64_t I16ToF64Steps(const int16_t* src, double* dst, int64_t n, bool scaled, double scale);

// The whole double-to-int32 conversion, n at least 1.
void F64ToI32(const double* src, int32_t* dst, int64_t n, bool nearest, const Pow2Scale& scale);

}  // namespace SP_SET_NS::convert
