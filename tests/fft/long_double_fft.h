// A long-double radix-2 complex FFT and the real transforms built on it: the
// reference for orders where the naive DFT of real_fft_reference.h is too
// slow (it is itself checked against that DFT).
#pragma once
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

namespace real_fft_test {

using CxL = std::complex<long double>;

// In place, natural order in and out; sign -1 forward, +1 inverse; no scaling.
inline void LongDoubleFft(std::vector<CxL>& a, int sign) {
  const int64_t n = static_cast<int64_t>(a.size());
  for (int64_t i = 1, j = 0; i < n; ++i) {
    int64_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (int64_t len = 2; len <= n; len *= 2) {
    const long double step = sign * 2 * std::numbers::pi_v<long double> / len;
    for (int64_t k = 0; k < len / 2; ++k) {
      const CxL w(std::cos(step * k), std::sin(step * k));
      for (int64_t b = 0; b < n; b += len) {
        const CxL u = a[b + k], v = a[b + k + len / 2] * w;
        a[b + k] = u + v;
        a[b + k + len / 2] = u - v;
      }
    }
  }
}

// Packed half spectrum (N + 2 values; 2 for N = 1) of real x, unnormalised.
template <class T>
std::vector<long double> FftForward(const std::vector<T>& x) {
  const int64_t n = static_cast<int64_t>(x.size());
  std::vector<CxL> a(x.begin(), x.end());
  LongDoubleFft(a, -1);
  std::vector<long double> out(n == 1 ? 2 : n + 2, 0.0L);
  for (int64_t k = 0; k <= n / 2; ++k) {
    out[2 * k] = a[k].real();
    if (k != 0 && k != n / 2) out[2 * k + 1] = a[k].imag();
  }
  return out;
}

// N real values, N times the inverse DFT of a packed half spectrum (slots 1
// and N + 1 ignored).
template <class T>
std::vector<long double> FftInverse(const std::vector<T>& spectrum, int64_t n) {
  std::vector<CxL> a(n);
  a[0] = spectrum[0];
  if (n > 1) a[n / 2] = spectrum[n];
  for (int64_t k = 1; k < n / 2; ++k) {
    a[k] = CxL(spectrum[2 * k], spectrum[2 * k + 1]);
    a[n - k] = std::conj(a[k]);
  }
  LongDoubleFft(a, +1);
  std::vector<long double> out(n);
  for (int64_t t = 0; t < n; ++t) out[t] = a[t].real();
  return out;
}

}  // namespace real_fft_test
