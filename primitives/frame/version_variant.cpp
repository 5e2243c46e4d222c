// The version record of one variant set.
#include "primitives/frame/sp_version.h"
#include "primitives/frame/variant_set.h"

namespace SP_SET_NS {
namespace {
constexpr int32_t TargetCode(char first, char second) {
  return static_cast<int32_t>(static_cast<uint8_t>(first)) | (static_cast<int32_t>(static_cast<uint8_t>(second)) << 8);
}

#if SP_SET_INDEX == SP_SET_GENERIC
constexpr spVersionRecord kRecord{5, 1, 133, 274, TargetCode('p', 'x'), "vantrel_sp_px", "5.1.1", "Jun 18 2006"};
#elif SP_SET_INDEX == SP_SET_SSE
constexpr spVersionRecord kRecord{5, 1, 133, 274, TargetCode('a', '6'), "vantrel_sp_a6", "5.1.1", "Jun 17 2006"};
#elif SP_SET_INDEX == SP_SET_SSE2
constexpr spVersionRecord kRecord{5, 1, 133, 274, TargetCode('w', '7'), "vantrel_sp_w7", "5.1.1", "Jun 17 2006"};
#elif SP_SET_INDEX == SP_SET_SSE3
constexpr spVersionRecord kRecord{5, 1, 133, 274, TargetCode('t', '7'), "vantrel_sp_t7", "5.1.1", "Jun 17 2006"};
#else
constexpr spVersionRecord kRecord{5, 1, 133, 274, TargetCode('v', '8'), "vantrel_sp_v8", "5.1.1", "Jun 17 2006"};
#endif
}  // namespace

const spVersionRecord* SP_V(spGetVersionRecord)() { return &kRecord; }

}  // namespace SP_SET_NS
