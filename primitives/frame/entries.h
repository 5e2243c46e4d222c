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
