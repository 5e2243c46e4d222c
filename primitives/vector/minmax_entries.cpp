// Dispatch entries of the maximum and minimum primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_minmax.h"

SP_DISPATCH(spStatus, spMaxI32, (const int32_t* src, int32_t n, int32_t* max), (src, n, max))
SP_DISPATCH(spStatus, spMaxF32, (const float* src, int32_t n, float* max), (src, n, max))
SP_DISPATCH(spStatus, spMaxF64, (const double* src, int32_t n, double* max), (src, n, max))
SP_DISPATCH(spStatus, spMaxIndexI32, (const int32_t* src, int32_t n, int32_t* max, int32_t* index), (src, n, max, index))
SP_DISPATCH(spStatus, spMaxIndexF32, (const float* src, int32_t n, float* max, int32_t* index), (src, n, max, index))
SP_DISPATCH(spStatus, spMaxIndexF64, (const double* src, int32_t n, double* max, int32_t* index), (src, n, max, index))
SP_DISPATCH(spStatus, spMinI32, (const int32_t* src, int32_t n, int32_t* min), (src, n, min))
SP_DISPATCH(spStatus, spMinF32, (const float* src, int32_t n, float* min), (src, n, min))
SP_DISPATCH(spStatus, spMinF64, (const double* src, int32_t n, double* min), (src, n, min))
SP_DISPATCH(spStatus, spMinIndexI32, (const int32_t* src, int32_t n, int32_t* min, int32_t* index), (src, n, min, index))
SP_DISPATCH(spStatus, spMinIndexF32, (const float* src, int32_t n, float* min, int32_t* index), (src, n, min, index))
SP_DISPATCH(spStatus, spMinIndexF64, (const double* src, int32_t n, double* min, int32_t* index), (src, n, min, index))
