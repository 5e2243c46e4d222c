#include "wavio/SampleConvert.h"

#include <cstring>

namespace {

using Short8 = int16_t __attribute__((vector_size(16)));
using Int4 = int32_t __attribute__((vector_size(16)));
using Float4 = float __attribute__((vector_size(16)));

template <class T>
T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Store(float* p, Float4 v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

// Eight at a time: -O2 leaves the plain loop one conversion per sample. Each
// short goes into the high half of a 32-bit lane and is shifted back down,
// which sign-extends it.
void ShortsToFloats(const int16_t* in, float* out, int64_t n) {
  const Short8 zero = {};
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const Short8 s = Load<Short8>(in + i);
    const Int4 low = reinterpret_cast<Int4>(__builtin_shufflevector(zero, s, 0, 8, 1, 9, 2, 10, 3, 11)) >> 16;
    const Int4 high = reinterpret_cast<Int4>(__builtin_shufflevector(zero, s, 4, 12, 5, 13, 6, 14, 7, 15)) >> 16;
    Store(out + i, __builtin_convertvector(low, Float4));
    Store(out + i + 4, __builtin_convertvector(high, Float4));
  }
  for (; i < n; ++i) out[i] = float(in[i]);
}

void ShortChannelToFloats(const int16_t* frames, int channels, int channel, float* dest, int64_t count) {
  int64_t i = 0;
  if (channels == 2) {
    // Four stereo frames are four 32-bit lanes, the left sample in the low
    // half: shifting the wanted half to the top and back sign-extends it.
    const int up = channel == 0 ? 16 : 0;
    for (; i + 4 <= count; i += 4) {
      const Int4 pairs = Load<Int4>(frames + 2 * i);
      Store(dest + i, __builtin_convertvector((pairs << up) >> 16, Float4));
    }
  }
  for (; i < count; ++i) dest[i] = float(frames[i * channels + channel]);
}

void FloatChannel(const float* frames, int channels, int channel, float* dest, int64_t count) {
  int64_t i = 0;
  if (channels == 2)
    for (; i + 4 <= count; i += 4) {
      const Float4 a = Load<Float4>(frames + 2 * i);
      const Float4 b = Load<Float4>(frames + 2 * i + 4);
      Store(dest + i,
            channel == 0 ? __builtin_shufflevector(a, b, 0, 2, 4, 6) : __builtin_shufflevector(a, b, 1, 3, 5, 7));
    }
  for (; i < count; ++i) dest[i] = frames[i * channels + channel];
}
