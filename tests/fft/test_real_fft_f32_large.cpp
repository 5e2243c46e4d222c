// The single-precision real FFT's large-size path through the dispatch
// entries, in every set that runs it: the caller's work buffer at any
// offset, the plan's table and work sizes by the plan rules (the largest
// pass 2^32 bytes), the plan's tables where their values are exact, and
// (opt-in, VANTREL_LARGE_TESTS=1) orders 23 to 30. The cases both
// precisions share are in test_real_fft_large.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "fft/real_fft_large.h"
#include "fft/real_fft_reference.h"
#include "primitives/fft/real_fft_f32_kernels.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/dispatch.h"
#include "support/alloc_failure.h"
#include "support/available_memory.h"
#include "support/dft_reference.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

constexpr decltype(&sp_generic::spkFftPlanSizeF32_Generic) kPlanSize[] = SP_VARIANT_TABLE(spkFftPlanSizeF32);
const float kNaN = std::numeric_limits<float>::quiet_NaN();

using Spec = SpecOf<float>;

class RealFftF32LargeTest : public VariantSetTest {};

// Opt-in, outside CI: orders 23 to 30, among them the two-level plans
// (generic and SSE from order 24). An order the machine's free memory
// cannot hold is skipped with the rest (order 28 needs about 18 GiB).
// VANTREL_LARGE_TESTS_MAX_ORDER stops earlier on a machine others share.
TEST_P(RealFftF32LargeTest, OrdersTwentyThreeToThirty) {
  if (!LargeTestsWanted()) GTEST_SKIP() << "set VANTREL_LARGE_TESTS=1 to run";
  const char* limit = std::getenv("VANTREL_LARGE_TESTS_MAX_ORDER");
  const int last = limit != nullptr ? std::atoi(limit) : 30;
  for (int order = 23; order <= last; ++order) {
    // The checks hold about 64 bytes per point (seven float arrays, three
    // long-double ones) and the spec about 8: order 28 needs some 18 GiB.
    if (AvailableMemoryBytes() < 72 * Points(order))
      GTEST_SKIP() << "order " << order << " needs about " << 72 * Points(order) << " bytes";
    CheckLargeOrder<float>(order, SetIndex());
  }
}

// A caller's work buffer at any byte offset is used from its first 16-byte
// boundary for exactly the spec's work bytes: the same bits as without
// one, the guard after it untouched.
TEST_P(RealFftF32LargeTest, CallersWorkBuffer) {
  const int order = 20;
  const LargeReference<float>& ref = LargeReferenceOf<float>(order);
  Spec spec(order, REALFFT_DIV_BY_SQRT_N);
  ASSERT_EQ(spec.status, spOk);
  ASSERT_GT(spec.p->workBytes, 0);
  const auto base = PlacedForward(spec.p, ref.x), back = PlacedInverse(spec.p, ref.packed);
  std::vector<uint8_t> storage(spec.p->workBytes + 64);
  for (int offset : {0, 4, 8, 12, 15}) {
    SCOPED_TRACE(testing::Message() << "offset " << offset);
    uint8_t* raw = storage.data();
    while ((reinterpret_cast<uintptr_t>(raw) & 15) != 0) ++raw;
    uint8_t* work = raw + offset;
    uint8_t* end = raw + ((offset + 15) & ~15) + spec.p->workBytes;
    std::fill(storage.begin(), storage.end(), uint8_t{0xA5});
    std::vector<float> out(Packed(order)), again(Points(order));
    ASSERT_EQ(spRealFftFwdF32(ref.x.data(), out.data(), spec.p, work), spOk);
    EXPECT_EQ(out, base);
    ASSERT_EQ(spRealFftInvF32(ref.packed.data(), again.data(), spec.p, work), spOk);
    EXPECT_EQ(again, back);
    for (uint8_t* g = end; g < end + 16; ++g) ASSERT_EQ(*g, 0xA5);
  }
}

// Table and work sizes by the plan rules, hand-evaluated from the split and
// block exponent tables; every set reports its own plan's sizes even where
// it does not run the path yet.
TEST(RealFftF32LargePlan, TableAndWorkSizes) {
  struct Case {
    int set;
    int32_t m;
    int64_t table, work;
  };
  const Case cases[] = {
      {SP_SET_GENERIC, 11, 12304, 0},  // blocked: order-10 table and 2^11/4 subsampled values
      {SP_SET_GENERIC, 13, 2064 + 272 + 65536, 1024},
      {SP_SET_GENERIC, 21, 8208 + 4096 + 8208 + 16777216, 32768},  // blocked rows
      {SP_SET_GENERIC, 23, 67376176, 8192},                        // two levels
      {SP_SET_GENERIC, 29, 4112 + 8208 + 4194304 + 8208 + 4294967296, 32768},
      {SP_SET_SSE, 11, 16400, 8192},
      {SP_SET_SSE, 13, 67872, 2048},
      {SP_SET_SSE2, 19, 131088 + 4194304, 131072},            // odd k1
      {SP_SET_SSE2, 24, 32784 + 524288 + 134217728, 131072},  // two levels
      {SP_SET_SSE3, 17, 131088 + 1048576, 131072},
      {SP_SET_SSSE3, 18, 2228240, 131072},
      {SP_SET_SSSE3, 25, 1048592 + 268435456, 1048576},
  };
  for (const Case& c : cases) {
    int64_t table = -1, work = -1;
    kPlanSize[c.set](c.m, &table, &work);
    EXPECT_EQ(table, c.table) << "set " << c.set << " m " << c.m;
    EXPECT_EQ(work, c.work) << "set " << c.set << " m " << c.m;
  }
}

// The spec carries the plan's tables (its work size is checked apart): the
// blocked plan only the base and subsampled tables, one level its column
// tables; the first row and the first column of a twiddle-multiply table
// hold exactly (1, 0).
TEST_P(RealFftF32LargeTest, SpecCarriesThePlan) {
  for (int order = FirstLargeOrder<float>(SetIndex()); order <= 22; ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    Spec spec(order, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk);
    EXPECT_NE(spec.p->twiddles, nullptr);
    EXPECT_EQ(spec.p->rowTwiddles[1], nullptr);
    EXPECT_EQ(spec.p->multiplyTables[1], nullptr);
    const bool perLevelTables = SetIndex() <= SP_SET_SSE;
    if (perLevelTables && order <= 13) {  // blocked
      EXPECT_NE(spec.p->subsampledTwiddles, nullptr);
      EXPECT_EQ(spec.p->multiplyTables[0], nullptr);
      continue;
    }
    ASSERT_NE(spec.p->multiplyTables[0], nullptr);
    if (!perLevelTables) continue;
    // Value v of a 4-value record: interleaved (generic) or split (SSE).
    const auto* factors = static_cast<const float*>(spec.p->multiplyTables[0]);
    auto re = [&](int64_t record, int v) { return factors[8 * record + (SetIndex() == SP_SET_SSE ? v : 2 * v)]; };
    auto im = [&](int64_t record, int v) {
      return factors[8 * record + (SetIndex() == SP_SET_SSE ? 4 + v : 2 * v + 1)];
    };
    const int k1 = order - 1 <= 16 ? order - 9 : order - 1 <= 18 ? 8 : 10;
    const int64_t rows = Points(k1), groups = Points(order - 1 - k1) / 4;
    for (int64_t g = 0; g < groups; ++g)
      for (int v = 0; v < 4; ++v) {  // row 0 of every column
        ASSERT_EQ(re(g * rows, v), 1.0f);
        ASSERT_EQ(im(g * rows, v), 0.0f);
      }
    for (int64_t j = 0; j < rows; ++j) {  // column 0 of every row
      ASSERT_EQ(re(j, 0), 1.0f);
      ASSERT_EQ(im(j, 0), 0.0f);
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF32LargeTest);

}  // namespace
