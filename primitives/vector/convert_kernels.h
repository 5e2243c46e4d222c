// Channel kernels of the conversions: one channel of interleaved frames into
// floats, which the wave layer calls in the running set. No checks: the
// frames hold n * channels elements, 0 <= channel < channels, n may be 0.
// One channel (channels 1) is the whole array, by the steps spConvI16ToF32
// takes.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"

#define SP_CONVERT_KERNELS(X)                                                                                    \
  X(void, spkChannelI16ToF32, (const int16_t* frames, int64_t channels, int64_t channel, float* dst, int64_t n)) \
  X(void, spkChannelF32, (const float* frames, int64_t channels, int64_t channel, float* dst, int64_t n))

SP_DECLARE_KERNELS(SP_CONVERT_KERNELS)
