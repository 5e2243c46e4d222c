#include "Vantrel/DelaySearchRange.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "Mathlib/MathlibRealFftPool.h"
#include "Vantrel/frontend/PowerOfTwo.h"

bool ComputeDelaySearchRange(int sampleRate, uint32_t maxDelayMs, uint32_t frameLength, DelaySearchRange* range) {
  const int r = sampleRate <= 8001 ? 16000 : sampleRate;
  const uint32_t maxMs = std::min(maxDelayMs, DELAY_SEARCH_MAX_MS);
  const double x = (double(r) - 1.0) * double(maxMs) * double(0.001f);
  // The window is the power of two above x: from 2^31 on it needs more than 32 bits.
  if (x >= 2147483648.0) return false;
  const uint32_t samples = uint32_t(x);
  uint64_t window = uint64_t(1) << BitCount(samples);
  const uint64_t block = sampleRate > 16000 ? window / 8 : window / 2;
  // The asked range at the true rate; low rates keep the larger geometry of 16 kHz.
  const int64_t rate = sampleRate > 0 ? sampleRate : r;
  const int64_t asked = (rate * int64_t(maxMs) + 999) / 1000;
  const int64_t margin = std::max<int64_t>(int64_t(block), (rate * DELAY_SEARCH_MARGIN_MS + 999) / 1000);
  // Growing the window keeps the block, so each doubling adds a whole window of reach.
  while (int64_t(window - block) < asked + margin && window <= DELAY_SEARCH_MAX_WINDOW) window <<= 1;
  // The correlators transform the whole window: it must stay a power of two.
  window = std::max<uint64_t>(window, PowerOfTwoAtLeast(frameLength));
  if (window > DELAY_SEARCH_MAX_WINDOW) return false;
  range->window = uint32_t(window);
  range->block = uint32_t(block);
  range->reachSamples = int64_t(window) - int64_t(block);
  range->maxDelaySamples = asked;
  return true;
}

bool DelaySearchTransformAvailable(uint32_t window) {
  int32_t order = 0;
  while (order < 31 && (uint64_t(1) << order) < window) ++order;
  // Built for the set the search runs and kept for its correlators.
  return MathlibRealFftAvailable(order, 64);
}

uint64_t DelaySearchBytes(const DelaySearchRange& range, int64_t offsetSamples) {
  const uint64_t offset = uint64_t(offsetSamples < 0 ? -offsetSamples : offsetSamples);
  return uint64_t(range.window) * DELAY_SEARCH_BYTES_PER_WINDOW_POINT + offset * DELAY_SEARCH_BYTES_PER_OFFSET_SAMPLE;
}

namespace {

// Pages of the process: its whole address space and its data (what
// RLIMIT_AS and RLIMIT_DATA count); 0 when unknown.
void ProcessPages(uint64_t* size, uint64_t* data) {
  *size = *data = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    unsigned long long total = 0, resident = 0, shared = 0, text = 0, library = 0, dataPages = 0;
    if (std::fscanf(statm, "%llu %llu %llu %llu %llu %llu", &total, &resident, &shared, &text, &library, &dataPages) ==
        6) {
      *size = total;
      *data = dataPages;
    }
    std::fclose(statm);
  }
}

// Three quarters of what a limit leaves, or no bound without one.
uint64_t RoomUnder(int resource, uint64_t usedBytes) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::numeric_limits<uint64_t>::max();
  const uint64_t cap = uint64_t(limit.rlim_cur);
  return cap > usedBytes ? (cap - usedBytes) / 4 * 3 : 0;
}

}  // namespace

uint64_t DelaySearchMemoryBudget() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  uint64_t budget = std::numeric_limits<uint64_t>::max();
  if (pages > 0 && pageSize > 0) budget = uint64_t(pages) * uint64_t(pageSize) / 2;
  uint64_t size = 0, data = 0;
  ProcessPages(&size, &data);
  const uint64_t page = pageSize > 0 ? uint64_t(pageSize) : 4096;
  budget = std::min(budget, RoomUnder(RLIMIT_AS, size * page));
  budget = std::min(budget, RoomUnder(RLIMIT_DATA, data * page));
  return budget;
}

int64_t DelaySearchSamplesNeeded(uint32_t window, uint32_t frameLength) {
  return int64_t(window) + (DELAY_SEARCH_RELIABLE_BLOCKS + 1) * int64_t(frameLength);
}

namespace {

// The largest ms in 1..hi for which `fits` holds (it holds for all smaller
// ones); 0 when it does not hold for 1.
template <typename Fits>
uint32_t LargestFitting(uint32_t hi, Fits fits) {
  uint32_t lo = 0;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo + 1) / 2;
    if (fits(mid))
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}

void Say(std::string* why, const char* format, auto... args) {
  if (why == nullptr) return;
  char text[256];
  std::snprintf(text, sizeof text, format, args...);
  *why = text;
}

}  // namespace

bool PlanDelaySearch(int sampleRate, uint32_t askedMs, uint32_t frameLength, int64_t inputFrames, uint64_t budget,
                     DelaySearchPlan* plan, std::string* why) {
  const uint32_t asked = std::min(askedMs, DELAY_SEARCH_MAX_MS);
  *plan = DelaySearchPlan{};
  plan->askedMs = asked;
  const auto rangeFor = [&](uint32_t ms, DelaySearchRange* range) {
    return ComputeDelaySearchRange(sampleRate, ms, frameLength, range);
  };
  DelaySearchRange range;
  if (!rangeFor(asked, &range)) {
    Say(why, "a search over %u ms at %d Hz needs a window above %u points", asked, sampleRate, DELAY_SEARCH_MAX_WINDOW);
    return false;
  }
  plan->askedBytes = DelaySearchBytes(range);
  const auto fitsMemory = [&](uint32_t ms) {
    DelaySearchRange r;
    return rangeFor(ms, &r) && DelaySearchBytes(r) <= budget;
  };
  const auto fitsInputs = [&](uint32_t ms) {
    DelaySearchRange r;
    return rangeFor(ms, &r) && DelaySearchBytes(r) <= budget &&
           (inputFrames < 0 || DelaySearchSamplesNeeded(r.window, frameLength) <= inputFrames);
  };
  DelaySearchRange smallest;
  rangeFor(0, &smallest);
  if (DelaySearchBytes(smallest) > budget) {
    Say(why, "a delay search at %d Hz needs at least %llu bytes of buffers; %llu may be taken", sampleRate,
        static_cast<unsigned long long>(DelaySearchBytes(smallest)), static_cast<unsigned long long>(budget));
    return false;
  }
  uint32_t ms = asked;
  if (!fitsInputs(ms)) {
    const DelaySearchNarrowing cause =
        fitsMemory(asked) ? DelaySearchNarrowing::InputLength : DelaySearchNarrowing::Memory;
    if (const uint32_t fitting = LargestFitting(asked, fitsInputs); fitting > 0) {
      ms = fitting;
    } else {
      // No range fits inputs this short: search with the smallest buffers.
      ms = LargestFitting(asked, [&](uint32_t m) { return rangeFor(m, &range) && range.window <= smallest.window; });
    }
    if (ms < asked) plan->narrowing = cause;
  }
  // Should the window's transform be refused (no memory for it), the range
  // shrinks to what can be transformed.
  while (ms > 10 && !(rangeFor(ms, &range) && DelaySearchTransformAvailable(range.window))) {
    ms /= 2;
    plan->narrowing = DelaySearchNarrowing::Transform;
  }
  rangeFor(ms, &range);
  plan->usedMs = ms;
  plan->range = range;
  plan->samplesNeeded = DelaySearchSamplesNeeded(range.window, frameLength);
  return true;
}
