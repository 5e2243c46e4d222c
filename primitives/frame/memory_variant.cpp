// The typed copy, zero and fill primitives of one variant set: checks, then
// the set's byte or element kernel chosen by size.
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/memory_blocks.h"
#include "primitives/frame/memory_kernels.h"

namespace SP_SET_NS {
namespace {
// A short copy (bytes at least 1) right here, saving the call to the kernel,
// which would take the same path.
[[gnu::always_inline]] inline void* CopyShortHere(const void* src, void* dst, int64_t bytes) {
  memk::CopyShort(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), bytes);
  return dst;
}

#if SP_SET_INDEX == SP_SET_SSE
// The SSE set picks its kernels by fixed byte limits.
constexpr int64_t kSseCopyPlainBelow = 8192;
constexpr int64_t kSseCopyStreamBelow = 16384;
constexpr int64_t kSseStoreLargeFrom = 20480;

[[gnu::always_inline]] inline void* CopyBytes(const void* src, void* dst, int64_t bytes) {
  if (bytes <= memk::kShortCopyMax) return CopyShortHere(src, dst, bytes);
  if (bytes < kSseCopyPlainBelow) return spkCopyBytes_Sse(src, dst, bytes);
  if (bytes < kSseCopyStreamBelow) return spkCopyBytesStream_Sse(src, dst, bytes);
  return spkCopyBytesLarge_Sse(src, dst, bytes);
}
void* ZeroBytes(void* dst, int64_t bytes) {
  return bytes < kSseStoreLargeFrom ? spkZeroBytes_Sse(dst, bytes) : spkZeroBytesLarge_Sse(dst, bytes);
}
float* SetF32(float value, float* dst, int64_t n) {
  return n * 4 < kSseStoreLargeFrom ? spkSetF32_Sse(value, dst, n) : spkSetF32Large_Sse(value, dst, n);
}
double* SetF64(double value, double* dst, int64_t n) {
  return n * 8 < kSseStoreLargeFrom ? spkSetF64_Sse(value, dst, n) : spkSetF64Large_Sse(value, dst, n);
}
#else
[[gnu::always_inline]] inline void* CopyBytes(const void* src, void* dst, int64_t bytes) {
  if (bytes <= memk::kShortCopyMax) return CopyShortHere(src, dst, bytes);
  return SP_V(spkCopyBytes)(src, dst, bytes);
}
#if SP_SET_INDEX >= SP_SET_SSE2
// Short zero and fill right here, as the kernels would do them.
[[gnu::always_inline]] inline void* ZeroBytes(void* dst, int64_t bytes) {
  if (bytes <= memk::kShortFillMax) {
    memk::FillShort(static_cast<uint8_t*>(dst), bytes, simd::Splat(0.0f));
    return dst;
  }
  return SP_V(spkZeroBytes)(dst, bytes);
}
[[gnu::always_inline]] inline float* SetF32(float value, float* dst, int64_t n) {
  return memk::FilledShort(value, dst, n) ? dst : SP_V(spkSetF32)(value, dst, n);
}
[[gnu::always_inline]] inline double* SetF64(double value, double* dst, int64_t n) {
  return memk::FilledShort(value, dst, n) ? dst : SP_V(spkSetF64)(value, dst, n);
}
#else
void* ZeroBytes(void* dst, int64_t bytes) { return SP_V(spkZeroBytes)(dst, bytes); }
float* SetF32(float value, float* dst, int64_t n) { return SP_V(spkSetF32)(value, dst, n); }
double* SetF64(double value, double* dst, int64_t n) { return SP_V(spkSetF64)(value, dst, n); }
#endif
#endif
}  // namespace

spStatus SP_V(spCopyF32)(const float* src, float* dst, int32_t n) {
  if (const spStatus st = CheckArrays(n, src, dst); st != spOk) return st;
  CopyBytes(src, dst, static_cast<int64_t>(n) * 4);
  return spOk;
}

spStatus SP_V(spCopyF64)(const double* src, double* dst, int32_t n) {
  if (const spStatus st = CheckArrays(n, src, dst); st != spOk) return st;
  CopyBytes(src, dst, static_cast<int64_t>(n) * 8);
  return spOk;
}

spStatus SP_V(spZeroF32)(float* dst, int32_t n) {
  if (const spStatus st = CheckArrays(n, dst); st != spOk) return st;
  ZeroBytes(dst, static_cast<int64_t>(n) * 4);
  return spOk;
}

spStatus SP_V(spZeroF64)(double* dst, int32_t n) {
  if (const spStatus st = CheckArrays(n, dst); st != spOk) return st;
  ZeroBytes(dst, static_cast<int64_t>(n) * 8);
  return spOk;
}

spStatus SP_V(spSetF32)(float value, float* dst, int32_t n) {
  if (const spStatus st = CheckArrays(n, dst); st != spOk) return st;
  SetF32(value, dst, n);
  return spOk;
}

spStatus SP_V(spSetF64)(double value, double* dst, int32_t n) {
  if (const spStatus st = CheckArrays(n, dst); st != spOk) return st;
  SetF64(value, dst, n);
  return spOk;
}

}  // namespace SP_SET_NS

// The copy, zero and fill dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_COPY_FILL_ENTRIES)
#endif
