// Conversions of interleaved samples into the floats in 16-bit units the
// readers deliver: whole frames, or one channel of them. Every conversion
// here is exact.
#pragma once

#include <cstdint>

// out[i] = in[i] for i < n.
void ShortsToFloats(const int16_t* in, float* out, int64_t n);
// dest[i] = frames[i * channels + channel] for i < count (16-bit values).
void ShortChannelToFloats(const int16_t* frames, int channels, int channel, float* dest, int64_t count);
// The same for frames of floats.
void FloatChannel(const float* frames, int channels, int channel, float* dest, int64_t count);
