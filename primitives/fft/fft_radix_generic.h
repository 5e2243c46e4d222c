// The generic set's complex FFT passes: M = 2^m complex values in
// bit-reversed order become their unnormalised DFT in natural order, in
// place (forward kernel e^(-2 pi j / M), inverse e^(+2 pi j / M)). A
// twiddle-free radix-4 stage, a radix-2 stage when m is odd, then radix-4
// stages with twiddles from the generic table built for this M. Butterflies
// are evaluated in double and rounded to T where a value is stored, the
// working precision the generic set is defined at. Shared by both
// precisions; M >= 4. Include only from *_variant.cpp.
#pragma once
#include <bit>
#include <cstdint>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS::fftk {

struct Cx {
  double re, im;
};
inline Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
inline Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
inline Cx operator*(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }

template <class T>
inline Cx LoadCx(const T* d, int64_t p) {
  return {static_cast<double>(d[2 * p]), static_cast<double>(d[2 * p + 1])};
}
template <class T>
inline void StoreCx(T* d, int64_t p, Cx v) {
  d[2 * p] = static_cast<T>(v.re);
  d[2 * p + 1] = static_cast<T>(v.im);
}

// The direction's twiddle (conjugated in the inverse) and J * v with
// J = -j forward, +j inverse.
template <bool kInverse>
inline Cx Tw(Cx w) {
  return kInverse ? Cx{w.re, -w.im} : w;
}
template <bool kInverse>
inline Cx TimesJ(Cx v) {
  return kInverse ? Cx{-v.im, v.re} : Cx{v.im, -v.re};
}

// x0..x3 at positions a, a+s, a+2s, a+3s, already multiplied by their
// twiddles: the radix-4 butterfly in place.
template <bool kInverse, class T>
inline void Butterfly4(T* d, int64_t k, int64_t s, Cx a, Cx b, Cx c, Cx e) {
  const Cx sumAB = a + b, diffAB = a - b, sumCE = c + e, jDiffCE = TimesJ<kInverse>(c - e);
  StoreCx(d, k, sumAB + sumCE);
  StoreCx(d, k + s, diffAB + jDiffCE);
  StoreCx(d, k + 2 * s, sumAB - sumCE);
  StoreCx(d, k + 3 * s, diffAB - jDiffCE);
}

template <bool kInverse, class T>
void RadixPassesGeneric(T* d, int64_t points, const T* table) {
  for (int64_t k = 0; k < points; k += 4)
    Butterfly4<kInverse>(d, k, 1, LoadCx(d, k), LoadCx(d, k + 1), LoadCx(d, k + 2), LoadCx(d, k + 3));

  int64_t span = 4;
  if (std::countr_zero(static_cast<uint64_t>(points)) % 2 == 1) {  // odd m: radix-2 to blocks of 8
    const T* eighth = table + 6 * (points / 8);
    const double c = eighth[0], s = eighth[1];  // cos(pi/4), -sin(pi/4)
    const Cx v1 = Tw<kInverse>({c, s}), v3 = Tw<kInverse>({s, s});
    for (int64_t b = 0; b < points; b += 8) {
      const Cx t[4] = {LoadCx(d, b + 4), LoadCx(d, b + 5) * v1, TimesJ<kInverse>(LoadCx(d, b + 6)),
                       LoadCx(d, b + 7) * v3};
      for (int64_t k = 0; k < 4; ++k) {
        const Cx u = LoadCx(d, b + k);
        StoreCx(d, b + k, u + t[k]);
        StoreCx(d, b + k + 4, u - t[k]);
      }
    }
    span = 8;
  }

  for (; 4 * span <= points; span *= 4) {
    const int64_t block = 4 * span, step = points / block;
    for (int64_t b = 0; b < points; b += block) {
      T* x = d + 2 * b;
      Butterfly4<kInverse>(x, 0, span, LoadCx(x, 0), LoadCx(x, span), LoadCx(x, 2 * span), LoadCx(x, 3 * span));
      for (int64_t k = 1; k < span; ++k) {
        const T* w = table + 6 * step * k;
        const Cx w1 = Tw<kInverse>({w[0], w[1]}), w2 = Tw<kInverse>({w[2], w[3]}), w3 = Tw<kInverse>({w[4], w[5]});
        // The second quarter holds the inputs = 2 mod 4, the third those = 1.
        Butterfly4<kInverse>(x, k, span, LoadCx(x, k), LoadCx(x, k + span) * w2, LoadCx(x, k + 2 * span) * w1,
                             LoadCx(x, k + 3 * span) * w3);
      }
    }
  }
}

}  // namespace SP_SET_NS::fftk
