#include "primitives/frame/streaming_seam.h"

#include <atomic>

namespace {
std::atomic<int64_t> g_streamingRuns{0};
}  // namespace

int64_t spStreamingRuns() { return g_streamingRuns.load(std::memory_order_relaxed); }

void spkCountStreamingRun() { g_streamingRuns.fetch_add(1, std::memory_order_relaxed); }
