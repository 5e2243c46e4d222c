// Dispatch entries of the cross- and autocorrelation primitives.
#include "primitives/correlation/sp_correlation.h"
#include "primitives/frame/dispatch.h"

SP_DISPATCH(spStatus, spCrossCorrF64,
            (const double* a, int32_t aLen, const double* b, int32_t bLen, double* dst, int32_t dstLen,
             int32_t lowLag),
            (a, aLen, b, bLen, dst, dstLen, lowLag))
SP_DISPATCH(spStatus, spCrossCorrF32,
            (const float* a, int32_t aLen, const float* b, int32_t bLen, float* dst, int32_t dstLen, int32_t lowLag),
            (a, aLen, b, bLen, dst, dstLen, lowLag))
SP_DISPATCH(spStatus, spAutoCorrBiasedF32, (const float* src, int32_t srcLen, float* dst, int32_t dstLen),
            (src, srcLen, dst, dstLen))
SP_DISPATCH(spStatus, spAutoCorrUnbiasedF32, (const float* src, int32_t srcLen, float* dst, int32_t dstLen),
            (src, srcLen, dst, dstLen))
