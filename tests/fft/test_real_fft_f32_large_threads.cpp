// Threads sharing one single-precision spec of the large-size path (order
// 20, large in every set), each with its own data and its own work buffer
// or none: every result is the single-thread one bit for bit, so the
// transforms write nothing into the shared spec and share no scratch.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "fft/real_fft_reference.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

class RealFftF32LargeThreadsTest : public VariantSetTest {};

TEST_P(RealFftF32LargeThreadsTest, ThreadsShareOneLargeSpec) {
  constexpr int kOrder = 20, kThreads = 4, kRounds = 3;
  constexpr int64_t kN = int64_t{1} << kOrder;
  SpecOf<float> spec(kOrder, REALFFT_DIV_BY_SQRT_N);
  ASSERT_EQ(spec.status, spOk);
  ASSERT_GT(spec.p->workBytes, 0);
  const auto x = RandomValues<float>(kN, 31);
  const auto packed = RandomValues<float>(kN + 2, 32);
  std::vector<float> wantForward(kN + 2), wantInverse(kN);
  ASSERT_EQ(spRealFftFwdF32(x.data(), wantForward.data(), spec.p, nullptr), spOk);
  ASSERT_EQ(spRealFftInvF32(packed.data(), wantInverse.data(), spec.p, nullptr), spOk);
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      std::vector<uint8_t> work(spec.p->workBytes + 16 + t);
      uint8_t* scratch = t % 2 ? work.data() + t : nullptr;
      std::vector<float> f(kN + 2), b(kN);
      for (int round = 0; round < kRounds; ++round) {
        if (spRealFftFwdF32(x.data(), f.data(), spec.p, scratch) != spOk || f != wantForward) ++mismatches[t];
        if (spRealFftInvF32(packed.data(), b.data(), spec.p, scratch) != spOk || b != wantInverse) ++mismatches[t];
      }
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF32LargeThreadsTest);

}  // namespace
