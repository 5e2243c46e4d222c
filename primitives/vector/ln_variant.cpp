// Natural-logarithm primitives: the entries every set shares. The sets run
// different algorithms, one set-group file each:
//   generic  ln_generic_group.h: C library log in double precision;
//   SSE      ln_sse_group.h: reciprocal estimate plus Newton step for
//            floats, a degree-7 series in double for doubles;
//   SSE2+    ln_sse2_group.h: four floats at a time with a division, two
//            doubles at a time through a 65-row table.
// Every set gives -inf (7) for +0, the negative default NaN (8) for anything
// with the sign bit set, +inf for +inf, a positive NaN without warning for
// a positive NaN (the generic set the default one, the SSE2+ float kernels
// a quiet one unchanged), and the logarithm of positive subnormals
// (normalised first). The status is the warning of the lowest-indexed zero
// or negative.
#include "primitives/vector/sp_ln.h"

#include "primitives/frame/arg_checks.h"
#include "primitives/vector/ln_generic_group.h"
#include "primitives/vector/ln_rules.h"
#include "primitives/vector/ln_sse2_group.h"
#include "primitives/vector/ln_sse_group.h"

namespace SP_SET_NS {

spStatus SP_V(spLnInPlaceF32)(float* srcDst, int32_t len) {
  if (const spStatus s = CheckArrays(len, srcDst); s != spOk) return s;
  return vln::LnArrayF32(srcDst, srcDst, len);
}

spStatus SP_V(spLnF32)(const float* src, float* dst, int32_t len) {
  if (const spStatus s = CheckArrays(len, src, dst); s != spOk) return s;
  return vln::LnArrayF32(src, dst, len);
}

spStatus SP_V(spLnInPlaceF64)(double* srcDst, int32_t len) {
  if (const spStatus s = CheckArrays(len, srcDst); s != spOk) return s;
  return vln::LnArrayF64(srcDst, srcDst, len);
}

spStatus SP_V(spLnF64)(const double* src, double* dst, int32_t len) {
  if (const spStatus s = CheckArrays(len, src, dst); s != spOk) return s;
  return vln::LnArrayF64(src, dst, len);
}

}  // namespace SP_SET_NS

// The natural-logarithm dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_LN_ENTRIES)
#endif
