// What the real FFT tests measure with: the long-double references
// (support/dft_reference.h), random inputs, the largest error and the
// tolerance a float or double transform of order n is held to; and the
// spec, placed buffers and transform calls both precisions' tests share.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "primitives/fft/sp_real_fft.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/set_list.h"
#include "support/dft_reference.h"
#include "support/random_values.h"

namespace real_fft_test {

using namespace dft_reference;

template <class T>
std::vector<T> RandomValues(int64_t count, uint32_t seed) {
  return UniformValues<T>(count, -1.0, 1.0, seed);
}

// Largest |got - want| over the first `count` values.
template <class T>
long double MaxError(const T* got, const std::vector<long double>& want, int64_t count) {
  long double worst = 0;
  for (int64_t i = 0; i < count; ++i) worst = std::max(worst, std::fabs(static_cast<long double>(got[i]) - want[i]));
  return worst;
}

template <class V>
long double Norm2(const V& v) {
  long double sum = 0;
  for (const auto& e : v) sum += static_cast<long double>(e) * static_cast<long double>(e);
  return std::sqrt(sum);
}

// Long-double references: the naive DFT up to 2048 points, above it the
// long-double FFT (itself checked against the DFT in test_real_fft_f64.cpp).
template <class T>
std::vector<long double> ExactRealForward(const std::vector<T>& x) {
  return x.size() <= 2048 ? NaiveRealForward(x) : FftRealForward(x);
}
template <class T>
std::vector<long double> ExactRealInverse(const std::vector<T>& spectrum, int64_t n) {
  return n <= 2048 ? NaiveRealInverse(spectrum, n) : FftRealInverse(spectrum, n);
}

// A transform of order n is held to a few units of the element type's
// rounding per stage, relative to the root mean square of the exact result.
template <class T>
long double Tolerance(int order, const std::vector<long double>& want) {
  const long double eps = std::numeric_limits<T>::epsilon();
  long double rms = want.empty() ? 0 : Norm2(want) / std::sqrt(static_cast<long double>(want.size()));
  return 4 * eps * (order + 1) * (rms > 0 ? rms : 1);
}

// What the tests of the two precisions run by set: the largest order each
// set runs on its plain or fused engine (the large-size path above it has
// its own tests, test_real_fft_{f32,f64}_large.cpp), the orders a case
// sweeps, the orders at the set's path switches, and bounds.
template <class T>
struct Precision;
template <>
struct Precision<float> {
  static constexpr SpSetRow<int> kLargestOrder = {11, 11, 16, 17, 18};
  // Every order up to 11 and the three largest of the set (the last fused
  // orders and the radix order).
  static std::vector<int> Orders(int set) {
    std::vector<int> orders;
    for (int order = 0; order <= 11; ++order) orders.push_back(order);
    for (int order = std::max(12, kLargestOrder[set] - 2); order <= kLargestOrder[set]; ++order)
      orders.push_back(order);
    return orders;
  }
  // The set's path switches (last fused order, radix order) and a few more.
  static std::vector<int> BoundaryOrders(int set) {
    std::vector<int> orders = {0, 3, 4, 9};
    if (set == SP_SET_GENERIC)
      orders.push_back(11);
    else
      for (int order = kLargestOrder[set] - 1; order <= kLargestOrder[set]; ++order) orders.push_back(order);
    return orders;
  }
  static int ThreadsOrder(int) { return 11; }
  static constexpr long double kOnesError = 1e-6L;
};
template <>
struct Precision<double> {
  static constexpr SpSetRow<int> kLargestOrder = {10, 10, 14, 15, 15};
  static std::vector<int> Orders(int set) {
    std::vector<int> orders;
    for (int order = 0; order <= kLargestOrder[set]; ++order) orders.push_back(order);
    return orders;
  }
  // The first table order, one above it and the set's largest.
  static std::vector<int> BoundaryOrders(int set) { return {4, 5, kLargestOrder[set]}; }
  static int ThreadsOrder(int set) { return kLargestOrder[set]; }
  static constexpr long double kOnesError = 1e-15L;
};

// Runs body<T>() for floats, then for doubles.
template <class Body>
void ForBothPrecisions(Body body) {
  {
    SCOPED_TRACE("float");
    body.template operator()<float>();
  }
  {
    SCOPED_TRACE("double");
    body.template operator()<double>();
  }
}

// The public entries of one precision.
template <class T>
struct Entries;
template <>
struct Entries<float> {
  static constexpr auto init = spRealFftInitF32;
  static constexpr auto release = spRealFftFreeF32;
  static constexpr auto forward = spRealFftFwdF32;
  static constexpr auto inverse = spRealFftInvF32;
};
template <>
struct Entries<double> {
  static constexpr auto init = spRealFftInitF64;
  static constexpr auto release = spRealFftFreeF64;
  static constexpr auto forward = spRealFftFwdF64;
  static constexpr auto inverse = spRealFftInvF64;
};

// A spec of precision T, released at the end of the scope.
template <class T>
struct SpecOf {
  REALFFTSPEC* p = nullptr;
  spStatus status;
  SpecOf(int32_t order, int32_t flag, int32_t hint = 0) : status(Entries<T>::init(&p, order, flag, hint)) {}
  ~SpecOf() {
    if (p != nullptr) Entries<T>::release(p);
  }
  SpecOf(const SpecOf&) = delete;
  SpecOf& operator=(const SpecOf&) = delete;
};

// `count` values `shift` elements past a 16-byte boundary, NaN guard after.
template <class T>
struct PlacedOf {
  std::vector<T> storage;
  T* at;
  int64_t count;
  PlacedOf(int64_t n, int shift) : storage(n + 32 / sizeof(T), std::numeric_limits<T>::quiet_NaN()), count(n) {
    at = storage.data();
    while ((reinterpret_cast<uintptr_t>(at) & 15) != 0) ++at;
    at += shift;
  }
  bool GuardIntact() const { return std::isnan(at[count]); }
  std::vector<T> Values() const { return {at, at + count}; }
};

// Forward transform of x (N = 2^order values) into a placed packed
// spectrum, out of place or in place, `shift` elements off a 16-byte
// boundary for both arrays, with the caller's scratch or none: the source
// stays and nothing is written past the packed spectrum.
template <class T>
std::vector<T> PlacedForward(REALFFTSPEC* spec, const std::vector<T>& x, bool inPlace = false, int shift = 0,
                             uint8_t* work = nullptr) {
  const int64_t n = int64_t{1} << spec->order;
  PlacedOf<T> out(spec->order == 0 ? 2 : n + 2, shift);
  spStatus status;
  if (inPlace) {
    std::copy(x.begin(), x.end(), out.at);
    status = Entries<T>::forward(out.at, out.at, spec, work);
  } else {
    PlacedOf<T> in(n, shift);
    std::copy(x.begin(), x.end(), in.at);
    status = Entries<T>::forward(in.at, out.at, spec, work);
    EXPECT_EQ(std::memcmp(in.at, x.data(), n * sizeof(T)), 0) << "changed the source";
  }
  EXPECT_EQ(status, spOk);
  EXPECT_TRUE(out.GuardIntact()) << "wrote past the packed spectrum";
  return out.Values();
}

// Inverse transform of a packed spectrum into N placed values; in place the
// two values after the N results keep what the spectrum held there.
template <class T>
std::vector<T> PlacedInverse(REALFFTSPEC* spec, const std::vector<T>& packed, bool inPlace = false, int shift = 0,
                             uint8_t* work = nullptr) {
  const int64_t n = int64_t{1} << spec->order;
  PlacedOf<T> in(static_cast<int64_t>(packed.size()), shift);
  std::copy(packed.begin(), packed.end(), in.at);
  if (inPlace) {
    EXPECT_EQ(Entries<T>::inverse(in.at, in.at, spec, work), spOk);
    if (n > 1) {
      EXPECT_EQ(std::memcmp(in.at + n, packed.data() + n, 2 * sizeof(T)), 0) << "touched the slots after the result";
    }
    return {in.at, in.at + n};
  }
  PlacedOf<T> out(n, shift);
  EXPECT_EQ(Entries<T>::inverse(in.at, out.at, spec, work), spOk);
  EXPECT_EQ(std::memcmp(in.at, packed.data(), packed.size() * sizeof(T)), 0) << "changed the source";
  EXPECT_TRUE(out.GuardIntact()) << "wrote past N values";
  return out.Values();
}

}  // namespace real_fft_test
