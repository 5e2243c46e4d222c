// This variant set's copy of the small-transform kernel set: the real
// transforms' order-indexed tables and every group's twelve members.
#include "primitives/fft/small_dft_kernels.h"

namespace SP_SET_NS {

// The 1- and 2-point real members serve both directions.
constinit const spkSmallDftKernelSet SP_V(spkSmallDftKernels) = {
    {{&SP_V(spkSmallDftReal1F32), &SP_V(spkSmallDftReal2F32), &SP_V(spkSmallDftRealFwd4F32),
      &SP_V(spkSmallDftRealFwd8F32)},
     {&SP_V(spkSmallDftReal1ScaledF32), &SP_V(spkSmallDftReal2ScaledF32), &SP_V(spkSmallDftRealFwd4ScaledF32),
      &SP_V(spkSmallDftRealFwd8ScaledF32)},
     {&SP_V(spkSmallDftReal1F32), &SP_V(spkSmallDftReal2F32), &SP_V(spkSmallDftRealInv4F32),
      &SP_V(spkSmallDftRealInv8F32)},
     {&SP_V(spkSmallDftReal1ScaledF32), &SP_V(spkSmallDftReal2ScaledF32), &SP_V(spkSmallDftRealInv4ScaledF32),
      &SP_V(spkSmallDftRealInv8ScaledF32)}},
    {{&SP_V(spkSmallDftReal1F64), &SP_V(spkSmallDftReal2F64), &SP_V(spkSmallDftRealFwd4F64),
      &SP_V(spkSmallDftRealFwd8F64)},
     {&SP_V(spkSmallDftReal1ScaledF64), &SP_V(spkSmallDftReal2ScaledF64), &SP_V(spkSmallDftRealFwd4ScaledF64),
      &SP_V(spkSmallDftRealFwd8ScaledF64)},
     {&SP_V(spkSmallDftReal1F64), &SP_V(spkSmallDftReal2F64), &SP_V(spkSmallDftRealInv4F64),
      &SP_V(spkSmallDftRealInv8F64)},
     {&SP_V(spkSmallDftReal1ScaledF64), &SP_V(spkSmallDftReal2ScaledF64), &SP_V(spkSmallDftRealInv4ScaledF64),
      &SP_V(spkSmallDftRealInv8ScaledF64)}},
    {&SP_V(spkSmallDftReal1F32), &SP_V(spkSmallDftReal1ScaledF32), &SP_V(spkSmallDftReal2F32),
     &SP_V(spkSmallDftReal2ScaledF32), &SP_V(spkSmallDftRealFwd4F32), &SP_V(spkSmallDftRealInv4F32),
     &SP_V(spkSmallDftRealFwd4ScaledF32), &SP_V(spkSmallDftRealInv4ScaledF32), &SP_V(spkSmallDftRealFwd8F32),
     &SP_V(spkSmallDftRealInv8F32), &SP_V(spkSmallDftRealFwd8ScaledF32), &SP_V(spkSmallDftRealInv8ScaledF32)},
    {&SP_V(spkSmallDftReal1F64), &SP_V(spkSmallDftReal1ScaledF64), &SP_V(spkSmallDftReal2F64),
     &SP_V(spkSmallDftReal2ScaledF64), &SP_V(spkSmallDftRealFwd4F64), &SP_V(spkSmallDftRealInv4F64),
     &SP_V(spkSmallDftRealFwd4ScaledF64), &SP_V(spkSmallDftRealInv4ScaledF64), &SP_V(spkSmallDftRealFwd8F64),
     &SP_V(spkSmallDftRealInv8F64), &SP_V(spkSmallDftRealFwd8ScaledF64), &SP_V(spkSmallDftRealInv8ScaledF64)},
    {&SP_V(spkSmallDftCplx1C32), &SP_V(spkSmallDftCplx1ScaledC32), &SP_V(spkSmallDftCplx2C32),
     &SP_V(spkSmallDftCplx2ScaledC32), &SP_V(spkSmallDftCplxFwd4C32), &SP_V(spkSmallDftCplxInv4C32),
     &SP_V(spkSmallDftCplxFwd4ScaledC32), &SP_V(spkSmallDftCplxInv4ScaledC32), &SP_V(spkSmallDftCplxFwd8C32),
     &SP_V(spkSmallDftCplxInv8C32), &SP_V(spkSmallDftCplxFwd8ScaledC32), &SP_V(spkSmallDftCplxInv8ScaledC32)},
    {&SP_V(spkSmallDftCplx1C64), &SP_V(spkSmallDftCplx1ScaledC64), &SP_V(spkSmallDftCplx2C64),
     &SP_V(spkSmallDftCplx2ScaledC64), &SP_V(spkSmallDftCplxFwd4C64), &SP_V(spkSmallDftCplxInv4C64),
     &SP_V(spkSmallDftCplxFwd4ScaledC64), &SP_V(spkSmallDftCplxInv4ScaledC64), &SP_V(spkSmallDftCplxFwd8C64),
     &SP_V(spkSmallDftCplxInv8C64), &SP_V(spkSmallDftCplxFwd8ScaledC64), &SP_V(spkSmallDftCplxInv8ScaledC64)},
    {&SP_V(spkSmallDftSplit1F32), &SP_V(spkSmallDftSplit1ScaledF32), &SP_V(spkSmallDftSplit2F32),
     &SP_V(spkSmallDftSplit2ScaledF32), &SP_V(spkSmallDftSplitFwd4F32), &SP_V(spkSmallDftSplitInv4F32),
     &SP_V(spkSmallDftSplitFwd4ScaledF32), &SP_V(spkSmallDftSplitInv4ScaledF32), &SP_V(spkSmallDftSplitFwd8F32),
     &SP_V(spkSmallDftSplitInv8F32), &SP_V(spkSmallDftSplitFwd8ScaledF32), &SP_V(spkSmallDftSplitInv8ScaledF32)},
    {&SP_V(spkSmallDftSplit1F64), &SP_V(spkSmallDftSplit1ScaledF64), &SP_V(spkSmallDftSplit2F64),
     &SP_V(spkSmallDftSplit2ScaledF64), &SP_V(spkSmallDftSplitFwd4F64), &SP_V(spkSmallDftSplitInv4F64),
     &SP_V(spkSmallDftSplitFwd4ScaledF64), &SP_V(spkSmallDftSplitInv4ScaledF64), &SP_V(spkSmallDftSplitFwd8F64),
     &SP_V(spkSmallDftSplitInv8F64), &SP_V(spkSmallDftSplitFwd8ScaledF64), &SP_V(spkSmallDftSplitInv8ScaledF64)},
};

constinit const spkSmallDftFnF32 (&SP_V(spkSmallDftRealFwdTable))[4] = SP_V(spkSmallDftKernels).realTablesF32.fwd;
constinit const spkSmallDftScaledFnF32 (&SP_V(spkSmallDftRealFwdScaledTable))[4] =
    SP_V(spkSmallDftKernels).realTablesF32.fwdScaled;
constinit const spkSmallDftFnF32 (&SP_V(spkSmallDftRealInvTable))[4] = SP_V(spkSmallDftKernels).realTablesF32.inv;
constinit const spkSmallDftScaledFnF32 (&SP_V(spkSmallDftRealInvScaledTable))[4] =
    SP_V(spkSmallDftKernels).realTablesF32.invScaled;

}  // namespace SP_SET_NS

// Every set's kernel set by set index, for code that belongs to no set;
// compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
SP_DECLARE_VARIANTS(extern const spkSmallDftKernelSet, spkSmallDftKernels, )

namespace {
constinit const spkSmallDftKernelSet* const kKernelSets[kSpVariantSetCount] = SP_VARIANT_TABLE(spkSmallDftKernels);
}  // namespace

const spkSmallDftKernelSet* spkSmallDftKernelsOfSet(int32_t setIndex) {
  if (setIndex < 0 || setIndex >= kSpVariantSetCount) return nullptr;
  return kKernelSets[setIndex];
}
#endif
