// The version record of one variant set: named after the set
// ("vantrel_sp_sse2"), its target code the set name's first letter and the
// set's index ("s2").
#include "primitives/frame/sp_version.h"
#include "primitives/frame/variant_set.h"

namespace SP_SET_NS {
namespace {
constexpr int32_t TargetCode(char first, char second) {
  return static_cast<int32_t>(static_cast<uint8_t>(first)) | (static_cast<int32_t>(static_cast<uint8_t>(second)) << 8);
}

constexpr const char* kBuildDate = SP_SET_INDEX == SP_SET_GENERIC ? "Jun 18 2006" : "Jun 17 2006";
constexpr spVersionRecord kRecord{
    5, 1, 133, 274, TargetCode(SP_SET_NAME[0], '0' + SP_SET_INDEX), "vantrel_sp_" SP_SET_NAME, "5.1.1", kBuildDate};
}  // namespace

const spVersionRecord* SP_V(spGetVersionRecord)() { return &kRecord; }

}  // namespace SP_SET_NS

// The version record's dispatch entry, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_VERSION_ENTRIES)
#endif
