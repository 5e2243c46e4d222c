// The leaf-2 descriptor walk on synthetic processors, and the override seam.
#include <gtest/gtest.h>

#include "primitives/frame/cache_size.h"
#include "support/synthetic_cpu.h"

using namespace synth;

namespace {
struct CacheCase {
  const char* what;
  const char* vendor;
  uint32_t eax, ebx, ecx, edx;
  int64_t bytes;
};

const CacheCase kCases[] = {
    {"8 MiB", kIntel, 0x00000001u, 0, 0, 0x00470000u, 8 << 20},
    {"largest wins over table order", kIntel, 0x43420001u, 0, 0x00000049u, 0, 4 << 20},
    {"512 KiB", kIntel, 0x00000001u, 0x7f000000u, 0, 0, 512 << 10},
    {"256 KiB in eax", kIntel, 0x00420001u, 0, 0, 0, 256 << 10},
    {"2 MiB", kIntel, 0x00000001u, 0, 0x00008500u, 0, 2 << 20},
    {"1 MiB row", kIntel, 0x00000001u, 0x00000078u, 0, 0, 1 << 20},
    {"register with bit 31 is empty", kIntel, 0x00000001u, 0x80000047u, 0, 0x00000042u, 256 << 10},
    {"eax low byte is excluded", kIntel, 0x00000047u, 0, 0, 0, 0},
    {"more than one call", kIntel, 0x00470002u, 0, 0, 0, 0},
    {"no descriptor listed", kIntel, 0x00000001u, 0x0b0c0d0eu, 0, 0, 0},
    {"other vendor", kAmd, 0x00470001u, 0, 0, 0, 0},
};
}  // namespace

TEST(CacheSize, DescriptorWalkOnSyntheticProcessors) {
  for (const CacheCase& c : kCases) {
    SCOPED_TRACE(c.what);
    ScopedCpu cpu(Cpu(c.vendor, 6, 0).Leaf2(c.eax, c.ebx, c.ecx, c.edx));
    EXPECT_EQ(spkQueryCacheSize(), c.bytes);
  }
}

namespace {
// The listed descriptors by the cache size they name.
struct SizeRow {
  std::initializer_list<uint8_t> descriptors;
  int64_t bytes;
};
const SizeRow kSizeRows[] = {{{0x47}, 8 << 20},
                             {{0x49, 0x29, 0x46}, 4 << 20},
                             {{0x25, 0x7d, 0x85, 0x45}, 2 << 20},
                             {{0x23, 0x87, 0x7c, 0x78, 0x84, 0x44}, 1 << 20},
                             {{0x22, 0x7b, 0x86, 0x7f, 0x83, 0x43}, 512 << 10},
                             {{0x7a, 0x82, 0x3c, 0x42}, 256 << 10}};

// The size a descriptor names, or 0 when it is not listed.
int64_t ListedSize(uint8_t descriptor) {
  for (const SizeRow& row : kSizeRows)
    for (uint8_t listed : row.descriptors)
      if (listed == descriptor) return row.bytes;
  return 0;
}
}  // namespace

// Each listed descriptor alone, with the cache size it names.
TEST(CacheSize, EveryListedDescriptorGivesItsSize) {
  int listed = 0;
  for (const SizeRow& row : kSizeRows) {
    for (uint8_t descriptor : row.descriptors) {
      SCOPED_TRACE(static_cast<int>(descriptor));
      ScopedCpu cpu(Cpu(kIntel, 6, 0).Leaf2(0x00000001u, 0, uint32_t{descriptor} << 16, 0));
      EXPECT_EQ(spkQueryCacheSize(), row.bytes);
      ++listed;
    }
  }
  EXPECT_EQ(listed, 24);
}

// The table runs from the largest size to the smallest, so the first match
// of the walk is the largest cache.
TEST(CacheSize, TableDecodesToItsRows) {
  int64_t previous = INT64_MAX;
  for (const spCacheDescriptor& e : spCacheDescriptorTable) {
    SCOPED_TRACE(static_cast<int>(e.descriptor));
    const int64_t size = ListedSize(e.descriptor);
    EXPECT_LE(size, previous);
    EXPECT_GE(size, 256 << 10);
    previous = size;
  }
}

TEST(CacheSize, OverrideReplacesAndRestoresTheAnswer) {
  ScopedCpu cpu(Cpu(kIntel, 6, 0).Leaf2(0x00000001u, 0, 0, 0x00000047u));
  {
    ScopedCacheSize forced(12345);
    EXPECT_EQ(spkQueryCacheSize(), 12345);
    {
      ScopedCacheSize unknown(0);
      EXPECT_EQ(spkQueryCacheSize(), 0);
    }
    EXPECT_EQ(spkQueryCacheSize(), 12345);
  }
  EXPECT_EQ(spkQueryCacheSize(), 8 << 20);
}
