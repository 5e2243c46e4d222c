// Clipping of a float or double array in place against a level.
//
// relation 4 clips above: elements greater than the level become the level.
// Every other relation clips below: elements less than the level become the
// level. Elements equal to the level stay. Null srcDst gives -8, n below 1
// gives -6; otherwise spOk.
//
// NaN elements, a NaN level and zeros of the sign opposite to a zero level
// depend on the variant set: the generic set replaces NaN elements under
// relation 4 and keeps them otherwise; the SIMD sets store what their
// minimum/maximum instructions give (the level for unordered or equal pairs).
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

inline constexpr int32_t kSpThresholdClipAbove = 4;

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_THRESHOLD_ENTRIES(X)                                                                   \
  X(spStatus, spThresholdInPlaceF32, (float* srcDst, int32_t n, float level, int32_t relation),   \
    (srcDst, n, level, relation))                                                                 \
  X(spStatus, spThresholdInPlaceF64, (double* srcDst, int32_t n, double level, int32_t relation), \
    (srcDst, n, level, relation))
SP_DECLARE_ENTRIES(SP_THRESHOLD_ENTRIES)
