// The loops a caller would write in place of the short-call primitives,
// compiled in their own file twice (-O3 -mssse3 into plain_o3, -O2 -mssse3
// into plain_o2), built as a shared library and called through non-inlined
// functions, as a primitive is. Each has the primitive's semantics: the sum adds in double and rounds
// once, the dot product adds float products in float, the conversion, the
// split of interleaved complex values and the zero fill are exact (the
// zero fill a loop of SSE stores, not the C library's memset).
#pragma once
#include <cstdint>

#define PLAIN_SHORT_LOOPS_DECLARE(ns)                                 \
  namespace ns {                                                      \
  float SumF32(const float* x, int32_t n);                            \
  float DotF32(const float* a, const float* b, int32_t n);            \
  void ConvI16ToF32(const int16_t* src, float* dst, int32_t n);       \
  void AddF32(const float* a, const float* b, float* dst, int32_t n); \
  void MulF32(const float* a, const float* b, float* dst, int32_t n); \
  void SplitComplexC32(const float* src, float* dstRe, float* dstIm,  \
                       int32_t n);                                    \
  void ZeroF32(float* dst, int32_t n);                                \
  }

PLAIN_SHORT_LOOPS_DECLARE(plain_o3)
PLAIN_SHORT_LOOPS_DECLARE(plain_o2)
