// Conversions of interleaved samples into the floats in 16-bit units the
// readers deliver: whole frames, one channel of them, or every channel of
// them in one pass. Every conversion here is exact.
#pragma once

#include <cstdint>

// out[i] = in[i] for i < n.
void ShortsToFloats(const int16_t* in, float* out, int64_t n);
// dest[i] = frames[i * channels + channel] for i < count (16-bit values).
void ShortChannelToFloats(const int16_t* frames, int channels, int channel, float* dest, int64_t count);
// The same for frames of floats.
void FloatChannel(const float* frames, int channels, int channel, float* dest, int64_t count);
// dests[c][i] = frames[i * channels + c] for every channel c and i < count,
// reading the frames once (dests holds `channels` arrays).
void ShortFramesToChannels(const int16_t* frames, int channels, float* const* dests, int64_t count);
void FloatFramesToChannels(const float* frames, int channels, float* const* dests, int64_t count);
