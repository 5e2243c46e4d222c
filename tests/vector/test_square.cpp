// Square under every variant set: closed-form values (overflow, subnormal
// and zero results, -0), exact references over lengths and alignments in
// place and out of place, and argument errors.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "primitives/vector/sp_square.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

namespace {

using namespace vector_test;

class SquareTest : public VariantSetTest {};

TEST_P(SquareTest, ClosedFormValues) {
  const float inf = std::numeric_limits<float>::infinity();
  // Repeated over 21 elements so that each value meets head, block and tail.
  const float in[] = {-3.0f, 0.5f, -0.0f, 0x1p64f, 0x1p-80f, 0x1p-70f, -inf};
  const float want[] = {9.0f, 0.25f, 0.0f, inf, 0.0f, 0x1p-140f, inf};
  std::vector<float> src(21), dst(21);
  for (int i = 0; i < 21; ++i) src[i] = in[i % 7];
  ASSERT_EQ(spSqrF32(src.data(), dst.data(), 21), spOk);
  ASSERT_EQ(spSqrInPlaceF32(src.data(), 21), spOk);
  for (int i = 0; i < 21; ++i) {
    EXPECT_EQ(Bits(dst[i]), Bits(want[i % 7])) << i;
    EXPECT_EQ(Bits(src[i]), Bits(want[i % 7])) << i;
  }
  std::vector<double> s64 = {-3.0, 0.5, -0.0, 0x1p600, 0x1p-600, 0x1p-520, 1e10, -7.0, 0.1};
  std::vector<double> d64(s64.size());
  ASSERT_EQ(spSqrF64(s64.data(), d64.data(), static_cast<int32_t>(s64.size())), spOk);
  const std::vector<double> w64 = {9.0,  0.25, 0.0,      std::numeric_limits<double>::infinity(), 0.0, 0x1p-1040,
                                   1e20, 49.0, 0.1 * 0.1};
  for (size_t i = 0; i < s64.size(); ++i) EXPECT_EQ(Bits(d64[i]), Bits(w64[i])) << i;
  EXPECT_TRUE(std::isnan([] {
    float x = std::numeric_limits<float>::quiet_NaN();
    spSqrInPlaceF32(&x, 1);
    return x;
  }()));
}

// Single-precision squares are exact in long double and rounded once;
// double squares are the IEEE double product.
template <class T>
void CheckSquares(int64_t n, int srcOffset, int dstOffset, bool inPlace) {
  const std::vector<T> xs = RandomValues<T>(n, static_cast<uint32_t>(n));
  PlacedArray<T> src(n, srcOffset), dst(n, dstOffset);
  src.Set(xs);
  const int32_t len = static_cast<int32_t>(n);
  spStatus status;
  if constexpr (sizeof(T) == 4) {
    status = inPlace ? spSqrInPlaceF32(src.data(), len) : spSqrF32(src.data(), dst.data(), len);
  } else {
    status = inPlace ? spSqrInPlaceF64(src.data(), len) : spSqrF64(src.data(), dst.data(), len);
  }
  ASSERT_EQ(status, spOk);
  const std::vector<T> got = inPlace ? src.Get() : dst.Get();
  for (int64_t i = 0; i < n; ++i) {
    const T want = sizeof(T) == 4 ? static_cast<T>(static_cast<long double>(xs[i]) * xs[i]) : xs[i] * xs[i];
    ASSERT_EQ(Bits(got[i]), Bits(want)) << "n=" << n << " offsets " << srcOffset << "/" << dstOffset << " i=" << i
                                        << (inPlace ? " in place" : "");
  }
  ASSERT_TRUE(src.GuardsIntact());
  ASSERT_TRUE(dst.GuardsIntact());
  if (!inPlace) {
    ASSERT_EQ(src.Get(), xs);
  }
}

TEST_P(SquareTest, ExactOverLengthsAndAlignments) {
  const int offsets[][2] = {{0, 0}, {4, 0}, {0, 4}, {8, 12}, {12, 8}, {4, 4}, {0, 1}, {2, 0}};
  std::vector<int64_t> lengths;
  for (int64_t n = 1; n <= 20; ++n) lengths.push_back(n);
  for (int64_t n : {31, 32, 33, 63, 64, 65, 1001}) lengths.push_back(n);  // around the short walk's end
  for (int64_t n : lengths) {
    for (const auto& o : offsets) {
      CheckSquares<float>(n, o[0], o[1], false);
      CheckSquares<double>(n, o[0], o[1], false);
    }
    for (int off : {0, 4, 8, 12}) {
      CheckSquares<float>(n, off, 0, true);
      CheckSquares<double>(n, off, 0, true);
    }
  }
}

TEST_P(SquareTest, RejectsNullPointersThenBadLengthsWithoutWriting) {
  float f[1] = {3};
  double d[1] = {3};
  EXPECT_EQ(spSqrF32(nullptr, f, 0), spErrNullPointer);
  EXPECT_EQ(spSqrF32(f, nullptr, 1), spErrNullPointer);
  EXPECT_EQ(spSqrF64(nullptr, d, 1), spErrNullPointer);
  EXPECT_EQ(spSqrF64(d, nullptr, -1), spErrNullPointer);
  EXPECT_EQ(spSqrInPlaceF32(nullptr, 0), spErrNullPointer);
  EXPECT_EQ(spSqrInPlaceF64(nullptr, 1), spErrNullPointer);
  EXPECT_EQ(spSqrF32(f, f, 0), spErrLength);
  EXPECT_EQ(spSqrF64(d, d, -3), spErrLength);
  EXPECT_EQ(spSqrInPlaceF32(f, 0), spErrLength);
  EXPECT_EQ(spSqrInPlaceF64(d, std::numeric_limits<int32_t>::min()), spErrLength);
  EXPECT_EQ(f[0], 3.0f);
  EXPECT_EQ(d[0], 3.0);
}

}  // namespace

SP_INSTANTIATE_FOR_ALL_SETS(SquareTest);
