// The math layer's matrix wrappers: one-element strides filled in, a
// product's rows laid out back to back (so a product of several rows comes
// out whole), and statuses passed through.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "Mathlib/MathlibPrim.h"
#include "support/variant_sets.h"

namespace {

class MathlibMatrixTest : public VariantSetTest {};

using F = std::vector<float>;
using D = std::vector<double>;

TEST_P(MathlibMatrixTest, ProductOfSeveralRowsComesOutWhole) {
  // 3 x 2 times 2 x 4 with A's rows padded to 3 elements.
  const F a = {1, 2, -9, 3, 4, -9, 5, 6, -9};
  const F b = {1, 0, 2, -1, 0, 1, 3, 2};
  F c(12, -7.0f);
  ASSERT_EQ(duvuvMatMulMatF32(a.data(), 12, 2, 3, b.data(), 16, 4, 2, c.data()), spOk);
  EXPECT_EQ(c, (F{1, 2, 8, 3, 3, 4, 18, 5, 5, 6, 28, 7}));

  // Square shapes take their own paths: 4 x 4 times the identity.
  D m(16), id(16, 0.0), out(16);
  for (int i = 0; i < 16; ++i) m[i] = i + 1;
  for (int i = 0; i < 4; ++i) id[i * 5] = 1;
  ASSERT_EQ(duvuvMatMulMatF64(m.data(), 32, 4, 4, id.data(), 32, 4, 4, out.data()), spOk);
  EXPECT_EQ(out, m);
}

TEST_P(MathlibMatrixTest, ProductStatusesPassThrough) {
  const F a(4, 1.0f), b(4, 1.0f);
  F c(4, 0.0f);
  EXPECT_EQ(duvuvMatMulMatF32(nullptr, 8, 2, 2, b.data(), 8, 2, 2, c.data()), spErrNullPointer);
  EXPECT_EQ(duvuvMatMulMatF32(a.data(), 8, 2, 2, b.data(), 8, 0, 2, c.data()), spErrLength);
  EXPECT_EQ(duvuvMatMulMatF32(a.data(), 8, 2, 2, b.data(), 8, 2, 1, c.data()), spErrSizeMismatch);
  EXPECT_EQ(duvuvMatMulMatF32(a.data(), 6, 2, 2, b.data(), 8, 2, 2, c.data()), spErrStride);
  EXPECT_EQ(c, F(4, 0.0f));
  // Rows of 2^30 + 1 floats are 2^32 + 4 bytes apart, beyond a 32-bit stride
  // (wrapped to 32 bits it would read as a valid 4): refused before any
  // element is touched.
  const int32_t wide = (1 << 30) + 1;
  EXPECT_EQ(duvuvMatMulMatF32(a.data(), 4, 1, 2, b.data(), 4, wide, 1, c.data()), spErrStride);
}

TEST_P(MathlibMatrixTest, VectorFormsUseOneElementStrides) {
  // 2 x 3 matrix with rows padded to 4 elements, times (1, 2, 3).
  const F mat = {1, 1, 1, 99, 0, -1, 2, 99}, vec = {1, 2, 3};
  F dst(2, 0.0f);
  ASSERT_EQ(duvuvMatMulVecF32(mat.data(), 16, 3, 2, vec.data(), 3, dst.data()), spOk);
  EXPECT_EQ(dst, (F{6, 4}));
  EXPECT_EQ(duvuvMatMulVecF32(mat.data(), 16, 3, 2, vec.data(), 2, dst.data()), spErrSizeMismatch);
  const D matD = {1, 2, 3, 4}, vecD = {1, -1};
  D dstD(2);
  ASSERT_EQ(duvuvMatMulVecF64(matD.data(), 16, 2, 2, vecD.data(), 2, dstD.data()), spOk);
  EXPECT_EQ(dstD, (D{-1, -1}));

  const F src = {1, 2, 3};
  F doubled(3, 0.0f);
  ASSERT_EQ(duvuvMulConstStridedF32(src.data(), 2.0f, doubled.data(), 3), spOk);
  EXPECT_EQ(doubled, (F{2, 4, 6}));
  D halves(2);
  ASSERT_EQ(duvuvMulConstStridedF64(vecD.data(), 0.5, halves.data(), 2), spOk);
  EXPECT_EQ(halves, (D{0.5, -0.5}));
  EXPECT_EQ(duvuvMulConstStridedF32(src.data(), 2.0f, nullptr, 3), spErrNullPointer);
}

TEST_P(MathlibMatrixTest, TwoDimensionalCopiesForwardEveryStride) {
  // Transpose a 2 x 3 block: source rows 3 elements apart, destination
  // columns 2 elements apart.
  const F src = {1, 2, 3, 4, 5, 6};
  F dst(6, 0.0f);
  ASSERT_EQ(duvuvCopy2DStridedF32(src.data(), 12, 4, dst.data(), 4, 8, 3, 2), spOk);
  EXPECT_EQ(dst, (F{1, 4, 2, 5, 3, 6}));
  const D signalling = {std::bit_cast<double>(0x7FF0000000000001ull)};
  D out(1);
  ASSERT_EQ(duvuvCopy2DStridedF64(signalling.data(), 0, 8, out.data(), 0, 8, 1, 1), spOk);
  EXPECT_EQ(std::bit_cast<uint64_t>(out[0]), 0x7FF0000000000001ull);
  EXPECT_EQ(duvuvCopy2DStridedF64(signalling.data(), 0, 8, out.data(), 0, 8, 1, 0), spErrRowCount);
}

SP_INSTANTIATE_FOR_ALL_SETS(MathlibMatrixTest);

}  // namespace
