#include "Mathlib/MathlibDcBlock.h"

#include "primitives/fir/dc_block_kernels.h"
#include "primitives/frame/running_kernel.h"

void MathlibDcBlockFourLanesF32(const float* const src[4], float* const dst[4], const float pole[4],
                                const float gain[4], float prevInput[4], float prevState[4], int64_t n) {
  SP_RUNNING_KERNEL(spkDcBlockFourLanesF32)(src, dst, pole, gain, prevInput, prevState, n);
}
