// Strided multiplication by a constant under every variant set: each element
// is the correctly rounded product (so all sets agree bit for bit), over
// lengths that reach the short straight-line forms, the single-element and
// the eight-per-step paths, unit and byte strides, misaligned elements and
// in-place calls; nothing outside the written elements changes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "matrix_test_support.h"
#include "primitives/matrix/sp_matrix.h"

namespace {

using namespace matrix_test;

class MulConstTest : public VariantSetTest {};

// The IEEE product: a float product is exact in double, so one rounding.
float Rounded(float x, float val) { return static_cast<float>(static_cast<double>(x) * val); }
double Rounded(double x, double val) { return x * val; }

// Finite values with a few zeros, infinities, denormals and values whose
// products overflow.
template <class T>
std::vector<T> Values(int n, uint32_t seed) {
  std::vector<T> v = RandomValues<T>(n, seed);
  const T special[] = {-T{0}, T{0}, std::numeric_limits<T>::infinity(), std::numeric_limits<T>::denorm_min() * 3,
                       std::numeric_limits<T>::max() / 2};
  for (int i = 0; i < n; i += 7) v[i] = special[(i / 7) % 5];
  return v;
}

template <class T>
void CheckOne(spStatus (*fn)(const T*, int32_t, T, T*, int32_t, int32_t), int len, int32_t srcStride, int32_t dstStride,
              int64_t srcOffset, int64_t dstOffset) {
  const T val = static_cast<T>(-2.7182818);
  const std::vector<T> values = Values<T>(len, static_cast<uint32_t>(len));
  StridedBlock<T> src(len, 1, srcStride, sizeof(T), srcOffset), dst(len, 1, dstStride, sizeof(T), dstOffset);
  src.Fill(values);
  ASSERT_EQ(fn(src.base(), srcStride, val, dst.base(), dstStride, len), spOk);
  for (int i = 0; i < len; ++i)
    ASSERT_EQ(Bits(dst.Get(i, 0)), Bits(Rounded(values[i], val)))
        << "len " << len << " strides " << srcStride << "/" << dstStride << " offsets " << srcOffset << "/" << dstOffset
        << " element " << i;
  ASSERT_TRUE(dst.GuardsIntact()) << "len " << len;
}

template <class T>
void CheckLengthsStridesAndOffsets(spStatus (*fn)(const T*, int32_t, T, T*, int32_t, int32_t)) {
  constexpr int32_t E = sizeof(T);
  // Unit strides at every 16-byte phase and at addresses that are not even
  // element-aligned; then byte strides.
  const int64_t unitOffsets[][2] = {{0, 0}, {4, 8}, {8, 4}, {12, 12}, {0, 8}, {3, 0}, {0, 2}, {1, 5}};
  const int32_t byteStrides[][2] = {{E, 2 * E}, {3 * E, E}, {2 * E, 5 * E}};
  std::vector<int> lengths;
  for (int n = 1; n <= 40; ++n) lengths.push_back(n);
  for (int n : {127, 1000, 1003}) lengths.push_back(n);
  for (int len : lengths) {
    for (const auto& o : unitOffsets) CheckOne(fn, len, E, E, o[0], o[1]);
    for (const auto& s : byteStrides) {
      CheckOne(fn, len, s[0], s[1], 0, 0);
      CheckOne(fn, len, s[0], s[1], 4, 1);
    }
  }
}

TEST_P(MulConstTest, CorrectlyRoundedProductsF32) { CheckLengthsStridesAndOffsets<float>(spMulConstStridedF32); }
TEST_P(MulConstTest, CorrectlyRoundedProductsF64) { CheckLengthsStridesAndOffsets<double>(spMulConstStridedF64); }

// In place with equal strides gives the elementwise product on every path; so
// does a destination one element below the source, since every element is
// read before the element at its own address is written.
template <class T>
void CheckInPlace(spStatus (*fn)(const T*, int32_t, T, T*, int32_t, int32_t)) {
  constexpr int32_t E = sizeof(T);
  for (int len : {3, 5, 6, 10, 11, 12, 37, 200}) {
    for (int32_t stride : {E, 3 * E}) {
      const std::vector<T> values = Values<T>(len, 11);
      StridedBlock<T> data(len, 1, stride, E, 4);
      data.Fill(values);
      ASSERT_EQ(fn(data.base(), stride, T{3}, data.base(), stride, len), spOk);
      for (int i = 0; i < len; ++i)
        ASSERT_EQ(Bits(data.Get(i, 0)), Bits(Rounded(values[i], T{3}))) << "len " << len << " element " << i;
    }
    // dst one element before src: element i is written over element i-1,
    // which has already been read.
    std::vector<T> values = Values<T>(len + 1, 5);
    std::vector<T> buffer = values;
    ASSERT_EQ(fn(buffer.data() + 1, E, T{3}, buffer.data(), E, len), spOk);
    for (int i = 0; i < len; ++i) ASSERT_EQ(Bits(buffer[i]), Bits(Rounded(values[i + 1], T{3}))) << len;
  }
}

TEST_P(MulConstTest, InPlaceGivesTheElementwiseProduct) {
  CheckInPlace<float>(spMulConstStridedF32);
  CheckInPlace<double>(spMulConstStridedF64);
}

SP_INSTANTIATE_FOR_ALL_SETS(MulConstTest);

}  // namespace
