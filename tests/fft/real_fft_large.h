// What the tests of the large-size path share in both precisions: the
// sets' rows of the orders each case runs and its bounds, the long-double
// references of an order (computed once for all sets), and the checks for
// orders too large for a long-double FFT in a test's time.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <numbers>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/frame/set_list.h"
#include "primitives/frame/variant_seams.h"

namespace real_fft_test {

inline int64_t Points(int order) { return int64_t{1} << order; }
inline int64_t Packed(int order) { return Points(order) + 2; }

inline bool LargeTestsWanted() { return std::getenv("VANTREL_LARGE_TESTS") != nullptr; }

// The first order of a set's large-size path, one above its plain or fused
// engine.
template <class T>
int FirstLargeOrder(int set) {
  return Precision<T>::kLargestOrder[set] + 1;
}

template <class T>
struct LargePrecision;
template <>
struct LargePrecision<float> {
  // Seeds of the reference input (+ order) and spectrum (+ order).
  static constexpr uint32_t kInputSeed = 4100, kSpectrumSeed = 5100;
  // Orders 12 to 22 give every plan shape of one level. Generic and SSE:
  // blocked (12, 13), k1 = m - 8 over 256-point rows (14..17), k1 = 8 over
  // rows of 2^9, 2^10 (18, 19), k1 = 10 over rows of 2^9, 2^10 (20, 21),
  // k1 = 10 over blocked 2048-point rows (22).
  static std::vector<int> ShapeOrders(int set) {
    std::vector<int> orders;
    for (int order = FirstLargeOrder<float>(set); order <= 22; ++order) orders.push_back(order);
    return orders;
  }
  static constexpr int kShapeInverseShift = 3;
  static std::vector<int> PlacementOrders(int set) { return {FirstLargeOrder<float>(set), 15, 22}; }
  static constexpr int kShifts = 4;
  static std::vector<int> AllocationOrders(int set) { return {FirstLargeOrder<float>(set), 14, 22}; }
  // Circular shift, Parseval, round trip and tones at the set's first large
  // order and at order 20 (SSE2: odd k1; SSE3, SSSE3: rows of 2^16).
  static std::vector<int> CheckedOrders(int set) { return {FirstLargeOrder<float>(set), 20}; }
  // CheckLargeOrder's bounds. Tones: a few float roundings of the largest
  // bin (N/2), far below what a wrong index or factor gives.
  static constexpr long double kTonesError = std::numeric_limits<float>::epsilon();
  static constexpr uint32_t kRandomSeed = 7100;
  static constexpr double kParsevalError = 1e-5;
  static constexpr long double kShiftError = 2e-6L;
};
template <>
struct LargePrecision<double> {
  static constexpr uint32_t kInputSeed = 4000, kSpectrumSeed = 5000;
  // Orders 11 to 20 reach every plan shape below two SIMD levels: generic
  // blocked (11, 12), one level with radix rows (13..19), blocked rows (20);
  // SSE2 k1 = 4 (15..18), 5 (19, odd), 6 (20); SSE3/SSSE3 k1 = 6 with rows
  // of 2^9 (16) and 2^10 (17), 4 (18, 19), 6 (20).
  static std::vector<int> ShapeOrders(int) {
    std::vector<int> orders;
    for (int order = 11; order <= 20; ++order) orders.push_back(order);
    return orders;
  }
  static constexpr int kShapeInverseShift = 1;
  // Order 16 is the front end's default.
  static std::vector<int> PlacementOrders(int) { return {16}; }
  static constexpr int kShifts = 2;
  static std::vector<int> AllocationOrders(int) { return {16, 20}; }
  // Order 22: the generic and SSE sets' two levels with radix rows (complex
  // order 21 -> 13 -> 8), the SIMD sets' k1 = 8; order 23 in SSE2: two
  // levels (k1 = 4 over rows of complex order 18, split again with k1 = 5).
  static std::vector<int> CheckedOrders(int set) {
    if (set == SP_SET_SSE2) return {22, 23};
    return {22};
  }
  // The input is rounded to double: its error spreads over every bin.
  static constexpr long double kTonesError = 1e-13L;
  static constexpr uint32_t kRandomSeed = 7000;
  static constexpr double kParsevalError = 1e-12;
  static constexpr long double kShiftError = 1e-14L;
};

// Long-double references, computed once per order for all sets.
template <class T>
struct LargeReference {
  std::vector<T> x, packed;
  std::vector<long double> forward, inverse;
};
template <class T>
const LargeReference<T>& LargeReferenceOf(int order) {
  static std::map<int, LargeReference<T>> cache;
  auto it = cache.find(order);
  if (it != cache.end()) return it->second;
  LargeReference<T> r;
  r.x = RandomValues<T>(Points(order), LargePrecision<T>::kInputSeed + order);
  r.packed = RandomValues<T>(Packed(order), LargePrecision<T>::kSpectrumSeed + order);
  r.forward = FftRealForward(r.x);
  r.inverse = FftRealInverse(r.packed, Points(order));
  return cache.emplace(order, std::move(r)).first->second;
}

inline std::vector<long double> Times(std::vector<long double> v, long double f) {
  for (auto& e : v) e *= f;
  return v;
}

// Checks for orders too large for a long-double FFT in a test's time: a
// sum of cosines at known bins (closed form), round trip, Parseval, a
// circular shift (X_k e^(-2 pi j k s / N), which catches index mapping)
// and, outside the generic set, agreement with the generic set's entirely
// different plan.
template <class T>
void CheckLargeOrder(int order, int setIndex) {
  using Bounds = LargePrecision<T>;
  SCOPED_TRACE(testing::Message() << "order " << order);
  const int64_t n = Points(order);
  SpecOf<T> spec(order, REALFFT_DIV_INV_BY_N);
  if (spec.status == spErrNoMemory) GTEST_SKIP() << "not enough memory for order " << order;
  ASSERT_EQ(spec.status, spOk);

  // amplitude * cos(2 pi bin t / n + phase) = Re(c e^(2 pi bin t i / n)).
  struct Tone {
    int64_t bin;
    std::complex<long double> c;
  };
  const Tone tones[] = {
      {1, std::polar(1.0L, 0.3L)}, {n / 4 + 3, std::polar(0.5L, -1.1L)}, {n / 2 - 5, std::polar(0.25L, 2.0L)}};
  // e^(2 pi j i / n) from a quarter-wave cosine table in long double.
  const int64_t quarter = n / 4;
  std::vector<long double> cosine(quarter + 1);
  for (int64_t j = 0; j <= quarter; ++j) cosine[j] = std::cos(2 * std::numbers::pi_v<long double> * j / n);
  auto cosAt = [&](int64_t j) -> long double {
    j %= n;
    if (j <= quarter) return cosine[j];
    if (j <= 2 * quarter) return -cosine[2 * quarter - j];
    if (j <= 3 * quarter) return -cosine[j - 2 * quarter];
    return cosine[n - j];
  };
  auto turn = [&](int64_t j) { return std::complex<long double>(cosAt(j), cosAt(j + 3 * quarter)); };
  std::vector<T> x(n);
  for (int64_t t = 0; t < n; ++t) {
    long double v = 0;
    for (const Tone& tone : tones) {
      const std::complex<long double> w = turn(tone.bin * t);
      v += w.real() * tone.c.real() - w.imag() * tone.c.imag();
    }
    x[t] = static_cast<T>(v);
  }
  const auto fx = PlacedForward(spec.p, x, false, 0);
  std::vector<long double> want(Packed(order), 0.0L);
  for (const Tone& tone : tones) {
    want[2 * tone.bin] = tone.c.real() * n / 2;
    want[2 * tone.bin + 1] = tone.c.imag() * n / 2;
  }
  EXPECT_LE(MaxError(fx.data(), want, Packed(order)), Bounds::kTonesError * n);

  const auto random = RandomValues<T>(n, Bounds::kRandomSeed + order);
  const auto fr = PlacedForward(spec.p, random, false, 0);
  const auto back = PlacedInverse(spec.p, fr, false, 0);
  const std::vector<long double> exact(random.begin(), random.end());
  EXPECT_LE(MaxError(back.data(), exact, n), 2 * Tolerance<T>(order, exact));

  long double energy = 0, spectral = static_cast<long double>(fr[0]) * fr[0] + static_cast<long double>(fr[n]) * fr[n];
  for (T v : random) energy += static_cast<long double>(v) * v;
  for (int64_t k = 1; k < n / 2; ++k)
    spectral +=
        2 * (static_cast<long double>(fr[2 * k]) * fr[2 * k] + static_cast<long double>(fr[2 * k + 1]) * fr[2 * k + 1]);
  EXPECT_NEAR(static_cast<double>(spectral / n), static_cast<double>(energy),
              Bounds::kParsevalError * static_cast<double>(energy));

  const int64_t s = n / 2 + 12345;
  std::vector<T> shifted(n);
  for (int64_t i = 0; i < n; ++i) shifted[(i + s) % n] = random[i];
  const auto fs = PlacedForward(spec.p, shifted, false, 0);
  long double worst = 0, scale = 0;
  for (int64_t k = 0; k <= n / 2; ++k) {
    // (a + b i)(c - d i), written out: std::complex's product checks for
    // infinities on every call.
    const std::complex<long double> w = turn(k * s);
    const long double a = fr[2 * k], b = fr[2 * k + 1];
    const long double re = a * w.real() + b * w.imag(), im = b * w.real() - a * w.imag();
    worst = std::max({worst, std::fabs(re - fs[2 * k]), std::fabs(im - fs[2 * k + 1])});
    scale = std::max({scale, std::fabs(re), std::fabs(im)});
  }
  EXPECT_LE(worst, Bounds::kShiftError * scale * order);

  if (setIndex != SP_SET_GENERIC) {
    const int32_t previous = spForceVariantSet(SP_SET_GENERIC);
    SpecOf<T> generic(order, REALFFT_DIV_INV_BY_N);
    spForceVariantSet(previous);
    ASSERT_EQ(generic.status, spOk);
    spForceVariantSet(SP_SET_GENERIC);
    const auto fg = PlacedForward(generic.p, random, false, 0);
    spForceVariantSet(previous);
    const std::vector<long double> theirs(fg.begin(), fg.end());
    EXPECT_LE(MaxError(fr.data(), theirs, Packed(order)), 4 * Tolerance<T>(order, theirs));
  }
}

}  // namespace real_fft_test
