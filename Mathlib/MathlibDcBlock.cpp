#include "Mathlib/MathlibDcBlock.h"

#include "primitives/frame/running_kernel.h"

void MathlibDcBlockLanesF32(SpkDcBlockLane* lanes, int32_t count, int64_t n) {
  SP_RUNNING_KERNEL(spkDcBlockLanesF32)(lanes, count, n);
}
