// Dispatch entries of the Gaussian random-number primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_random.h"

SP_DISPATCH(spStatus, spRandGaussF32,
            (float* dst, int32_t len, float mean, float stdDev, uint32_t* pSeed),
            (dst, len, mean, stdDev, pSeed))
SP_DISPATCH(spStatus, spRandGaussF64,
            (double* dst, int32_t len, double mean, double stdDev, uint32_t* pSeed),
            (dst, len, mean, stdDev, pSeed))
