// Compiled once per optimisation level; PLAIN_NS names the copy.
#include "plain_short_loops.h"

namespace PLAIN_NS {

__attribute__((noinline)) float SumF32(const float* x, int32_t n) {
  double s = 0.0;
  for (int32_t i = 0; i < n; ++i) s += x[i];
  return static_cast<float>(s);
}

__attribute__((noinline)) float DotF32(const float* a, const float* b, int32_t n) {
  float s = 0.0f;
  for (int32_t i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

__attribute__((noinline)) void ConvI16ToF32(const int16_t* src, float* dst, int32_t n) {
  for (int32_t i = 0; i < n; ++i) dst[i] = src[i];
}

__attribute__((noinline)) void AddF32(const float* a, const float* b, float* dst, int32_t n) {
  for (int32_t i = 0; i < n; ++i) dst[i] = a[i] + b[i];
}

__attribute__((noinline)) void MulF32(const float* a, const float* b, float* dst, int32_t n) {
  for (int32_t i = 0; i < n; ++i) dst[i] = a[i] * b[i];
}

__attribute__((noinline)) void SplitComplexC32(const float* src, float* dstRe, float* dstIm, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    dstRe[i] = src[2 * i];
    dstIm[i] = src[2 * i + 1];
  }
}

// Kept a loop of this file's own SSE stores: left to itself the compiler
// makes it a call to the C library's memset, which runs the machine's
// widest stores (AVX and up) and so is no yardstick for an SSE-level set.
__attribute__((noinline, optimize("no-tree-loop-distribute-patterns"))) void ZeroF32(float* dst, int32_t n) {
  for (int32_t i = 0; i < n; ++i) dst[i] = 0.0f;
}

}  // namespace PLAIN_NS
