// The matrix primitives with every operand against an inaccessible page on
// either side (support/fenced_array.h), at the small widths, heights and
// lengths where the vector kernels end in their tails, with unit element
// strides and with a two-element stride (the byte-stride kernels): a load
// or store one element outside an operand crashes the test. Each result
// is also held against a long-double reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "primitives/matrix/sp_matrix.h"
#include "support/fenced_array.h"
#include "support/random_values.h"
#include "support/variant_sets.h"

namespace {

// rows x cols elements with the given element step (in elements), rows
// packed one after another: the last element is the array's last.
template <class T>
struct FencedMatrix {
  int rows, cols, step;
  FencedArray<T> array;
  FencedMatrix(int rows, int cols, int step, Fence fence, uint32_t seed)
      : rows(rows), cols(cols), step(step), array(UniformValues<T>(Span(rows, cols, step), -1.0, 1.0, seed), fence) {}
  static int64_t Span(int rows, int cols, int step) { return (int64_t{rows} * cols - 1) * step + 1; }
  int32_t RowStride() const { return static_cast<int32_t>(sizeof(T)) * cols * step; }
  int32_t ElemStride() const { return static_cast<int32_t>(sizeof(T)) * step; }
  T At(int r, int c) const { return array.data()[(int64_t{r} * cols + c) * step]; }
};

template <class T>
double Eps() {
  return std::numeric_limits<T>::epsilon();
}

class FencedMatrixTest : public VariantSetTest {
 protected:
  template <class T, class MatVec>
  void MatrixTimesVector(MatVec matVec) {
    for (int step : {1, 2})
      for (int h = 1; h <= 7; ++h)
        for (int w = 1; w <= 9; ++w)
          for (Fence fence : kBothFences) {
            SCOPED_TRACE(testing::Message() << "step " << step << " height " << h << " width " << w);
            FencedMatrix<T> m(h, w, step, fence, 10 * h + w), v(1, w, step, fence, 3 * w), d(1, h, step, fence, 1);
            ASSERT_EQ(matVec(m.array.data(), m.RowStride(), m.ElemStride(), w, h, v.array.data(), v.ElemStride(), w,
                             d.array.data(), d.ElemStride()),
                      spOk);
            for (int i = 0; i < h; ++i) {
              long double want = 0;
              for (int j = 0; j < w; ++j) want += static_cast<long double>(m.At(i, j)) * v.At(0, j);
              ASSERT_NEAR(d.At(0, i), want, 4 * Eps<T>() * w) << "row " << i;
            }
          }
  }

  template <class T, class MatMat>
  void MatrixTimesMatrix(MatMat matMat) {
    for (int step : {1, 2})
      for (int h = 1; h <= 6; ++h)
        for (int inner = 1; inner <= 6; ++inner)
          for (int bw = 1; bw <= 9; ++bw)
            for (Fence fence : kBothFences) {
              SCOPED_TRACE(testing::Message()
                           << "step " << step << " " << h << "x" << inner << " times " << inner << "x" << bw);
              FencedMatrix<T> a(h, inner, step, fence, h + 7 * inner), b(inner, bw, step, fence, bw + 5 * inner),
                  c(h, bw, step, fence, 2);
              ASSERT_EQ(matMat(a.array.data(), a.RowStride(), a.ElemStride(), inner, h, b.array.data(), b.RowStride(),
                               b.ElemStride(), bw, inner, c.array.data(), c.RowStride(), c.ElemStride()),
                        spOk);
              for (int i = 0; i < h; ++i)
                for (int k = 0; k < bw; ++k) {
                  long double want = 0;
                  for (int j = 0; j < inner; ++j) want += static_cast<long double>(a.At(i, j)) * b.At(j, k);
                  ASSERT_NEAR(c.At(i, k), want, 4 * Eps<T>() * inner) << "C(" << i << ", " << k << ")";
                }
            }
  }

  template <class T, class MulConst, class Copy2D>
  void ConstantAndCopy(MulConst mulConst, Copy2D copy2D) {
    for (int step : {1, 2})
      for (Fence fence : kBothFences) {
        for (int len = 1; len <= 21; ++len) {
          SCOPED_TRACE(testing::Message() << "step " << step << " len " << len);
          FencedMatrix<T> s(1, len, step, fence, len), d(1, len, step, fence, 99);
          ASSERT_EQ(mulConst(s.array.data(), s.ElemStride(), T(0.75), d.array.data(), d.ElemStride(), len), spOk);
          for (int i = 0; i < len; ++i) ASSERT_EQ(d.At(0, i), s.At(0, i) * T(0.75)) << "i " << i;
          ASSERT_EQ(mulConst(d.array.data(), d.ElemStride(), T(2), d.array.data(), d.ElemStride(), len), spOk);
          for (int i = 0; i < len; ++i) ASSERT_EQ(d.At(0, i), s.At(0, i) * T(0.75) * T(2)) << "in place, i " << i;
        }
        for (int h = 1; h <= 5; ++h)
          for (int w = 1; w <= 9; ++w) {
            SCOPED_TRACE(testing::Message() << "step " << step << " copy " << h << "x" << w);
            FencedMatrix<T> s(h, w, step, fence, h * w), d(h, w, step, fence, 7);
            ASSERT_EQ(copy2D(s.array.data(), s.RowStride(), s.ElemStride(), d.array.data(), d.RowStride(),
                             d.ElemStride(), w, h),
                      spOk);
            for (int r = 0; r < h; ++r)
              for (int c = 0; c < w; ++c) ASSERT_EQ(d.At(r, c), s.At(r, c));
          }
      }
  }
};

TEST_P(FencedMatrixTest, MatrixTimesVectorStaysInsideItsOperands) {
  MatrixTimesVector<float>(spMatMulVecF32);
  MatrixTimesVector<double>(spMatMulVecF64);
}

TEST_P(FencedMatrixTest, MatrixTimesMatrixStaysInsideItsOperands) {
  MatrixTimesMatrix<float>(spMatMulMatF32);
  MatrixTimesMatrix<double>(spMatMulMatF64);
}

TEST_P(FencedMatrixTest, MultiplyByConstantAndCopyStayInsideTheirOperands) {
  ConstantAndCopy<float>(spMulConstStridedF32, spCopy2DStridedF32);
  ConstantAndCopy<double>(spMulConstStridedF64, spCopy2DStridedF64);
}

SP_INSTANTIATE_FOR_ALL_SETS(FencedMatrixTest);

}  // namespace
