// The compact-spectrum transforms of one variant set, written once for both
// precisions. They run the real FFTs' own forward and inverse cores
// (real_fft_driver.h) on the engine of the spec they are given and differ
// from the real FFTs only in the layout of the spectrum: N values
// R0, Re1, Im1, .., R(N/2) instead of the packed N + 2. The engine leaves
// the kernel spectrum order R0, R(N/2), Re1, Im1, ..; the compact order
// moves R(N/2) to the end. Include only from *_variant.cpp.
#pragma once
#include <climits>
#include <cstdint>
#include <type_traits>

#include "primitives/fft/real_fft_driver.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"

namespace SP_SET_NS::corr {

// The spec's engine when it is a live spec of T that this set built.
template <class T>
inline const spkRealFftEngine<T>* CompactEngine(const REALFFTSPEC* spec) {
  return fftk::EngineOf<T>(*spec);
}

template <class T>
spStatus WorkSize(const REALFFTSPEC* spec, int32_t* bytes) {
  if (const spStatus s = CheckPointers(spec, bytes); s != spOk) return s;
  if (spec->kind != fftk::kSpecKind<T>) return spErrSpecKind;
  if (spec->workBytes <= 0) {
    *bytes = 0;
    return spOk;
  }
  // A need the 32-bit count cannot carry could not be allocated either.
  const int64_t need = spec->workBytes + 16;
  if (need > INT32_MAX) return spErrNoMemory;
  *bytes = static_cast<int32_t>(need);
  return spOk;
}

// Kernel spectrum order to compact order in place (N >= 4).
template <class T>
void NyquistToEnd(T* d, int64_t n) {
  const T nyquist = d[1];
  for (int64_t i = 1; i < n - 1; ++i) d[i] = d[i + 1];
  d[n - 1] = nyquist;
}

// Compact order src to kernel spectrum order dst, from the top down with
// R(N/2) kept first, so src may be dst.
template <class T>
void KernelOrder(const T* src, T* dst, int64_t n) {
  const T r0 = src[0];
  const T nyquist = src[n - 1];
  for (int64_t i = n - 1; i >= 2; --i) dst[i] = src[i - 1];
  dst[0] = r0;
  if (n > 1) dst[1] = nyquist;
}

template <class T>
spStatus ForwardCompact(const T* src, T* dst, const REALFFTSPEC* spec, uint8_t* work) {
  if (const spStatus s = CheckPointers(spec); s != spOk) return s;
  if (spec->kind != fftk::kSpecKind<T>) return spErrSpecKind;
  if (const spStatus s = CheckPointers(src, dst); s != spOk) return s;
  const spkRealFftEngine<T>* engine = CompactEngine<T>(spec);
  if (engine == nullptr) return spErrSpecKind;  // another set's spec

  const spkRealFftView<T> view = fftk::ViewOf<T>(*spec);
  if (const spStatus s = fftk::ForwardCore(*engine, view, *spec, src, dst, work); s != spOk) return s;
  const int64_t n = fftk::Pow2(view.order);
  if (n >= 4) NyquistToEnd(dst, n);
  return spOk;
}

template <class T>
spStatus InverseCompact(const T* src, T* dst, const REALFFTSPEC* spec, uint8_t* work) {
  if (const spStatus s = CheckPointers(spec); s != spOk) return s;
  if (spec->kind != fftk::kSpecKind<T>) return spErrSpecKind;
  if (const spStatus s = CheckPointers(src, dst); s != spOk) return s;
  const spkRealFftEngine<T>* engine = CompactEngine<T>(spec);
  if (engine == nullptr) return spErrSpecKind;

  const spkRealFftView<T> view = fftk::ViewOf<T>(*spec);
  const int64_t n = fftk::Pow2(view.order);
  if (view.order <= fftk::kSmallOrders) {
    KernelOrder(src, dst, n);
    fftk::InverseSmall(*engine, view, dst);
    return spOk;
  }
  fftk::Scratch scratch(*spec, work);
  if (scratch.Failed()) return spErrNoMemory;
  KernelOrder(src, dst, n);
  fftk::InverseCore(*engine, view, dst, dst[0], dst[1], dst, scratch.Get());
  return spOk;
}

}  // namespace SP_SET_NS::corr

namespace SP_SET_NS {
#if SP_SET_INDEX == SP_SET_SSE
// b[k] = a[k] * conj(b[k]) for k < n on interleaved complex floats: four
// values per step, then a tail of up to three; any alignment, n <= 0 does
// nothing. Each value is rounded as the scalar form rounds it.
inline void SP_V(spkMulConjC32)(const float* a, float* b, int32_t n) {
  using namespace simd;
  int64_t k = 0;
  for (; k + 4 <= n; k += 4) {
    const f32x4 a0 = LoadU(a + 2 * k), a1 = LoadU(a + 2 * k + 4);
    const f32x4 b0 = LoadU(b + 2 * k), b1 = LoadU(b + 2 * k + 4);
    f32x4 re, im;
    MulConjComplexSplit(EvenLanes(a0, a1), OddLanes(a0, a1), EvenLanes(b0, b1), OddLanes(b0, b1), re, im);
    StoreU(b + 2 * k, InterleaveLow(re, im));
    StoreU(b + 2 * k + 4, InterleaveHigh(re, im));
  }
  for (; k < n; ++k) {
    const float ar = Ld(a + 2 * k), ai = Ld(a + 2 * k + 1), br = Ld(b + 2 * k), bi = Ld(b + 2 * k + 1);
    St(b + 2 * k, ar * br + ai * bi);
    St(b + 2 * k + 1, ai * br - ar * bi);
  }
}
#endif
}  // namespace SP_SET_NS

namespace SP_SET_NS::corr {

// srcDst = src * conj(srcDst); every pair is read before it is written, so
// src may be srcDst. Acc is the precision each value is formed in (see
// ProductOf); the SSE set hands its float pairs to its four-wide kernel.
template <class T, class Acc>
spStatus MulCompactConj(const T* src, T* srcDst, int32_t n) {
  if (const spStatus s = CheckArrays(n, src, srcDst); s != spOk) return s;
  using simd::Ld;
  using simd::St;
  St(srcDst, static_cast<T>(static_cast<Acc>(Ld(srcDst)) * Ld(src)));
  if (n % 2 == 0) St(srcDst + n - 1, static_cast<T>(static_cast<Acc>(Ld(srcDst + n - 1)) * Ld(src + n - 1)));
  const int64_t pairs = (n - 1) / 2;
#if SP_SET_INDEX == SP_SET_SSE
  if constexpr (std::is_same_v<T, float> && std::is_same_v<Acc, float>) {
    SP_V(spkMulConjC32)(src + 1, srcDst + 1, static_cast<int32_t>(pairs));
    return spOk;
  }
#endif
  for (int64_t p = 0; p < pairs; ++p) {
    const Acc are = Ld(src + 2 * p + 1), aim = Ld(src + 2 * p + 2);
    const Acc bre = Ld(srcDst + 2 * p + 1), bim = Ld(srcDst + 2 * p + 2);
    St(srcDst + 2 * p + 1, static_cast<T>(are * bre + aim * bim));
    St(srcDst + 2 * p + 2, static_cast<T>(aim * bre - are * bim));
  }
  return spOk;
}

}  // namespace SP_SET_NS::corr
