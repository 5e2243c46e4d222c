// Long-double references of the real FFTs: the naive DFT into the packed
// half spectrum and the inverse of a packed half spectrum, in either
// precision, and the tolerance a float or double transform of order n is
// held to.
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace real_fft_test {

// cos and sin of 2 pi j / N for j = 0 .. N-1.
struct Circle {
  std::vector<long double> c, s;
  explicit Circle(int64_t n) : c(n), s(n) {
    for (int64_t j = 0; j < n; ++j) {
      const long double a = 2 * std::numbers::pi_v<long double> * j / n;
      c[j] = std::cos(a);
      s[j] = std::sin(a);
    }
  }
};

// Packed half spectrum (N + 2 values; 2 for N = 1) of x, unnormalised.
template <class T>
std::vector<long double> NaiveForward(const std::vector<T>& x) {
  const int64_t n = static_cast<int64_t>(x.size());
  const Circle w(n);
  std::vector<long double> out(n == 1 ? 2 : n + 2, 0.0L);
  for (int64_t k = 0; k <= n / 2; ++k) {
    long double re = 0, im = 0;
    for (int64_t t = 0; t < n; ++t) {
      const int64_t j = (t * k) % n;
      re += x[t] * w.c[j];
      im -= x[t] * w.s[j];
    }
    out[2 * k] = re;
    if (k != 0 && k != n / 2) out[2 * k + 1] = im;
  }
  return out;
}

// N real values from a packed half spectrum (slots 1 and N + 1 ignored),
// N times the inverse DFT.
template <class T>
std::vector<long double> NaiveInverse(const std::vector<T>& spectrum, int64_t n) {
  const Circle w(n);
  std::vector<long double> out(n);
  for (int64_t t = 0; t < n; ++t) {
    long double v = spectrum[0];
    if (n > 1) v += (t % 2 ? -1.0L : 1.0L) * spectrum[n];
    for (int64_t k = 1; k < n / 2; ++k) {
      const int64_t j = (t * k) % n;
      v += 2 * (spectrum[2 * k] * w.c[j] - spectrum[2 * k + 1] * w.s[j]);
    }
    out[t] = v;
  }
  return out;
}

template <class T>
std::vector<T> RandomValues(int64_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<T> v(count);
  for (auto& e : v) e = static_cast<T>(dist(rng));
  return v;
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
