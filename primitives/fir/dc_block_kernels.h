// The front end's DC blocker, up to four channels at once, which the math
// layer runs in the running set. No checks; arrays at any address.
//
// The recurrence w[n] = x[n] - x[n-1] + p w[n-1], y[n] = gain w[n], with
// its sums regrouped over blocks of four samples, counted from the lane's
// reset (phase), so that a block waits on one multiply-add of the one
// before instead of each sample on the one before it. For sample j
// (0..3) of a block, with d = x - prevInput:
//   s = d (j = 0), else d + pole * s
//   w = s + pole^(j+1) * blockState
//   dst = gain * w; prevInput = x; after sample 3 blockState = w
// each step rounded as written, pole^2 = pole * pole, pole^3 = pole^2 *
// pole, pole^4 = pole^3 * pole. So every set gives the bits of the plain
// per-lane steps, and a lane gives the same bits however its samples are
// split between calls. dst may be src.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"

// One lane's arrays, coefficients and running state.
struct SpkDcBlockLane {
  const float* src;
  float* dst;
  float pole;
  float gain;
  float prevInput;   // the last sample taken
  float blockState;  // w at the end of the last whole block
  float partial;     // s of the last sample taken
  int32_t phase;     // samples of the current block taken, 0..3
};

#define SP_DC_BLOCK_KERNELS(X) X(void, spkDcBlockLanesF32, (SpkDcBlockLane * lanes, int32_t count, int64_t n))

SP_DECLARE_KERNELS(SP_DC_BLOCK_KERNELS)
