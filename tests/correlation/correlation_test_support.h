// Helpers of the correlation tests: each set's correlation kernels by set
// index, naive long-double references, test signals, and a probe that tells
// which path a primitive took (the FFT path allocates, the direct one never
// does).
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "primitives/correlation/correlation_kernels.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/entries.h"
#include "support/alloc_failure.h"

SP_DECLARE_EVERY_SET(SP_REAL_FFT_F32_ENTRIES)
SP_DECLARE_EVERY_SET(SP_REAL_FFT_F64_ENTRIES)

namespace corr_test {

inline constexpr int kGeneric = 0, kSse = 1, kSse2 = 2, kSse3 = 3, kSsse3 = 4;

template <class T>
using SegmentFn = void (*)(const T*, const T*, int32_t, T*, int32_t);
template <class T>
using FwdFn = spStatus (*)(const T*, T*, const REALFFTSPEC*, uint8_t*);
template <class T>
using MulFn = spStatus (*)(const T*, T*, int32_t);
template <class T>
using ByFftFn = spStatus (*)(const T*, int32_t, const T*, int32_t, T*, int32_t, int64_t);
using WorkSizeFn = spStatus (*)(const REALFFTSPEC*, int32_t*);
using DivFn = spStatus (*)(const float*, const float*, float*, int32_t);

template <class T>
struct SetKernels;
#define CORR_TEST_KERNELS(T, Suffix)                                                                       \
  template <>                                                                                              \
  struct SetKernels<T> {                                                                                   \
    static constexpr SegmentFn<T> full[] = SP_VARIANT_TABLE(spkCrossCorrDirectFull##Suffix);               \
    static constexpr SegmentFn<T> fullRev[] = SP_VARIANT_TABLE(spkCrossCorrDirectFullRev##Suffix);         \
    static constexpr SegmentFn<T> partialUp[] = SP_VARIANT_TABLE(spkCrossCorrDirectPartialUp##Suffix);     \
    static constexpr SegmentFn<T> partialDown[] = SP_VARIANT_TABLE(spkCrossCorrDirectPartialDown##Suffix); \
    static constexpr WorkSizeFn workSize[] = SP_VARIANT_TABLE(spkRealFftWorkSize##Suffix);                 \
    static constexpr FwdFn<T> forward[] = SP_VARIANT_TABLE(spkRealFftFwdCompact##Suffix);                  \
    static constexpr FwdFn<T> inverse[] = SP_VARIANT_TABLE(spkRealFftInvCompact##Suffix);                  \
    static constexpr MulFn<T> mulConj[] = SP_VARIANT_TABLE(spkMulCompactConj##Suffix);                     \
    static constexpr ByFftFn<T> byFft[] = SP_VARIANT_TABLE(spkCrossCorrByFft##Suffix);                     \
  };
CORR_TEST_KERNELS(double, F64)
CORR_TEST_KERNELS(float, F32)
#undef CORR_TEST_KERNELS

inline constexpr DivFn kDivChecked[] = SP_VARIANT_TABLE(spkDivCheckedF32);
inline constexpr spStatus (*kDivInPlace[])(const float*, float*, int32_t) = SP_VARIANT_TABLE(spkDivInPlaceF32);
inline constexpr void (*kAutoCorrDirect[])(const float*, int32_t, float*,
                                           int32_t) = SP_VARIANT_TABLE(spkAutoCorrDirectF32);

// sum over n of a[n] * b[n + lag], both indices inside their arrays.
template <class T>
long double CrossRef(const std::vector<T>& a, const std::vector<T>& b, int64_t lag) {
  long double s = 0;
  const int64_t aLen = a.size(), bLen = b.size();
  for (int64_t n = std::max<int64_t>(0, -lag); n < aLen && n + lag < bLen; ++n)
    s += static_cast<long double>(a[n]) * b[n + lag];
  return s;
}
// The same with absolute values: the scale of the rounding error.
template <class T>
long double CrossAbsRef(const std::vector<T>& a, const std::vector<T>& b, int64_t lag) {
  long double s = 0;
  const int64_t aLen = a.size(), bLen = b.size();
  for (int64_t n = std::max<int64_t>(0, -lag); n < aLen && n + lag < bLen; ++n)
    s += std::fabs(static_cast<long double>(a[n]) * b[n + lag]);
  return s;
}

// Uniform values in [-1, 1).
template <class T>
std::vector<T> Signal(int64_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1.0, 1.0);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(d(gen));
  return v;
}
// Small integers in [-8, 8]: every product and sum of the tests is exact.
template <class T>
std::vector<T> SmallIntegers(int64_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> d(-8, 8);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(d(gen));
  return v;
}

// Each set's real-FFT spec build and release.
template <class T>
struct SpecBuild;
template <>
struct SpecBuild<float> {
  static constexpr spStatus (*init[])(REALFFTSPEC**, int32_t, int32_t, int32_t) = SP_VARIANT_TABLE(spRealFftInitF32);
  static constexpr spStatus (*free[])(REALFFTSPEC*) = SP_VARIANT_TABLE(spRealFftFreeF32);
};
template <>
struct SpecBuild<double> {
  static constexpr spStatus (*init[])(REALFFTSPEC**, int32_t, int32_t, int32_t) = SP_VARIANT_TABLE(spRealFftInitF64);
  static constexpr spStatus (*free[])(REALFFTSPEC*) = SP_VARIANT_TABLE(spRealFftFreeF64);
};

enum class Path { kDirect, kFft };

// Runs `call` with allocation request `fftRequest` refused, the first that
// only the FFT path makes: the direct path succeeds without reaching it; the
// FFT path fails (spec or buffers) with a negative status.
template <class Call>
Path PathTaken(Call call, int64_t fftRequest = 1) {
  FailNthAllocation failure(fftRequest);
  const spStatus status = call();
  if (status == 0 && !failure.Reached()) return Path::kDirect;
  EXPECT_LT(status, 0);
  return Path::kFft;
}

}  // namespace corr_test
