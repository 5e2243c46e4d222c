// Failure injection through the allocators' seam: a scope that makes the
// k-th allocation request fail, and a loop that fails every request of an
// operation in turn.
//
//   const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
//     ... set-up that takes no memory from the library's allocators ...
//     FailNthAllocation failure(k);
//     ... the operation ...
//     ... checks: on failure.Reached() the caller's data must be unchanged ...
//     return failure.Reached();
//   });
#pragma once
#include <gtest/gtest.h>

#include <cstdint>

#include "primitives/frame/alloc_failure_seam.h"

class FailNthAllocation {
 public:
  explicit FailNthAllocation(int64_t k) { spFailNthAllocation(k); }
  ~FailNthAllocation() { spFailNthAllocation(0); }
  FailNthAllocation(const FailNthAllocation&) = delete;
  FailNthAllocation& operator=(const FailNthAllocation&) = delete;
  // True once the armed request has been made (and refused).
  bool Reached() const { return !spAllocationFailurePending(); }
};

// Calls attempt(k) for k = 1, 2, ... until a run in which the k-th request
// was never made, that is a run without a failure. Returns the number of
// runs that had one, which is the operation's number of allocation requests.
template <class Attempt>
int64_t ForEachAllocationFailure(Attempt attempt) {
  constexpr int64_t kLimit = 1000;  // an operation that never stops allocating
  int64_t k = 1;
  while (k <= kLimit && attempt(k)) ++k;
  EXPECT_LE(k, kLimit);
  return k - 1;
}
