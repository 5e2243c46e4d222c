// The prepared transforms a freed handle leaves for the next one: only a
// handle asking for the same order, precision and set gets one, a bounded
// number is kept, large ones are not, and a kept spec still transforms
// right, in the scratch its last handle kept.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibRealFft.h"
#include "Mathlib/MathlibRealFftPool.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/dispatch.h"
#include "primitives/frame/variant_seams.h"

namespace {

int32_t RunningSet() { return spDispatchIndex.load(std::memory_order_relaxed); }

// A handle's spec after one forward transform of 2^order points, the
// handle then freed; `out` takes the packed spectrum of an impulse at 1.
REALFFTSPEC* SpecOfOneTransform(int32_t order, int32_t bits, std::vector<double>* out = nullptr) {
  MathlibHandle* h = MathlibInit();
  const size_t n = size_t(1) << order;
  REALFFTSPEC* spec = nullptr;
  if (bits == 64) {
    std::vector<double> x(n, 0.0), y(n + 2, 0.0);
    x[1] = 1.0;
    EXPECT_EQ(duvuvRealFftFwdF64(h, x.data(), y.data(), order, 1), 1);
    if (out != nullptr) *out = y;
  } else {
    std::vector<float> x(n, 0.0f), y(n + 2, 0.0f);
    EXPECT_EQ(duvuvRealFftFwdF32(h, x.data(), y.data(), order, 1), 1);
  }
  spec = h->cache->spec;
  MathlibFree(&h);
  return spec;
}

}  // namespace

TEST(MathlibRealFftPool, AFreedHandlesSpecServesTheNextOfItsKeyAndStillTransformsRight) {
  MathlibReleaseParkedRealFfts();
  const int64_t live = spLiveAllocations();
  REALFFTSPEC* const first = SpecOfOneTransform(8, 64);
  // The same key takes it back; the spectrum of an impulse at 1 is e^(-2 pi i k / N).
  std::vector<double> spectrum;
  EXPECT_EQ(SpecOfOneTransform(8, 64, &spectrum), first);
  for (int k = 0; k <= 128; ++k) {
    const long double angle = -2.0L * std::numbers::pi_v<long double> * k / 256.0L;
    EXPECT_NEAR(spectrum[2 * k], double(std::cos(angle)), 1e-14) << k;
    EXPECT_NEAR(spectrum[2 * k + 1], double(std::sin(angle)), 1e-14) << k;
  }
  // Another precision or order is not served by it.
  EXPECT_NE(SpecOfOneTransform(8, 32), first);
  EXPECT_NE(MathlibTakeParkedRealFft(9, 64, RunningSet()), first);
  // Nor another set.
  for (int32_t other = 0; other < kSpVariantSetCount; ++other) {
    if (other == RunningSet() || !spVariantSetSupported(other)) continue;
    EXPECT_EQ(MathlibTakeParkedRealFft(8, 64, other), nullptr) << other;
  }
  MathlibReleaseParkedRealFfts();
  EXPECT_EQ(spLiveAllocations(), live);
}

TEST(MathlibRealFftPool, KeepsTheNewestFewAndNoneAboveTheLargestKeptOrder) {
  MathlibReleaseParkedRealFfts();
  const int64_t live = spLiveAllocations();
  // A spec above the kept orders goes back at once.
  SpecOfOneTransform(kMathlibLargestParkedOrder + 1, 32);
  EXPECT_EQ(spLiveAllocations(), live);
  // One more than are kept: the oldest goes.
  for (int32_t order = 2; order < 2 + kMathlibParkedSpecs + 1; ++order) SpecOfOneTransform(order, 64);
  EXPECT_EQ(MathlibTakeParkedRealFft(2, 64, RunningSet()), nullptr);
  for (int32_t order = 3; order < 2 + kMathlibParkedSpecs + 1; ++order) {
    REALFFTSPEC* spec = MathlibTakeParkedRealFft(order, 64, RunningSet());
    EXPECT_NE(spec, nullptr) << order;
    MathlibParkRealFft(spec, order, 64, RunningSet());
  }
  MathlibReleaseParkedRealFfts();
  EXPECT_EQ(spLiveAllocations(), live);
}

// The scratch a handle ran its spec in is parked with it: the next handle
// of the key takes neither a spec nor scratch, and runs in pages already
// touched.
TEST(MathlibRealFftPool, AParkedSpecKeepsItsScratch) {
  MathlibReleaseParkedRealFfts();
  const int64_t live = spLiveAllocations();
  std::vector<double> x(1024, 1.0), y(1026);
  MathlibHandle* h = MathlibInit();
  ASSERT_EQ(duvuvRealFftFwdF64(h, x.data(), y.data(), 10, 1), 1);
  uint8_t* const work = h->cache->work;
  const bool needsScratch = h->cache->spec->workBytes > 0;
  MathlibFree(&h);
  if (!needsScratch) GTEST_SKIP() << "the running set's transform needs no scratch";

  h = MathlibInit();
  const int64_t requests = spAllocationRequests();
  ASSERT_EQ(duvuvRealFftFwdF64(h, x.data(), y.data(), 10, 1), 1);
  EXPECT_EQ(spAllocationRequests() - requests, 1);  // the cache record
  EXPECT_EQ(h->cache->work, work);
  EXPECT_EQ(y[0], 1024.0);
  MathlibFree(&h);
  MathlibReleaseParkedRealFfts();
  EXPECT_EQ(spLiveAllocations(), live);
}
