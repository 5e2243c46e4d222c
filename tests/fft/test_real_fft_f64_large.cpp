// The double real FFT's large-size path through the dispatch entries, in
// every variant set: the folded bit reversal against the unfolded path at
// both row radices, the plan block and work sizes of the plan rules,
// threads sharing one spec of the front end's default order, and (opt-in,
// VANTREL_LARGE_TESTS=1) orders 24 to 30. The cases both precisions share
// are in test_real_fft_large.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <thread>
#include <vector>

#include "fft/real_fft_large.h"
#include "fft/real_fft_reference.h"
#include "primitives/fft/real_fft_f64_kernels.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/dispatch.h"
#include "support/alloc_failure.h"
#include "support/available_memory.h"
#include "support/dft_reference.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

constexpr decltype(&sp_generic::spkFftPlanSizeF64_Generic) kPlanSize[] = SP_VARIANT_TABLE(spkFftPlanSizeF64);
const double kNaN = std::numeric_limits<double>::quiet_NaN();

using Spec = SpecOf<double>;

class RealFftF64LargeTest : public VariantSetTest {};

// Into an aligned destination the SIMD sets fold the bit reversal into the
// rows' first butterflies (from the source, or in place by block pairs);
// 8 bytes off a boundary they copy or permute first. Both give the same
// bits, for rows of radix-4 and radix-8 first stages (SSSE3: 2^10 rows at
// 17, 2^14 at 19, 2^13 at 20; SSE2: 2^12, 2^13, 2^13), in both directions.
TEST_P(RealFftF64LargeTest, FoldedBitReversalGivesTheUnfoldedBits) {
  for (int order : {17, 19, 20}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const LargeReference<double>& ref = LargeReferenceOf<double>(order);
    Spec spec(order, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk);
    const auto forward = PlacedForward(spec.p, ref.x, false, 1), inverse = PlacedInverse(spec.p, ref.packed, false, 1);
    EXPECT_LE(MaxError(forward.data(), ref.forward, Packed(order)), Tolerance<double>(order, ref.forward));
    EXPECT_LE(MaxError(inverse.data(), ref.inverse, Points(order)), Tolerance<double>(order, ref.inverse));
    for (bool inPlace : {false, true}) {
      SCOPED_TRACE(inPlace ? "in place" : "out of place");
      EXPECT_EQ(PlacedForward(spec.p, ref.x, inPlace, 0), forward);
      EXPECT_EQ(PlacedInverse(spec.p, ref.packed, inPlace, 0), inverse);
    }
    EXPECT_EQ(PlacedForward(spec.p, ref.x, true, 1), forward);
  }
}

// The top orders with one data buffer: a cosine at bin b (closed form: N/2
// at b, all else 0), spot bins and Parseval, then the scaled inverse back to
// the cosine. A spec build that cannot get its memory gives -9.
void CheckTopOrder(int order) {
  SCOPED_TRACE(testing::Message() << "order " << order);
  const int64_t n = Points(order);
  // The spec takes about 19 N bytes (plan 8 N, split tables 8 N, bit
  // reversal N, sine 2 N during the build), the data 8 N.
  if (AvailableMemoryBytes() < 28 * n) GTEST_SKIP() << "order " << order << " needs about " << 28 * n << " bytes";
  std::vector<double> data(Packed(order));
  Spec spec(order, REALFFT_DIV_INV_BY_N);
  if (spec.status == spErrNoMemory) GTEST_SKIP() << "spec build of order " << order << " gave -9";
  ASSERT_EQ(spec.status, spOk);
  const int64_t bin = n / 3;
  auto tone = [&](int64_t t) { return std::cos(2 * std::numbers::pi * static_cast<double>((bin * t) % n) / n); };
  for (int64_t t = 0; t < n; ++t) data[t] = tone(t);
  ASSERT_EQ(spRealFftFwdF64(data.data(), data.data(), spec.p, nullptr), spOk);
  const double half = static_cast<double>(n / 2), tolerance = 1e-9 * half;
  EXPECT_NEAR(data[2 * bin], half, tolerance);
  EXPECT_NEAR(data[2 * bin + 1], 0.0, tolerance);
  for (int64_t k : {int64_t{0}, int64_t{1}, bin - 1, bin + 1, n / 4, n / 2 - 1, n / 2}) {
    EXPECT_NEAR(data[2 * k], 0.0, tolerance) << "bin " << k;
    EXPECT_NEAR(data[2 * k + 1], 0.0, tolerance) << "bin " << k;
  }
  long double spectral = 0;
  for (int64_t k = 0; k <= n / 2; ++k)
    spectral += (k == 0 || k == n / 2 ? 1 : 2) * (static_cast<long double>(data[2 * k]) * data[2 * k] +
                                                  static_cast<long double>(data[2 * k + 1]) * data[2 * k + 1]);
  EXPECT_NEAR(static_cast<double>(spectral / n), half, 1e-9 * half);  // sum of cos^2 = N/2
  ASSERT_EQ(spRealFftInvF64(data.data(), data.data(), spec.p, nullptr), spOk);
  double worst = 0;
  for (int64_t t = 0; t < n; ++t) worst = std::max(worst, std::fabs(data[t] - tone(t)));
  EXPECT_LE(worst, 1e-12);
}

// Opt-in, outside CI: orders 24 to 26 as above, 27 to 30 with one buffer
// (order 30 needs about 27 GiB; an order the machine cannot hold is skipped
// rather than pushed into swap).
TEST_P(RealFftF64LargeTest, OrdersTwentyFourToThirty) {
  if (!LargeTestsWanted()) GTEST_SKIP() << "set VANTREL_LARGE_TESTS=1 to run";
  for (int order = 24; order <= 26; ++order) CheckLargeOrder<double>(order, SetIndex());
  for (int order = 27; order <= 30; ++order) CheckTopOrder(order);
}

// Plan block and work sizes by the plan rules, from the split and block
// exponent tables (hand-evaluated; the largest pass 2^32 bytes).
TEST_P(RealFftF64LargeTest, PlanAndWorkSizes) {
  struct Case {
    int32_t m;
    int64_t blockBytes, workBytes;
  };
  std::vector<Case> cases;
  switch (SetIndex()) {
    case SP_SET_GENERIC:
    case SP_SET_SSE:
      cases = {{10, 12304, 0},
               {11, 16400, 0},
               {12, 4112 + 65808, 1024},
               {19, 12304 + 8396816, 32768},
               {29, 16400 + 16785424 + 8589942800, 32768}};
      break;
    case SP_SET_SSE2:
      cases = {{14, 16400 + 262144, 16384},
               {22, 131088 + 4194304 + 67108864, 131072},
               {29, 131088 + 33554432 + 8589934592, 131072}};
      break;
    default:
      cases = {{15, 8208 + 524288, 32768},
               {23, 8208 + 524288 + 134217728, 262144},
               {29, 131088 + 33554432 + 8589934592, 262144}};
  }
  for (const Case& c : cases) {
    int64_t block = -1, work = -1;
    kPlanSize[SetIndex()](c.m, &block, &work);
    EXPECT_EQ(block, c.blockBytes) << "m " << c.m;
    EXPECT_EQ(work, c.workBytes) << "m " << c.m;
    // The spec records the same hand-evaluated work size.
    if (c.m > 19) continue;
    Spec spec(c.m + 1, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk);
    EXPECT_EQ(spec.p->workBytes, c.workBytes) << "order " << c.m + 1;
  }
  for (int order = FirstLargeOrder<double>(SetIndex()); order <= 20; ++order) {
    Spec spec(order, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk);
    EXPECT_NE(spec.p->twiddles, nullptr);
    // The blocked plan (generic and SSE, complex orders 10 and 11) has the
    // subsampled list and no levels; the SIMD sets no column-transform
    // tables.
    const bool blocked = SetIndex() <= SP_SET_SSE && order <= 12;
    EXPECT_EQ(spec.p->subsampledTwiddles != nullptr,
              blocked || (SetIndex() <= SP_SET_SSE && order >= 20 && order <= 21));
    EXPECT_EQ(spec.p->multiplyTables[0] != nullptr, !blocked);
    EXPECT_EQ(spec.p->rowTwiddles[0] != nullptr, !blocked && SetIndex() <= SP_SET_SSE);
  }
}

// Threads share one spec of the default order, each with its own data and
// scratch (or none): every result is the single-thread one bit for bit.
TEST_P(RealFftF64LargeTest, ThreadsSharingOneSpec) {
  constexpr int kOrder = 16, kThreads = 4;
  Spec spec(kOrder, REALFFT_DIV_BY_SQRT_N);
  ASSERT_EQ(spec.status, spOk);
  const LargeReference<double>& ref = LargeReferenceOf<double>(kOrder);
  const auto wantForward = PlacedForward(spec.p, ref.x), wantInverse = PlacedInverse(spec.p, ref.packed);
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      std::vector<uint8_t> work(spec.p->workBytes + 15 + t);
      uint8_t* scratch = t % 2 ? work.data() + t : nullptr;
      for (int round = 0; round < 5; ++round) {
        std::vector<double> f(Packed(kOrder)), b(Points(kOrder));
        spRealFftFwdF64(ref.x.data(), f.data(), spec.p, scratch);
        spRealFftInvF64(ref.packed.data(), b.data(), spec.p, scratch);
        if (f != wantForward || b != wantInverse) ++mismatches[t];
      }
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF64LargeTest);

}  // namespace
