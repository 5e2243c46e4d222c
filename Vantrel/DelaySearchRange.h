// What the delay search covers for a sample rate and a range: the points of
// its transforms, its block and the largest delay it finds, the memory its
// buffers take and the input it reads before it can call a delay reliable.
// CMsystem::Init settles the range by PlanDelaySearch (narrowed to what the
// memory and the files allow, or refused with a reason); hosts ask the same
// before they size a measurement, so they report the range actually
// searched and never copy the rule.
#pragma once

#include <cstdint>
#include <string>

// Longest search range the component accepts; longer requests are cut to it.
constexpr uint32_t DELAY_SEARCH_MAX_MS = 240000;
// The search takes a block only when its energy exceeds this many times the
// block length (16-bit units squared), and needs this many such blocks
// before it calls a delay reliable.
constexpr double DELAY_SEARCH_BLOCK_ENERGY_PER_SAMPLE = 8.0;
constexpr int32_t DELAY_SEARCH_RELIABLE_BLOCKS = 15;
// The search looks at least this far beyond the asked range (and at least
// one search block), so that a delay just beyond it, or a look-alike one
// pitch period short of it, shows as beyond the range instead of being
// taken for a delay inside it.
constexpr uint32_t DELAY_SEARCH_MARGIN_MS = 25;

struct DelaySearchRange {
  uint32_t window = 0;       // points of the search transforms, a power of two
  uint32_t block = 0;        // samples per search block
  int64_t reachSamples = 0;  // largest |delay| the search can find, in samples
  // The asked range in samples: a delay found beyond it is reported as
  // beyond the range, never as reliable.
  int64_t maxDelaySamples = 0;
};

// The largest search window: the transforms stop at 2^30 points, and the
// rings are indexed by signed 32-bit positions.
constexpr uint32_t DELAY_SEARCH_MAX_WINDOW = 1u << 30;

// The search geometry for `sampleRate` Hz over `maxDelayMs` (cut to
// DELAY_SEARCH_MAX_MS) with frames of `frameLength` samples: the reach
// covers the asked range plus the margin for both signs. false when the
// window would exceed DELAY_SEARCH_MAX_WINDOW.
bool ComputeDelaySearchRange(int sampleRate, uint32_t maxDelayMs, uint32_t frameLength, DelaySearchRange* range);

// Bytes of the search's buffers per point of its window (both correlators
// with their histories and spectra, the transform's tables, the rings),
// measured on this component: about 3.8 GB for 2^24 points.
constexpr uint64_t DELAY_SEARCH_BYTES_PER_WINDOW_POINT = 240;
// Bytes the rings take per sample of a fixed offset between the inputs
// (two signals, two channels, raw and filtered floats).
constexpr uint64_t DELAY_SEARCH_BYTES_PER_OFFSET_SAMPLE = 32;

// The memory a search over `range` takes, with an inter-input offset of
// `offsetSamples` (either sign).
uint64_t DelaySearchBytes(const DelaySearchRange& range, int64_t offsetSamples = 0);

// The memory a search may take: half the physical memory, and no more than
// three quarters of what the process's address-space and data limits leave.
uint64_t DelaySearchMemoryBudget();

// Input samples the search reads before it can call a delay reliable: the
// window fills the ring, then 16 more frames.
int64_t DelaySearchSamplesNeeded(uint32_t window, uint32_t frameLength);

// Why a plan searches less than was asked.
enum class DelaySearchNarrowing {
  None,
  InputLength,  // the inputs are too short to fill the asked range's window
  Memory,       // the asked range's buffers exceed the budget
  Transform,    // the asked range's transform cannot be built
};

struct DelaySearchPlan {
  uint32_t askedMs = 0;  // cut to DELAY_SEARCH_MAX_MS
  uint32_t usedMs = 0;   // the range searched: askedMs unless narrowed
  DelaySearchNarrowing narrowing = DelaySearchNarrowing::None;
  DelaySearchRange range;   // of usedMs
  uint64_t askedBytes = 0;  // the asked range's buffers
  int64_t samplesNeeded = 0;
};

// Settles the range a search asked for `askedMs` uses, for inputs of
// `inputFrames` samples (the shorter input; negative when unknown, as for
// live inputs) and a memory `budget`: the asked range when its buffers fit
// and the inputs can fill its window, else the largest that does (inputs
// too short for any range get the range of the smallest window); then
// halved while its transform cannot be built. false, with the reason in
// *why when given, when the asked range's window exceeds
// DELAY_SEARCH_MAX_WINDOW or not even the smallest fits the budget.
bool PlanDelaySearch(int sampleRate, uint32_t askedMs, uint32_t frameLength, int64_t inputFrames, uint64_t budget,
                     DelaySearchPlan* plan, std::string* why = nullptr);

// Whether the search transforms of `window` points can be built on this
// processor's variant set (false when their memory cannot be had).
bool DelaySearchTransformAvailable(uint32_t window);
