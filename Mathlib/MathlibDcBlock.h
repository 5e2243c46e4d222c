// The front end's DC blocker over up to four channels at once, in the
// running variant set (not an entry of the installed math layer); what it
// computes: primitives/fir/dc_block_kernels.h.
#pragma once
#include <cstdint>

#include "primitives/fir/dc_block_kernels.h"

void MathlibDcBlockLanesF32(SpkDcBlockLane* lanes, int32_t count, int64_t n);
