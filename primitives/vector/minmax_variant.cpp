// Maximum and minimum primitives: the entries every set shares. The sets
// search differently, one set-group file each (minmax_generic_group.h,
// minmax_sse_group.h, minmax_sse2_group.h); the generic set's scalar rules
// (minmax_rules.h) define every result, and the SIMD sets give the same
// value and index for data free of NaN and of zeros of both signs.
#include "primitives/vector/sp_minmax.h"

#include "primitives/frame/arg_checks.h"
#include "primitives/vector/minmax_generic_group.h"
#include "primitives/vector/minmax_rules.h"
#include "primitives/vector/minmax_sse2_group.h"
#include "primitives/vector/minmax_sse_group.h"

namespace SP_SET_NS {
namespace {

using vminmax::Dir;

template <class T, class Fn>
spStatus RunPlain(const T* src, int32_t n, T* out, Fn fn) {
  if (const spStatus st = CheckArrays(n, src, out); st != spOk) return st;
  *out = fn(src, n);
  return spOk;
}

// A null index makes the call the plain primitive of the same set.
template <class T, class Plain, class Fn>
spStatus RunIndex(const T* src, int32_t n, T* out, int32_t* index, Plain plain, Fn fn) {
  if (index == nullptr) return plain(src, n, out);
  if (const spStatus st = CheckArrays(n, src, out); st != spOk) return st;
  int64_t position = 0;
  *out = fn(src, n, position);
  *index = static_cast<int32_t>(position);  // below n
  return spOk;
}

}  // namespace

spStatus SP_V(spMaxI32)(const int32_t* src, int32_t n, int32_t* max) {
  return RunPlain(src, n, max, vminmax::PlainI32<Dir::kMax>);
}
spStatus SP_V(spMinI32)(const int32_t* src, int32_t n, int32_t* min) {
  return RunPlain(src, n, min, vminmax::PlainI32<Dir::kMin>);
}
spStatus SP_V(spMaxF32)(const float* src, int32_t n, float* max) {
  return RunPlain(src, n, max, vminmax::PlainF32<Dir::kMax>);
}
spStatus SP_V(spMinF32)(const float* src, int32_t n, float* min) {
  return RunPlain(src, n, min, vminmax::PlainF32<Dir::kMin>);
}
spStatus SP_V(spMaxF64)(const double* src, int32_t n, double* max) {
  return RunPlain(src, n, max, vminmax::PlainF64<Dir::kMax>);
}
spStatus SP_V(spMinF64)(const double* src, int32_t n, double* min) {
  return RunPlain(src, n, min, vminmax::PlainF64<Dir::kMin>);
}

spStatus SP_V(spMaxIndexI32)(const int32_t* src, int32_t n, int32_t* out, int32_t* index) {
  return RunIndex(src, n, out, index, SP_V(spMaxI32), vminmax::IndexI32<Dir::kMax>);
}
spStatus SP_V(spMinIndexI32)(const int32_t* src, int32_t n, int32_t* out, int32_t* index) {
  return RunIndex(src, n, out, index, SP_V(spMinI32), vminmax::IndexI32<Dir::kMin>);
}
spStatus SP_V(spMaxIndexF32)(const float* src, int32_t n, float* out, int32_t* index) {
  return RunIndex(src, n, out, index, SP_V(spMaxF32), vminmax::IndexF32<Dir::kMax>);
}
spStatus SP_V(spMinIndexF32)(const float* src, int32_t n, float* out, int32_t* index) {
  return RunIndex(src, n, out, index, SP_V(spMinF32), vminmax::IndexF32<Dir::kMin>);
}
spStatus SP_V(spMaxIndexF64)(const double* src, int32_t n, double* out, int32_t* index) {
  return RunIndex(src, n, out, index, SP_V(spMaxF64), vminmax::IndexF64<Dir::kMax>);
}
spStatus SP_V(spMinIndexF64)(const double* src, int32_t n, double* out, int32_t* index) {
  return RunIndex(src, n, out, index, SP_V(spMinF64), vminmax::IndexF64<Dir::kMin>);
}

}  // namespace SP_SET_NS

// The maximum and minimum dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_MINMAX_ENTRIES)
#endif
