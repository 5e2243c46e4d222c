// The sums behind the direct correlation kernels of one variant set, written
// once for both element types. Every kernel computes, for k < count,
//   value k = sum over j < w(k) of y[j] * x[j + k],  w(k) = win or win - k,
// and places value k at out + step * k (step -1 for the kernels that write
// downwards). The plain form adds the products of each value in ascending j
// in double, four values per pass; the vector form keeps 16 float or 8
// double values (then 4) in registers per pass, in the element precision,
// and adds the products to them four terms at a time.
// Every load lies inside the ranges the values read: x[0 .. count - 1 +
// win - 1] (partial: x[0 .. win - 1]) and y[0 .. win - 1].
// Include only from *_variant.cpp.
#pragma once
#include <cstdint>

#include "primitives/frame/simd.h"

namespace SP_SET_NS::corr {

using simd::Ld;
using simd::St;

enum class Window { kFixed, kShrinking };

// Where value k goes.
template <class T>
struct Placement {
  T* first;
  int64_t step;  // +1 upwards, -1 downwards
  void Put(int64_t k, T v) const { St(first + step * k, v); }
};

inline int64_t WindowOf(Window window, int64_t win, int64_t k) { return window == Window::kFixed ? win : win - k; }

// Plain sums in double, four values per pass while four remain.
template <class T>
void PlainSums(const T* x, const T* y, int64_t win, Window window, Placement<T> out, int64_t count) {
  int64_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const int64_t shared = WindowOf(window, win, k + 3);
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    const T* xk = x + k;
    // The four x values of a step slide by one: each is widened once.
    double x0 = Ld(xk), x1 = Ld(xk + 1), x2 = Ld(xk + 2);
    for (int64_t j = 0; j < shared; ++j) {
      const double yj = Ld(y + j), x3 = Ld(xk + j + 3);
      s0 += yj * x0;
      s1 += yj * x1;
      s2 += yj * x2;
      s3 += yj * x3;
      x0 = x1;
      x1 = x2;
      x2 = x3;
    }
    // The shrinking windows leave three, two and one terms of the first
    // three values.
    for (int64_t j = shared; j < WindowOf(window, win, k); ++j) s0 += static_cast<double>(Ld(y + j)) * Ld(xk + j);
    for (int64_t j = shared; j < WindowOf(window, win, k + 1); ++j)
      s1 += static_cast<double>(Ld(y + j)) * Ld(xk + j + 1);
    for (int64_t j = shared; j < WindowOf(window, win, k + 2); ++j)
      s2 += static_cast<double>(Ld(y + j)) * Ld(xk + j + 2);
    out.Put(k, static_cast<T>(s0));
    out.Put(k + 1, static_cast<T>(s1));
    out.Put(k + 2, static_cast<T>(s2));
    out.Put(k + 3, static_cast<T>(s3));
  }
  for (; k < count; ++k) {
    double s = 0;
    const int64_t w = WindowOf(window, win, k);
    for (int64_t j = 0; j < w; ++j) s += static_cast<double>(Ld(y + j)) * Ld(x + k + j);
    out.Put(k, static_cast<T>(s));
  }
}

#if SP_SET_HAS_F32_VECTORS
// The vector registers of one element type.
template <class T>
struct VectorOf;
template <>
struct VectorOf<float> {
  using V = simd::f32x4;
  static constexpr int kLanes = 4;
  static V Zero() { return simd::Zero4(); }
  static void Spill(float* p, V v) { simd::StoreU(p, v); }
};
#if SP_SET_HAS_F64_VECTORS
template <>
struct VectorOf<double> {
  using V = simd::f64x2;
  static constexpr int kLanes = 2;
  static V Zero() { return simd::Zero2(); }
  static void Spill(double* p, V v) { simd::StoreU(p, v); }
};
#endif

// B consecutive values k .. k+B-1 in vectors, with unaligned loads of x so
// that any address works; the separate vectors are separate running sums.
template <class T, int B>
struct Lanes {
  using Vec = VectorOf<T>;
  static constexpr int kVectors = B / Vec::kLanes;
  typename Vec::V v[kVectors];
  // Unrolled, so that the running sums stay in registers.
  Lanes() {
#pragma GCC unroll 4
    for (int i = 0; i < kVectors; ++i) v[i] = Vec::Zero();
  }
  void AddTerm(T yj, const T* x) {
    const auto s = simd::Splat(yj);
#pragma GCC unroll 4
    for (int i = 0; i < kVectors; ++i) v[i] = simd::Add(v[i], simd::Mul(s, simd::LoadU(x + i * Vec::kLanes)));
  }
  // Terms j .. j+3 combined as ((p0 + p1) + (p2 + p3)) before they meet the
  // running sum: over millions of terms a sum fed every product singly
  // drifts by about 1e-3 of its size, fed by fours by about 1e-5.
  void AddFourTerms(const T* y, const T* x) {
    const auto s0 = simd::Splat(Ld(y)), s1 = simd::Splat(Ld(y + 1));
    const auto s2 = simd::Splat(Ld(y + 2)), s3 = simd::Splat(Ld(y + 3));
#pragma GCC unroll 4
    for (int i = 0; i < kVectors; ++i) {
      const T* xi = x + i * Vec::kLanes;
      const auto p01 = simd::Add(simd::Mul(s0, simd::LoadU(xi)), simd::Mul(s1, simd::LoadU(xi + 1)));
      const auto p23 = simd::Add(simd::Mul(s2, simd::LoadU(xi + 2)), simd::Mul(s3, simd::LoadU(xi + 3)));
      v[i] = simd::Add(v[i], simd::Add(p01, p23));
    }
  }
  void Spill(T* lanes) const {
#pragma GCC unroll 4
    for (int i = 0; i < kVectors; ++i) Vec::Spill(lanes + i * Vec::kLanes, v[i]);
  }
};

// One value alone, in the element precision: four lane sums over blocks of
// four terms, then the leftover terms, joined as (l0 + l2) + (l1 + l3).
template <class T>
T DotInLanes(const T* x, const T* y, int64_t w) {
  T lane[4] = {0, 0, 0, 0};
  int64_t j = 0;
  for (; j + 4 <= w; j += 4)
    for (int i = 0; i < 4; ++i) lane[i] = lane[i] + Ld(x + j + i) * Ld(y + j + i);
  for (int i = 0; j < w; ++j, ++i) lane[i] = lane[i] + Ld(x + j) * Ld(y + j);
  return (lane[0] + lane[2]) + (lane[1] + lane[3]);
}

// B values from k: the terms all B values have are added in vectors, the
// extra terms of the first values of a shrinking window singly.
template <class T, int B>
void VectorPass(const T* x, const T* y, int64_t win, Window window, Placement<T> out, int64_t k) {
  const int64_t shared = WindowOf(window, win, k + B - 1);
  Lanes<T, B> acc;
  int64_t j = 0;
  for (; j + 4 <= shared; j += 4) acc.AddFourTerms(y + j, x + k + j);
  for (; j < shared; ++j) acc.AddTerm(Ld(y + j), x + k + j);
  T lanes[B];
  acc.Spill(lanes);
  for (int i = 0; i < B - 1; ++i)
    for (int64_t j = shared; j < WindowOf(window, win, k + i); ++j) lanes[i] = lanes[i] + Ld(y + j) * Ld(x + k + i + j);
  for (int i = 0; i < B; ++i) out.Put(k + i, lanes[i]);
}

// The vector form: wide passes (four independent running sums) while they
// fit, then passes of four values, then the rest alone.
template <class T>
void VectorSums(const T* x, const T* y, int64_t win, Window window, Placement<T> out, int64_t count) {
  constexpr int kWide = 4 * VectorOf<T>::kLanes;
  int64_t k = 0;
  for (; k + kWide <= count; k += kWide) VectorPass<T, kWide>(x, y, win, window, out, k);
  for (; k + 4 <= count; k += 4) VectorPass<T, 4>(x, y, win, window, out, k);
  for (; k < count; ++k) out.Put(k, DotInLanes(x + k, y, WindowOf(window, win, k)));
}
#endif

// The set's sums: vector form for float from the SSE set on and for double
// from SSE2 on, plain sums otherwise. Short shrinking runs take the plain
// sums in every set (window below 7, or fewer than 6 float or 4 double
// values), where the vector passes would gain nothing.
template <class T>
void SegmentSums(const T* x, const T* y, int64_t win, Window window, Placement<T> out, int64_t count) {
  constexpr bool kFloat = sizeof(T) == sizeof(float);
#if SP_SET_HAS_F32_VECTORS
  constexpr int64_t kShortCount = kFloat ? 6 : 4;
  if (window == Window::kFixed || (win >= 7 && count >= kShortCount)) {
    if constexpr (kFloat) {
      VectorSums(x, y, win, window, out, count);
      return;
    }
#if SP_SET_HAS_F64_VECTORS
    if constexpr (!kFloat) {
      VectorSums(x, y, win, window, out, count);
      return;
    }
#endif
  }
#endif
  (void)kFloat;
  PlainSums(x, y, win, window, out, count);
}

// The four segment kernels over the sums.
template <class T>
void Full(const T* x, const T* y, int32_t win, T* out, int32_t count) {
  SegmentSums<T>(x, y, win, Window::kFixed, {out, 1}, count);
}
// Value k reads x[j - k]: the window x - (count - 1) read forwards, placed
// from the last output down.
template <class T>
void FullRev(const T* x, const T* y, int32_t win, T* out, int32_t count) {
  SegmentSums<T>(x - (count - 1), y, win, Window::kFixed, {out + (count - 1), -1}, count);
}
template <class T>
void PartialUp(const T* x, const T* y, int32_t win, T* out, int32_t count) {
  SegmentSums<T>(x, y, win, Window::kShrinking, {out, 1}, count);
}
template <class T>
void PartialDown(const T* x, const T* y, int32_t win, T* outLast, int32_t count) {
  SegmentSums<T>(x, y, win, Window::kShrinking, {outLast, -1}, count);
}

}  // namespace SP_SET_NS::corr
