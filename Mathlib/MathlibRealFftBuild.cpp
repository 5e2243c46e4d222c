#include "Mathlib/MathlibRealFftBuild.h"

#include "Mathlib/MathlibTrace.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/fft/sp_real_fft_f64.h"

spStatus MathlibBuildRealFft(REALFFTSPEC** prepared, int32_t order, int32_t scaleFlag, int32_t hint,
                             int32_t elementBits) {
  if (elementBits == 32) return spRealFftInitF32(prepared, order, scaleFlag, hint);
  if (elementBits == 64) return spRealFftInitF64(prepared, order, scaleFlag, hint);
  return spErrFftOrder;
}

// Any variant set may release a spec, whichever set built it.
void MathlibReleaseRealFft(REALFFTSPEC* prepared, int32_t elementBits) {
  if (!prepared) return;
  spStatus status = spErrSpecKind;
  if (elementBits == 32) status = spRealFftFreeF32(prepared);
  if (elementBits == 64) status = spRealFftFreeF64(prepared);
  if (status != spOk)
    MathlibTrace(nullptr, "MathlibFftCacheFree(), ERROR: %d-bit real FFT record %p not released (status %d)\n",
                 static_cast<int>(elementBits), static_cast<void*>(prepared), static_cast<int>(status));
}
