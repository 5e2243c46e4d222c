// The variant sets, listed once. Every other list of sets is generated from
// the rows below: the current set's namespace and suffix (variant_set.h), the
// declarations and dispatch tables of every primitive (entries.h,
// dispatch.h), the set names and feature tests, the build's per-set
// compilation (cmake/VantrelModules.cmake reads these rows) and the tests'
// per-set tables.
//
// A row: X(ctx, index, namespace, suffix, name, feature, compile flags)
//   index     position in the ladder; a set runs wherever the next one does
//   namespace the namespace its *_variant.cpp code is compiled in
//   suffix    appended to every name of that code (SP_V)
//   name      "sse2": the set's name, and its variant objects' in the build
//   feature   the processor feature it needs: the spCpuFeatureRecord member
//             and the name __builtin_cpu_supports knows (none for generic)
//   flags     the instruction-set flags its *_variant.cpp are compiled with
// `ctx` is passed through unchanged to X, so a walk can carry its own data.
// A new set is one more row, its call in SP_FOR_EACH_SET and a named index.
#pragma once

// Named set indices, for conditions on the set being compiled.
#define SP_SET_GENERIC 0
#define SP_SET_SSE 1
#define SP_SET_SSE2 2
#define SP_SET_SSE3 3
#define SP_SET_SSSE3 4

// What the set being compiled has, for conditions in variant sources (where
// SP_SET_INDEX is defined), so that a condition says why it holds:
//   SP_SET_HAS_F32_VECTORS  four-float vectors (f32x4): SSE on
//   SP_SET_HAS_F64_VECTORS  two-double vectors (f64x2) and packed integers:
//                           SSE2 on
// A condition that picks a set's own member or group stays on the set names.
#define SP_SET_HAS_F32_VECTORS (SP_SET_INDEX >= SP_SET_SSE)
#define SP_SET_HAS_F64_VECTORS (SP_SET_INDEX >= SP_SET_SSE2)

// x86-64 always has SSE2 for scalar work; the generic and SSE sets simply use
// no intrinsics beyond their own instruction sets.
// clang-format off
#define SP_SET_ROW_0(X, ctx) X(ctx, 0, sp_generic, _Generic, "generic",      , "-mno-sse3 -mno-ssse3")
#define SP_SET_ROW_1(X, ctx) X(ctx, 1, sp_sse,     _Sse,     "sse",     sse  , "-mno-sse3 -mno-ssse3")
#define SP_SET_ROW_2(X, ctx) X(ctx, 2, sp_sse2,    _Sse2,    "sse2",    sse2 , "-msse2 -mno-sse3 -mno-ssse3")
#define SP_SET_ROW_3(X, ctx) X(ctx, 3, sp_sse3,    _Sse3,    "sse3",    sse3 , "-msse3 -mno-ssse3")
#define SP_SET_ROW_4(X, ctx) X(ctx, 4, sp_ssse3,   _Ssse3,   "ssse3",   ssse3, "-mssse3")
// clang-format on

// Expands X(ctx, row...) for every set, in index order.
#define SP_FOR_EACH_SET(X, ctx) \
  SP_SET_ROW_0(X, ctx) SP_SET_ROW_1(X, ctx) SP_SET_ROW_2(X, ctx) SP_SET_ROW_3(X, ctx) SP_SET_ROW_4(X, ctx)

#define SP_CAT(a, b) SP_CAT_I(a, b)
#define SP_CAT_I(a, b) a##b
#define SP_STRINGIZE(...) #__VA_ARGS__

// A feature column as a test: `true` for the generic set's empty one.
#define SP_SET_FEATURE_FLAG(record, ...) (true __VA_OPT__(&&(record).__VA_ARGS__))
#define SP_SET_FEATURE_SUPPORTED(...) (true __VA_OPT__(&&__builtin_cpu_supports(SP_STRINGIZE(__VA_ARGS__))))

#define SP_SET_COUNT_ROW(ctx, index, ...) +1
inline constexpr int kSpVariantSetCount = 0 SP_FOR_EACH_SET(SP_SET_COUNT_ROW, );
static_assert(kSpVariantSetCount == SP_SET_SSSE3 + 1, "a named index for every row");

// A parameter that differs by set, as one row of values in set-index order
// (generic, SSE, SSE2, SSE3, SSSE3), read for the set being compiled:
//   inline constexpr SpSetRow<int32_t> kFftLags = {600, 700, 856, 856, 856};
//   ... kFftLags[kSetIndex] ...
// A row must give every set its value.
template <class T>
struct SpSetRow {
  template <class... V>
  constexpr SpSetRow(V... v) : values{static_cast<T>(v)...} {
    static_assert(sizeof...(V) == kSpVariantSetCount, "a value for every set");
  }
  constexpr const T& operator[](int set) const { return values[set]; }
  T values[kSpVariantSetCount];
};

// Declares `ret name<suffix> params` in every set's namespace: a function
// (params in parentheses) or an object (params empty, ret with `extern`).
//   SP_DECLARE_VARIANTS(spStatus, spSumF64, (const double* src, int32_t n, double* sum))
#define SP_DECLARE_VARIANTS(ret, name, params) SP_FOR_EACH_SET(SP_DECLARE_IN_SET, (ret, name, params))
#define SP_DECLARE_IN_SET(entry, index, ns, suffix, ...)        \
  namespace ns {                                                \
  SP_SET_CALL(SP_DECLARE_SUFFIXED, suffix, SP_SET_UNPACK entry) \
  }
#define SP_DECLARE_SUFFIXED(suffix, ret, name, params) ret name##suffix params;
#define SP_SET_UNPACK(...) __VA_ARGS__
#define SP_SET_CALL(macro, ...) macro(__VA_ARGS__)

// Braced list of the addresses of every set's `name`, by set index:
//   const SumF64Fn kSumF64[] = SP_VARIANT_TABLE(spSumF64);  // [2] is sp_sse2::spSumF64_Sse2
#define SP_VARIANT_TABLE(name) \
  { SP_FOR_EACH_SET(SP_ADDRESS_IN_SET, name) }
#define SP_ADDRESS_IN_SET(name, index, ns, suffix, ...) &ns::name##suffix,
