// The small-transform kernels of the running variant set (see small_dft.h for
// what they compute). Include only from *_variant.cpp: every set has its own
// copy, named with the set's suffix, e.g. spkSmallDftRealFwd8F32_Sse2.
#pragma once
#include "primitives/fft/small_dft.h"
#include "primitives/frame/variant_set.h"

#define SPK_SMALL_DFT_DECLARE_GROUP(G, E, Plain, Scaled) \
  void SP_V(spkSmallDft##G##1##E) Plain;                 \
  void SP_V(spkSmallDft##G##1Scaled##E) Scaled;          \
  void SP_V(spkSmallDft##G##2##E) Plain;                 \
  void SP_V(spkSmallDft##G##2Scaled##E) Scaled;          \
  void SP_V(spkSmallDft##G##Fwd4##E) Plain;              \
  void SP_V(spkSmallDft##G##Inv4##E) Plain;              \
  void SP_V(spkSmallDft##G##Fwd4Scaled##E) Scaled;       \
  void SP_V(spkSmallDft##G##Inv4Scaled##E) Scaled;       \
  void SP_V(spkSmallDft##G##Fwd8##E) Plain;              \
  void SP_V(spkSmallDft##G##Inv8##E) Plain;              \
  void SP_V(spkSmallDft##G##Fwd8Scaled##E) Scaled;       \
  void SP_V(spkSmallDft##G##Inv8Scaled##E) Scaled;

namespace SP_SET_NS {

SPK_SMALL_DFT_DECLARE_GROUP(Real, F32, (const float* src, float* dst), (const float* src, float* dst, float scale))
SPK_SMALL_DFT_DECLARE_GROUP(Real, F64, (const double* src, double* dst), (const double* src, double* dst, double scale))
SPK_SMALL_DFT_DECLARE_GROUP(Cplx, C32, (const float* src, float* dst), (const float* src, float* dst, float scale))
SPK_SMALL_DFT_DECLARE_GROUP(Cplx, C64, (const double* src, double* dst), (const double* src, double* dst, double scale))
SPK_SMALL_DFT_DECLARE_GROUP(Split, F32, (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm),
                            (const float* srcRe, const float* srcIm, float* dstRe, float* dstIm, float scale))
SPK_SMALL_DFT_DECLARE_GROUP(Split, F64, (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm),
                            (const double* srcRe, const double* srcIm, double* dstRe, double* dstIm, double scale))

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
