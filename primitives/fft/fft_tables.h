// Table builders of the real FFTs, shared by both precisions: the
// quarter-wave sine table every other table is read from, the generic
// layout of the complex twiddles and of the split twiddles, and the two
// bit-reversal table formats. Include only from *_variant.cpp.
//
// Every builder returns the first 16-byte boundary at or after the end of
// what it reserves, so tables can follow one another. Sizes and indices are
// 64-bit; the tables' own entries are 32-bit where their format says so.
#pragma once
#include <cmath>
#include <cstdint>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS::fftk {

template <class P>
inline P* Next16(P* p) {
  const auto a = reinterpret_cast<uintptr_t>(p);
  return reinterpret_cast<P*>((a + 15) & ~uintptr_t{15});
}

inline int64_t Pow2(int32_t e) { return int64_t{1} << e; }

// t[k] = sin(2 pi k / N) for k = 0 .. N/4 (order >= 3). The upper half is
// taken as cos((N/4 - k) delta) so no argument exceeds pi/4; every value is
// formed in double and rounded once to T.
template <class T>
T* SinTable(int32_t order, T* t) {
  const int64_t n = Pow2(order), quarter = n / 4, eighth = n / 8;
  const double delta = 6.283185307179586 / static_cast<double>(n);
  for (int64_t k = 0; k <= eighth; ++k) t[k] = static_cast<T>(std::sin(static_cast<double>(k) * delta));
  for (int64_t k = eighth + 1; k <= quarter; ++k)
    t[k] = static_cast<T>(std::cos(static_cast<double>(quarter - k) * delta));
  return Next16(t + quarter + 1);
}

// How a table negates a sine entry: by flipping its sign (a zero becomes
// -0.0) or by subtracting it from zero (a zero stays +0.0).
enum class Negation { SignFlip, FromZero };

template <Negation kNeg, class T>
inline T Negated(T x) {
  if constexpr (kNeg == Negation::FromZero)
    return T(0) - x;
  else
    return -x;
}

// W^a = e^(-2 pi j a / M) for 0 <= a <= 3M/4 (M = 2^m) into out[0] (real)
// and out[1] (imaginary), each a sine-table entry or its negation, read with
// stride 2^(sineOrder - m) (sineOrder >= m).
template <Negation kNeg = Negation::SignFlip, class T>
inline void TwiddleFromSine(int64_t a, int32_t m, const T* sine, int32_t sineOrder, T* out) {
  const int64_t points = Pow2(m), quarter = points / 4, half = points / 2, threeQuarters = 3 * points / 4;
  const int64_t stride = Pow2(sineOrder - m);
  if (a <= quarter) {
    out[0] = sine[(quarter - a) * stride];
    out[1] = Negated<kNeg>(sine[a * stride]);
  } else if (a <= half) {
    out[0] = Negated<kNeg>(sine[(a - quarter) * stride]);
    out[1] = Negated<kNeg>(sine[(half - a) * stride]);
  } else {
    out[0] = Negated<kNeg>(sine[(threeQuarters - a) * stride]);
    out[1] = sine[(a - half) * stride];
  }
}

// W^a = e^(-2 pi j a / M) for any 0 <= a < M (M = 2^m), each part a
// sine-table entry or its negation.
template <class T>
inline void FullCircleTwiddle(int64_t a, int32_t m, const T* sine, int32_t sineOrder, T* out) {
  const int64_t points = Pow2(m);
  if (a <= 3 * points / 4) {
    TwiddleFromSine(a, m, sine, sineOrder, out);
  } else {
    TwiddleFromSine(points - a, m, sine, sineOrder, out);
    out[1] = -out[1];
  }
}

// The low `bits` bits of value in reverse order.
inline int64_t ReverseBits(int64_t value, int32_t bits) {
  int64_t reversed = 0;
  for (int32_t b = 0; b < bits; ++b) reversed |= ((value >> b) & 1) << (bits - 1 - b);
  return reversed;
}

// W^i for i = 0 .. M/4 - 1 (M = 2^m, W = e^(-2 pi j / M)), interleaved:
// the factors of the large-size plan's blocked passes. Returns the first
// 16-byte boundary after them.
template <class T>
inline T* SubsampledTwiddles(int32_t m, const T* sine, int32_t sineOrder, T* out) {
  const int64_t quarter = Pow2(m) / 4;
  for (int64_t i = 0; i < quarter; ++i) TwiddleFromSine(i, m, sine, sineOrder, out + 2 * i);
  return Next16(out + 2 * quarter);
}

// Generic complex twiddles of order m: groups g = 0 .. M/4 of three complex
// values W^g, W^2g, W^3g (W = e^(-2 pi j / M)).
template <class T>
T* TwiddleTableGeneric(int32_t m, const T* sine, int32_t sineOrder, T* table) {
  const int64_t quarter = Pow2(m) / 4;
  auto put = [&](int64_t a, T* out) { TwiddleFromSine(a, m, sine, sineOrder, out); };
  for (int64_t g = 0; g <= quarter; ++g) {
    put(g, table + 6 * g);
    put(2 * g, table + 6 * g + 2);
    put(3 * g, table + 6 * g + 4);
  }
  return Next16(table + 6 * (quarter + 1));
}

// Split twiddles, interleaved layout, entries k = 0 .. N/4 - 1:
//   forward (0.5 cos theta_k, (1 - sin theta_k) / 2), the second formed in
//   double and rounded once; inverse (cos theta_k, -sin theta_k) copied.
// Nothing is written for N < 4.
template <class T>
T* SplitTableForwardGeneric(int32_t order, const T* sine, T* table) {
  const int64_t quarter = Pow2(order) / 4;
  for (int64_t k = 0; k < quarter; ++k) {
    table[2 * k] = static_cast<T>(0.5 * static_cast<double>(sine[quarter - k]));
    table[2 * k + 1] = static_cast<T>(0.5 - 0.5 * static_cast<double>(sine[k]));
  }
  return Next16(table + 2 * (quarter > 1 ? quarter : 1));
}

template <class T>
T* SplitTableInverseGeneric(int32_t order, const T* sine, T* table) {
  const int64_t quarter = Pow2(order) / 4;
  for (int64_t k = 0; k < quarter; ++k) {
    table[2 * k] = sine[quarter - k];
    table[2 * k + 1] = -sine[k];
  }
  return Next16(table + 2 * (quarter > 1 ? quarter : 1));
}

// Bit-reversal tables of complex order m cover the middle m - 2 bits:
// P = M/4 + 1 int32 entries, each twice a point index (the float index of
// the point in a complex float array). Nothing is written for m < 2.
inline int64_t BitRevTableEntries(int32_t m) { return m < 2 ? 0 : Pow2(m - 2) + 1; }

// Calls visit(i, j) for i = 1 .. P-1 with j = rev_(m-2)(i), by the
// reversed-carry increment.
template <class Visit>
inline void ForEachMiddleReversal(int64_t p, Visit visit) {
  int64_t j = 0;
  for (int64_t i = 1; i < p; ++i) {
    int64_t h = p / 2;
    while (h <= j) {
      j -= h;
      h /= 2;
    }
    j += h;
    visit(i, j);
  }
}

// Swap list: pairs (4i, 4j) for i < j, a 0, the self-reversed 4i in
// descending i, a closing 0 at slot P.
inline int32_t* BitRevSwapTable(int32_t m, int32_t* table) {
  if (m < 2) return table;
  const int64_t p = Pow2(m - 2);
  int64_t pairAt = 0, singleAt = p - 1;
  ForEachMiddleReversal(p, [&](int64_t i, int64_t j) {
    if (i < j) {
      table[pairAt++] = static_cast<int32_t>(4 * i);
      table[pairAt++] = static_cast<int32_t>(4 * j);
    } else if (i == j) {
      table[singleAt--] = static_cast<int32_t>(4 * i);
    }
  });
  table[pairAt] = 0;
  table[p] = 0;
  return Next16(table + p + 1);
}

// Index table: slot i holds 2 rev_(m-2)(i); slots 0 and P hold 0.
inline int32_t* BitRevIndexTable(int32_t m, int32_t* table) {
  if (m < 2) return table;
  const int64_t p = Pow2(m - 2);
  ForEachMiddleReversal(p, [&](int64_t i, int64_t j) { table[i] = static_cast<int32_t>(2 * j); });
  table[0] = 0;
  table[p] = 0;
  return Next16(table + p + 1);
}

}  // namespace SP_SET_NS::fftk
