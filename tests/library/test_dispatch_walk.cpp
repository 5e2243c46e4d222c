// Walks every dispatch entry linked into the shared library (its build that
// exports the tables, vantrel_all_symbols) and checks that slot i of its
// table is the variant of set i: the symbol at the slot's address lives in
// the set's namespace and carries the set's suffix.
#include <cxxabi.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "primitives/frame/dispatch.h"
#include "primitives/frame/sp_version.h"
#include "support/synthetic_cpu.h"

namespace {
const char* const kNamespaces[kSpVariantSetCount] = {"sp_generic", "sp_sse", "sp_sse2", "sp_sse3", "sp_ssse3"};
const char* const kSuffixes[kSpVariantSetCount] = {"_Generic", "_Sse", "_Sse2", "_Sse3", "_Ssse3"};

// "sp_sse2::spAddF32_Sse2(float const*, ...)" -> "sp_sse2::spAddF32_Sse2".
std::string DemangledName(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_sname == nullptr) return {};
  if (info.dli_saddr != address) return {};  // not the start of a function
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> text(abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status),
                                              std::free);
  std::string name = status == 0 ? text.get() : info.dli_sname;
  const auto paren = name.find('(');
  return paren == std::string::npos ? name : name.substr(0, paren);
}
}  // namespace

TEST(DispatchWalk, EverySlotCallsItsOwnSet) {
  const auto entries = spDispatchEntries();
  // The frame's own entries at least: memory, fill, version record.
  ASSERT_GE(entries.size(), 11u);
  std::set<std::string> names;
  for (const spDispatchEntry& entry : entries) {
    SCOPED_TRACE(entry.name);
    EXPECT_TRUE(names.insert(entry.name).second) << "registered twice";
    for (int set = 0; set < kSpVariantSetCount; ++set) {
      const std::string want = std::string(kNamespaces[set]) + "::" + entry.name + kSuffixes[set];
      EXPECT_EQ(DemangledName(entry.slots[set]), want) << "slot " << set;
    }
  }
  for (const char* frameEntry :
       {"spAlignedAlloc", "spAlignedAllocF32", "spAlignedAllocF64", "spAlignedFree", "spCopyF32", "spCopyF64",
        "spZeroF32", "spZeroF64", "spSetF32", "spSetF64", "spGetVersionRecord"})
    EXPECT_TRUE(names.count(frameEntry)) << frameEntry << " is not registered";
}

// The 109 dispatched primitives of the library; every registered entry must
// be one of them (a misspelt entry would never be reached by its callers).
TEST(DispatchWalk, EveryEntryIsALibraryPrimitive) {
  static const std::set<std::string> kPrimitives = {"spAbsF32",
                                                    "spAbsF64",
                                                    "spAddConstInPlaceF32",
                                                    "spAddConstInPlaceF64",
                                                    "spAddF32",
                                                    "spAddF64",
                                                    "spAddInPlaceF32",
                                                    "spAddInPlaceF64",
                                                    "spAlignedAlloc",
                                                    "spAlignedAllocF32",
                                                    "spAlignedAllocF64",
                                                    "spAlignedFree",
                                                    "spAutoCorrBiasedF32",
                                                    "spAutoCorrUnbiasedF32",
                                                    "spConjInPlaceC32",
                                                    "spConjInPlaceC64",
                                                    "spConvF64ToI32",
                                                    "spConvI16ToF32",
                                                    "spConvI16ToF64Scaled",
                                                    "spConvI32ToF32",
                                                    "spConvI32ToF64",
                                                    "spConvI32ToI16Sat",
                                                    "spConvI8ToF32",
                                                    "spConvI8ToI16",
                                                    "spCopy2DStridedF32",
                                                    "spCopy2DStridedF64",
                                                    "spCopyF32",
                                                    "spCopyF64",
                                                    "spCrossCorrF32",
                                                    "spCrossCorrF64",
                                                    "spDotF32",
                                                    "spDotF64",
                                                    "spExpF32",
                                                    "spExpInPlaceF32",
                                                    "spFirF32",
                                                    "spFirF64",
                                                    "spFirHighpassTapsF64",
                                                    "spFirLowpassTapsF64",
                                                    "spGetVersionRecord",
                                                    "spHalfSpecToC32",
                                                    "spHalfSpecToC64",
                                                    "spInvThreshInPlaceF32",
                                                    "spLnF32",
                                                    "spLnF64",
                                                    "spLnInPlaceF32",
                                                    "spLnInPlaceF64",
                                                    "spMatMulMatF32",
                                                    "spMatMulMatF64",
                                                    "spMatMulVecF32",
                                                    "spMatMulVecF64",
                                                    "spMaxF32",
                                                    "spMaxF64",
                                                    "spMaxI32",
                                                    "spMaxIndexF32",
                                                    "spMaxIndexF64",
                                                    "spMaxIndexI32",
                                                    "spMeanF32",
                                                    "spMeanF64",
                                                    "spMinF32",
                                                    "spMinF64",
                                                    "spMinI32",
                                                    "spMinIndexF32",
                                                    "spMinIndexF64",
                                                    "spMinIndexI32",
                                                    "spMulC32",
                                                    "spMulC64",
                                                    "spMulConstInPlaceF32",
                                                    "spMulConstInPlaceF64",
                                                    "spMulConstStridedF32",
                                                    "spMulConstStridedF64",
                                                    "spMulF32",
                                                    "spMulF64",
                                                    "spMulInPlaceF32",
                                                    "spMulInPlaceF64",
                                                    "spRandGaussF32",
                                                    "spRandGaussF64",
                                                    "spRealFftFreeF32",
                                                    "spRealFftFreeF64",
                                                    "spRealFftFwdF32",
                                                    "spRealFftFwdF64",
                                                    "spRealFftInitF32",
                                                    "spRealFftInitF64",
                                                    "spRealFftInvF32",
                                                    "spRealFftInvF64",
                                                    "spSetF32",
                                                    "spSetF64",
                                                    "spSplitComplexC32",
                                                    "spSqrF32",
                                                    "spSqrF64",
                                                    "spSqrInPlaceF32",
                                                    "spSqrInPlaceF64",
                                                    "spSqrtF32",
                                                    "spSqrtF64",
                                                    "spStdDevF32",
                                                    "spStdDevF64",
                                                    "spSubF32",
                                                    "spSubF64",
                                                    "spSubInPlaceF32",
                                                    "spSubInPlaceF64",
                                                    "spSumF32",
                                                    "spSumF64",
                                                    "spThresholdInPlaceF32",
                                                    "spThresholdInPlaceF64",
                                                    "spWinHammingF32",
                                                    "spWinHammingF64",
                                                    "spWinHannF32",
                                                    "spWinHannF64",
                                                    "spZeroF32",
                                                    "spZeroF64"};
  ASSERT_EQ(kPrimitives.size(), 109u);
  for (const spDispatchEntry& entry : spDispatchEntries())
    EXPECT_TRUE(kPrimitives.count(entry.name)) << entry.name << " is not a primitive of the library";
}

// The entry follows the index: each set's version record in turn.
TEST(DispatchWalk, EntryFollowsTheIndex) {
  const spDispatchEntry* version = nullptr;
  for (const spDispatchEntry& entry : spDispatchEntries())
    if (std::string(entry.name) == "spGetVersionRecord") version = &entry;
  ASSERT_NE(version, nullptr);
  using RecordFn = const spVersionRecord* (*)();
  ScopedDispatchIndex keep;
  for (int set = 0; set < kSpVariantSetCount; ++set) {
    spDispatchIndex.store(set);
    EXPECT_EQ(spGetVersionRecord(), reinterpret_cast<RecordFn>(version->slots[set])());
  }
}
