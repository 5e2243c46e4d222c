// The guarded allocator's exact block layout, and what its release accepts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "Mathlib/MathlibMemory.h"
#include "platform/debug_output.h"
#include "primitives/frame/sp_memory.h"

namespace {

int32_t StoredTotal(const void* payload) {
  int32_t t;
  std::memcpy(&t, static_cast<const uint8_t*>(payload) - 7, 4);
  return t;
}

void ExpectFrame(const void* payload, int32_t payloadBytes) {
  const auto* p = static_cast<const uint8_t*>(payload);
  const uint8_t* b = p - 8;
  const int32_t total = payloadBytes + 15;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 32, 0u);
  EXPECT_EQ(b[0], 0x55);
  EXPECT_EQ(StoredTotal(payload), total);
  EXPECT_EQ(b[5], 0x55);
  EXPECT_EQ(b[6], 0xAA);
  EXPECT_EQ(b[7], 0xAA);
  for (int32_t i = 8; i < total - 1; ++i) ASSERT_EQ(b[i], 0) << "byte " << i;
  EXPECT_EQ(b[total - 1], 0x55);
}

TEST(MathlibGuardedMemory, LayoutForSeveralSizes) {
  struct Case {
    void* block;
    int32_t payload;
  } cases[] = {
      {MathlibAlloc(0), 0},     {MathlibAlloc(56), 56},   {MathlibAllocF32(10), 40},        {MathlibAllocC64(3), 48},
      {MathlibAllocF64(7), 56}, {MathlibAllocC32(5), 40}, {MathlibAllocGuarded(3, 33), 99},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(c.block) % 8, 0u);
    EXPECT_NE(reinterpret_cast<uintptr_t>(c.block) % 32, 0u);
    ExpectFrame(c.block, c.payload);
    MathlibFreeMem(c.block);
  }
}

TEST(MathlibGuardedMemory, RefusesNegativeAndOversizedRequests) {
  EXPECT_EQ(MathlibAlloc(-1), nullptr);
  EXPECT_EQ(MathlibAlloc(-15), nullptr);
  EXPECT_EQ(MathlibAllocGuarded(-3, 5), nullptr);
  EXPECT_EQ(MathlibAllocGuarded(1 << 20, 1 << 20), nullptr);  // wraps in 32 bits
  EXPECT_EQ(MathlibAllocF64(std::numeric_limits<int32_t>::max()), nullptr);
  EXPECT_EQ(MathlibAlloc(std::numeric_limits<int32_t>::max() - 14), nullptr);
}

TEST(MathlibGuardedMemory, DamagedEndGuardKeepsTheBlockAndTraces) {
  auto* p = static_cast<uint8_t*>(MathlibAlloc(16));
  ASSERT_NE(p, nullptr);
  p[16 + 6] = 0x00;  // end guard
  DebugOutputCapture capture;
  MathlibFreeMem(p);
  EXPECT_NE(capture.Text().find("damaged"), std::string::npos);
  EXPECT_EQ(p[-8], 0x55);  // still ours: not released
  p[16 + 6] = 0x55;
  MathlibFreeMem(p);  // repaired, now released
}

TEST(MathlibGuardedMemory, DamagedTotalIsNeverFollowedOutsideTheBlock) {
  auto* p = static_cast<uint8_t*>(MathlibAlloc(16));
  ASSERT_NE(p, nullptr);
  const int32_t huge = 0x7FFFFF00;
  int32_t saved;
  std::memcpy(&saved, p - 7, 4);
  std::memcpy(p - 7, &huge, 4);
  MathlibFreeMem(p);  // must not read at B + huge
  std::memcpy(p - 7, &saved, 4);
  p[-3] = 0x00;  // size guard
  MathlibFreeMem(p);
  p[-3] = 0x55;
  MathlibFreeMem(p);
}

TEST(MathlibGuardedMemory, SlackOverwriteStillReleases) {
  auto* p = static_cast<uint8_t*>(MathlibAlloc(8));
  ASSERT_NE(p, nullptr);
  std::memset(p + 8, 0x77, 6);
  MathlibFreeMem(p);  // released; the sanitizer run would report a leak otherwise
}

TEST(MathlibGuardedMemory, AcceptsAlignedBlocksAndNull) {
  void* aligned = spAlignedAlloc(100);
  ASSERT_NE(aligned, nullptr);
  MathlibFreeMem(aligned);
  MathlibFreeMem(nullptr);
}

}  // namespace
