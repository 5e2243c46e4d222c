// Elementwise square of float and double arrays, into a second array or in
// place. Null pointers give -8 (src before dst), n below 1 gives -6, nothing
// is written then; otherwise all n squares are written and spOk returned.
// Overflow gives +inf and NaNs pass through; there are no warnings.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_SQUARE_ENTRIES(X)                                                        \
  /* dst[i] = src[i] * src[i]; src and dst are the same array or apart. */          \
  X(spStatus, spSqrF32, (const float* src, float* dst, int32_t n), (src, dst, n))   \
  X(spStatus, spSqrF64, (const double* src, double* dst, int32_t n), (src, dst, n)) \
  X(spStatus, spSqrInPlaceF32, (float* srcDst, int32_t n), (srcDst, n))             \
  X(spStatus, spSqrInPlaceF64, (double* srcDst, int32_t n), (srcDst, n))
SP_DECLARE_ENTRIES(SP_SQUARE_ENTRIES)
