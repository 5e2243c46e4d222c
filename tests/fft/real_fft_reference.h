// What the real FFT tests measure with: the long-double references
// (support/dft_reference.h), random inputs, the largest error and the
// tolerance a float or double transform of order n is held to.
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

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

// A transform of order n is held to a few units of the element type's
// rounding per stage, relative to the root mean square of the exact result.
template <class T>
long double Tolerance(int order, const std::vector<long double>& want) {
  const long double eps = std::numeric_limits<T>::epsilon();
  long double rms = want.empty() ? 0 : Norm2(want) / std::sqrt(static_cast<long double>(want.size()));
  return 4 * eps * (order + 1) * (rms > 0 ? rms : 1);
}

}  // namespace real_fft_test
