// The float environment the elementary-function variants run under: round to
// nearest, every exception masked, denormals honoured (DAZ and FTZ off) and
// no sticky flags. Results then do not depend on the caller's settings (a
// subnormal root stays exact under a caller's DAZ, the rounding-constant
// trick of the exponential holds), and on return the caller's register comes
// back bit for bit: flags raised inside do not leak out and flags the caller
// had set are not lost. Include only from *_variant.cpp.
#pragma once
#include "primitives/frame/variant_set.h"

#if SP_SET_INDEX == SP_SET_GENERIC
#include <cfenv>
#else
#include <xmmintrin.h>
#endif

namespace SP_SET_NS {

class ElementaryFloatEnv {
 public:
#if SP_SET_INDEX == SP_SET_GENERIC
  // The generic set keeps to the standard interface (no intrinsics).
  ElementaryFloatEnv() {
    std::fegetenv(&saved_);
    std::fesetenv(FE_DFL_ENV);
  }
  ~ElementaryFloatEnv() { std::fesetenv(&saved_); }

 private:
  std::fenv_t saved_;
#else
  static constexpr unsigned kKernelMxcsr = 0x1F80;  // all masked, nearest, no DAZ/FTZ
  ElementaryFloatEnv() : saved_(_mm_getcsr()) {
    if (saved_ != kKernelMxcsr) _mm_setcsr(kKernelMxcsr);
  }
  ~ElementaryFloatEnv() {
    if (_mm_getcsr() != saved_) _mm_setcsr(saved_);
  }

 private:
  unsigned saved_;
#endif

 public:
  ElementaryFloatEnv(const ElementaryFloatEnv&) = delete;
  ElementaryFloatEnv& operator=(const ElementaryFloatEnv&) = delete;
};

}  // namespace SP_SET_NS
