// Matrix product entries of one variant set: the argument checks in their
// fixed order, then the unit-stride kernel when all three element strides
// are one element, else the byte-stride kernel of the same set.
#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/matrix/matrix_kernels.h"
#include "primitives/matrix/sp_matrix.h"
#include "primitives/matrix/strided_access.h"

namespace SP_SET_NS {
namespace {
using namespace matrix;

template <class T, class UnitKernel, class ByteKernel>
spStatus MatMulMat(const T* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth, int32_t aHeight, const T* B,
                   int32_t bRowStride, int32_t bElemStride, int32_t bWidth, int32_t bHeight, T* C, int32_t cRowStride,
                   int32_t cElemStride, UnitKernel unitKernel, ByteKernel byteKernel) {
  if (const spStatus s = FirstFailure(
          CheckPointers(A, B, C), CheckLength(aHeight), CheckLength(aWidth), CheckLength(bWidth), CheckLength(bHeight),
          CheckThat(aWidth == bHeight, spErrSizeMismatch),
          CheckThat(AllValidStrides<T>(aRowStride, aElemStride, bRowStride, bElemStride, cRowStride, cElemStride),
                    spErrStride));
      s != spOk)
    return s;
  constexpr int32_t E = sizeof(T);
  if (aElemStride == E && bElemStride == E && cElemStride == E)
    return unitKernel(A, aRowStride, aWidth, aHeight, B, bRowStride, bWidth, bHeight, C, cRowStride);
  return byteKernel(A, aRowStride, aElemStride, aWidth, aHeight, B, bRowStride, bElemStride, bWidth, bHeight, C,
                    cRowStride, cElemStride);
}

}  // namespace

spStatus SP_V(spMatMulMatF32)(const float* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth, int32_t aHeight,
                              const float* B, int32_t bRowStride, int32_t bElemStride, int32_t bWidth, int32_t bHeight,
                              float* C, int32_t cRowStride, int32_t cElemStride) {
  return MatMulMat(A, aRowStride, aElemStride, aWidth, aHeight, B, bRowStride, bElemStride, bWidth, bHeight, C,
                   cRowStride, cElemStride, SP_V(spkMatMulMatUnitStrideF32), SP_V(spkMatMulMatByteStrideF32));
}

spStatus SP_V(spMatMulMatF64)(const double* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth, int32_t aHeight,
                              const double* B, int32_t bRowStride, int32_t bElemStride, int32_t bWidth, int32_t bHeight,
                              double* C, int32_t cRowStride, int32_t cElemStride) {
  return MatMulMat(A, aRowStride, aElemStride, aWidth, aHeight, B, bRowStride, bElemStride, bWidth, bHeight, C,
                   cRowStride, cElemStride, SP_V(spkMatMulMatUnitStrideF64), SP_V(spkMatMulMatByteStrideF64));
}

}  // namespace SP_SET_NS

// The matrix-product dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_MAT_MUL_MAT_ENTRIES)
#endif
