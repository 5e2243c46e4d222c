// Dispatch entries of the single-precision real FFT and the half-spectrum
// expansion.
#include "primitives/fft/sp_real_fft.h"
#include "primitives/frame/dispatch.h"

SP_DISPATCH(spStatus, spRealFftInitF32, (REALFFTSPEC** spec, int32_t order, int32_t scaleFlag, int32_t hint),
            (spec, order, scaleFlag, hint))
SP_DISPATCH(spStatus, spRealFftFreeF32, (REALFFTSPEC* spec), (spec))
SP_DISPATCH(spStatus, spRealFftFwdF32, (const float* src, float* dst, REALFFTSPEC* spec, uint8_t* work),
            (src, dst, spec, work))
SP_DISPATCH(spStatus, spRealFftInvF32, (const float* src, float* dst, REALFFTSPEC* spec, uint8_t* work),
            (src, dst, spec, work))
SP_DISPATCH(spStatus, spHalfSpecToC32, (const float* src, float* dst, int32_t n), (src, dst, n))
