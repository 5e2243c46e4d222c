// Real group of the small transforms: N = 1, 2, 4, 8 real values to and from
// kernel spectrum order, plain and scaled, single and double precision.
#include "primitives/fft/small_dft_arith.h"
#include "primitives/fft/small_dft_kernels.h"

namespace SP_SET_NS {
namespace small_dft {
namespace {

// Every kernel loads all inputs before its first store, so src may be dst.

template <class T, bool kScaled>
inline void Real1(const T* x, T* y, Work s) {
  if constexpr (kScaled)
    y[0] = static_cast<T>(Work(x[0]) * s);
  else
    y[0] = x[0];
}

template <class T, bool kScaled>
inline void Real2(const T* x, T* y, Work s) {
  const Work x0 = x[0], x1 = x[1];
  y[0] = static_cast<T>(First<kScaled>(x0 + x1, s));
  y[1] = static_cast<T>(First<kScaled>(x0 - x1, s));
}

template <class T, bool kScaled>
inline void RealFwd4(const T* x, T* y, Work s) {
  const Work x0 = x[0], x1 = x[1], x2 = x[2], x3 = x[3];
  const Work a = First<kScaled>(x0 + x2, s);
  const Work b = First<kScaled>(x0 - x2, s);
  const Work e = First<kScaled>(x1 + x3, s);
  const Work d = First<kScaled>(x3 - x1, s);
  y[0] = static_cast<T>(a + e);
  y[1] = static_cast<T>(a - e);
  y[2] = static_cast<T>(b);
  y[3] = static_cast<T>(d);
}

template <class T, bool kScaled>
inline void RealInv4(const T* z, T* y, Work s) {
  const Work z0 = z[0], z1 = z[1], z2 = z[2], z3 = z[3];
  const Work p = First<kScaled>(z0 + z1, s);
  const Work m = First<kScaled>(z0 - z1, s);
  const Work e = First<kScaled>(z2 + z2, s);
  const Work f = First<kScaled>(z3 + z3, s);
  y[0] = static_cast<T>(p + e);
  y[1] = static_cast<T>(m - f);
  y[2] = static_cast<T>(p - e);
  y[3] = static_cast<T>(m + f);
}

template <class T, bool kScaled>
inline void RealFwd8(const T* x, T* y, Work s) {
  const Work x0 = x[0], x1 = x[1], x2 = x[2], x3 = x[3];
  const Work x4 = x[4], x5 = x[5], x6 = x[6], x7 = x[7];
  const Work a0 = First<kScaled>(x0 + x4, s), b0 = First<kScaled>(x0 - x4, s);
  const Work a1 = First<kScaled>(x1 + x5, s), b1 = First<kScaled>(x1 - x5, s);
  const Work a2 = First<kScaled>(x2 + x6, s), b2 = First<kScaled>(x2 - x6, s);
  const Work a3 = First<kScaled>(x3 + x7, s), b3 = First<kScaled>(x3 - x7, s);
  const Work c = Consts<T>::c, minusC = Consts<T>::minusC;
  const Work even = a0 + a2, odd = a1 + a3;
  const Work reTwiddled = (b1 - b3) * c;
  const Work imTwiddled = (b1 + b3) * minusC;
  y[0] = static_cast<T>(even + odd);
  y[1] = static_cast<T>(even - odd);
  y[2] = static_cast<T>(b0 + reTwiddled);
  y[6] = static_cast<T>(b0 - reTwiddled);
  y[3] = static_cast<T>(imTwiddled - b2);
  y[7] = static_cast<T>(b2 + imTwiddled);
  y[4] = static_cast<T>(a0 - a2);
  y[5] = static_cast<T>(a3 - a1);
}

template <class T, bool kScaled>
inline void RealInv8(const T* z, T* y, Work s) {
  const Work z0 = z[0], z1 = z[1], z2 = z[2], z3 = z[3];
  const Work z4 = z[4], z5 = z[5], z6 = z[6], z7 = z[7];
  const Work p = First<kScaled>(z0 + z1, s), m = First<kScaled>(z0 - z1, s);
  const Work e = First<kScaled>(z4 + z4, s), f = First<kScaled>(z5 + z5, s);
  const Work u = First<kScaled>(z2 + z6, s), v = First<kScaled>(z2 - z6, s);
  const Work w = First<kScaled>(z3 + z7, s), t = First<kScaled>(z3 - z7, s);
  const Work A = p + e, B = p - e, C = m - f;
  // D is held in the element type (it does not fit the x87 register stack),
  // so it is rounded before the last step; the other sums stay wide.
  const Work D = Held<T>(m + f);
  const Work q = Consts<T>::q, minusQ = Consts<T>::minusQ;
  const Work u2 = u + u, t2 = t + t;
  const Work diff = (v - w) * q, sum = (v + w) * minusQ;
  y[0] = static_cast<T>(A + u2);
  y[4] = static_cast<T>(A - u2);
  y[2] = static_cast<T>(B - t2);
  y[6] = static_cast<T>(B + t2);
  y[1] = static_cast<T>(C + diff);
  y[5] = static_cast<T>(C - diff);
  y[3] = static_cast<T>(D + sum);
  y[7] = static_cast<T>(D - sum);
}

}  // namespace
}  // namespace small_dft

void SP_V(spkSmallDftReal1F32)(const float* src, float* dst) { small_dft::Real1<float, false>(src, dst, 1.0); }
void SP_V(spkSmallDftReal1ScaledF32)(const float* src, float* dst, float scale) {
  small_dft::Real1<float, true>(src, dst, scale);
}
void SP_V(spkSmallDftReal1F64)(const double* src, double* dst) { small_dft::Real1<double, false>(src, dst, 1.0); }
void SP_V(spkSmallDftReal1ScaledF64)(const double* src, double* dst, double scale) {
  small_dft::Real1<double, true>(src, dst, scale);
}
void SP_V(spkSmallDftReal2F32)(const float* src, float* dst) { small_dft::Real2<float, false>(src, dst, 1.0); }
void SP_V(spkSmallDftReal2ScaledF32)(const float* src, float* dst, float scale) {
  small_dft::Real2<float, true>(src, dst, scale);
}
void SP_V(spkSmallDftReal2F64)(const double* src, double* dst) { small_dft::Real2<double, false>(src, dst, 1.0); }
void SP_V(spkSmallDftReal2ScaledF64)(const double* src, double* dst, double scale) {
  small_dft::Real2<double, true>(src, dst, scale);
}
void SP_V(spkSmallDftRealFwd4F32)(const float* src, float* dst) { small_dft::RealFwd4<float, false>(src, dst, 1.0); }
void SP_V(spkSmallDftRealFwd4ScaledF32)(const float* src, float* dst, float scale) {
  small_dft::RealFwd4<float, true>(src, dst, scale);
}
void SP_V(spkSmallDftRealFwd4F64)(const double* src, double* dst) { small_dft::RealFwd4<double, false>(src, dst, 1.0); }
void SP_V(spkSmallDftRealFwd4ScaledF64)(const double* src, double* dst, double scale) {
  small_dft::RealFwd4<double, true>(src, dst, scale);
}
void SP_V(spkSmallDftRealInv4F32)(const float* src, float* dst) { small_dft::RealInv4<float, false>(src, dst, 1.0); }
void SP_V(spkSmallDftRealInv4ScaledF32)(const float* src, float* dst, float scale) {
  small_dft::RealInv4<float, true>(src, dst, scale);
}
void SP_V(spkSmallDftRealInv4F64)(const double* src, double* dst) { small_dft::RealInv4<double, false>(src, dst, 1.0); }
void SP_V(spkSmallDftRealInv4ScaledF64)(const double* src, double* dst, double scale) {
  small_dft::RealInv4<double, true>(src, dst, scale);
}
void SP_V(spkSmallDftRealFwd8F32)(const float* src, float* dst) { small_dft::RealFwd8<float, false>(src, dst, 1.0); }
void SP_V(spkSmallDftRealFwd8ScaledF32)(const float* src, float* dst, float scale) {
  small_dft::RealFwd8<float, true>(src, dst, scale);
}
void SP_V(spkSmallDftRealFwd8F64)(const double* src, double* dst) { small_dft::RealFwd8<double, false>(src, dst, 1.0); }
void SP_V(spkSmallDftRealFwd8ScaledF64)(const double* src, double* dst, double scale) {
  small_dft::RealFwd8<double, true>(src, dst, scale);
}
void SP_V(spkSmallDftRealInv8F32)(const float* src, float* dst) { small_dft::RealInv8<float, false>(src, dst, 1.0); }
void SP_V(spkSmallDftRealInv8ScaledF32)(const float* src, float* dst, float scale) {
  small_dft::RealInv8<float, true>(src, dst, scale);
}
void SP_V(spkSmallDftRealInv8F64)(const double* src, double* dst) { small_dft::RealInv8<double, false>(src, dst, 1.0); }
void SP_V(spkSmallDftRealInv8ScaledF64)(const double* src, double* dst, double scale) {
  small_dft::RealInv8<double, true>(src, dst, scale);
}

}  // namespace SP_SET_NS
