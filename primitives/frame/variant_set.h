// Included by every *_variant.cpp: the build compiles such a source once per
// variant set with SP_SET_INDEX 0..4 and that set's instruction-set flags
// (the rows of set_list.h). SP_SET_NS is the set's namespace and SP_V(name)
// appends its suffix, so one kernel source defines spAddF32_Generic in
// sp_generic, spAddF32_Sse2 in sp_sse2, and so on.
#pragma once
#include "primitives/frame/set_list.h"

#ifndef SP_SET_INDEX
#error "variant sources are compiled with SP_SET_INDEX 0..4"
#endif
#if SP_SET_INDEX < SP_SET_GENERIC || SP_SET_INDEX > SP_SET_SSSE3
#error "SP_SET_INDEX names no row of set_list.h"
#endif

// The columns of the row of the set being compiled.
#define SP_SET_COLUMN_NS(ctx, index, ns, ...) ns
#define SP_SET_COLUMN_SUFFIX(ctx, index, ns, suffix, ...) suffix
#define SP_SET_COLUMN_NAME(ctx, index, ns, suffix, name, ...) name
#define SP_SET_ROW SP_CAT(SP_SET_ROW_, SP_SET_INDEX)

#define SP_SET_NS SP_SET_ROW(SP_SET_COLUMN_NS, )
#define SP_SET_SUFFIX SP_SET_ROW(SP_SET_COLUMN_SUFFIX, )
#define SP_SET_NAME SP_SET_ROW(SP_SET_COLUMN_NAME, )
#define SP_V(name) SP_CAT(name, SP_SET_SUFFIX)

namespace SP_SET_NS {
inline constexpr int kSetIndex = SP_SET_INDEX;
inline constexpr bool kHasSse = SP_SET_INDEX >= SP_SET_SSE;
inline constexpr bool kHasSse2 = SP_SET_INDEX >= SP_SET_SSE2;
inline constexpr bool kHasSse3 = SP_SET_INDEX >= SP_SET_SSE3;
inline constexpr bool kHasSsse3 = SP_SET_INDEX >= SP_SET_SSSE3;
}  // namespace SP_SET_NS
