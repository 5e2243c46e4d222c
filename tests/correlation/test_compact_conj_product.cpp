// The compact conjugate product at the lengths where a four-wide step and
// its tail meet, on arrays off every float boundary, in every set: each
// complex bin must come out as the set's own rounding of
// a * conj(b), and the two real bins as plain products.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "correlation_test_support.h"
#include "support/variant_sets.h"

namespace {

class CompactConjProductTest : public VariantSetTest {};

TEST_P(CompactConjProductTest, StepsAndTailsAtEveryOffset) {
  using K = corr_test::SetKernels<float>;
  const bool roundedOnce = SetIndex() == SP_SET_GENERIC || SetIndex() == SP_SET_SSE3;
  // Odd lengths have no Nyquist bin; pairs = 1, 2, 3, 4, 7 and 8.
  for (int32_t n : {3, 4, 5, 7, 9, 10, 15, 17, 18}) {
    for (int offset = 0; offset < 4; ++offset) {
      const auto a = corr_test::Signal<float>(n, 70 + n), b = corr_test::Signal<float>(n, 90 + n);
      std::vector<float> aBuf(n + 8, 0.0f), bBuf(n + 8, -7.0f);
      std::memcpy(aBuf.data() + offset, a.data(), n * sizeof(float));
      std::memcpy(bBuf.data() + offset, b.data(), n * sizeof(float));
      ASSERT_EQ(K::mulConj[SetIndex()](aBuf.data() + offset, bBuf.data() + offset, n), spOk);
      const float* got = bBuf.data() + offset;
      EXPECT_EQ(got[0], a[0] * b[0]);
      if (n % 2 == 0) {
        EXPECT_EQ(got[n - 1], a[n - 1] * b[n - 1]);
      }
      for (int32_t p = 1; p + 1 < n; p += 2) {
        const float are = a[p], aim = a[p + 1], bre = b[p], bim = b[p + 1];
        const float re =
            roundedOnce ? static_cast<float>(double{are} * bre + double{aim} * bim) : are * bre + aim * bim;
        const float im =
            roundedOnce ? static_cast<float>(double{aim} * bre - double{are} * bim) : aim * bre - are * bim;
        ASSERT_EQ(got[p], re) << "n " << n << " offset " << offset << " slot " << p;
        ASSERT_EQ(got[p + 1], im) << "n " << n << " offset " << offset << " slot " << p + 1;
      }
      for (int i = 0; i < offset; ++i) EXPECT_EQ(bBuf[i], -7.0f);              // nothing before the array
      for (int32_t i = offset + n; i < n + 8; ++i) EXPECT_EQ(bBuf[i], -7.0f);  // nor after it
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(CompactConjProductTest);

}  // namespace
