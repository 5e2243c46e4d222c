#include "Mathlib/MathlibRealFftSpec.h"

#include "Mathlib/MathlibTrace.h"
#include "primitives/fft/sp_real_fft.h"
#ifdef MATHLIB_HAVE_REAL_FFT_F64
#include "primitives/fft/sp_real_fft_f64.h"
#endif

spStatus MathlibBuildRealFft(REALFFTSPEC** prepared, int32_t order, int32_t scaleFlag, int32_t hint,
                             int32_t elementBits) {
  if (elementBits == 32) return spRealFftInitF32(prepared, order, scaleFlag, hint);
#ifdef MATHLIB_HAVE_REAL_FFT_F64
  if (elementBits == 64) return spRealFftInitF64(prepared, order, scaleFlag, hint);
#endif
  return spErrFftOrder;
}

// Any variant set may release a spec, whichever set built it.
void MathlibReleaseRealFft(REALFFTSPEC* prepared, int32_t elementBits) {
  if (!prepared) return;
  spStatus status = spErrSpecKind;
  if (elementBits == 32) status = spRealFftFreeF32(prepared);
#ifdef MATHLIB_HAVE_REAL_FFT_F64
  if (elementBits == 64) status = spRealFftFreeF64(prepared);
#endif
  if (status != spOk)
    MathlibTrace(nullptr, "MathlibFftCacheFree(), ERROR: %d-bit real FFT record %p not released (status %d)\n",
                 static_cast<int>(elementBits), static_cast<void*>(prepared), static_cast<int>(status));
}
