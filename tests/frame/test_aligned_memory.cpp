// Aligned allocators and free, under every variant set.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstring>

#include "primitives/frame/sp_memory.h"
#include "support/frame_kernels.h"
#include "support/variant_sets.h"

#if defined(__SANITIZE_ADDRESS__)
// A refused huge block must come back as null, not end the process.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

class AlignedMemoryTest : public VariantSetTest {};

namespace {
void* RawPointerOf(void* p) {
  void* raw;
  std::memcpy(&raw, static_cast<unsigned char*>(p) - sizeof(void*), sizeof raw);
  return raw;
}
}  // namespace

TEST_P(AlignedMemoryTest, BlocksAreAlignedWholeAndMarkedForTheMathLayer) {
  for (int32_t bytes : {1, 2, 31, 32, 33, 100, 4096, 65537}) {
    SCOPED_TRACE(bytes);
    auto* p = static_cast<unsigned char*>(spAlignedAlloc(bytes));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 32, 0u);
    // The math layer's free tells its guarded blocks by this byte.
    EXPECT_NE(p[-1], 0x55);
    EXPECT_NE(p[-1], 0xAA);
    // The raw pointer lies 8 to 39 bytes before the block, and the whole
    // requested range (plus one byte) belongs to the raw allocation.
    auto* raw = static_cast<unsigned char*>(RawPointerOf(p));
    EXPECT_GE(p - raw, 8);
    EXPECT_LE(p - raw, 39);
    EXPECT_GE(malloc_usable_size(raw), static_cast<size_t>(p - raw) + bytes + 1);
    std::memset(p, 0xAA, bytes);
    spAlignedFree(p);
  }
  float* f = spAlignedAllocF32(5);
  double* d = spAlignedAllocF64(5);
  ASSERT_NE(f, nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(f) % 32, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(d) % 32, 0u);
  EXPECT_GE(malloc_usable_size(RawPointerOf(d)), 40u);
  for (int i = 0; i < 5; ++i) f[i] = static_cast<float>(i), d[i] = i;
  spAlignedFree(f);
  spAlignedFree(d);
  spAlignedFree(nullptr);
}

TEST_P(AlignedMemoryTest, CountsOfZeroOrBelowGiveNull) {
  for (int32_t n : {0, -1, INT32_MIN}) {
    EXPECT_EQ(spAlignedAlloc(n), nullptr);
    EXPECT_EQ(spAlignedAllocF32(n), nullptr);
    EXPECT_EQ(spAlignedAllocF64(n), nullptr);
  }
}

// A count whose byte size passes 2^32 must not wrap to a small block: the
// block is either refused or really that large.
TEST_P(AlignedMemoryTest, HugeCountsNeverWrapToASmallBlock) {
  // In 32 bits both sizes plus the overhead wrap to a few dozen bytes. One
  // typed form per set keeps the test quick under the sanitizers.
  const bool f64 = SetIndex() % 2 == 1;
  const int32_t count = f64 ? 0x20000001 : 0x40000001;
  const int64_t bytes = static_cast<int64_t>(count) * (f64 ? 8 : 4);
  void* p = f64 ? static_cast<void*>(spAlignedAllocF64(count)) : static_cast<void*>(spAlignedAllocF32(count));
  if (p != nullptr) {  // refusing is fine; a block must be whole
    EXPECT_GE(static_cast<int64_t>(malloc_usable_size(RawPointerOf(p))), bytes);
    static_cast<unsigned char*>(p)[bytes - 1] = 1;
    spAlignedFree(p);
  }
  // The set's 64-bit kernel refuses sizes it cannot add its overhead to.
  EXPECT_EQ(sp_generic::spkAlignedAlloc_Generic(INT64_MAX), nullptr);
  EXPECT_EQ(sp_ssse3::spkAlignedAlloc_Ssse3(INT64_MAX - 20), nullptr);
}

// A block of one set is released by any other set's free.
TEST_P(AlignedMemoryTest, BlocksCrossSets) {
  void* (*const alloc[])(int64_t) = SP_VARIANT_TABLE(spkAlignedAlloc);
  void (*const release[])(void*) = SP_VARIANT_TABLE(spkAlignedFree);
  for (int other = 0; other < kSpVariantSetCount; ++other) {
    void* p = alloc[other](48);
    ASSERT_NE(p, nullptr);
    spAlignedFree(p);
    release[other](spAlignedAlloc(48));
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(AlignedMemoryTest);
