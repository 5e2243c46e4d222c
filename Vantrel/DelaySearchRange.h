// What the delay search covers for a sample rate and a range: the points of
// its transforms, its block and the largest delay it finds. Hosts ask this
// before they size a measurement, so they report the range actually searched
// and never copy the rule.
#pragma once

#include <cstdint>

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

// The search geometry for `sampleRate` Hz over `maxDelayMs` (cut to
// DELAY_SEARCH_MAX_MS) with frames of `frameLength` samples: the reach
// covers the asked range plus the margin for both signs. false when the
// window would not fit 32 bits.
bool ComputeDelaySearchRange(int sampleRate, uint32_t maxDelayMs, uint32_t frameLength, DelaySearchRange* range);

// Whether the search transforms of `window` points can be built on this
// processor's variant set (false when their memory cannot be had).
bool DelaySearchTransformAvailable(uint32_t window);
