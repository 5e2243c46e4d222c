// Dispatch entries of the FIR design and filter primitives.
#include "primitives/correlation/sp_fir.h"
#include "primitives/frame/dispatch.h"

SP_DISPATCH(spStatus, spFirLowpassTapsF64,
            (double relFreq, double* taps, int32_t len, int32_t windowKind, int32_t normalize),
            (relFreq, taps, len, windowKind, normalize))
SP_DISPATCH(spStatus, spFirHighpassTapsF64,
            (double relFreq, double* taps, int32_t len, int32_t windowKind, int32_t normalize),
            (relFreq, taps, len, windowKind, normalize))
SP_DISPATCH(spStatus, spFirF32,
            (const float* src, float* dst, int32_t len, const double* taps, int32_t tapsLen, float* delayLine,
             int32_t* delayIndex),
            (src, dst, len, taps, tapsLen, delayLine, delayIndex))
SP_DISPATCH(spStatus, spFirF64,
            (const double* src, double* dst, int32_t len, const double* taps, int32_t tapsLen, double* delayLine,
             int32_t* delayIndex),
            (src, dst, len, taps, tapsLen, delayLine, delayIndex))
