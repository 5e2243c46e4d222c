// Test seam of the copy, zero and fill kernels: every run of a non-temporal
// (streaming) path counts itself (the SSE set's page-wise copy once per
// page), so tests can see at which size each set switches. The plain path,
// which small blocks take, does not touch it; a streaming run pays one
// relaxed atomic add.
#pragma once
#include <cstdint>

// Streaming runs since load.
int64_t spStreamingRuns();

// For the kernels: one run of a streaming path.
void spkCountStreamingRun();
