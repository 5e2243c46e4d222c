// The argument checks of the primitive entries, in the order every primitive
// reports them: a null pointer first (spErrNullPointer), then a count below
// the primitive's minimum (spErrLength), then the primitive's own value
// checks (orders, flags, thresholds, record kinds) in the order it lists
// them. An entry writes nothing when a check fails:
//
//   if (const spStatus s = CheckArrays(n, src, dst); s != spOk) return s;
//   if (const spStatus s = CheckArraysMin(n, 2, src, stdDev); ...)  // at least 2
//   if (const spStatus s = FirstFailure(CheckArrays(n, p), CheckThat(t >= 0, spErrThreshold)); ...)
//
// Include only from *_variant.cpp (the helpers live in the set's namespace).
#pragma once
#include <cstdint>

#include "primitives/frame/sp_status.h"
#include "primitives/frame/variant_set.h"

namespace SP_SET_NS {

// spErrNullPointer when any pointer is null.
template <class... P>
inline spStatus CheckPointers(const P*... p) {
  return ((p == nullptr) || ...) ? spErrNullPointer : spOk;
}

// spErrLength when n is below `minimum`.
inline spStatus CheckLength(int64_t n, int64_t minimum = 1) { return n < minimum ? spErrLength : spOk; }

// Pointers, then a count of at least 1.
template <class... P>
inline spStatus CheckArrays(int64_t n, const P*... p) {
  if (const spStatus s = CheckPointers(p...); s != spOk) return s;
  return CheckLength(n);
}
// Whether CheckArrays passes, in one branch: the comparisons joined by a
// plain or, so that a short call's checks cost a single branch on the
// usual path (CheckArrays then tells which one failed).
template <class... P>
inline bool ArraysPass(int64_t n, const P*... p) {
  return !(((p == nullptr) | ...) | (n < 1));
}
// Pointers, then a count of at least `minimum`.
template <class... P>
inline spStatus CheckArraysMin(int64_t n, int64_t minimum, const P*... p) {
  if (const spStatus s = CheckPointers(p...); s != spOk) return s;
  return CheckLength(n, minimum);
}

// `failure` unless the condition holds.
inline spStatus CheckThat(bool holds, spStatus failure) { return holds ? spOk : failure; }

// The first status that is not spOk, in the order given (every check is
// evaluated; they are plain comparisons).
template <class... S>
inline spStatus FirstFailure(spStatus first, S... rest) {
  if (first != spOk) return first;
  if constexpr (sizeof...(rest) > 0)
    return FirstFailure(rest...);
  else
    return spOk;
}

}  // namespace SP_SET_NS
