#include "wavio/SampleConvert.h"

#include "primitives/frame/running_kernel.h"
#include "primitives/vector/convert_kernels.h"

// The running set's channel kernels: whole frames take the same steps as
// spConvI16ToF32.

void ShortsToFloats(const int16_t* in, float* out, int64_t n) {
  SP_RUNNING_KERNEL(spkChannelI16ToF32)(in, 1, 0, out, n);
}

void ShortChannelToFloats(const int16_t* frames, int channels, int channel, float* dest, int64_t count) {
  SP_RUNNING_KERNEL(spkChannelI16ToF32)(frames, channels, channel, dest, count);
}

void FloatChannel(const float* frames, int channels, int channel, float* dest, int64_t count) {
  SP_RUNNING_KERNEL(spkChannelF32)(frames, channels, channel, dest, count);
}
