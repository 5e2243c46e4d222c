// The running set's member of an internal kernel, for code above the
// primitives, which has no set of its own (the math layer, the wave layer):
// picked from the kernel's table of every set's member by the index the
// dispatch entries read, on each call.
//   SP_RUNNING_KERNEL(spkWidenF32ToF64)(src, dst, n);
// The kernel's header (SP_DECLARE_KERNELS) must be included.
#pragma once
#include "primitives/frame/dispatch.h"

// The first set's member, for the table's element type.
#define SP_ADDRESS_IN_FIRST_SET(name, index, ns, suffix, ...) &ns::name##suffix

#define SP_RUNNING_KERNEL(name)                                                    \
  ([] {                                                                            \
    using Member = decltype(SP_SET_ROW_0(SP_ADDRESS_IN_FIRST_SET, name));          \
    static constexpr Member kMembers[kSpVariantSetCount] = SP_VARIANT_TABLE(name); \
    return kMembers[spDispatchIndex.load(std::memory_order_relaxed)];              \
  }())
