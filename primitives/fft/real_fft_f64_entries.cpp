// Dispatch entries of the double-precision real FFT and its half-spectrum
// expansion.
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/dispatch.h"

SP_DISPATCH(spStatus, spRealFftInitF64, (REALFFTSPEC** spec, int32_t order, int32_t scaleFlag, int32_t hint),
            (spec, order, scaleFlag, hint))
SP_DISPATCH(spStatus, spRealFftFreeF64, (REALFFTSPEC* spec), (spec))
SP_DISPATCH(spStatus, spRealFftFwdF64, (const double* src, double* dst, REALFFTSPEC* spec, uint8_t* work),
            (src, dst, spec, work))
SP_DISPATCH(spStatus, spRealFftInvF64, (const double* src, double* dst, REALFFTSPEC* spec, uint8_t* work),
            (src, dst, spec, work))
SP_DISPATCH(spStatus, spHalfSpecToC64, (const double* src, double* dst, int32_t n), (src, dst, n))
