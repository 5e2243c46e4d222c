#include "Mathlib/MathlibRealFftRelease.h"

#include "Mathlib/MathlibTrace.h"

// The real FFTs are not in the library yet, so no handle can hold a prepared
// transform; a non-null one means the cache record was damaged.
void MathlibReleaseRealFft(REALFFTSPEC* prepared, int32_t elementBits) {
  if (prepared)
    MathlibTrace(nullptr, "MathlibFftCacheFree(), ERROR: unexpected %d-bit real FFT record %p not released\n",
                 static_cast<int>(elementBits), static_cast<void*>(prepared));
}
