// The five variants of one function, by set index, for tests that call each
// set's variant directly to compare the sets:
//
//   const SumF32Fn kSumF32[] = SP_VARIANT_TABLE(spSumF32);  // kSumF32[2] is spSumF32_Sse2
//
// The variants must be declared (SP_DECLARE_VARIANTS in primitives/frame/dispatch.h).
#pragma once

#define SP_VARIANT_TABLE(name)                                               \
  {&sp_generic::name##_Generic, &sp_sse::name##_Sse, &sp_sse2::name##_Sse2, \
   &sp_sse3::name##_Sse3, &sp_ssse3::name##_Ssse3}
