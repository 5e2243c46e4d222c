#include "Mathlib/MathlibFftSpecRelease.h"

#include "Mathlib/MathlibTrace.h"

// The real FFTs are not part of this build yet, so no handle can hold a
// spec; a non-null one means the record was damaged.
void MathlibReleaseFftSpec(REALFFTSPEC* spec, int32_t elementBits) {
  if (spec)
    MathlibTrace(nullptr, "MathlibFftCacheFree(), ERROR: unexpected %d-bit spec %p not released\n",
                 static_cast<int>(elementBits), static_cast<void*>(spec));
}
