// The last samples of a ring, widened to double for the correlators, or as
// they are for the delay check.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Mathlib/MathlibCorrelator.h"

// Calls copy(from, done, run) for the runs of the `count` samples of a
// ring of `ringLength` that end before `end`, `done` samples in.
template <typename CopyRun>
void ForRingTail(const float* ring, int end, int ringLength, uint32_t count, CopyRun copy) {
  int64_t start = int64_t(end) - int64_t(count);
  while (start < 0) start += ringLength;
  uint32_t done = 0;
  while (done < count) {
    const uint32_t run = uint32_t(std::min<int64_t>(count - done, ringLength - start));
    copy(ring + start, done, run);
    done += run;
    start = 0;
  }
}

inline void CopyRingTail(const float* ring, int end, int ringLength, uint32_t count, double* dest) {
  ForRingTail(ring, end, ringLength, count,
              [dest](const float* from, uint32_t done, uint32_t run) { MathlibWidenF32ToF64(from, dest + done, run); });
}

inline void CopyRingTail(const float* ring, int end, int ringLength, uint32_t count, float* dest) {
  ForRingTail(ring, end, ringLength, count,
              [dest](const float* from, uint32_t done, uint32_t run) { std::copy_n(from, run, dest + done); });
}

// The last `count` samples of a ring where they lie in one run, else a copy
// of them in `scratch`: a look need not move samples it only reads.
inline const float* RingTailRun(const float* ring, int end, int ringLength, uint32_t count, float* scratch) {
  int64_t start = int64_t(end) - int64_t(count);
  while (start < 0) start += ringLength;
  if (start + int64_t(count) <= int64_t(ringLength)) return ring + start;
  CopyRingTail(ring, end, ringLength, count, scratch);
  return scratch;
}
