#include "primitives/frame/alloc_failure_seam.h"

#include <atomic>

namespace {
std::atomic<int64_t> g_failCountdown{0};  // 0: disarmed
std::atomic<int64_t> g_requests{0};
std::atomic<int64_t> g_live{0};
}  // namespace

void spFailNthAllocation(int64_t k) { g_failCountdown.store(k > 0 ? k : 0, std::memory_order_relaxed); }

bool spAllocationFailurePending() { return g_failCountdown.load(std::memory_order_relaxed) > 0; }

int64_t spAllocationRequests() { return g_requests.load(std::memory_order_relaxed); }

int64_t spLiveAllocations() { return g_live.load(std::memory_order_relaxed); }

bool spkAllocationRefused() {
  g_requests.fetch_add(1, std::memory_order_relaxed);
  int64_t left = g_failCountdown.load(std::memory_order_relaxed);
  while (left > 0) {
    if (g_failCountdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) return left == 1;
  }
  return false;
}

void spkCountAllocation(int delta) { g_live.fetch_add(delta, std::memory_order_relaxed); }
