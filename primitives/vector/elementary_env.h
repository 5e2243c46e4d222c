// The float environment the elementary-function variants run under: round to
// nearest, every exception masked, denormals honoured (DAZ and FTZ off).
// Results then do not depend on the caller's settings (a subnormal root stays
// exact under a caller's DAZ, the rounding-constant trick of the exponential
// holds), and on return the caller's register comes back bit for bit: flags
// raised inside do not leak out and flags the caller had set are not lost.
// The kernels never read the flags, so the SIMD sets leave the caller's set
// flags standing inside. Include only from *_variant.cpp.
#pragma once
#include "primitives/frame/variant_set.h"

#if SP_SET_INDEX == SP_SET_GENERIC
#include <cfenv>
#else
#include "primitives/frame/mxcsr_scope.h"
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
  // All exceptions masked, nearest, no DAZ/FTZ. The caller's sticky flags
  // stay set inside (no kernel reads them): a caller whose flags are already
  // raised, as they are in most running programs, then costs no register
  // write on the way in, nor on the way out unless a new flag came up.
  ElementaryFloatEnv() : scope_(MxcsrScope::kExceptionFlags, MxcsrScope::kAllExceptionsMasked) {}

 private:
  MxcsrScope scope_;
#endif

 public:
  ElementaryFloatEnv(const ElementaryFloatEnv&) = delete;
  ElementaryFloatEnv& operator=(const ElementaryFloatEnv&) = delete;
};

}  // namespace SP_SET_NS
