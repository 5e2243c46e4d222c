// Complex values in the split layout the SIMD kernels of both precisions
// share: one vector of real parts and one of imaginary parts (two complex
// doubles or four complex floats), with the sums and the product by J,
// J = -j forward, +j inverse. Include only from *_variant.cpp.
#pragma once
#include "primitives/frame/simd.h"

#if SP_SET_INDEX >= SP_SET_SSE
namespace SP_SET_NS::fftk {

template <class T>
using VecOf = decltype(simd::Load(static_cast<const T*>(nullptr)));

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

}  // namespace SP_SET_NS::fftk
#endif
