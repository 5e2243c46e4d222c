// Strided two-dimensional copy in one variant set. Every set moves each
// element as an integer word of the element's size, so every bit pattern
// arrives unchanged, signalling NaNs included (moving doubles through a
// floating-point load would quiet them). Rows are copied in order and each
// element is read and then written before the next; the SSE3 and SSSE3 sets
// take two elements per step within a row and then the last of an odd width.
#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/sp_status.h"
#include "primitives/matrix/sp_matrix.h"
#include "primitives/matrix/strided_access.h"

namespace SP_SET_NS {
namespace {
using namespace matrix;

inline constexpr int kPerStep = kSetIndex >= SP_SET_SSE3 ? 2 : 1;

template <class Word>
void CopyWords(const Word* src, int64_t srcRowStride, int64_t srcElemStride, Word* dst, int64_t dstRowStride,
               int64_t dstElemStride, int64_t width, int64_t height) {
  for (int64_t r = 0; r < height; ++r) {
    const int64_t srcRow = r * srcRowStride, dstRow = r * dstRowStride;
    auto move = [&](int64_t c) { StoreAt(dst, dstRow + c * dstElemStride, LoadAt(src, srcRow + c * srcElemStride)); };
    InSteps<kPerStep>(width, move);
  }
}

// The element type T decides the stride rule; Word is the integer moved.
template <class T, class Word>
spStatus Copy2D(const T* src, int32_t srcRowStride, int32_t srcElemStride, T* dst, int32_t dstRowStride,
                int32_t dstElemStride, int32_t width, int32_t height) {
  if (const spStatus s = FirstFailure(CheckArrays(width, src, dst), CheckThat(height >= 1, spErrRowCount)); s != spOk)
    return s;
  if (!AllValidStrides<T>(dstElemStride, srcElemStride)) return spErrStride;
  // One row never steps by a row stride, so its row strides may hold anything.
  if (height > 1 && !AllValidStrides<T>(srcRowStride, dstRowStride)) return spErrStride;
  CopyWords(reinterpret_cast<const Word*>(src), srcRowStride, srcElemStride, reinterpret_cast<Word*>(dst), dstRowStride,
            dstElemStride, width, height);
  return spOk;
}

}  // namespace

spStatus SP_V(spCopy2DStridedF32)(const float* src, int32_t srcRowStride, int32_t srcElemStride, float* dst,
                                  int32_t dstRowStride, int32_t dstElemStride, int32_t width, int32_t height) {
  return Copy2D<float, uint32_t>(src, srcRowStride, srcElemStride, dst, dstRowStride, dstElemStride, width, height);
}

spStatus SP_V(spCopy2DStridedF64)(const double* src, int32_t srcRowStride, int32_t srcElemStride, double* dst,
                                  int32_t dstRowStride, int32_t dstElemStride, int32_t width, int32_t height) {
  return Copy2D<double, uint64_t>(src, srcRowStride, srcElemStride, dst, dstRowStride, dstElemStride, width, height);
}

}  // namespace SP_SET_NS

// The strided 2-D copy dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_COPY_2D_STRIDED_ENTRIES)
#endif
