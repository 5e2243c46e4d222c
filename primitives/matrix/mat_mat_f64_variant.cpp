// Double-precision matrix product kernels of one variant set. Square products
// of 3 to 6 take straight-line paths that sum each element left to right
// from its first product; every other shape runs the general loops (running
// sum from +0, stored after every term). Every set sums in double, so all
// five give the same bits; they differ in how they move data:
//
//   generic, SSE     scalar square path and loops, one term per pass
//   SSE2             unit strides: square path on packed column pairs with
//                    all of B held in registers; byte strides: scalar square
//                    path; loops one term per pass
//   SSE3, SSSE3      as SSE2, loops two terms per pass
//
// The packed path uses aligned 16-byte moves when every base and row stride
// is a multiple of 16, else two 8-byte halves per pair.
#include <cstdint>

#include "primitives/frame/simd.h"
#include "primitives/matrix/matrix_kernels.h"
#include "primitives/matrix/product_loops.h"

namespace SP_SET_NS {
namespace {
using namespace matrix;

inline constexpr int kTermsPerPass = kSetIndex >= SP_SET_SSE3 ? 2 : 1;

#if SP_SET_HAS_F64_VECTORS
// B is read whole first, as column pairs (and the last column of an odd
// size alone); then each row of A is read as single doubles, each broadcast
// to both lanes, and the row of C is stored once it is complete.
template <int N, bool kAligned>
void PackedSquare(const double* A, int64_t aRowStride, const double* B, int64_t bRowStride, double* C,
                  int64_t cRowStride) {
  using namespace simd;
  constexpr int kPairs = N / 2;
  auto loadPair = [](const double* p) { return kAligned ? Load(p) : LoadSplit(p); };
  f64x2 pairs[N][kPairs];
  double last[N] = {};
  Unrolled<N>([&](auto j) {
    const double* row = AtByte(B, j * bRowStride);
    Unrolled<kPairs>([&](auto p) { pairs[j][p] = loadPair(row + 2 * p); });
    if constexpr (N % 2 == 1) last[j] = Ld(row + N - 1);
  });
  Unrolled<N>([&](auto i) {
    const double* rowA = AtByte(A, i * aRowStride);
    double a[N];
    Unrolled<N>([&](auto j) { a[j] = Ld(rowA + j); });
    f64x2 acc[kPairs];
    Unrolled<kPairs>([&](auto p) {
      acc[p] = Mul(Splat(a[0]), pairs[0][p]);
      Unrolled<N - 1>([&](auto j) { acc[p] = Add(acc[p], Mul(Splat(a[j + 1]), pairs[j + 1][p])); });
    });
    double odd = a[0] * last[0];
    Unrolled<N - 1>([&](auto j) { odd = odd + a[j + 1] * last[j + 1]; });
    double* rowC = AtByte(C, i * cRowStride);
    Unrolled<kPairs>([&](auto p) {
      if constexpr (kAligned)
        Store(rowC + 2 * p, acc[p]);
      else
        StoreSplit(rowC + 2 * p, acc[p]);
    });
    if constexpr (N % 2 == 1) St(rowC + N - 1, odd);
  });
}
#endif

}  // namespace

spStatus SP_V(spkMatMulMatUnitStrideF64)(const double* A, int32_t aRowStride, int32_t aWidth, int32_t aHeight,
                                         const double* B, int32_t bRowStride, int32_t bWidth, int32_t bHeight,
                                         double* C, int32_t cRowStride) {
  const ConstMatrix<double> a{A, aRowStride, 8}, b{B, bRowStride, 8};
  const Matrix<double> c{C, cRowStride, 8};
  if (const int n = SquareProductSize(aWidth, aHeight, bWidth); n != 0) {
    WithSquareSize(n, [&](auto size) {
      constexpr int N = decltype(size)::value;
#if SP_SET_HAS_F64_VECTORS
      const uintptr_t bits = simd::AddressOf(A) | simd::AddressOf(B) | simd::AddressOf(C) |
                             static_cast<uintptr_t>(aRowStride) | static_cast<uintptr_t>(bRowStride) |
                             static_cast<uintptr_t>(cRowStride);
      if ((bits & 15) == 0)
        PackedSquare<N, true>(A, aRowStride, B, bRowStride, C, cRowStride);
      else
        PackedSquare<N, false>(A, aRowStride, B, bRowStride, C, cRowStride);
#else
      SquareProduct<N, N, Sum::InElement, false>(a, b, c);
#endif
    });
    return spOk;
  }
  GeneralProduct<Sum::InElement, kTermsPerPass>(a, b, c, aHeight, bWidth, bHeight);
  return spOk;
}

spStatus SP_V(spkMatMulMatByteStrideF64)(const double* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth,
                                         int32_t aHeight, const double* B, int32_t bRowStride, int32_t bElemStride,
                                         int32_t bWidth, int32_t bHeight, double* C, int32_t cRowStride,
                                         int32_t cElemStride) {
  const ConstMatrix<double> a{A, aRowStride, aElemStride}, b{B, bRowStride, bElemStride};
  StridedProduct<Sum::InElement, false, Sum::InElement, kTermsPerPass>(a, b, Matrix<double>{C, cRowStride, cElemStride},
                                                                       aWidth, aHeight, bWidth, bHeight);
  return spOk;
}

}  // namespace SP_SET_NS
