// Natural logarithm of the generic set: the C library's log in double
// precision, element by element, after the shared special results.
#pragma once
#include "primitives/vector/ln_rules.h"

#if SP_SET_INDEX == SP_SET_GENERIC
namespace SP_SET_NS::vln {
namespace {

spStatus LnArrayF32(const float* src, float* dst, int64_t n) {
  FirstWarning w;
  LibraryLnArray(src, dst, n, w);
  return w.status;
}
spStatus LnArrayF64(const double* src, double* dst, int64_t n) {
  FirstWarning w;
  LibraryLnArray(src, dst, n, w);
  return w.status;
}

}  // namespace
}  // namespace SP_SET_NS::vln
#endif
