// Conversions of sample arrays between integer widths (8, 16, 32 bits) and
// float or double, mapped onto the conversion primitives. Conversions no
// single primitive does are staged through the scratch buffer of a
// caller-held MathlibConvCache, reused while count and width stay the same.
#pragma once
#include <cstdint>

#include "primitives/frame/sp_status.h"

struct MathlibConvCache {
  int32_t count;        // elements the buffer was made for
  void* buffer;         // from MathlibAlloc, or null
  int32_t elementBits;  // 16 or 32
};

// Rounding passes of MathlibF64ToInt; with several set, the last one wins.
constexpr int32_t MathlibRoundNearest = 0x80;  // ties to even
constexpr int32_t MathlibRoundTrunc = 0x100;   // toward zero
constexpr int32_t NSP_TruncNeg = 0x200;        // toward minus infinity, element by element

// Returned for an element width the conversions do not know; nothing is written.
constexpr spStatus MathlibErrWidth = -1;

MathlibConvCache* MathlibConvCacheCreate();
void MathlibConvCacheFree(MathlibConvCache* cache);

// width 32, 16 or 8 (int32_t, int16_t, int8_t sources). The record is unused.
spStatus MathlibIntToF32(MathlibConvCache* cache, const void* src, float* dst, int32_t n, int32_t width);
// width 8 stages through the record's int16 buffer; without a record a
// temporary one is used and released before returning.
spStatus MathlibIntToF64(MathlibConvCache* cache, const void* src, double* dst, int32_t n, int32_t width);
// width 32 (int32_t) or 16 (int16_t, staged through an int32 buffer);
// values beyond the range saturate.
void MathlibF64ToInt(MathlibConvCache* cache, const double* src, void* dst, int32_t n, int32_t width, int32_t flags);
