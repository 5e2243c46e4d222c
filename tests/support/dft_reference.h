// The tests' one long-double reference of the discrete Fourier transform:
// the naive complex DFT, a radix-2 FFT for the orders where the naive sum is
// too slow (checked against it), and the real transforms in the packed half
// spectrum layout (N + 2 values: re0, 0, re1, im1, ..., re(N/2), 0; 2 for
// N = 1) built on either. Nothing is normalised: a forward and an inverse
// transform multiply by N. Sign -1 is the forward transform, +1 the inverse.
#pragma once
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

namespace dft_reference {

using CxL = std::complex<long double>;

// e^(sign 2 pi i j / n) for j = 0 .. n-1.
inline std::vector<CxL> UnitRoots(int64_t n, int sign) {
  std::vector<CxL> roots(n);
  for (int64_t j = 0; j < n; ++j) {
    const long double a = sign * 2 * std::numbers::pi_v<long double> * j / n;
    roots[j] = CxL(std::cos(a), std::sin(a));
  }
  return roots;
}

inline std::vector<CxL> NaiveDft(const std::vector<CxL>& x, int sign) {
  const int64_t n = static_cast<int64_t>(x.size());
  const std::vector<CxL> roots = UnitRoots(n, sign);
  std::vector<CxL> out(n);
  for (int64_t k = 0; k < n; ++k) {
    CxL sum = 0;
    for (int64_t t = 0; t < n; ++t) sum += x[t] * roots[(t * k) % n];
    out[k] = sum;
  }
  return out;
}

// In place, natural order in and out; the length a power of two.
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

// Complex values from interleaved (re, im) ones, and back.
template <class T>
std::vector<CxL> FromInterleaved(const std::vector<T>& x) {
  std::vector<CxL> out(x.size() / 2);
  for (size_t k = 0; k < out.size(); ++k) out[k] = CxL(x[2 * k], x[2 * k + 1]);
  return out;
}
inline std::vector<long double> Interleaved(const std::vector<CxL>& x) {
  std::vector<long double> out;
  out.reserve(2 * x.size());
  for (const CxL& v : x) {
    out.push_back(v.real());
    out.push_back(v.imag());
  }
  return out;
}

// Real values as complex ones with zero imaginary parts.
template <class T>
std::vector<CxL> FromReal(const std::vector<T>& x) {
  return std::vector<CxL>(x.begin(), x.end());
}

// The packed half spectrum of a full spectrum of real input.
inline std::vector<long double> PackHalfSpectrum(const std::vector<CxL>& full) {
  const int64_t n = static_cast<int64_t>(full.size());
  std::vector<long double> out(n == 1 ? 2 : n + 2, 0.0L);
  for (int64_t k = 0; k <= n / 2; ++k) {
    out[2 * k] = full[k].real();
    if (k != 0 && k != n / 2) out[2 * k + 1] = full[k].imag();
  }
  return out;
}

// The full Hermitian spectrum of length n from a packed half spectrum
// (slots 1 and N + 1 ignored).
template <class T>
std::vector<CxL> UnpackHalfSpectrum(const std::vector<T>& packed, int64_t n) {
  std::vector<CxL> full(n);
  full[0] = packed[0];
  if (n > 1) full[n / 2] = packed[n];
  for (int64_t k = 1; k < n / 2; ++k) {
    full[k] = CxL(packed[2 * k], packed[2 * k + 1]);
    full[n - k] = std::conj(full[k]);
  }
  return full;
}

inline std::vector<long double> RealParts(const std::vector<CxL>& x) {
  std::vector<long double> out(x.size());
  for (size_t t = 0; t < x.size(); ++t) out[t] = x[t].real();
  return out;
}

// Packed half spectrum of real x, by the naive DFT or by the FFT.
template <class T>
std::vector<long double> NaiveRealForward(const std::vector<T>& x) {
  return PackHalfSpectrum(NaiveDft(FromReal(x), -1));
}
template <class T>
std::vector<long double> FftRealForward(const std::vector<T>& x) {
  std::vector<CxL> a = FromReal(x);
  LongDoubleFft(a, -1);
  return PackHalfSpectrum(a);
}

// N real values from a packed half spectrum, by the naive DFT or the FFT.
template <class T>
std::vector<long double> NaiveRealInverse(const std::vector<T>& packed, int64_t n) {
  return RealParts(NaiveDft(UnpackHalfSpectrum(packed, n), +1));
}
template <class T>
std::vector<long double> FftRealInverse(const std::vector<T>& packed, int64_t n) {
  std::vector<CxL> a = UnpackHalfSpectrum(packed, n);
  LongDoubleFft(a, +1);
  return RealParts(a);
}

}  // namespace dft_reference
