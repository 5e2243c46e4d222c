// Complex doubles for the double FFT kernels of the SSE2, SSE3 and SSSE3
// sets, on the frame's vector vocabulary: one value per register
// (interleaved), or two at a time in the pair-split layout (two real parts
// in one register, the two imaginary parts in another). Include only from
// *_variant.cpp.
#pragma once
#include <cstdint>

#include "primitives/fft/fft_split_complex.h"
#include "primitives/frame/simd.h"

#if SP_SET_HAS_F64_VECTORS

namespace SP_SET_NS::fftk::pair {

using simd::f64x2;

// One complex value (re, im) per register: times J, J = -j forward, +j
// inverse, by a lane swap and one sign flip.
template <bool kInverse>
inline f64x2 TimesJ(f64x2 v) {
  return simd::Xor(simd::SwapHalves(v), kInverse ? simd::RealSignMaskF64() : simd::ImagSignMaskF64());
}

using fftk::TimesJ;

// x times the forward factor w (stored as cos, -sin) or its conjugate.
template <bool kInverse>
inline SplitCx<double> Twiddle(SplitCx<double> x, f64x2 wr, f64x2 wi) {
  using namespace simd;
  SplitCx<double> y;
  if constexpr (kInverse)
    y = {Add(Mul(x.re, wr), Mul(x.im, wi)), Sub(Mul(x.im, wr), Mul(x.re, wi))};
  else
    MulComplexSplit(x.re, x.im, wr, wi, y.re, y.im);
  return y;
}

// a + J b with J's sign taken into the sums (J = -j forward, +j inverse):
// a + (-x) and a - x round alike, so this gives a + TimesJ(b) without the
// sign flip (a NaN result may carry the other sign bit).
template <bool kInverse>
inline SplitCx<double> PlusTimesJ(SplitCx<double> a, SplitCx<double> b) {
  using namespace simd;
  if constexpr (kInverse)
    return {Sub(a.re, b.im), Add(a.im, b.re)};
  else
    return {Add(a.re, b.im), Sub(a.im, b.re)};
}

// Interleaved storage at any 8-byte alignment.
inline void StoreInterleaved(double* d, int64_t p, SplitCx<double> v) {
  simd::StoreU(d + 2 * p, simd::InterleaveLow(v.re, v.im));
  simd::StoreU(d + 2 * p + 2, simd::InterleaveHigh(v.re, v.im));
}
// The same as four 8-byte stores: no shuffle, more stores.
inline void StoreInterleavedByHalves(double* d, int64_t p, SplitCx<double> v) {
  simd::StoreLane0Kept(d + 2 * p, v.re);
  simd::StoreLane0Kept(d + 2 * p + 1, v.im);
  simd::StoreLane1Kept(d + 2 * p + 2, v.re);
  simd::StoreLane1Kept(d + 2 * p + 3, v.im);
}
// Two single values (re, im) as one pair, and back.
inline SplitCx<double> Join(f64x2 first, f64x2 second) {
  return {simd::InterleaveLow(first, second), simd::InterleaveHigh(first, second)};
}
inline f64x2 First(SplitCx<double> v) { return simd::InterleaveLow(v.re, v.im); }
inline f64x2 Second(SplitCx<double> v) { return simd::InterleaveHigh(v.re, v.im); }

}  // namespace SP_SET_NS::fftk::pair

namespace SP_SET_NS::fftk {
// Single complex values, one per register, at any 8-byte alignment (they
// go straight into sums, so loaded in the floating-point domain).
inline pair::f64x2 LoadOne(const double* d, int64_t p) { return simd::LoadUFpDomain(d + 2 * p); }
}  // namespace SP_SET_NS::fftk

#endif
