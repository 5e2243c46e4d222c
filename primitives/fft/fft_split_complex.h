// The split complex form of the SIMD kernels, one for both precisions: a
// run of kSplitWidth<T> consecutive complex values (two doubles: pair-split,
// four floats: quad-split) occupies 32 bytes as its real parts, then its
// imaginary parts, and SplitCx<T> holds one run in two registers. Complex
// positions count values; a run starts at a multiple of the width. With the
// sums and the product by J, J = -j forward, +j inverse. Include only from
// *_variant.cpp.
#pragma once
#include <cstdint>

#include "primitives/frame/simd.h"

#if SP_SET_HAS_F32_VECTORS
namespace SP_SET_NS::fftk {

// The set's 16-byte vector of T.
template <class T>
using VecOf = decltype(simd::Load(static_cast<const T*>(nullptr)));
// Complex values in one run.
template <class T>
inline constexpr int64_t kSplitWidth = 16 / sizeof(T);

template <class T>
struct SplitCx {
  VecOf<T> re, im;
};
template <class T>
inline SplitCx<T> operator+(SplitCx<T> a, SplitCx<T> b) {
  return {simd::Add(a.re, b.re), simd::Add(a.im, b.im)};
}
template <class T>
inline SplitCx<T> operator-(SplitCx<T> a, SplitCx<T> b) {
  return {simd::Sub(a.re, b.re), simd::Sub(a.im, b.im)};
}

template <bool kInverse, class T>
inline SplitCx<T> TimesJ(SplitCx<T> v) {
  const VecOf<T> sign = simd::Splat(T(-0.0));
  return kInverse ? SplitCx<T>{simd::Xor(v.im, sign), v.re} : SplitCx<T>{v.im, simd::Xor(v.re, sign)};
}

// The run at complex position p of a 16-byte aligned split buffer.
template <class T>
inline SplitCx<T> LoadSplit(const T* d, int64_t p) {
  return {simd::Load(d + 2 * p), simd::Load(d + 2 * p + kSplitWidth<T>)};
}
template <class T>
inline void StoreSplit(T* d, int64_t p, SplitCx<T> v) {
  simd::Store(d + 2 * p, v.re);
  simd::Store(d + 2 * p + kSplitWidth<T>, v.im);
}

}  // namespace SP_SET_NS::fftk
#endif
