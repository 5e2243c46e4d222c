// The small-transform kernels (see small_dft.h for what they compute),
// declared for every set: each set has its own copy, named with the set's
// suffix, e.g. spkSmallDftRealFwd8F32_Sse2, and reached through its kernel
// set below. Include only from *_variant.cpp.
#pragma once
#include "primitives/fft/small_dft.h"
#include "primitives/frame/entries.h"
#include "primitives/frame/variant_set.h"

// Every kernel as a row X(return type, name, parameters): for each group
// (real, interleaved complex, split complex) and precision, sizes 1 and 2
// (both directions) and 4 and 8 (forward, inverse), plain and scaled.
#define SP_SMALL_DFT_KERNELS(X)                                                                              \
  /* Real F32 */                                                                                             \
  X(void, spkSmallDftReal1F32, (const float* src, float* dst))                                               \
  X(void, spkSmallDftReal1ScaledF32, (const float* src, float* dst, float scale))                            \
  X(void, spkSmallDftReal2F32, (const float* src, float* dst))                                               \
  X(void, spkSmallDftReal2ScaledF32, (const float* src, float* dst, float scale))                            \
  X(void, spkSmallDftRealFwd4F32, (const float* src, float* dst))                                            \
  X(void, spkSmallDftRealInv4F32, (const float* src, float* dst))                                            \
  X(void, spkSmallDftRealFwd4ScaledF32, (const float* src, float* dst, float scale))                         \
  X(void, spkSmallDftRealInv4ScaledF32, (const float* src, float* dst, float scale))                         \
  X(void, spkSmallDftRealFwd8F32, (const float* src, float* dst))                                            \
  X(void, spkSmallDftRealInv8F32, (const float* src, float* dst))                                            \
  X(void, spkSmallDftRealFwd8ScaledF32, (const float* src, float* dst, float scale))                         \
  X(void, spkSmallDftRealInv8ScaledF32, (const float* src, float* dst, float scale))                         \
  /* Real F64 */                                                                                             \
  X(void, spkSmallDftReal1F64, (const double* src, double* dst))                                             \
  X(void, spkSmallDftReal1ScaledF64, (const double* src, double* dst, double scale))                         \
  X(void, spkSmallDftReal2F64, (const double* src, double* dst))                                             \
  X(void, spkSmallDftReal2ScaledF64, (const double* src, double* dst, double scale))                         \
  X(void, spkSmallDftRealFwd4F64, (const double* src, double* dst))                                          \
  X(void, spkSmallDftRealInv4F64, (const double* src, double* dst))                                          \
  X(void, spkSmallDftRealFwd4ScaledF64, (const double* src, double* dst, double scale))                      \
  X(void, spkSmallDftRealInv4ScaledF64, (const double* src, double* dst, double scale))                      \
  X(void, spkSmallDftRealFwd8F64, (const double* src, double* dst))                                          \
  X(void, spkSmallDftRealInv8F64, (const double* src, double* dst))                                          \
  X(void, spkSmallDftRealFwd8ScaledF64, (const double* src, double* dst, double scale))                      \
  X(void, spkSmallDftRealInv8ScaledF64, (const double* src, double* dst, double scale))                      \
  /* Cplx C32 */                                                                                             \
  X(void, spkSmallDftCplx1C32, (const float* src, float* dst))                                               \
  X(void, spkSmallDftCplx1ScaledC32, (const float* src, float* dst, float scale))                            \
  X(void, spkSmallDftCplx2C32, (const float* src, float* dst))                                               \
  X(void, spkSmallDftCplx2ScaledC32, (const float* src, float* dst, float scale))                            \
  X(void, spkSmallDftCplxFwd4C32, (const float* src, float* dst))                                            \
  X(void, spkSmallDftCplxInv4C32, (const float* src, float* dst))                                            \
  X(void, spkSmallDftCplxFwd4ScaledC32, (const float* src, float* dst, float scale))                         \
  X(void, spkSmallDftCplxInv4ScaledC32, (const float* src, float* dst, float scale))                         \
  X(void, spkSmallDftCplxFwd8C32, (const float* src, float* dst))                                            \
  X(void, spkSmallDftCplxInv8C32, (const float* src, float* dst))                                            \
  X(void, spkSmallDftCplxFwd8ScaledC32, (const float* src, float* dst, float scale))                         \
  X(void, spkSmallDftCplxInv8ScaledC32, (const float* src, float* dst, float scale))                         \
  /* Cplx C64 */                                                                                             \
  X(void, spkSmallDftCplx1C64, (const double* src, double* dst))                                             \
  X(void, spkSmallDftCplx1ScaledC64, (const double* src, double* dst, double scale))                         \
  X(void, spkSmallDftCplx2C64, (const double* src, double* dst))                                             \
  X(void, spkSmallDftCplx2ScaledC64, (const double* src, double* dst, double scale))                         \
  X(void, spkSmallDftCplxFwd4C64, (const double* src, double* dst))                                          \
  X(void, spkSmallDftCplxInv4C64, (const double* src, double* dst))                                          \
  X(void, spkSmallDftCplxFwd4ScaledC64, (const double* src, double* dst, double scale))                      \
  X(void, spkSmallDftCplxInv4ScaledC64, (const double* src, double* dst, double scale))                      \
  X(void, spkSmallDftCplxFwd8C64, (const double* src, double* dst))                                          \
  X(void, spkSmallDftCplxInv8C64, (const double* src, double* dst))                                          \
  X(void, spkSmallDftCplxFwd8ScaledC64, (const double* src, double* dst, double scale))                      \
  X(void, spkSmallDftCplxInv8ScaledC64, (const double* src, double* dst, double scale))                      \
  /* Split F32 */                                                                                            \
  X(void, spkSmallDftSplit1F32, (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm))        \
  X(void, spkSmallDftSplit1ScaledF32,                                                                        \
    (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm, float scale))                       \
  X(void, spkSmallDftSplit2F32, (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm))        \
  X(void, spkSmallDftSplit2ScaledF32,                                                                        \
    (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm, float scale))                       \
  X(void, spkSmallDftSplitFwd4F32, (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm))     \
  X(void, spkSmallDftSplitInv4F32, (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm))     \
  X(void, spkSmallDftSplitFwd4ScaledF32,                                                                     \
    (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm, float scale))                       \
  X(void, spkSmallDftSplitInv4ScaledF32,                                                                     \
    (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm, float scale))                       \
  X(void, spkSmallDftSplitFwd8F32, (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm))     \
  X(void, spkSmallDftSplitInv8F32, (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm))     \
  X(void, spkSmallDftSplitFwd8ScaledF32,                                                                     \
    (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm, float scale))                       \
  X(void, spkSmallDftSplitInv8ScaledF32,                                                                     \
    (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm, float scale))                       \
  /* Split F64 */                                                                                            \
  X(void, spkSmallDftSplit1F64, (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm))    \
  X(void, spkSmallDftSplit1ScaledF64,                                                                        \
    (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm, double scale))                  \
  X(void, spkSmallDftSplit2F64, (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm))    \
  X(void, spkSmallDftSplit2ScaledF64,                                                                        \
    (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm, double scale))                  \
  X(void, spkSmallDftSplitFwd4F64, (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm)) \
  X(void, spkSmallDftSplitInv4F64, (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm)) \
  X(void, spkSmallDftSplitFwd4ScaledF64,                                                                     \
    (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm, double scale))                  \
  X(void, spkSmallDftSplitInv4ScaledF64,                                                                     \
    (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm, double scale))                  \
  X(void, spkSmallDftSplitFwd8F64, (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm)) \
  X(void, spkSmallDftSplitInv8F64, (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm)) \
  X(void, spkSmallDftSplitFwd8ScaledF64,                                                                     \
    (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm, double scale))                  \
  X(void, spkSmallDftSplitInv8ScaledF64,                                                                     \
    (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm, double scale))

SP_DECLARE_KERNELS(SP_SMALL_DFT_KERNELS)

namespace SP_SET_NS {

// This set's kernel set; the real transforms of this set index its real
// tables by order.
extern const spkSmallDftKernelSet SP_V(spkSmallDftKernels);

// The single-precision real tables under the names the single-precision real
// transforms know them by: the same arrays as realTablesF32, not copies.
extern const spkSmallDftFnF32 (&SP_V(spkSmallDftRealFwdTable))[4];
extern const spkSmallDftScaledFnF32 (&SP_V(spkSmallDftRealFwdScaledTable))[4];
extern const spkSmallDftFnF32 (&SP_V(spkSmallDftRealInvTable))[4];
extern const spkSmallDftScaledFnF32 (&SP_V(spkSmallDftRealInvScaledTable))[4];

}  // namespace SP_SET_NS
