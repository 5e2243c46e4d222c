// Layout of a record's one block: slices on 32-byte boundaries after the
// record, 64-bit sizes, and a layout that refuses sizes it cannot hold
// instead of wrapping; the pages of a large record's block.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/page_blocks.h"
#include "primitives/frame/plan_record.h"
#include "primitives/frame/sp_memory.h"

TEST(PlanRecord, SlicesFollowTheRecordOnBoundaries) {
  spPlanLayout layout(200);
  EXPECT_EQ(layout.Reserve(3, 4), 224);
  EXPECT_EQ(layout.Reserve(0, 8), 256);  // an empty slice takes no room
  EXPECT_EQ(layout.Reserve(1, 1), 256);
  EXPECT_EQ(layout.Bytes(), 288);
  EXPECT_TRUE(layout.Usable());
}

TEST(PlanRecord, SizesBeyond32BitsAreKept) {
  spPlanLayout layout(64);
  // The split tables of order 30 in double precision: 2^28 complex doubles.
  EXPECT_EQ(layout.Reserve(int64_t{1} << 29, 8), 64);
  EXPECT_EQ(layout.Reserve(int64_t{1} << 29, 8), 64 + (int64_t{1} << 32));
  EXPECT_EQ(layout.Bytes(), 64 + (int64_t{1} << 33));
  EXPECT_TRUE(layout.Usable());
}

TEST(PlanRecord, OverflowAndNegativeCountsMakeTheLayoutUnusable) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  struct Case {
    int64_t count, itemBytes;
  };
  for (const Case& c : {Case{-1, 4}, Case{kMax / 4, 8}, Case{kMax - 40, 1}, Case{1, 0}}) {
    spPlanLayout layout(64);
    layout.Reserve(c.count, c.itemBytes);
    EXPECT_FALSE(layout.Usable()) << c.count << " x " << c.itemBytes;
    EXPECT_EQ(layout.Reserve(1, 1), 0) << "an unusable layout stays unusable";
    EXPECT_FALSE(layout.Usable());
  }
}

// A large record's block of pages of its own: zero, on a 64-byte boundary,
// counted and refusable through the allocators' seam like the aligned
// allocator's blocks, and told apart from those when it is given back.
TEST(PlanRecord, PagedBlocksAreZeroCountedRefusableAndToldApartFromAlignedOnes) {
  const int64_t live = spLiveAllocations();
  for (const int64_t bytes : {int64_t(SP_PAGE_BLOCK_HUGE_FROM), int64_t(3) << 20, (int64_t(2) << 20) - 64}) {
    SCOPED_TRACE(bytes);
    auto* block = static_cast<unsigned char*>(spkAllocPagedRecord(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 64, 0u);
    EXPECT_EQ(spLiveAllocations(), live + 1);
    int64_t nonZero = 0;
    for (int64_t i = 0; i < bytes; ++i) nonZero += block[i] != 0;
    EXPECT_EQ(nonZero, 0);
    block[0] = block[bytes - 1] = 0xA5;  // the whole block is writable
    EXPECT_TRUE(spkFreePagedRecord(block));
    EXPECT_EQ(spLiveAllocations(), live);
  }
  void* aligned = spAlignedAlloc(4096);
  ASSERT_NE(aligned, nullptr);
  EXPECT_FALSE(spkFreePagedRecord(aligned));
  spAlignedFree(aligned);
  EXPECT_FALSE(spkFreePagedRecord(nullptr));

  spFailNthAllocation(1);
  EXPECT_EQ(spkAllocPagedRecord(int64_t(1) << 20), nullptr);
  EXPECT_FALSE(spAllocationFailurePending());
  EXPECT_EQ(spLiveAllocations(), live);
}
