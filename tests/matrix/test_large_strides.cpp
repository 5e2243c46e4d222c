// Strides whose products with a row or element index pass 2^31 bytes: the
// byte offsets must be formed in pointer width (in 32 bits they would wrap to
// a negative offset). The arrays live in a sparse 2 GiB + 64 KiB mapping of
// which only the touched pages become memory.
#include <sys/mman.h>

#include <gtest/gtest.h>

#include <cstring>

#include "primitives/matrix/sp_matrix.h"
#include "support/variant_sets.h"

namespace {

constexpr int32_t kStride = 1 << 30;  // rows 0, 1 and 2 at 0, 1 GiB and 2 GiB
constexpr size_t kSpan = (size_t{1} << 31) + (size_t{1} << 16);

class LargeStrideTest : public VariantSetTest {
 protected:
  void SetUp() override {
    VariantSetTest::SetUp();
    if (IsSkipped()) return;
    void* p = mmap(nullptr, kSpan, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) GTEST_SKIP() << "cannot reserve 2 GiB of address space";
    base_ = static_cast<unsigned char*>(p);
  }
  void TearDown() override {
    if (base_ != nullptr) munmap(base_, kSpan);
    VariantSetTest::TearDown();
  }
  // Element r * kStride + col * elemBytes of the array that starts `offset` bytes in.
  template <class T>
  T* At(int64_t offset, int64_t r = 0, int64_t col = 0) {
    return reinterpret_cast<T*>(base_ + offset + r * kStride + col * static_cast<int64_t>(sizeof(T)));
  }

 private:
  unsigned char* base_ = nullptr;
};

TEST_P(LargeStrideTest, MatrixTimesVector) {
  // 3 x 2 matrix with rows 1 GiB apart, times (1, 10).
  for (int r = 0; r < 3; ++r) {
    *At<float>(0, r, 0) = static_cast<float>(r + 1);
    *At<float>(0, r, 1) = 2.0f;
  }
  float vec[2] = {1, 10}, dst[3] = {};
  ASSERT_EQ(spMatMulVecF32(At<float>(0), kStride, 4, 2, 3, vec, 4, 2, dst, 4), spOk);
  EXPECT_EQ(dst[0], 21.0f);
  EXPECT_EQ(dst[2], 23.0f);
  // The destination strided by 1 GiB as well.
  ASSERT_EQ(spMatMulVecF32(At<float>(0), kStride, 4, 2, 3, vec, 4, 2, At<float>(4096), kStride), spOk);
  EXPECT_EQ(*At<float>(4096, 2), 23.0f);
}

TEST_P(LargeStrideTest, MatrixProductBothKernels) {
  // A: 3 x 2 with rows 1 GiB apart; B: 2 x 2 identity; C: rows 1 GiB apart.
  for (int r = 0; r < 3; ++r) {
    *At<double>(0, r, 0) = r + 1.0;
    *At<double>(0, r, 1) = -(r + 1.0);
  }
  const double identity[4] = {1, 0, 0, 1};
  for (int32_t elem : {8, 16}) {  // unit-stride and byte-stride kernels
    ASSERT_EQ(spMatMulMatF64(At<double>(0), kStride, 8, 2, 3, identity, 16, 8, 2, 2, At<double>(8192), kStride, elem),
              spOk);
    EXPECT_EQ(*At<double>(8192, 2, 0), 3.0);
    EXPECT_EQ(*At<double>(8192, 2, elem / 8), -3.0);
  }
}

TEST_P(LargeStrideTest, MultiplyByConstantAndCopy) {
  for (int r = 0; r < 3; ++r) *At<float>(0, r) = static_cast<float>(r + 1);
  ASSERT_EQ(spMulConstStridedF32(At<float>(0), kStride, 2.0f, At<float>(4096), kStride, 3), spOk);
  EXPECT_EQ(*At<float>(4096, 2), 6.0f);
  // A 3 x 1 column copied from rows 1 GiB apart into rows 1 GiB apart.
  ASSERT_EQ(spCopy2DStridedF32(At<float>(0), kStride, 4, At<float>(8192), kStride, 4, 1, 3), spOk);
  EXPECT_EQ(*At<float>(8192, 2), 3.0f);
  // And one row whose elements are 1 GiB apart.
  double row[3] = {};
  *At<double>(16384, 2) = 7.5;
  ASSERT_EQ(spCopy2DStridedF64(At<double>(16384), 0, kStride, row, 0, 8, 3, 1), spOk);
  EXPECT_EQ(row[2], 7.5);
}

SP_INSTANTIATE_FOR_ALL_SETS(LargeStrideTest);

}  // namespace
