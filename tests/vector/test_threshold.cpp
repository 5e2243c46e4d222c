// Threshold in place under every variant set: clip above (relation 4) and
// below (every other relation) against ordered references over lengths,
// alignments and levels of both signs; the generic set's NaN and equal-
// element rules; argument errors.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "primitives/vector/sp_threshold.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

namespace {

using namespace vector_test;

class ThresholdTest : public VariantSetTest {};

TEST_P(ThresholdTest, ClipsAboveForRelationFourAndBelowForAnyOther) {
  for (int32_t relation : {4, 0, 1, 2, 3, 5, -1}) {
    float f[] = {0.5f, 2.0f, -3.0f};
    double d[] = {0.5, 2.0, -3.0};
    ASSERT_EQ(spThresholdInPlaceF32(f, 3, 1.0f, relation), spOk);
    ASSERT_EQ(spThresholdInPlaceF64(d, 3, 1.0, relation), spOk);
    const std::vector<double> want = relation == 4 ? std::vector<double>{0.5, 1, -3} : std::vector<double>{1, 2, 1};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(f[i], want[i]) << "relation " << relation;
      EXPECT_EQ(d[i], want[i]) << "relation " << relation;
    }
  }
}

template <class T>
void CheckClip(int64_t n, int offset, T level, int32_t relation) {
  std::vector<T> xs = RandomValues<T>(n, static_cast<uint32_t>(n + offset));
  for (int64_t i = 0; i < n; i += 5) xs[i] = level;  // equal elements stay
  PlacedArray<T> data(n, offset);
  data.Set(xs);
  if constexpr (sizeof(T) == 4) {
    ASSERT_EQ(spThresholdInPlaceF32(data.data(), static_cast<int32_t>(n), level, relation), spOk);
  } else {
    ASSERT_EQ(spThresholdInPlaceF64(data.data(), static_cast<int32_t>(n), level, relation), spOk);
  }
  const std::vector<T> got = data.Get();
  for (int64_t i = 0; i < n; ++i) {
    const T want = relation == 4 ? (xs[i] > level ? level : xs[i]) : (xs[i] < level ? level : xs[i]);
    ASSERT_EQ(Bits(got[i]), Bits(want)) << "n=" << n << " offset " << offset << " level " << level << " relation "
                                        << relation << " i=" << i;
  }
  ASSERT_TRUE(data.GuardsIntact());
}

TEST_P(ThresholdTest, MatchesOrderedClipOverLengthsAlignmentsAndLevels) {
  for (int64_t n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 16, 17, 19, 23, 31, 64, 1003})
    for (int32_t relation : {4, 0})
      for (double level : {0.3, -0.7, 0.0, 1e6, -1e6}) {
        for (int off : {0, 4, 8, 12, 1}) CheckClip<float>(n, off, static_cast<float>(level), relation);
        for (int off : {0, 8, 4}) CheckClip<double>(n, off, level, relation);
      }
}

TEST_P(ThresholdTest, GenericReplacesNaNOnlyWhenClippingAboveAndKeepsEqualZeros) {
  if (SetIndex() != SP_SET_GENERIC) GTEST_SKIP() << "the SIMD sets store what their min/max instructions give";
  const float nan = std::numeric_limits<float>::quiet_NaN();
  float above[] = {nan, -0.0f, 5.0f};
  ASSERT_EQ(spThresholdInPlaceF32(above, 3, 0.0f, 4), spOk);
  EXPECT_EQ(Bits(above[0]), Bits(0.0f));
  EXPECT_EQ(Bits(above[1]), Bits(-0.0f));
  EXPECT_EQ(Bits(above[2]), Bits(0.0f));
  float below[] = {nan, -0.0f, -5.0f};
  ASSERT_EQ(spThresholdInPlaceF32(below, 3, 0.0f, 0), spOk);
  EXPECT_TRUE(std::isnan(below[0]));
  EXPECT_EQ(Bits(below[1]), Bits(-0.0f));
  EXPECT_EQ(Bits(below[2]), Bits(0.0f));
  double d[] = {std::numeric_limits<double>::quiet_NaN(), 2.0};
  ASSERT_EQ(spThresholdInPlaceF64(d, 2, 1.0, 4), spOk);
  EXPECT_EQ(d[0], 1.0);
  EXPECT_EQ(d[1], 1.0);
  float nanLevel[] = {1.0f, -1.0f};
  ASSERT_EQ(spThresholdInPlaceF32(nanLevel, 2, nan, 0), spOk);
  EXPECT_EQ(nanLevel[0], 1.0f);
  ASSERT_EQ(spThresholdInPlaceF32(nanLevel, 2, nan, 4), spOk);
  EXPECT_TRUE(std::isnan(nanLevel[0]) && std::isnan(nanLevel[1]));
}

TEST_P(ThresholdTest, RejectsNullPointerThenBadLengthWithoutWriting) {
  float f[1] = {5};
  double d[1] = {5};
  EXPECT_EQ(spThresholdInPlaceF32(nullptr, 0, 1.0f, 4), spErrNullPointer);
  EXPECT_EQ(spThresholdInPlaceF64(nullptr, 1, 1.0, 0), spErrNullPointer);
  EXPECT_EQ(spThresholdInPlaceF32(f, 0, 1.0f, 4), spErrLength);
  EXPECT_EQ(spThresholdInPlaceF64(d, -1, 1.0, 4), spErrLength);
  EXPECT_EQ(f[0], 5.0f);
  EXPECT_EQ(d[0], 5.0);
}

}  // namespace

SP_INSTANTIATE_FOR_ALL_SETS(ThresholdTest);
