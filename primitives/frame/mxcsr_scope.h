// A kernel's own MXCSR word for the duration of a scope: the word becomes
// (caller's word & keep) | set, and on leaving the caller's word comes back
// bit for bit (flags raised inside do not leak out, flags the caller had set
// are not lost). Each register write is skipped where the word already has
// the value wanted: a write costs far more than the read that checks it.
// SSE and later sets. Code outside the variant sets (tests that run a
// primitive under a given word) reads and writes the register through
// ReadMxcsr and WriteMxcsr instead.
#pragma once
#include <xmmintrin.h>

#ifndef SP_SET_INDEX

inline unsigned ReadMxcsr() { return _mm_getcsr(); }
inline void WriteMxcsr(unsigned word) { _mm_setcsr(word); }

#else
#include "primitives/frame/variant_set.h"

namespace SP_SET_NS {

class MxcsrScope {
 public:
  static constexpr unsigned kAllExceptionsMasked = 0x1F80;
  static constexpr unsigned kExceptionFlags = 0x003F;
  static constexpr unsigned kRoundingField = 0x6000;
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;

  MxcsrScope(unsigned keep, unsigned set) : saved_(_mm_getcsr()) {
    const unsigned wanted = (saved_ & keep) | set;
    if (wanted != saved_) _mm_setcsr(wanted);
  }
  ~MxcsrScope() {
    if (_mm_getcsr() != saved_) _mm_setcsr(saved_);
  }
  MxcsrScope(const MxcsrScope&) = delete;
  MxcsrScope& operator=(const MxcsrScope&) = delete;

 private:
  unsigned saved_;
};

}  // namespace SP_SET_NS

#endif
