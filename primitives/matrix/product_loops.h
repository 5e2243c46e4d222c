// The sum-of-products loops that the matrix-times-vector and matrix-product
// kernels of every variant set share; a vector is a matrix of one column.
// The kernels differ only in where they hold sums and how many terms one
// loop pass takes, which are template arguments here. Include only from
// *_variant.cpp.
#pragma once
#include <cstdint>
#include <type_traits>
#include <utility>

#include "primitives/matrix/strided_access.h"

namespace SP_SET_NS::matrix {

// Where products and running sums live: rounded to the element type after
// every operation (the SIMD units' arithmetic), or wide, in double (standing
// for the x87 registers of the sets that sum there: a product of two floats is
// exact, and a float output is rounded once, when it is stored).
enum class Sum { InElement, Wide };
template <Sum S, class T>
using SumType = std::conditional_t<S == Sum::Wide, double, T>;

// Calls f(std::integral_constant<int, I>{}) for I = 0 .. N-1 as straight-line
// code.
template <int N, class F>
inline void Unrolled(F&& f) {
  [&]<int... I>(std::integer_sequence<int, I...>) { (f(std::integral_constant<int, I>{}), ...); }
  (std::make_integer_sequence<int, N>{});
}

// Size of the square fast path (3 to 6) of a width x height matrix, or 0 for
// the general loops.
inline int SquareSize(int32_t width, int32_t height) { return width >= 3 && width <= 6 && height == width ? width : 0; }
// The same for a product: A and B square of one size (aWidth equals bHeight by
// the entry's checks).
inline int SquareProductSize(int32_t aWidth, int32_t aHeight, int32_t bWidth) {
  return bWidth == aWidth ? SquareSize(aWidth, aHeight) : 0;
}

// Calls f(std::integral_constant<int, n>{}) for n = 3..6; read the size as
// decltype(n)::value.
template <class F>
inline void WithSquareSize(int n, F&& f) {
  switch (n) {
    case 3: f(std::integral_constant<int, 3>{}); break;
    case 4: f(std::integral_constant<int, 4>{}); break;
    case 5: f(std::integral_constant<int, 5>{}); break;
    case 6: f(std::integral_constant<int, 6>{}); break;
    default: break;
  }
}

// General loops, row i outermost, column k, term j innermost: C(i, k) is set
// to +0, the running sum starts at +0, and after every term the running sum,
// rounded to the element type, is stored to C(i, k). With two terms per pass
// the last term of an odd count takes a pass of its own; the values are the
// same either way.
template <Sum S, int kTermsPerPass, class T>
void GeneralProduct(ConstMatrix<T> a, ConstMatrix<T> b, Matrix<T> c, int32_t rows, int32_t cols, int32_t terms) {
  using Acc = SumType<S, T>;
  for (int64_t i = 0; i < rows; ++i) {
    for (int64_t k = 0; k < cols; ++k) {
      Acc sum = Acc{0};
      c.Put(i, k, T{0});
      auto addTerm = [&](int64_t j) {
        sum = sum + Acc{a(i, j)} * Acc{b(j, k)};
        c.Put(i, k, static_cast<T>(sum));
      };
      InSteps<kTermsPerPass>(terms, addTerm);
    }
  }
}

// Square path of size N with kCols columns (N for a product, 1 for a matrix
// times a vector): straight-line code, outputs in row-major order, each the
// left-to-right sum from the first product (no initial zero, so a sum of
// negative zeros stays -0), stored once. With kHoldB all of B is read before
// the first store and held.
template <int N, int kCols, Sum S, bool kHoldB, class T>
void SquareProduct(ConstMatrix<T> a, ConstMatrix<T> b, Matrix<T> c) {
  using Acc = SumType<S, T>;
  T held[kHoldB ? N : 1][kHoldB ? kCols : 1];
  if constexpr (kHoldB) Unrolled<N>([&](auto j) { Unrolled<kCols>([&](auto k) { held[j][k] = b(j, k); }); });
  auto bAt = [&](int j, int k) {
    if constexpr (kHoldB)
      return held[j][k];
    else
      return b(j, k);
  };
  Unrolled<N>([&](auto i) {
    Unrolled<kCols>([&](auto k) {
      Acc sum = Acc{a(i, 0)} * Acc{bAt(0, k)};
      Unrolled<N - 1>([&](auto j) { sum = sum + Acc{a(i, j + 1)} * Acc{bAt(j + 1, k)}; });
      c.Put(i, k, static_cast<T>(sum));
    });
  });
}

// A times B on the strided loops: the square path where A and B are square
// of one size 3 to 6 (with B held for the 3 x 3 when kHoldThreeByThreeB),
// the general loops otherwise.
template <Sum kSquareSum, bool kHoldThreeByThreeB, Sum kGeneralSum, int kTermsPerPass, class T>
void StridedProduct(ConstMatrix<T> a, ConstMatrix<T> b, Matrix<T> c, int32_t aWidth, int32_t aHeight, int32_t bWidth,
                    int32_t bHeight) {
  if (const int n = SquareProductSize(aWidth, aHeight, bWidth); n != 0) {
    WithSquareSize(n, [&](auto size) {
      constexpr int N = decltype(size)::value;
      SquareProduct<N, N, kSquareSum, N == 3 && kHoldThreeByThreeB>(a, b, c);
    });
    return;
  }
  GeneralProduct<kGeneralSum, kTermsPerPass>(a, b, c, aHeight, bWidth, bHeight);
}

}  // namespace SP_SET_NS::matrix
