// Fill kernels of every set. The stored pattern is the value's bit pattern,
// so -0.0, infinities and NaNs keep their bits; SSE and later sets rotate
// the pattern to the destination's alignment and use 16-byte stores (up to
// kShortFillMax bytes straight from a register, FillShort).
#pragma GCC optimize("no-tree-loop-distribute-patterns")
#include "primitives/frame/memory_blocks.h"

namespace SP_SET_NS {

using namespace simd;
using namespace memk;

#if SP_SET_INDEX == SP_SET_GENERIC

float* spkSetF32_Generic(float value, float* dst, int64_t n) {
  auto* d = reinterpret_cast<uint8_t*>(dst);
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  for (; n >= 8; n -= 8, d += 32)
    for (int w = 0; w < 32; w += 4) std::memcpy(d + w, &bits, 4);
  for (; n > 0; --n, d += 4) std::memcpy(d, &bits, 4);
  return dst;
}

double* spkSetF64_Generic(double value, double* dst, int64_t n) {
  auto* d = reinterpret_cast<uint8_t*>(dst);
  uint32_t half[2];
  std::memcpy(half, &value, 8);
  if (!IsAligned(d, 4)) {  // one double at a time
    for (; n > 0; --n, d += 8) std::memcpy(d, &value, 8);
    return dst;
  }
  for (; n >= 4; n -= 4, d += 32)
    for (int w = 0; w < 32; w += 8) {
      std::memcpy(d + w, &half[0], 4);
      std::memcpy(d + w + 4, &half[1], 4);
    }
  for (; n > 0; --n, d += 8) {
    std::memcpy(d, &half[0], 4);
    std::memcpy(d + 4, &half[1], 4);
  }
  return dst;
}

#else

namespace {
template <class T, class StreamRule>
T* FillElements(T value, T* dst, int64_t n, StreamRule rule) {
  if (n <= 0) return dst;
  uint8_t pattern[sizeof(T)];
  std::memcpy(pattern, &value, sizeof(T));
  FillPattern(reinterpret_cast<uint8_t*>(dst), n * static_cast<int64_t>(sizeof(T)), pattern, sizeof(T), rule);
  return dst;
}
}  // namespace

#if SP_SET_INDEX == SP_SET_SSE

float* spkSetF32_Sse(float value, float* dst, int64_t n) {
  if (FilledShort(value, dst, n)) return dst;
  return FillElements(value, dst, n, NeverStream);
}
double* spkSetF64_Sse(double value, double* dst, int64_t n) {
  if (FilledShort(value, dst, n)) return dst;
  return FillElements(value, dst, n, NeverStream);
}
float* spkSetF32Large_Sse(float value, float* dst, int64_t n) { return FillElements(value, dst, n, AlwaysStream); }
double* spkSetF64Large_Sse(double value, double* dst, int64_t n) { return FillElements(value, dst, n, AlwaysStream); }

#else

namespace {
// More than 1 MiB and more than the reported cache: non-temporal stores.
template <class T>
auto StreamAboveCache(int64_t n) {
  const int64_t bytes = n * static_cast<int64_t>(sizeof(T));
  return [bytes](int64_t) {
    if (bytes <= 1048576) return false;
    const int64_t cache = spkQueryCacheSize();
    return cache > 0 && bytes > cache;
  };
}
}  // namespace

float* SP_V(spkSetF32)(float value, float* dst, int64_t n) {
  if (FilledShort(value, dst, n)) return dst;
  return FillElements(value, dst, n, StreamAboveCache<float>(n));
}
double* SP_V(spkSetF64)(double value, double* dst, int64_t n) {
  if (FilledShort(value, dst, n)) return dst;
  return FillElements(value, dst, n, StreamAboveCache<double>(n));
}

#endif
#endif

}  // namespace SP_SET_NS
