// The front end's DC blocker over four channels at once, in the running
// variant set (not an entry of the installed math layer); what it computes:
// primitives/fir/dc_block_kernels.h.
#pragma once
#include <cstdint>

void MathlibDcBlockFourLanesF32(const float* const src[4], float* const dst[4], const float pole[4],
                                const float gain[4], float prevInput[4], float prevState[4], int64_t n);
