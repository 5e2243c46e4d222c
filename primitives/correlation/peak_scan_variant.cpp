// The peak search's passes over a lag vector in one variant set: the
// scratch copy (magnitudes, sign bits cleared) with the extreme of each run
// of it and, in one pass, the entries at two bounds with the runner-up. Four per step in the sets with
// float vectors; the runner-up's block index rides in a float lane, exact
// below 2^24 blocks (longer vectors take the plain loop).
#include "primitives/correlation/correlator_kernels.h"

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

namespace {

constexpr uint32_t kSignBit = 0x80000000u;
constexpr int64_t kLargestLaneBlocks = int64_t(1) << 24;

// By the four lanes' hit bits: how many hit, and the highest that did.
constexpr int8_t kHitCount[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
constexpr int8_t kHighestHit[16] = {-1, 0, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3};

// The running state of a scan: the count and highest index at each bound,
// and the best value with its first index (-1: none yet).
struct Scan {
  int64_t count = 0;
  int64_t last = -1;
  int64_t equalCount = 0;
  int64_t equalLast = -1;
  float best;
  int64_t bestIndex = -1;
};

struct Bounds {
  float candidate;
  float equal;
};

template <bool AtLeast>
inline bool Beyond(float x, float bound) {
  return AtLeast ? x >= bound : x <= bound;
}
template <bool AtLeast>
inline bool Better(float x, float best) {
  return AtLeast ? x > best : x < best;
}

// Entry i with value x at the bounds.
template <bool AtLeast>
inline void CountAtBounds(float x, int64_t i, Bounds bounds, Scan& s) {
  if (Beyond<AtLeast>(x, bounds.candidate)) {
    s.last = i;
    ++s.count;
  }
  if (Beyond<AtLeast>(x, bounds.equal)) {
    s.equalLast = i;
    ++s.equalCount;
  }
}

template <bool AtLeast>
void ScanPlain(const float* v, int64_t from, int64_t to, Bounds bounds, Scan& s) {
  for (int64_t i = from; i < to; ++i) {
    const float x = Ld(v + i);
    CountAtBounds<AtLeast>(x, i, bounds, s);
    if (Better<AtLeast>(x, s.best)) {
      s.best = x;
      s.bestIndex = i;
    }
  }
}

// [from, to) in steps of four, then the rest plainly.
template <bool AtLeast>
void ScanRange(const float* v, int64_t from, int64_t to, Bounds bounds, Scan& s) {
  int64_t i = from;
#if SP_SET_HAS_F32_VECTORS
  if ((to - from) / 4 < kLargestLaneBlocks && to - from >= 8) {
    const f32x4 limit = Splat(bounds.candidate);
    const f32x4 equalLimit = Splat(bounds.equal);
    f32x4 best = Splat(s.best);
    f32x4 bestBlock = Splat(-1.0f);
    f32x4 block = Zero4();
    const f32x4 one = Splat(1.0f);
    for (; i + 4 <= to; i += 4) {
      const f32x4 x = LoadU(v + i);
      const int hits = MoveMask(AtLeast ? CmpGe(x, limit) : CmpLe(x, limit));
      s.count += kHitCount[hits];
      s.last = hits != 0 ? i + kHighestHit[hits] : s.last;
      const int equalHits = MoveMask(AtLeast ? CmpGe(x, equalLimit) : CmpLe(x, equalLimit));
      s.equalCount += kHitCount[equalHits];
      s.equalLast = equalHits != 0 ? i + kHighestHit[equalHits] : s.equalLast;
      // Strictly better only: within a lane the earliest of equal values stays.
      const f32x4 better = AtLeast ? CmpGt(x, best) : CmpLt(x, best);
      best = Select(better, x, best);
      bestBlock = Select(better, block, bestBlock);
      block = Add(block, one);
    }
    // Lane j of block k is entry from + 4k + j; of equal bests the lowest entry.
    for (int lane = 0; lane < 4; ++lane) {
      const float laneBlock = Lane(bestBlock, lane);
      if (laneBlock < 0.0f) continue;
      const float x = Lane(best, lane);
      const int64_t index = from + 4 * int64_t(laneBlock) + lane;
      if (s.bestIndex < 0 || Better<AtLeast>(x, s.best) || (x == s.best && index < s.bestIndex)) {
        s.best = x;
        s.bestIndex = index;
      }
    }
  }
#endif
  ScanPlain<AtLeast>(v, i, to, bounds, s);
}

template <bool AtLeast>
void TiesAndRunner(const float* v, int64_t n, Bounds bounds, int64_t skip, SpkTiesRunner* out) {
  Scan s;
  s.best = AtLeast ? -__builtin_inff() : __builtin_inff();
  if (skip < 0 || skip >= n) {
    ScanRange<AtLeast>(v, 0, n, bounds, s);
  } else {
    ScanRange<AtLeast>(v, 0, skip, bounds, s);
    // The skipped entry counts at the bounds; it only cannot be the runner-up.
    CountAtBounds<AtLeast>(Ld(v + skip), skip, bounds, s);
    Scan after;
    after.best = s.best;
    ScanRange<AtLeast>(v, skip + 1, n, bounds, after);
    s.count += after.count;
    if (after.last >= 0) s.last = after.last;
    s.equalCount += after.equalCount;
    if (after.equalLast >= 0) s.equalLast = after.equalLast;
    // Later entries win only when strictly better.
    if (after.bestIndex >= 0 && (s.bestIndex < 0 || Better<AtLeast>(after.best, s.best))) {
      s.best = after.best;
      s.bestIndex = after.bestIndex;
    }
  }
  out->count = s.count;
  out->last = s.last;
  out->equalCount = s.equalCount;
  out->equalLast = s.equalLast;
  out->runner = s.best;
  out->runnerIndex = s.bestIndex;
}

// The copy and, in the same pass, the extreme of each run.
template <bool Largest>
void ScratchAndRuns(const float* src, float* dst, int64_t n, bool magnitudes, float* runs) {
  const float none = Largest ? -__builtin_inff() : __builtin_inff();
#if SP_SET_HAS_F32_VECTORS
  // The bits kept: all but the sign for magnitudes (an and that leaves
  // the loaded value's register the result).
  const f32x4 kept = SplatBits(magnitudes ? ~kSignBit : ~0u);
  // The new value first: a NaN in it leaves the running extreme, so no
  // lane ever holds one.
  auto take = [](f32x4 x, f32x4 lanes) { return Largest ? Max(x, lanes) : Min(x, lanes); };
#endif
  for (int64_t start = 0, run = 0; start < n; start += kSpPeakRun, ++run) {
    const int64_t end = start + kSpPeakRun < n ? start + kSpPeakRun : n;
    float extreme = none;
    int64_t i = start;
#if SP_SET_HAS_F32_VECTORS
    if (i + 4 <= end) {
      // Four vectors a step on four running extremes, which the copy's
      // loads and stores then bound rather than the chain of comparisons.
      f32x4 a = Splat(none), b = a, c = a, d = a;
      auto copy = [&](int64_t at) {
        const f32x4 x = And(LoadU(src + at), kept);
        StoreU(dst + at, x);
        return x;
      };
      for (; i + 16 <= end; i += 16) {
        a = take(copy(i), a);
        b = take(copy(i + 4), b);
        c = take(copy(i + 8), c);
        d = take(copy(i + 12), d);
      }
      for (; i + 4 <= end; i += 4) a = take(copy(i), a);
      // Of equal extremes any serves: a search takes the first entry that
      // equals the run's extreme, and zeros of either sign compare equal.
      f32x4 all = take(take(a, b), take(c, d));
      all = take(SwapHalves(all), all);
      extreme = Lane0(take(SwapPairs(all), all));
    }
#endif
    for (; i < end; ++i) {
      const float x = magnitudes ? __builtin_fabsf(Ld(src + i)) : Ld(src + i);
      St(dst + i, x);
      if (Better<Largest>(x, extreme)) extreme = x;
    }
    runs[run] = extreme;
  }
}

}  // namespace

void SP_V(spkPeakScratchF32)(const float* src, float* dst, int64_t n, bool magnitudes, bool largest, float* runs) {
  if (largest)
    ScratchAndRuns<true>(src, dst, n, magnitudes, runs);
  else
    ScratchAndRuns<false>(src, dst, n, magnitudes, runs);
}

void SP_V(spkTiesAndRunnerF32)(const float* v, int64_t n, float bound, float equalBound, bool atLeast, int64_t skip,
                               SpkTiesRunner* out) {
  if (atLeast)
    TiesAndRunner<true>(v, n, Bounds{bound, equalBound}, skip, out);
  else
    TiesAndRunner<false>(v, n, Bounds{bound, equalBound}, skip, out);
}

}  // namespace SP_SET_NS
