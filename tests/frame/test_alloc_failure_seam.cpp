// The allocators' failure seam under every set: exactly the armed request
// fails, once, and the counts follow the blocks handed out and released.
#include <gtest/gtest.h>

#include <vector>

#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/sp_memory.h"
#include "support/variant_sets.h"

namespace {

class AllocFailureSeamTest : public VariantSetTest {};

TEST_P(AllocFailureSeamTest, FailsTheArmedRequestOnceAndCountsBlocks) {
  using Allocate = void* (*)();
  const Allocate allocators[] = {
      [] { return spAlignedAlloc(100); },
      [] { return static_cast<void*>(spAlignedAllocF32(25)); },
      [] { return static_cast<void*>(spAlignedAllocF64(13)); },
  };
  for (Allocate allocate : allocators) {
    const int64_t live = spLiveAllocations();
    const int64_t requests = spAllocationRequests();
    spFailNthAllocation(3);
    std::vector<void*> blocks;
    for (int i = 0; i < 4; ++i) blocks.push_back(allocate());
    EXPECT_FALSE(spAllocationFailurePending());
    EXPECT_NE(blocks[0], nullptr);
    EXPECT_NE(blocks[1], nullptr);
    EXPECT_EQ(blocks[2], nullptr);
    EXPECT_NE(blocks[3], nullptr);
    EXPECT_EQ(spAllocationRequests() - requests, 4);
    EXPECT_EQ(spLiveAllocations() - live, 3);
    for (void* b : blocks) spAlignedFree(b);
    EXPECT_EQ(spLiveAllocations(), live);
  }

  // Disarming, and requests refused for their size, which take no memory.
  spFailNthAllocation(1);
  EXPECT_TRUE(spAllocationFailurePending());
  spFailNthAllocation(0);
  EXPECT_FALSE(spAllocationFailurePending());
  const int64_t requests = spAllocationRequests();
  EXPECT_EQ(spAlignedAlloc(0), nullptr);
  EXPECT_EQ(spAlignedAllocF32(-1), nullptr);
  EXPECT_EQ(spAllocationRequests(), requests);
}

SP_INSTANTIATE_FOR_ALL_SETS(AllocFailureSeamTest);

}  // namespace
