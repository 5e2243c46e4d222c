// Version records per set, processor clock and x87 control-word helpers.
#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <set>
#include <string>

#include "primitives/frame/dispatch.h"
#include "primitives/frame/sp_cpu.h"
#include "primitives/frame/sp_version.h"
#include "support/synthetic_cpu.h"
#include "support/variant_sets.h"

SP_DECLARE_EVERY_SET(SP_VERSION_ENTRIES)

class VersionTest : public VariantSetTest {};

TEST_P(VersionTest, RunningSetsRecord) {
  const spVersionRecord* (*const records[])() = SP_VARIANT_TABLE(spGetVersionRecord);
  const spVersionRecord* r = spGetVersionRecord();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r, records[SetIndex()]());
  EXPECT_EQ(r->major, 5);
  EXPECT_EQ(r->minor, 1);
  EXPECT_EQ(r->build, 133);
  EXPECT_EQ(r->revision, 274);
  EXPECT_STREQ(r->versionText, "5.1.1");
  EXPECT_STREQ(r->buildDate, SetIndex() == SP_SET_GENERIC ? "Jun 18 2006" : "Jun 17 2006");
  EXPECT_EQ(r->targetCode & ~0xffff, 0);
  EXPECT_TRUE(std::isalnum(r->targetCode & 0xff) && std::isalnum((r->targetCode >> 8) & 0xff));
}

SP_INSTANTIATE_FOR_ALL_SETS(VersionTest);

TEST(VersionRecords, TargetCodesAndLibraryNamesAreDistinct) {
  const spVersionRecord* (*const records[])() = SP_VARIANT_TABLE(spGetVersionRecord);
  std::set<int32_t> codes;
  std::set<std::string> names;
  for (auto record : records) {
    codes.insert(record()->targetCode);
    names.insert(record()->libraryName);
  }
  EXPECT_EQ(codes.size(), 5u);
  EXPECT_EQ(names.size(), 5u);
}

// Each record is named after the set it stands for, with a code of the
// set name's first letter and the set's index.
TEST(VersionRecords, NamedAfterTheirSets) {
  struct Expected {
    const char* libraryName;
    char code[3];
  };
  const Expected want[] = {{"vantrel_sp_generic", "g0"},
                           {"vantrel_sp_sse", "s1"},
                           {"vantrel_sp_sse2", "s2"},
                           {"vantrel_sp_sse3", "s3"},
                           {"vantrel_sp_ssse3", "s4"}};
  static_assert(std::size(want) == kSpVariantSetCount);
  const spVersionRecord* (*const records[])() = SP_VARIANT_TABLE(spGetVersionRecord);
  for (int set = 0; set < kSpVariantSetCount; ++set) {
    SCOPED_TRACE(want[set].libraryName);
    EXPECT_STREQ(records[set]()->libraryName, want[set].libraryName);
    EXPECT_EQ(records[set]()->targetCode, want[set].code[0] | (want[set].code[1] << 8));
  }
}

TEST(VersionRecords, GenericBeforeDetectionRunningSetAfter) {
  ScopedDispatchIndex keep;
  spDispatchIndex.store(SP_SET_GENERIC);  // as loaded
  EXPECT_STREQ(spGetVersionRecord()->buildDate, "Jun 18 2006");
  spStaticInit();
  const spVersionRecord* (*const records[])() = SP_VARIANT_TABLE(spGetVersionRecord);
  EXPECT_EQ(spGetVersionRecord(), records[spDispatchIndex.load()]());
}

TEST(CpuClock, NullPointerReturnsAtOnce) {
  const uint64_t before = spReadTsc();
  EXPECT_EQ(spGetCpuMhz(nullptr), spErrNullPointer);
  const uint64_t after = spReadTsc();
  EXPECT_GE(after, before);
}

TEST(X87Control, SetsOnlyTheMaskedBitsAndRestores) {
  const uint32_t original = spX87SetControl(0, 0);  // mask 0 reads the word
  // Round toward zero, then again: the second call finds it set already.
  const uint32_t saved = spX87SetControl(0x0C00, 0x0C00);
  EXPECT_EQ(saved, original);
  EXPECT_EQ(spX87SetControl(0, 0) & 0x0C00, 0x0C00u);
  EXPECT_EQ(spX87SetControl(0, 0) & ~0x0C00u, original & ~0x0C00u);
  EXPECT_EQ(spX87SetControl(0x0C00, 0x0C00) & 0x0C00, 0x0C00u);
  // The x87 now chops: 1/3 rounded to a long double ends below nearest.
  volatile long double one = 1.0L, three = 3.0L;
  const long double chopped = one / three;
  spX87RestoreControl(saved);
  EXPECT_EQ(spX87SetControl(0, 0), original);
  const long double nearest = one / three;
  EXPECT_LE(chopped, nearest);
  // Round to nearest on a word that already rounds to nearest: unchanged.
  EXPECT_EQ(spX87SetControl(0, 0x0C00), original);
  EXPECT_EQ(spX87SetControl(0, 0), original);
}
