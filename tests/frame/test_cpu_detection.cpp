// Processor type rules, detection and set selection on synthetic processors.
#include <gtest/gtest.h>

#include <cstring>

#include "primitives/frame/sp_cpu.h"
#include "primitives/frame/variant_seams.h"
#include "support/synthetic_cpu.h"

using namespace synth;

namespace {
constexpr uint32_t kP4 = kMmx | kSse | kSse2;

struct TypeCase {
  const char* what;
  const char* vendor;
  uint32_t family;
  uint32_t flags;
  int32_t type;
  int32_t index;
  spStatus initStatus;
};

const TypeCase kTypeCases[] = {
    {"intel f6 ssse3", kIntel, 6, kP4 | kSse3 | kSsse3, 0x21, 4, spOk},
    {"intel f6 sse3", kIntel, 6, kP4 | kSse3, 0x0a, 3, spOk},
    {"intel f6 sse2", kIntel, 6, kP4, 9, 2, spOk},
    {"intel f6 sse", kIntel, 6, kMmx | kSse, 5, 1, spOk},
    {"intel f6 mmx", kIntel, 6, kMmx, 4, 0, spOk},
    {"intel f6 bare", kIntel, 6, 0, 3, 0, spOk},
    {"intel f15 sse2 ht", kIntel, 15, kP4 | kHt, 7, 2, spOk},
    {"intel f15 sse2", kIntel, 15, kP4, 6, 2, spOk},
    {"intel f15 sse3", kIntel, 15, kP4 | kSse3, 8, 3, spOk},
    {"intel f15 sse3 em64t", kIntel, 15, kP4 | kSse3 | kEm64t, 0x20, 3, spOk},
    {"intel f15 ssse3 em64t", kIntel, 15, kP4 | kSse3 | kSsse3 | kEm64t, 0x21, 4, spOk},
    {"intel f15 no sse2", kIntel, 15, kMmx | kSse, 0x11, 1, spOk},
    {"intel f5 mmx", kIntel, 5, kMmx, 2, 0, spOk},
    {"intel f5", kIntel, 5, 0, 1, 0, spOk},
    {"intel f7 sse", kIntel, 7, kMmx | kSse, 0x10, 1, spOk},
    {"intel f4 by sets", kIntel, 4, kP4 | kSse3, 0x42, 3, spOk},
    {"other ssse3", kAmd, 6, kP4 | kSse3 | kSsse3, 0x21, 4, spWarnNotIntelCpu},
    {"other sse3", kAmd, 15, kP4 | kSse3, 0x42, 3, spWarnNotIntelCpu},
    {"other sse2", kAmd, 15, kP4, 0x41, 2, spWarnNotIntelCpu},
    {"other sse", kAmd, 6, kMmx | kSse, 0x40, 1, spWarnNotIntelCpu},
    {"other none", kAmd, 5, kMmx, 0, 0, spWarnNotIntelCpu},
    // Family rules that name a set the flags do not report: the set is
    // lowered to what the processor has, the type stays.
    {"intel f7 no sse", kIntel, 7, 0, 0x10, 0, spOk},
    {"intel f15 no sse at all", kIntel, 15, kMmx, 0x11, 0, spOk},
};
}  // namespace

TEST(ProcessorType, SyntheticProcessorsGiveTypeIndexAndStatus) {
  ScopedDispatchIndex keep;
  for (const TypeCase& c : kTypeCases) {
    SCOPED_TRACE(c.what);
    ScopedCpu cpu(Cpu(c.vendor, c.family, c.flags));
    EXPECT_EQ(spGetProcessorType(), c.type);
    spDispatchIndex.store(SP_SET_SSE2);
    EXPECT_EQ(spStaticInit(), c.initStatus);
    EXPECT_EQ(spDispatchIndex.load(), c.index);
  }
}

TEST(ProcessorType, WithoutCpuidTheGenericSetRunsWithStatus20) {
  ScopedDispatchIndex keep;
  ScopedCpu cpu(Cpu(kIntel, 6, kP4 | kSse3 | kSsse3).NoCpuid());
  EXPECT_EQ(spHasCpuid(), 0);
  EXPECT_EQ(spIsGenuineIntel(), 0);
  EXPECT_EQ(spGetProcessorType(), 0);
  EXPECT_EQ(spGetCoresPerPackage(), 1);
  spDispatchIndex.store(SP_SET_SSE3);
  EXPECT_EQ(spStaticInit(), spWarnNotIntelCpu);
  EXPECT_EQ(spDispatchIndex.load(), 0);
}

TEST(ProcessorType, FeatureRecordFieldsAndCoresPerPackage) {
  Cpu synthetic(kIntel, 15, kP4 | kSse3 | kSsse3 | kHt | kEm64t);
  synthetic.Leaf2(0x665b5001u, 0, 0, 0x007a7000u).Leaf(4, 0, {(3u << 26) | 0x121u, 0, 0, 0});
  ScopedCpu cpu(synthetic);
  spCpuFeatureRecord f;
  std::memset(&f, 0x5a, sizeof f);
  spCpuFeatures(&f);
  EXPECT_EQ(f.family, 15);
  EXPECT_EQ(f.model, 7);
  EXPECT_EQ(f.stepping, 3);
  EXPECT_EQ(f.type, 0);
  EXPECT_EQ(f.featureEdx, (1u << 23) | (1u << 25) | (1u << 26) | (1u << 28));
  EXPECT_EQ(f.leaf2Eax, 0x665b5001u);
  EXPECT_EQ(f.leaf2Edx, 0x007a7000u);
  EXPECT_EQ(f.reserved, 0);
  EXPECT_EQ(f.mmx + f.sse + f.sse2 + f.sse3 + f.ssse3 + f.hyperThreading + f.em64t, 7);
  EXPECT_EQ(f.coresPerPackage, 4);
  EXPECT_EQ(spCpuidCoresPerPackage(), 4);
  EXPECT_EQ(spGetCoresPerPackage(), 4);
  EXPECT_EQ(spIsGenuineIntel(), 1);
}

TEST(ProcessorType, HighestLeafBelowFourGivesOneCore) {
  ScopedCpu cpu(
      Cpu(kIntel, 6, kP4).Leaf(0, 0, {3, 0x756e6547u, 0x6c65746eu, 0x49656e69u}).Leaf(4, 0, {7u << 26, 0, 0, 0}));
  EXPECT_EQ(spCpuidCoresPerPackage(), 1);
}

TEST(ProcessorType, HyperThreadingNeedsMoreThanOneLogicalProcessor) {
  Cpu synthetic(kIntel, 15, kP4);
  synthetic.Leaf(1, 0, {0xf00, 1u << 16, 0, (1u << 23) | (1u << 25) | (1u << 26) | (1u << 28)});
  ScopedCpu cpu(synthetic);
  spCpuFeatureRecord f;
  spCpuFeatures(&f);
  EXPECT_EQ(f.hyperThreading, 0);
  EXPECT_EQ(spGetProcessorType(), 6);
}

TEST(ProcessorType, EveryCodeHasItsText) {
  EXPECT_STREQ(spProcessorTypeText(0x21), "Intel(R) Core(TM) 2 Duo processor ");
  EXPECT_STREQ(spProcessorTypeText(0x41), " Processor with Streaming SIMD Extensions 2 instruction set");
  EXPECT_STREQ(spProcessorTypeText(0x43), "Processor supports 64 bit extension");
  EXPECT_STREQ(spProcessorTypeText(0x0b), "Unknown processor Number ");
}

// Every code from -3 to 0x50 against the table, on a processor with all sets.
TEST(SetCpuType, EveryCodeSelectsItsSetOrIsRefused) {
  ScopedDispatchIndex keep;
  ScopedCpu cpu(Cpu(kIntel, 6, kP4 | kSse3 | kSsse3));
  auto expectedIndex = [](int32_t code) -> int32_t {
    if (code >= -1 && code <= 4) return 0;
    switch (code) {
      case 5:
      case 0x10:
      case 0x11:
      case 0x40: return 1;
      case 6:
      case 7:
      case 9:
      case 0x41: return 2;
      case 8:
      case 0x0a:
      case 0x20:
      case 0x42: return 3;
      case 0x21:
      case 0x22: return 4;
      default: return -1;
    }
  };
  for (int32_t code = -3; code <= 0x50; ++code) {
    SCOPED_TRACE(code);
    const int32_t want = expectedIndex(code);
    if (want > 0 && !spVariantSetSupported(want)) continue;  // this machine cannot run it
    spDispatchIndex.store(SP_SET_SSE2);
    if (want < 0) {
      EXPECT_EQ(spSetCpuType(code), spStatusUnknownCpuType);
      EXPECT_EQ(spDispatchIndex.load(), 2);
    } else {
      EXPECT_EQ(spSetCpuType(code), spOk);
      EXPECT_EQ(spDispatchIndex.load(), want);
    }
  }
  for (int32_t code : {INT32_MIN, 0x7fffffff, 0x100}) {
    spDispatchIndex.store(SP_SET_SSE);
    EXPECT_EQ(spSetCpuType(code), spStatusUnknownCpuType);
    EXPECT_EQ(spDispatchIndex.load(), 1);
  }
}

// A code whose set the processor lacks would end in an illegal instruction.
TEST(SetCpuType, RefusesSetsTheProcessorLacks) {
  ScopedDispatchIndex keep;
  ScopedCpu cpu(Cpu(kIntel, 6, kMmx | kSse));
  for (int32_t code : {6, 7, 8, 9, 0x0a, 0x20, 0x21, 0x22, 0x41, 0x42}) {
    SCOPED_TRACE(code);
    spDispatchIndex.store(SP_SET_SSE);
    EXPECT_EQ(spSetCpuType(code), spStatusUnknownCpuType);
    EXPECT_EQ(spDispatchIndex.load(), 1);
  }
  EXPECT_EQ(spSetCpuType(0x40), spOk);
  EXPECT_EQ(spDispatchIndex.load(), 1);
  EXPECT_EQ(spSetCpuType(-1), spOk);
  EXPECT_EQ(spDispatchIndex.load(), 0);
}

// This processor: detection picks a set it can run, and status 20 exactly
// when the vendor is not GenuineIntel.
TEST(StaticInit, RealProcessorGetsARunnableSet) {
  ScopedDispatchIndex keep;
  const spStatus status = spStaticInit();
  EXPECT_EQ(status, spIsGenuineIntel() ? spOk : spWarnNotIntelCpu);
  const int32_t index = spDispatchIndex.load();
  EXPECT_TRUE(spVariantSetSupported(index));
  EXPECT_EQ(index, spVariantSetOfType(spGetProcessorType()));
  EXPECT_EQ(spHasCpuid(), 1);
}
