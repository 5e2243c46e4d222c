#include "wavio/SampleConvert.h"

#include "primitives/frame/dispatch.h"
#include "primitives/vector/convert_kernels.h"

namespace {

// The running set's channel kernels, chosen as the primitives' entries
// choose theirs: whole frames take the same steps as spConvI16ToF32.
using ShortChannelKernel = void (*)(const int16_t*, int64_t, int64_t, float*, int64_t);
using FloatChannelKernel = void (*)(const float*, int64_t, int64_t, float*, int64_t);
constexpr ShortChannelKernel kShortChannel[kSpVariantSetCount] = SP_VARIANT_TABLE(spkChannelI16ToF32);
constexpr FloatChannelKernel kFloatChannel[kSpVariantSetCount] = SP_VARIANT_TABLE(spkChannelF32);

int32_t RunningSet() { return spDispatchIndex.load(std::memory_order_relaxed); }

}  // namespace

void ShortsToFloats(const int16_t* in, float* out, int64_t n) { kShortChannel[RunningSet()](in, 1, 0, out, n); }

void ShortChannelToFloats(const int16_t* frames, int channels, int channel, float* dest, int64_t count) {
  kShortChannel[RunningSet()](frames, channels, channel, dest, count);
}

void FloatChannel(const float* frames, int channels, int channel, float* dest, int64_t count) {
  kFloatChannel[RunningSet()](frames, channels, channel, dest, count);
}
