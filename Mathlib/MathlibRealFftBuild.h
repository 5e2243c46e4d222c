// Building and releasing a handle's cached real FFT in either precision
// (element bits 32 or 64), so that the cache code names no precision's
// primitives itself.
#pragma once
#include <cstdint>

#include "primitives/frame/sp_status.h"

struct REALFFTSPEC;

// The primitive's spec build with its statuses; -15 for bits other than
// 32 and 64.
spStatus MathlibBuildRealFft(REALFFTSPEC** prepared, int32_t order, int32_t scaleFlag, int32_t hint,
                             int32_t elementBits);
void MathlibReleaseRealFft(REALFFTSPEC* prepared, int32_t elementBits);
