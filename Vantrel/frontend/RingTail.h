// The last samples of a ring, widened to double, for the correlators.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Mathlib/MathlibCorrelator.h"

// The `count` samples of a ring of `ringLength` that end before `end`.
inline void CopyRingTail(const float* ring, int end, int ringLength, uint32_t count, double* dest) {
  int64_t start = int64_t(end) - int64_t(count);
  while (start < 0) start += ringLength;
  uint32_t done = 0;
  while (done < count) {
    const uint32_t run = uint32_t(std::min<int64_t>(count - done, ringLength - start));
    MathlibWidenF32ToF64(ring + start, dest + done, run);
    done += run;
    start = 0;
  }
}
