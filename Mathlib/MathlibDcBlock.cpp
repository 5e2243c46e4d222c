#include "Mathlib/MathlibDcBlock.h"

#include "primitives/fir/dc_block_kernels.h"
#include "primitives/frame/dispatch.h"

namespace {

// The running set's member, chosen as the primitives' entries choose theirs.
using DcBlockKernel = void (*)(const float* const[4], float* const[4], const float[4], const float[4], float[4],
                               float[4], int64_t);
constexpr DcBlockKernel kDcBlock[kSpVariantSetCount] = SP_VARIANT_TABLE(spkDcBlockFourLanesF32);

}  // namespace

void MathlibDcBlockFourLanesF32(const float* const src[4], float* const dst[4], const float pole[4],
                                const float gain[4], float prevInput[4], float prevState[4], int64_t n) {
  kDcBlock[spDispatchIndex.load(std::memory_order_relaxed)](src, dst, pole, gain, prevInput, prevState, n);
}
