// The five variant sets' small-transform kernel sets, reachable by set index
// from code that belongs to no set.
#include "primitives/fft/small_dft.h"

namespace sp_generic { extern const spkSmallDftKernelSet spkSmallDftKernels_Generic; }
namespace sp_sse { extern const spkSmallDftKernelSet spkSmallDftKernels_Sse; }
namespace sp_sse2 { extern const spkSmallDftKernelSet spkSmallDftKernels_Sse2; }
namespace sp_sse3 { extern const spkSmallDftKernelSet spkSmallDftKernels_Sse3; }
namespace sp_ssse3 { extern const spkSmallDftKernelSet spkSmallDftKernels_Ssse3; }

namespace {
constinit const spkSmallDftKernelSet* const kKernelSets[5] = {
    &sp_generic::spkSmallDftKernels_Generic, &sp_sse::spkSmallDftKernels_Sse,
    &sp_sse2::spkSmallDftKernels_Sse2, &sp_sse3::spkSmallDftKernels_Sse3,
    &sp_ssse3::spkSmallDftKernels_Ssse3};
}  // namespace

const spkSmallDftKernelSet* spkSmallDftKernelsOfSet(int32_t setIndex) {
  if (setIndex < 0 || setIndex >= 5) return nullptr;
  return kKernelSets[setIndex];
}
