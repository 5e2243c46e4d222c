// The DC blocker kernel in every variant set: each lane's outputs and final
// state have the bits of the block-form steps written out plainly, at
// lengths around the four-sample blocks, in place, from every phase (the
// four lanes at one phase, and at mixed ones), with samples and states that
// round; and a lane split between calls gives the bits of one call.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "primitives/fir/dc_block_kernels.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using vector_test::Bits;

using DcBlockFn = void (*)(SpkDcBlockLane*, int32_t, int64_t);
const DcBlockFn kDcBlock[] = SP_VARIANT_TABLE(spkDcBlockLanesF32);

using DcBlockKernelTest = VariantSetTest;

// The steps of the kernel's header, one sample at a time.
void Reference(SpkDcBlockLane& l, const std::vector<float>& src, std::vector<float>& dst) {
  float powers[4] = {l.pole, 0, 0, 0};
  for (int j = 1; j < 4; ++j) powers[j] = powers[j - 1] * l.pole;
  for (size_t i = 0; i < src.size(); ++i) {
    const float d = src[i] - l.prevInput;
    l.partial = l.phase == 0 ? d : d + l.pole * l.partial;
    const float w = l.partial + powers[l.phase] * l.blockState;
    dst[i] = l.gain * w;
    l.prevInput = src[i];
    if (++l.phase == 4) {
      l.phase = 0;
      l.blockState = w;
    }
  }
}

TEST_P(DcBlockKernelTest, EveryLaneFollowsTheBlockFormSteps) {
  const float pole[4] = {0.9997382f, 0.5f, 0.99f, 0.0f};
  const float gain[4] = {1.0f, 0.3f, 1.7f, -2.0f};
  const int32_t phases[][4] = {{0, 0, 0, 0}, {2, 2, 2, 2}, {3, 3, 3, 3}, {0, 1, 2, 3}};
  for (int32_t count : {4, 3, 1}) {
    for (const auto& phase : phases) {
      for (int64_t n : {0, 1, 3, 4, 7, 8, 33}) {
        for (bool inPlace : {false, true}) {
          SCOPED_TRACE(testing::Message() << count << " lanes, phase " << phase[0] << phase[1] << ", n " << n
                                          << (inPlace ? " in place" : ""));
          std::vector<float> src[4], dst[4], want[4];
          SpkDcBlockLane lanes[4], expected[4];
          for (int lane = 0; lane < count; ++lane) {
            for (int64_t i = 0; i < n; ++i) src[lane].push_back(float((i * 37 + lane * 11) % 29) * 1000.3f - 14000.0f);
            dst[lane] = inPlace ? src[lane] : std::vector<float>(n, -1.0f);
            want[lane] = std::vector<float>(n);
            lanes[lane] = {inPlace ? dst[lane].data() : src[lane].data(),
                           dst[lane].data(),
                           pole[lane],
                           gain[lane],
                           100.1f * float(lane),
                           -7.7f * float(lane) + 0.3f,
                           3.3f * float(lane) - 1.1f,
                           phase[lane]};
            expected[lane] = lanes[lane];
            Reference(expected[lane], src[lane], want[lane]);
          }
          kDcBlock[SetIndex()](lanes, count, n);
          for (int lane = 0; lane < count; ++lane) {
            for (int64_t i = 0; i < n; ++i) EXPECT_EQ(Bits(dst[lane][i]), Bits(want[lane][i])) << lane << " " << i;
            EXPECT_EQ(Bits(lanes[lane].prevInput), Bits(expected[lane].prevInput)) << lane;
            EXPECT_EQ(Bits(lanes[lane].blockState), Bits(expected[lane].blockState)) << lane;
            EXPECT_EQ(Bits(lanes[lane].partial), Bits(expected[lane].partial)) << lane;
            EXPECT_EQ(lanes[lane].phase, expected[lane].phase) << lane;
          }
        }
      }
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(DcBlockKernelTest);

}  // namespace
