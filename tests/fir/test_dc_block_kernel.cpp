// The four-lane DC blocker in every variant set: each lane's outputs and
// final state have the bits of the plain recurrence, at lengths around the
// four-sample steps, in place, with samples and states that round.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "primitives/fir/dc_block_kernels.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using vector_test::Bits;

using DcBlockFn = void (*)(const float* const[4], float* const[4], const float[4], const float[4], float[4], float[4],
                           int64_t);
const DcBlockFn kDcBlock[] = SP_VARIANT_TABLE(spkDcBlockFourLanesF32);

using DcBlockKernelTest = VariantSetTest;

TEST_P(DcBlockKernelTest, EveryLaneFollowsThePlainRecurrence) {
  const float pole[4] = {0.9997382f, 0.5f, 0.99f, 0.0f};
  const float gain[4] = {1.0f, 0.3f, 1.7f, -2.0f};
  for (int64_t n : {0, 1, 3, 4, 7, 8, 33}) {
    for (bool inPlace : {false, true}) {
      SCOPED_TRACE(testing::Message() << "n " << n << (inPlace ? " in place" : ""));
      std::vector<float> src[4], dst[4];
      float prevInput[4], prevState[4];
      for (int lane = 0; lane < 4; ++lane) {
        for (int64_t i = 0; i < n; ++i) src[lane].push_back(float((i * 37 + lane * 11) % 29) * 1000.3f - 14000.0f);
        dst[lane] = inPlace ? src[lane] : std::vector<float>(n, -1.0f);
        prevInput[lane] = 100.1f * float(lane);
        prevState[lane] = -7.7f * float(lane);
      }
      const float* in[4];
      float* out[4];
      for (int lane = 0; lane < 4; ++lane) {
        in[lane] = inPlace ? dst[lane].data() : src[lane].data();
        out[lane] = dst[lane].data();
      }
      float wantInput[4], wantState[4];
      std::vector<float> want[4];
      for (int lane = 0; lane < 4; ++lane) {
        float last = prevInput[lane], state = prevState[lane];
        for (int64_t i = 0; i < n; ++i) {
          const float w = src[lane][i] - last + pole[lane] * state;
          want[lane].push_back(gain[lane] * w);
          last = src[lane][i];
          state = w;
        }
        wantInput[lane] = last;
        wantState[lane] = state;
      }
      kDcBlock[SetIndex()](in, out, pole, gain, prevInput, prevState, n);
      for (int lane = 0; lane < 4; ++lane) {
        for (int64_t i = 0; i < n; ++i) EXPECT_EQ(Bits(dst[lane][i]), Bits(want[lane][i])) << lane << " " << i;
        EXPECT_EQ(Bits(prevInput[lane]), Bits(wantInput[lane])) << lane;
        EXPECT_EQ(Bits(prevState[lane]), Bits(wantState[lane])) << lane;
      }
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(DcBlockKernelTest);

}  // namespace
