// Included by every *_variant.cpp: the build compiles such a source once per
// variant set with SP_SET_INDEX 0..4 and that set's instruction-set flags.
// SP_SET_NS is the set's namespace and SP_V(name) appends its suffix, so one
// kernel source defines spAddF32_Generic in sp_generic, spAddF32_Sse2 in
// sp_sse2, and so on.
#pragma once

// Named set indices, for conditions on the set being compiled.
#define SP_SET_GENERIC 0
#define SP_SET_SSE 1
#define SP_SET_SSE2 2
#define SP_SET_SSE3 3
#define SP_SET_SSSE3 4

#ifndef SP_SET_INDEX
#error "variant sources are compiled with SP_SET_INDEX 0..4"
#endif

#if SP_SET_INDEX == 0
#define SP_SET_NS sp_generic
#define SP_V(name) name##_Generic
#elif SP_SET_INDEX == 1
#define SP_SET_NS sp_sse
#define SP_V(name) name##_Sse
#elif SP_SET_INDEX == 2
#define SP_SET_NS sp_sse2
#define SP_V(name) name##_Sse2
#elif SP_SET_INDEX == 3
#define SP_SET_NS sp_sse3
#define SP_V(name) name##_Sse3
#elif SP_SET_INDEX == 4
#define SP_SET_NS sp_ssse3
#define SP_V(name) name##_Ssse3
#else
#error "SP_SET_INDEX must be 0..4"
#endif

namespace SP_SET_NS {
inline constexpr int kSetIndex = SP_SET_INDEX;
inline constexpr bool kHasSse = SP_SET_INDEX >= 1;
inline constexpr bool kHasSse2 = SP_SET_INDEX >= 2;
inline constexpr bool kHasSse3 = SP_SET_INDEX >= 3;
inline constexpr bool kHasSsse3 = SP_SET_INDEX >= 4;
}  // namespace SP_SET_NS
