// The front end's DC blocker over four channels at once, which the math
// layer runs in the running set. No checks; arrays at any address. For each
// lane l and sample i < n, with x = src[l][i]:
//   w = x - prevInput[l] + pole[l] * prevState[l]   (rounded as written)
//   dst[l][i] = gain[l] * w; prevInput[l] = x; prevState[l] = w
// so every set gives the bits of the plain per-lane loop. dst[l] may be src[l].
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"

#define SP_DC_BLOCK_KERNELS(X)                                                                                     \
  X(void, spkDcBlockFourLanesF32,                                                                                  \
    (const float* const src[4], float* const dst[4], const float pole[4], const float gain[4], float prevInput[4], \
     float prevState[4], int64_t n))

SP_DECLARE_KERNELS(SP_DC_BLOCK_KERNELS)
