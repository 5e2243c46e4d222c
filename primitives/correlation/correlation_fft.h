// The FFT paths of the correlation primitives in one variant set: the
// cross-correlation of two zero-padded inputs and the raw autocorrelation,
// each through a spec built for the call (inverse scaled by 1/N) and the
// compact-spectrum transforms of the same set. Sizes are formed in 64 bits:
// a transform above order 30 gives -15, a buffer that cannot be had -9, and
// the caller's output is written only after every step has succeeded.
// Include only from *_variant.cpp.
#pragma once
#include <cstdint>
#include <type_traits>

#include "primitives/correlation/compact_transform.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/memory_kernels.h"

namespace SP_SET_NS::corr {

// This set's spec build and release for T.
template <class T>
struct SpecOps;
template <>
struct SpecOps<float> {
  static spStatus Init(REALFFTSPEC** spec, int32_t order) {
    return SP_V(spRealFftInitF32)(spec, order, REALFFT_DIV_INV_BY_N, 0);
  }
  static void Free(REALFFTSPEC* spec) { SP_V(spRealFftFreeF32)(spec); }
};
template <>
struct SpecOps<double> {
  static spStatus Init(REALFFTSPEC** spec, int32_t order) {
    return SP_V(spRealFftInitF64)(spec, order, REALFFT_DIV_INV_BY_N, 0);
  }
  static void Free(REALFFTSPEC* spec) { SP_V(spRealFftFreeF64)(spec); }
};

// The generic set forms the spectrum products in double, and so does the
// SSE3 set for its float pairs (each pair value rounded once); the others
// round every product and sum to T. A real bin, one product of two values,
// comes out the same either way.
template <class T>
using ProductOf =
    std::conditional_t<kSetIndex == SP_SET_GENERIC || (kSetIndex == SP_SET_SSE3 && std::is_same_v<T, float>), double,
                       T>;

// The smallest order from `least` up whose size holds `points`; above 30
// when no spec can.
inline int32_t OrderHolding(int64_t points, int32_t least) {
  int32_t order = least;
  while (fftk::Pow2(order) < points && order <= fftk::kLargestOrder) ++order;
  return order;
}

template <class T>
inline void CopyElements(const T* src, T* dst, int64_t n) {
  if (n > 0) SP_V(spkCopyBytes)(src, dst, n * static_cast<int64_t>(sizeof(T)));
}
template <class T>
inline void ZeroElements(T* dst, int64_t n) {
  if (n > 0) SP_V(spkZeroBytes)(dst, n * static_cast<int64_t>(sizeof(T)));
}

// A spec for the call with its scratch and an aligned block of elements,
// all released on scope exit.
template <class T>
class FftCall {
 public:
  // Status 0 when spec, scratch and the block of `elements` are ready.
  spStatus Prepare(int32_t order, int64_t elements) {
    if (order > fftk::kLargestOrder) return spErrFftOrder;
    spStatus status = SpecOps<T>::Init(&spec_, order);
    if (status != spOk) {
      spec_ = nullptr;
      return status;
    }
    int32_t workBytes = 0;
    status = WorkSize<T>(spec_, &workBytes);
    if (status < 0) return status;
    // A missing work block is no error here: the transforms then find
    // their own scratch, or report -9 themselves.
    if (workBytes > 0) work_ = static_cast<uint8_t*>(SP_V(spkAlignedAlloc)(workBytes));
    block_ = static_cast<T*>(SP_V(spkAlignedAlloc)(elements * static_cast<int64_t>(sizeof(T))));
    return block_ == nullptr ? spErrNoMemory : spOk;
  }
  ~FftCall() {
    if (spec_ != nullptr) SpecOps<T>::Free(spec_);
    SP_V(spkAlignedFree)(block_);
    SP_V(spkAlignedFree)(work_);
  }

  T* Block() const { return block_; }
  spStatus Forward(T* data) const { return ForwardCompact<T>(data, data, spec_, work_); }
  spStatus Inverse(const T* src, T* dst) const { return InverseCompact<T>(src, dst, spec_, work_); }

 private:
  REALFFTSPEC* spec_ = nullptr;
  uint8_t* work_ = nullptr;
  T* block_ = nullptr;
};

// Lags of the whole cross-correlation, lag l at Y[l + aLen - 1] of
// Y = IFFT(FFT(Y0) * conj(FFT(X0))), X0 = a padded, Y0 = aLen - 1 zeros, b,
// zeros; N holds aLen + bLen - 1 values, so nothing wraps around.
template <class T>
spStatus CrossCorrByFft(const T* a, int32_t aLen, const T* b, int32_t bLen, T* out, int32_t count, int64_t start) {
  const int64_t whole = static_cast<int64_t>(aLen) + bLen - 1;
  const int32_t order = whole <= 2 ? 1 : OrderHolding(whole, 2);
  const int64_t n = fftk::Pow2(order);
  FftCall<T> call;
  spStatus status = call.Prepare(order, 2 * n);
  if (status != spOk) return status;
  T* x = call.Block();
  T* y = x + n;
  CopyElements(a, x, aLen);
  ZeroElements(x + aLen, n - aLen);
  if ((status = call.Forward(x)) < 0) return status;
  ZeroElements(y, aLen - 1);
  CopyElements(b, y + (aLen - 1), bLen);
  ZeroElements(y + whole, n - whole);
  if ((status = call.Forward(y)) < 0) return status;
  corr::MulCompactConj<T, ProductOf<T>>(y, x, static_cast<int32_t>(n));
  if ((status = call.Inverse(x, y)) < 0) return status;
  CopyElements(y + start, out, count);
  return status;
}

// r[k] for k < lags of the signal zero-padded to N >= 2 srcLen, where the
// circular correlation equals the linear one for every lag below srcLen.
inline spStatus AutoCorrByFft(const float* src, int32_t srcLen, float* dst, int32_t lags) {
  const int32_t order = OrderHolding(2 * static_cast<int64_t>(srcLen), 2);
  const int64_t n = fftk::Pow2(order);
  FftCall<float> call;
  spStatus status = call.Prepare(order, n);
  if (status != spOk) return status;
  float* buffer = call.Block();
  CopyElements(src, buffer, srcLen);
  ZeroElements(buffer + srcLen, n - srcLen);
  if ((status = call.Forward(buffer)) < 0) return status;
  corr::MulCompactConj<float, ProductOf<float>>(buffer, buffer, static_cast<int32_t>(n));
  if ((status = call.Inverse(buffer, buffer)) < 0) return status;
  CopyElements(buffer, dst, lags);
  return status;
}

}  // namespace SP_SET_NS::corr
