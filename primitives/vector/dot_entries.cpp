// Dispatch entries of the dot-product primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_dot.h"

SP_DISPATCH(spStatus, spDotF32, (const float* a, const float* b, int32_t n, float* result), (a, b, n, result))
SP_DISPATCH(spStatus, spDotF64, (const double* a, const double* b, int32_t n, double* result), (a, b, n, result))
