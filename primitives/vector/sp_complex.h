// Complex-array primitives on interleaved (re, im) arrays counted in complex
// elements: multiplication, conjugation in place, and splitting into real
// and imaginary arrays.
//
// Every call checks null pointers in argument order (-8) then n below 1 (-6)
// and writes nothing on an error; otherwise it returns spOk.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_COMPLEX_MUL_ENTRIES(X)                                                                \
  /* dst[k] = a[k] * b[k]. dst may also be the very same array as a or b (every                  \
     element's inputs are read before its result is stored), but not an offset                   \
     one. The generic single-precision variant forms the products and their sum                  \
     in double and rounds once; the other sets round each product to float                       \
     first, so the two can differ in the last place. */                                          \
  X(spStatus, spMulC32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n)) \
  X(spStatus, spMulC64, (const double* a, const double* b, double* dst, int32_t n), (a, b, dst, n))
SP_DECLARE_ENTRIES(SP_COMPLEX_MUL_ENTRIES)

#define SP_CONJ_SPLIT_ENTRIES(X)                                                 \
  /* Negates every imaginary part; real parts are not touched. Exception: the    \
     SSE set's single-precision variant computes 0 - im, so +0 stays +0 (the     \
     other sets give -0) and a NaN keeps its sign, quieted. The generic set (and \
     the SSE set in double precision) negates on the x87 unit, which quiets a    \
     signalling NaN; SSE2 and later flip only the sign bit. */                   \
  X(spStatus, spConjInPlaceC32, (float* srcDst, int32_t n), (srcDst, n))         \
  X(spStatus, spConjInPlaceC64, (double* srcDst, int32_t n), (srcDst, n))        \
  /* dstRe[k] = src[2k], dstIm[k] = src[2k+1], copied bit for bit. The outputs   \
     must not overlap the source. */                                             \
  X(spStatus, spSplitComplexC32, (const float* src, float* dstRe, float* dstIm, int32_t n), (src, dstRe, dstIm, n))
SP_DECLARE_ENTRIES(SP_CONJ_SPLIT_ENTRIES)
