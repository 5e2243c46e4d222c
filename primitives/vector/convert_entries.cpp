// Dispatch entries of the conversion primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_convert.h"

SP_DISPATCH(spStatus, spConvI8ToF32, (const int8_t* src, float* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spConvI16ToF32, (const int16_t* src, float* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spConvI32ToF32, (const int32_t* src, float* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spConvI8ToI16, (const int8_t* src, int16_t* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spConvI16ToF64Scaled,
            (const int16_t* src, double* dst, int32_t n, int32_t scaleFactor),
            (src, dst, n, scaleFactor))
SP_DISPATCH(spStatus, spConvI32ToF64, (const int32_t* src, double* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spConvI32ToI16Sat,
            (const int32_t* src, int16_t* dst, int32_t n, int32_t scaleFactor),
            (src, dst, n, scaleFactor))
SP_DISPATCH(spStatus, spConvF64ToI32,
            (const double* src, int32_t* dst, int32_t n, int32_t roundMode, int32_t scaleFactor),
            (src, dst, n, roundMode, scaleFactor))
