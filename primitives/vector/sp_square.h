// Elementwise square of float and double arrays, into a second array or in
// place. Null pointers give -8 (src before dst), n below 1 gives -6, nothing
// is written then; otherwise all n squares are written and spOk returned.
// Overflow gives +inf and NaNs pass through; there are no warnings.
#pragma once
#include <cstdint>

#include "primitives/frame/sp_status.h"

// dst[i] = src[i] * src[i]; src and dst are the same array or apart.
spStatus spSqrF32(const float* src, float* dst, int32_t n);
spStatus spSqrF64(const double* src, double* dst, int32_t n);
spStatus spSqrInPlaceF32(float* srcDst, int32_t n);
spStatus spSqrInPlaceF64(double* srcDst, int32_t n);
