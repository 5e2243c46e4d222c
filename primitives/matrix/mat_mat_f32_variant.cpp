// Single-precision matrix product kernels of one variant set. Square products
// of 3 to 6 take straight-line paths that sum each element from its first
// product; every other shape runs the general loops (running sum from +0,
// stored after every term).
//
//   unit element strides    square path                   general loops
//   generic                 double                        double
//   SSE .. SSSE3            packed float; column 4 of     double (the generic
//                           the 5 x 5 path in double      loop, bit for bit)
//
//   byte strides            square path                   general loops
//   generic                 double                        double
//   SSE, SSE2               float                         float, one term per pass
//   SSE3                    double                        float, two terms per pass
//   SSSE3                   float                         float, two terms per pass
//
// "double" sums exact float products in double and rounds each element once,
// at its store; "float" rounds every product and partial sum. So on a SIMD
// set a product of a general shape can come out differently in the last bits
// depending on whether all three element strides are 4.
#include <cstdint>

#include "primitives/frame/simd.h"
#include "primitives/matrix/matrix_kernels.h"
#include "primitives/matrix/product_loops.h"

namespace SP_SET_NS {
namespace {
using namespace matrix;

#if SP_SET_HAS_F32_VECTORS
// Square path on packed floats, the same instructions in all four SIMD sets:
// each element of a row of A is broadcast and multiplies a register of four
// columns of one row of B (held for the whole path), summed left to right
// from the first product. n = 3 holds a row of B as (b0, 0, b1, b2), so that
// nothing beyond column 2 is read or written; n = 5 computes column 4 in
// double; n = 6 computes columns 4 and 5 afterwards, two rows of C at a time.
// Four columns of C are stored as two 8-byte halves.
template <int N>
void PackedSquare(const float* A, int64_t aRowStride, const float* B, int64_t bRowStride, float* C,
                  int64_t cRowStride) {
  using namespace simd;
  auto rowA = [&](int64_t i) { return AtByte(A, i * aRowStride); };
  auto rowB = [&](int64_t j) { return AtByte(B, j * bRowStride); };
  auto rowC = [&](int64_t i) { return AtByte(C, i * cRowStride); };

  f32x4 b[N];
  Unrolled<N>([&](auto j) {
    if constexpr (N == 3)
      b[j] = LoadHigh2(LoadSingle(rowB(j)), rowB(j) + 1);
    else
      b[j] = LoadU(rowB(j));
  });
  Unrolled<N>([&](auto i) {
    const float* a = rowA(i);
    f32x4 acc = Mul(Splat(Ld(a)), b[0]);
    Unrolled<N - 1>([&](auto j) { acc = Add(acc, Mul(Splat(Ld(a + j + 1)), b[j + 1])); });
    float* c = rowC(i);
    if constexpr (N == 3) {
      StoreSingle(c, acc);
      StoreHigh2(c + 1, acc);
    } else {
      StoreLow2(c, acc);
      StoreHigh2(c + 2, acc);
    }
    if constexpr (N == 5) {
      double t = double{Ld(a)} * double{Ld(rowB(0) + 4)};
      Unrolled<4>([&](auto j) { t = t + double{Ld(a + j + 1)} * double{Ld(rowB(j + 1) + 4)}; });
      St(c + 4, static_cast<float>(t));
    }
  });
  if constexpr (N == 6) {
    // Columns 4 and 5 of B rows j as (b4, b5, b4, b5); rows i and i+1 of C as
    // the lanes (c(i,4), c(i,5), c(i+1,4), c(i+1,5)).
    f32x4 pairs[6];
    for (int j = 0; j < 6; j += 2) {
      const f32x4 both = LoadHigh2(LoadLow2(Zero4(), rowB(j) + 4), rowB(j + 1) + 4);
      pairs[j] = DupLowPair(both);
      pairs[j + 1] = DupHighPair(both);
    }
    for (int i = 0; i < 6; i += 2) {
      f32x4 acc = Zero4();
      for (int j = 0; j < 6; j += 2) {
        const f32x4 a = LoadHigh2(LoadLow2(Zero4(), rowA(i) + j), rowA(i + 1) + j);
        const f32x4 first = Mul(DupEvenByShuffle(a), pairs[j]);
        acc = j == 0 ? first : Add(acc, first);
        acc = Add(acc, Mul(DupOddByShuffle(a), pairs[j + 1]));
      }
      StoreLow2(rowC(i) + 4, acc);
      StoreHigh2(rowC(i + 1) + 4, acc);
    }
  }
}
#endif

// The byte-stride kernel's sums per set (see the table above).
inline constexpr Sum kByteSquareSum =
    kSetIndex == SP_SET_GENERIC || kSetIndex == SP_SET_SSE3 ? Sum::Wide : Sum::InElement;
inline constexpr Sum kByteGeneralSum = kSetIndex == SP_SET_GENERIC ? Sum::Wide : Sum::InElement;
inline constexpr int kByteTermsPerPass = kSetIndex >= SP_SET_SSE3 ? 2 : 1;
// The SIMD sets read the nine elements of B once, up front, on the 3 x 3 path.
inline constexpr bool kHoldThreeByThreeB = kSetIndex != SP_SET_GENERIC;

}  // namespace

spStatus SP_V(spkMatMulMatUnitStrideF32)(const float* A, int32_t aRowStride, int32_t aWidth, int32_t aHeight,
                                         const float* B, int32_t bRowStride, int32_t bWidth, int32_t bHeight, float* C,
                                         int32_t cRowStride) {
  const ConstMatrix<float> a{A, aRowStride, 4}, b{B, bRowStride, 4};
  const Matrix<float> c{C, cRowStride, 4};
  if (const int n = SquareProductSize(aWidth, aHeight, bWidth); n != 0) {
    WithSquareSize(n, [&](auto size) {
      constexpr int N = decltype(size)::value;
#if SP_SET_HAS_F32_VECTORS
      PackedSquare<N>(A, aRowStride, B, bRowStride, C, cRowStride);
#else
      SquareProduct<N, N, Sum::Wide, false>(a, b, c);
#endif
    });
    return spOk;
  }
  GeneralProduct<Sum::Wide, 1>(a, b, c, aHeight, bWidth, bHeight);
  return spOk;
}

spStatus SP_V(spkMatMulMatByteStrideF32)(const float* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth,
                                         int32_t aHeight, const float* B, int32_t bRowStride, int32_t bElemStride,
                                         int32_t bWidth, int32_t bHeight, float* C, int32_t cRowStride,
                                         int32_t cElemStride) {
  const ConstMatrix<float> a{A, aRowStride, aElemStride}, b{B, bRowStride, bElemStride};
  StridedProduct<kByteSquareSum, kHoldThreeByThreeB, kByteGeneralSum, kByteTermsPerPass>(
      a, b, Matrix<float>{C, cRowStride, cElemStride}, aWidth, aHeight, bWidth, bHeight);
  return spOk;
}

}  // namespace SP_SET_NS
