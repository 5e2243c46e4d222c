// The cache step of the math layer's real FFTs: a handle keeps one prepared
// spec and rebuilds it only when the order, the precision or the running
// variant set changes. Every spec is built forward unscaled and inverse
// scaled by 1/N, so one spec serves forward and inverse calls.
#pragma once
#include <cstdint>

struct MathlibHandle;
struct REALFFTSPEC;

inline constexpr int32_t kMathlibLargestFftOrder = 30;

// A cached spec and the scratch its transforms run in: work is null when
// the spec needs none, or when its scratch is too large for one block of
// the aligned allocator (the transform then takes its own per call).
struct MathlibCachedFft {
  REALFFTSPEC* spec;
  uint8_t* work;
};

// The handle's spec for 2^order points of the given precision (32 or 64
// bits), built when the cache holds another one, with its scratch. A null
// spec, with a trace line naming `caller`, when the handle is null, the
// order lies outside 0..30, the build fails or the cache record or the
// scratch cannot be allocated; a failed build is remembered, so later calls
// with the same key fail without rebuilding, while missing scratch is asked
// for again on the next call.
MathlibCachedFft MathlibCachedRealFft(MathlibHandle* handle, int32_t order, int32_t elementBits, const char* caller);
