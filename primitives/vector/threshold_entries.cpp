// Dispatch entries of the threshold primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_threshold.h"

SP_DISPATCH(spStatus, spThresholdInPlaceF32, (float* srcDst, int32_t n, float level, int32_t relation),
            (srcDst, n, level, relation))
SP_DISPATCH(spStatus, spThresholdInPlaceF64, (double* srcDst, int32_t n, double level, int32_t relation),
            (srcDst, n, level, relation))
