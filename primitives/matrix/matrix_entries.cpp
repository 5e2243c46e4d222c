// Dispatch entries of the matrix primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/matrix/sp_matrix.h"

SP_DISPATCH(spStatus, spMulConstStridedF32,
            (const float* src, int32_t srcStride, float val, float* dst, int32_t dstStride, int32_t len),
            (src, srcStride, val, dst, dstStride, len))
SP_DISPATCH(spStatus, spMulConstStridedF64,
            (const double* src, int32_t srcStride, double val, double* dst, int32_t dstStride, int32_t len),
            (src, srcStride, val, dst, dstStride, len))
SP_DISPATCH(spStatus, spMatMulVecF32,
            (const float* mat, int32_t matRowStride, int32_t matElemStride, int32_t width, int32_t height,
             const float* vec, int32_t vecStride, int32_t vecLen, float* dst, int32_t dstStride),
            (mat, matRowStride, matElemStride, width, height, vec, vecStride, vecLen, dst, dstStride))
SP_DISPATCH(spStatus, spMatMulVecF64,
            (const double* mat, int32_t matRowStride, int32_t matElemStride, int32_t width, int32_t height,
             const double* vec, int32_t vecStride, int32_t vecLen, double* dst, int32_t dstStride),
            (mat, matRowStride, matElemStride, width, height, vec, vecStride, vecLen, dst, dstStride))
SP_DISPATCH(spStatus, spMatMulMatF32,
            (const float* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth, int32_t aHeight,
             const float* B, int32_t bRowStride, int32_t bElemStride, int32_t bWidth, int32_t bHeight, float* C,
             int32_t cRowStride, int32_t cElemStride),
            (A, aRowStride, aElemStride, aWidth, aHeight, B, bRowStride, bElemStride, bWidth, bHeight, C,
             cRowStride, cElemStride))
SP_DISPATCH(spStatus, spMatMulMatF64,
            (const double* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth, int32_t aHeight,
             const double* B, int32_t bRowStride, int32_t bElemStride, int32_t bWidth, int32_t bHeight, double* C,
             int32_t cRowStride, int32_t cElemStride),
            (A, aRowStride, aElemStride, aWidth, aHeight, B, bRowStride, bElemStride, bWidth, bHeight, C,
             cRowStride, cElemStride))
SP_DISPATCH(spStatus, spCopy2DStridedF32,
            (const float* src, int32_t srcRowStride, int32_t srcElemStride, float* dst, int32_t dstRowStride,
             int32_t dstElemStride, int32_t width, int32_t height),
            (src, srcRowStride, srcElemStride, dst, dstRowStride, dstElemStride, width, height))
SP_DISPATCH(spStatus, spCopy2DStridedF64,
            (const double* src, int32_t srcRowStride, int32_t srcElemStride, double* dst, int32_t dstRowStride,
             int32_t dstElemStride, int32_t width, int32_t height),
            (src, srcRowStride, srcElemStride, dst, dstRowStride, dstElemStride, width, height))
