// Complex groups of the small transforms: N = 1, 2, 4, 8 complex points,
// forward and inverse, plain and scaled, on interleaved (re, im) arrays and
// on split real/imaginary arrays. Both layouts share one implementation; at
// N = 8 they differ only in which second-stage values are rounded to the
// element type.
#include "primitives/fft/small_dft_arith.h"
#include "primitives/fft/small_dft_kernels.h"

namespace SP_SET_NS {
namespace small_dft {
namespace {

struct Cw {
  Work re, im;
};

inline Cw Add(Cw a, Cw b) { return {a.re + b.re, a.im + b.im}; }
inline Cw Sub(Cw a, Cw b) { return {a.re - b.re, a.im - b.im}; }
// a - j*b and a + j*b by exchanging components, no multiplication.
inline Cw SubJ(Cw a, Cw b) { return {a.re + b.im, a.im - b.re}; }
inline Cw AddJ(Cw a, Cw b) { return {a.re - b.im, a.im + b.re}; }

template <bool kScaled>
inline Cw FirstC(Cw v, Work s) {
  return {First<kScaled>(v.re, s), First<kScaled>(v.im, s)};
}

// (re, im) pairs at positions 2k, 2k+1.
template <class T>
struct Interleaved {
  // At N = 8 only E0.re, O0.im and O1 fit the x87 register stack; the other
  // twelve second-stage values are held in the element type.
  static constexpr bool kRoundsAllSecondStage = false;
  const T* src;
  T* dst;
  Cw Load(int64_t k) const { return {src[2 * k], src[2 * k + 1]}; }
  void Store(int64_t k, Cw v) const {
    dst[2 * k] = static_cast<T>(v.re);
    dst[2 * k + 1] = static_cast<T>(v.im);
  }
  void CopyPoint(int64_t k) const {
    const T re = src[2 * k], im = src[2 * k + 1];
    dst[2 * k] = re;
    dst[2 * k + 1] = im;
  }
};

// Real and imaginary parts in separate arrays.
template <class T>
struct SplitArrays {
  // At N = 8 all sixteen second-stage values pass through the destination
  // arrays, so all are held in the element type.
  static constexpr bool kRoundsAllSecondStage = true;
  const T* srcRe;
  const T* srcIm;
  T* dstRe;
  T* dstIm;
  Cw Load(int64_t k) const { return {srcRe[k], srcIm[k]}; }
  void Store(int64_t k, Cw v) const {
    dstRe[k] = static_cast<T>(v.re);
    dstIm[k] = static_cast<T>(v.im);
  }
  void CopyPoint(int64_t k) const {
    const T re = srcRe[k], im = srcIm[k];
    dstRe[k] = re;
    dstIm[k] = im;
  }
};

// Every kernel loads all inputs before its first store, so src may be dst.

template <bool kScaled, class Io>
inline void Cplx1(const Io& io, Work s) {
  // The plain copy moves the values untouched (a signalling NaN stays one).
  if constexpr (kScaled)
    io.Store(0, FirstC<true>(io.Load(0), s));
  else
    io.CopyPoint(0);
}

template <bool kScaled, class Io>
inline void Cplx2(const Io& io, Work s) {
  const Cw x0 = io.Load(0), x1 = io.Load(1);
  const Cw sum = FirstC<kScaled>(Add(x0, x1), s);
  const Cw diff = FirstC<kScaled>(Sub(x0, x1), s);
  io.Store(0, sum);
  io.Store(1, diff);
}

template <bool kScaled, bool kForward, class Io>
inline void Cplx4(const Io& io, Work s) {
  const Cw x0 = io.Load(0), x1 = io.Load(1), x2 = io.Load(2), x3 = io.Load(3);
  const Cw a0 = FirstC<kScaled>(Add(x0, x2), s), b0 = FirstC<kScaled>(Sub(x0, x2), s);
  const Cw a1 = FirstC<kScaled>(Add(x1, x3), s), b1 = FirstC<kScaled>(Sub(x1, x3), s);
  const Cw minusJ = SubJ(b0, b1), plusJ = AddJ(b0, b1);
  io.Store(0, Add(a0, a1));
  io.Store(1, kForward ? minusJ : plusJ);
  io.Store(2, Sub(a0, a1));
  io.Store(3, kForward ? plusJ : minusJ);
}

template <class T, bool kScaled, bool kForward, class Io>
inline void Cplx8(const Io& io, Work s) {
  const Cw x0 = io.Load(0), x1 = io.Load(1), x2 = io.Load(2), x3 = io.Load(3);
  const Cw x4 = io.Load(4), x5 = io.Load(5), x6 = io.Load(6), x7 = io.Load(7);
  const Cw a0 = FirstC<kScaled>(Add(x0, x4), s), b0 = FirstC<kScaled>(Sub(x0, x4), s);
  const Cw a1 = FirstC<kScaled>(Add(x1, x5), s), b1 = FirstC<kScaled>(Sub(x1, x5), s);
  const Cw a2 = FirstC<kScaled>(Add(x2, x6), s), b2 = FirstC<kScaled>(Sub(x2, x6), s);
  const Cw a3 = FirstC<kScaled>(Add(x3, x7), s), b3 = FirstC<kScaled>(Sub(x3, x7), s);

  // Four-point transforms of the even and the odd points.
  Cw e0 = Add(a0, a2), e2 = Sub(a0, a2);
  Cw e1 = kForward ? SubJ(b0, b2) : AddJ(b0, b2);
  Cw e3 = kForward ? AddJ(b0, b2) : SubJ(b0, b2);
  Cw o0 = Add(a1, a3), o2 = Sub(a1, a3);
  Cw o1 = kForward ? SubJ(b1, b3) : AddJ(b1, b3);
  Cw o3 = kForward ? AddJ(b1, b3) : SubJ(b1, b3);

  // Second-stage values held in the element type between the stages.
  constexpr bool kAll = Io::kRoundsAllSecondStage;
  if constexpr (kAll) e0.re = Held<T>(e0.re);
  e0.im = Held<T>(e0.im);
  e1 = {Held<T>(e1.re), Held<T>(e1.im)};
  e2 = {Held<T>(e2.re), Held<T>(e2.im)};
  e3 = {Held<T>(e3.re), Held<T>(e3.im)};
  o0.re = Held<T>(o0.re);
  if constexpr (kAll) o0.im = Held<T>(o0.im);
  if constexpr (kAll) o1 = {Held<T>(o1.re), Held<T>(o1.im)};
  o2 = {Held<T>(o2.re), Held<T>(o2.im)};
  o3 = {Held<T>(o3.re), Held<T>(o3.im)};

  // Twiddles W^k * O_k, W = e^(-j*pi/4) forward, e^(+j*pi/4) inverse; the
  // product with -c is formed directly on the sum or difference.
  const Work c = Consts<T>::c, minusC = Consts<T>::minusC;
  Cw t1, t3, x2Out, x6Out;
  if constexpr (kForward) {
    t1 = {(o1.re + o1.im) * c, (o1.im - o1.re) * c};
    t3 = {(o3.re - o3.im) * minusC, (o3.re + o3.im) * minusC};
    x2Out = SubJ(e2, o2);  // e2 + (-j*o2)
    x6Out = AddJ(e2, o2);
  } else {
    t1 = {(o1.re - o1.im) * c, (o1.re + o1.im) * c};
    t3 = {(o3.re + o3.im) * minusC, (o3.im - o3.re) * minusC};
    x2Out = AddJ(e2, o2);  // e2 + j*o2
    x6Out = SubJ(e2, o2);
  }
  io.Store(0, Add(e0, o0));
  io.Store(4, Sub(e0, o0));
  io.Store(1, Add(e1, t1));
  io.Store(5, Sub(e1, t1));
  io.Store(2, x2Out);
  io.Store(6, x6Out);
  io.Store(3, Add(e3, t3));
  io.Store(7, Sub(e3, t3));
}

}  // namespace
}  // namespace small_dft

// Interleaved members, float.
void SP_V(spkSmallDftCplx1C32)(const float* src, float* dst) {
  small_dft::Cplx1<false>(small_dft::Interleaved<float>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplx1ScaledC32)(const float* src, float* dst, float scale) {
  small_dft::Cplx1<true>(small_dft::Interleaved<float>{src, dst}, scale);
}
void SP_V(spkSmallDftCplx2C32)(const float* src, float* dst) {
  small_dft::Cplx2<false>(small_dft::Interleaved<float>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplx2ScaledC32)(const float* src, float* dst, float scale) {
  small_dft::Cplx2<true>(small_dft::Interleaved<float>{src, dst}, scale);
}
void SP_V(spkSmallDftCplxFwd4C32)(const float* src, float* dst) {
  small_dft::Cplx4<false, true>(small_dft::Interleaved<float>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplxFwd4ScaledC32)(const float* src, float* dst, float scale) {
  small_dft::Cplx4<true, true>(small_dft::Interleaved<float>{src, dst}, scale);
}
void SP_V(spkSmallDftCplxInv4C32)(const float* src, float* dst) {
  small_dft::Cplx4<false, false>(small_dft::Interleaved<float>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplxInv4ScaledC32)(const float* src, float* dst, float scale) {
  small_dft::Cplx4<true, false>(small_dft::Interleaved<float>{src, dst}, scale);
}
void SP_V(spkSmallDftCplxFwd8C32)(const float* src, float* dst) {
  small_dft::Cplx8<float, false, true>(small_dft::Interleaved<float>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplxFwd8ScaledC32)(const float* src, float* dst, float scale) {
  small_dft::Cplx8<float, true, true>(small_dft::Interleaved<float>{src, dst}, scale);
}
void SP_V(spkSmallDftCplxInv8C32)(const float* src, float* dst) {
  small_dft::Cplx8<float, false, false>(small_dft::Interleaved<float>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplxInv8ScaledC32)(const float* src, float* dst, float scale) {
  small_dft::Cplx8<float, true, false>(small_dft::Interleaved<float>{src, dst}, scale);
}

// Interleaved members, double.
void SP_V(spkSmallDftCplx1C64)(const double* src, double* dst) {
  small_dft::Cplx1<false>(small_dft::Interleaved<double>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplx1ScaledC64)(const double* src, double* dst, double scale) {
  small_dft::Cplx1<true>(small_dft::Interleaved<double>{src, dst}, scale);
}
void SP_V(spkSmallDftCplx2C64)(const double* src, double* dst) {
  small_dft::Cplx2<false>(small_dft::Interleaved<double>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplx2ScaledC64)(const double* src, double* dst, double scale) {
  small_dft::Cplx2<true>(small_dft::Interleaved<double>{src, dst}, scale);
}
void SP_V(spkSmallDftCplxFwd4C64)(const double* src, double* dst) {
  small_dft::Cplx4<false, true>(small_dft::Interleaved<double>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplxFwd4ScaledC64)(const double* src, double* dst, double scale) {
  small_dft::Cplx4<true, true>(small_dft::Interleaved<double>{src, dst}, scale);
}
void SP_V(spkSmallDftCplxInv4C64)(const double* src, double* dst) {
  small_dft::Cplx4<false, false>(small_dft::Interleaved<double>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplxInv4ScaledC64)(const double* src, double* dst, double scale) {
  small_dft::Cplx4<true, false>(small_dft::Interleaved<double>{src, dst}, scale);
}
void SP_V(spkSmallDftCplxFwd8C64)(const double* src, double* dst) {
  small_dft::Cplx8<double, false, true>(small_dft::Interleaved<double>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplxFwd8ScaledC64)(const double* src, double* dst, double scale) {
  small_dft::Cplx8<double, true, true>(small_dft::Interleaved<double>{src, dst}, scale);
}
void SP_V(spkSmallDftCplxInv8C64)(const double* src, double* dst) {
  small_dft::Cplx8<double, false, false>(small_dft::Interleaved<double>{src, dst}, 1.0);
}
void SP_V(spkSmallDftCplxInv8ScaledC64)(const double* src, double* dst, double scale) {
  small_dft::Cplx8<double, true, false>(small_dft::Interleaved<double>{src, dst}, scale);
}

// Split members, float.
void SP_V(spkSmallDftSplit1F32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm) {
  small_dft::Cplx1<false>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplit1ScaledF32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm, float scale) {
  small_dft::Cplx1<true>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplit2F32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm) {
  small_dft::Cplx2<false>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplit2ScaledF32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm, float scale) {
  small_dft::Cplx2<true>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplitFwd4F32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm) {
  small_dft::Cplx4<false, true>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplitFwd4ScaledF32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm,
                                         float scale) {
  small_dft::Cplx4<true, true>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplitInv4F32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm) {
  small_dft::Cplx4<false, false>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplitInv4ScaledF32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm,
                                         float scale) {
  small_dft::Cplx4<true, false>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplitFwd8F32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm) {
  small_dft::Cplx8<float, false, true>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplitFwd8ScaledF32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm,
                                         float scale) {
  small_dft::Cplx8<float, true, true>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplitInv8F32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm) {
  small_dft::Cplx8<float, false, false>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplitInv8ScaledF32)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm,
                                         float scale) {
  small_dft::Cplx8<float, true, false>(small_dft::SplitArrays<float>{srcRe, srcIm, dstRe, dstIm}, scale);
}

// Split members, double.
void SP_V(spkSmallDftSplit1F64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm) {
  small_dft::Cplx1<false>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplit1ScaledF64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm,
                                      double scale) {
  small_dft::Cplx1<true>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplit2F64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm) {
  small_dft::Cplx2<false>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplit2ScaledF64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm,
                                      double scale) {
  small_dft::Cplx2<true>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplitFwd4F64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm) {
  small_dft::Cplx4<false, true>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplitFwd4ScaledF64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm,
                                         double scale) {
  small_dft::Cplx4<true, true>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplitInv4F64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm) {
  small_dft::Cplx4<false, false>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplitInv4ScaledF64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm,
                                         double scale) {
  small_dft::Cplx4<true, false>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplitFwd8F64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm) {
  small_dft::Cplx8<double, false, true>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplitFwd8ScaledF64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm,
                                         double scale) {
  small_dft::Cplx8<double, true, true>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, scale);
}
void SP_V(spkSmallDftSplitInv8F64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm) {
  small_dft::Cplx8<double, false, false>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, 1.0);
}
void SP_V(spkSmallDftSplitInv8ScaledF64)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm,
                                         double scale) {
  small_dft::Cplx8<double, true, false>(small_dft::SplitArrays<double>{srcRe, srcIm, dstRe, dstIm}, scale);
}
}  // namespace SP_SET_NS
