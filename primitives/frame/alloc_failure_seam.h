// Test seam of the allocators: every allocator of the library (the aligned
// allocator and the math layer's own tables) asks it before taking memory
// and reports the blocks it hands out and takes back. A test can make one
// chosen later request fail as if memory were exhausted, and count requests
// and live blocks to show that a failure path releases what it took.
// Process-wide; meant for single-threaded test bodies.
#pragma once
#include <cstdint>

// k >= 1: the k-th allocation request from now fails (once); 0 disarms.
void spFailNthAllocation(int64_t k);
// True while an armed failure has not been reached yet.
bool spAllocationFailurePending();
// Allocation requests since load, failed ones included.
int64_t spAllocationRequests();
// Blocks handed out and not yet released since load.
int64_t spLiveAllocations();

// For the allocators. Counts one request; true when it is to fail.
bool spkAllocationRefused();
// A block was handed out (+1) or released (-1).
void spkCountAllocation(int delta);
