// Threshold in place, one variant set. relation 4 clips above the level,
// every other relation clips below.
//
// Generic: ordered comparisons; clip above also replaces NaN elements (and a
// NaN level is written everywhere), clip below leaves them. SIMD: the
// minimum (clip above) or maximum (clip below) instruction with the element
// first and the level second, so an unordered or equal pair stores the
// level. The SSE set in double precision has no double instructions and
// compares bit patterns as integers.
#include "primitives/vector/sp_threshold.h"

#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/elementwise_walk.h"
#include "primitives/frame/sp_status.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

constexpr int32_t kClipAbove = 4;

template <class T>
void ThresholdOrdered(T* p, int64_t n, T level, bool clipAbove) {
  if (clipAbove) {
    for (int64_t i = 0; i < n; ++i)
      if (!(Ld(p + i) <= level)) St(p + i, level);  // greater, or unordered
  } else {
    for (int64_t i = 0; i < n; ++i)
      if (Ld(p + i) < level) St(p + i, level);
  }
}

#if SP_SET_INDEX == SP_SET_SSE
void spkThresholdF64ByBits(double* p, int64_t n, double level, bool clipAbove) {
  const int64_t levelKey = F64OrderKey(level);
  auto one = [&](int64_t i) {
    const int64_t key = F64OrderKey(Ld(p + i));
    if (clipAbove ? key > levelKey : key < levelKey) St(p + i, level);
  };
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    one(i);
    one(i + 1);
    one(i + 2);
    one(i + 3);
  }
  for (; i < n; ++i) one(i);
}
#endif

#if SP_SET_HAS_F32_VECTORS
using walk::kLanes;
using walk::LoadAs;
using walk::Vec;

// min(x, level) or max(x, level) with the instructions' operand order.
template <bool ClipAbove, class T>
inline T ClipOne(T x, T level) {
  if constexpr (ClipAbove)
    return x < level ? x : level;
  else
    return x > level ? x : level;
}
template <bool ClipAbove, class V>
inline V ClipVec(V x, V level) {
  if constexpr (ClipAbove)
    return simd::Min(x, level);
  else
    return simd::Max(x, level);
}

template <bool ClipAbove, bool Aligned, class T>
void ClipBlocks(T* p, int64_t count, Vec<T> level) {
  constexpr int64_t L = kLanes<T>;
  for (int64_t i = 0; i < count; i += 2 * L) {
    constexpr walk::StoreKind K = Aligned ? walk::StoreKind::Aligned : walk::StoreKind::Unaligned;
    walk::StoreAs<K>(p + i, ClipVec<ClipAbove>(LoadAs<Aligned>(p + i), level));
    walk::StoreAs<K>(p + i + L, ClipVec<ClipAbove>(LoadAs<Aligned>(p + i + L), level));
  }
}

// Singles until 16-byte aligned, two vectors per step, then one vector and
// singles.
template <bool ClipAbove, class T>
void spkThreshold(T* p, int64_t n, T level) {
  constexpr int64_t L = kLanes<T>;
  int64_t i = 0;
  for (; i < n && ElementAligned(p + i) && !Aligned16(p + i); ++i) St(p + i, ClipOne<ClipAbove>(Ld(p + i), level));
  const int64_t count = (n - i) / (2 * L) * (2 * L);
  const Vec<T> lv = simd::Splat(level);
  if (Aligned16(p + i))
    ClipBlocks<ClipAbove, true>(p + i, count, lv);
  else
    ClipBlocks<ClipAbove, false>(p + i, count, lv);
  i += count;
  if (i + L <= n) {
    simd::StoreU(p + i, ClipVec<ClipAbove>(simd::LoadU(p + i), lv));
    i += L;
  }
  for (; i < n; ++i) St(p + i, ClipOne<ClipAbove>(Ld(p + i), level));
}
#endif

}  // namespace

spStatus SP_V(spThresholdInPlaceF32)(float* srcDst, int32_t n, float level, int32_t relation) {
  if (const spStatus st = CheckArrays(n, srcDst); st != spOk) return st;
#if SP_SET_HAS_F32_VECTORS
  if (relation == kClipAbove)
    spkThreshold<true>(srcDst, n, level);
  else
    spkThreshold<false>(srcDst, n, level);
#else
  ThresholdOrdered(srcDst, n, level, relation == kClipAbove);
#endif
  return spOk;
}

spStatus SP_V(spThresholdInPlaceF64)(double* srcDst, int32_t n, double level, int32_t relation) {
  if (const spStatus st = CheckArrays(n, srcDst); st != spOk) return st;
#if SP_SET_HAS_F64_VECTORS
  if (relation == kClipAbove)
    spkThreshold<true>(srcDst, n, level);
  else
    spkThreshold<false>(srcDst, n, level);
#elif SP_SET_INDEX == SP_SET_SSE
  spkThresholdF64ByBits(srcDst, n, level, relation == kClipAbove);
#else
  ThresholdOrdered(srcDst, n, level, relation == kClipAbove);
#endif
  return spOk;
}

}  // namespace SP_SET_NS

// The threshold dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_THRESHOLD_ENTRIES)
#endif
