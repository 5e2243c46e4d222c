// Test seam of the copy, zero and fill kernels: every run that takes the
// non-temporal (streaming) path counts itself, so tests can see at which
// size each set switches. The plain path, which small blocks take, does not
// touch it; a streaming run pays one relaxed atomic add.
#pragma once
#include <cstdint>

// Runs of a streaming path since load.
int64_t spStreamingRuns();

// For the kernels: one run of a streaming path.
void spkCountStreamingRun();
