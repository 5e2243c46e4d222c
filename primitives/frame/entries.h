// How a family states its dispatched primitives: once, as the rows of an
// X-list in its public header, from which everything else is generated.
//
//   #define SP_SUM_ENTRIES(X) X(spStatus, spSumF64, (const double* src, int32_t n, double* sum), (src, n, sum))
//   SP_DECLARE_ENTRIES(SP_SUM_ENTRIES)
//
// A row is X(return type, name, parameters, arguments); the arguments repeat
// the parameter names in order, for the dispatch entry's forwarding call.
//
// SP_DECLARE_ENTRIES declares the public functions and, in a *_variant.cpp
// compilation, the running set's own variants (spSumF64_Sse2 in sp_sse2).
// A set's definition whose signature drifts from the row therefore fails to
// compile at the definition: a different return type conflicts with the
// declaration, different parameters leave a definition with no previous
// declaration (an error for variant sources, -Werror=missing-declarations).
// The variant file ends with the family's dispatch block (dispatch.h).
#pragma once
#include "primitives/frame/set_list.h"

#define SP_DECLARE_ENTRIES(LIST) LIST(SP_DECLARE_PUBLIC_ENTRY) LIST(SP_DECLARE_THIS_SETS_ENTRY)
#define SP_DECLARE_PUBLIC_ENTRY(ret, name, params, args) ret name params;

#ifdef SP_SET_INDEX
#include "primitives/frame/variant_set.h"
#define SP_DECLARE_THIS_SETS_ENTRY(ret, name, params, args) \
  namespace SP_SET_NS {                                     \
  ret SP_V(name) params;                                    \
  }
#else
#define SP_DECLARE_THIS_SETS_ENTRY(ret, name, params, args)
#endif

// Every set's variants of a family's rows, for code that calls the sets
// directly (tests comparing the sets; SP_VARIANT_TABLE then lists them).
#define SP_DECLARE_EVERY_SET(LIST) LIST(SP_DECLARE_EVERY_SETS_ENTRY)
#define SP_DECLARE_EVERY_SETS_ENTRY(ret, name, params, args) SP_DECLARE_VARIANTS(ret, name, params)

// Internal kernels (spk) are stated the same way, as the rows of a list in
// the family's kernel header, without the arguments column (a kernel has no
// dispatch entry to forward to it):
//
//   #define SP_SUM_KERNELS(X) X(double, spkSumF64, (const double* src, int64_t n))
//   SP_DECLARE_KERNELS(SP_SUM_KERNELS)
//
// This declares every set's member (spkSumF64_Sse2 in sp_sse2): a set's code
// calls its own as SP_V(spkSumF64), tests compare the sets by name, and each
// set defines its member under its own name, SP_V(spkSumF64) or, in a block
// for one set, spkSumF64_Sse2. The shared library does not export kernels.
#define SP_DECLARE_KERNELS(LIST) LIST(SP_DECLARE_VARIANTS)
