// Layout of a record's one block: slices on 32-byte boundaries after the
// record, 64-bit sizes, and a layout that refuses sizes it cannot hold
// instead of wrapping.
#include <gtest/gtest.h>

#include <limits>

#include "primitives/frame/plan_record.h"

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
