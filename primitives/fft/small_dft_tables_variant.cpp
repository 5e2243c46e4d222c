// This variant set's copy of the small-transform kernel set: the real
// transforms' order-indexed tables and every group's twelve members.
#include "primitives/fft/small_dft_kernels.h"

namespace SP_SET_NS {

#define SPK_GROUP(G, E)                                                                                             \
  {                                                                                                                 \
    &SP_V(spkSmallDft##G##1##E), &SP_V(spkSmallDft##G##1Scaled##E), &SP_V(spkSmallDft##G##2##E),                    \
        &SP_V(spkSmallDft##G##2Scaled##E), &SP_V(spkSmallDft##G##Fwd4##E), &SP_V(spkSmallDft##G##Inv4##E),          \
        &SP_V(spkSmallDft##G##Fwd4Scaled##E), &SP_V(spkSmallDft##G##Inv4Scaled##E), &SP_V(spkSmallDft##G##Fwd8##E), \
        &SP_V(spkSmallDft##G##Inv8##E), &SP_V(spkSmallDft##G##Fwd8Scaled##E), &SP_V(spkSmallDft##G##Inv8Scaled##E)  \
  }

// The 1- and 2-point members serve both directions.
#define SPK_REAL_TABLES(E)                                                                                        \
  {                                                                                                               \
    {&SP_V(spkSmallDftReal1##E), &SP_V(spkSmallDftReal2##E), &SP_V(spkSmallDftRealFwd4##E),                       \
     &SP_V(spkSmallDftRealFwd8##E)},                                                                              \
        {&SP_V(spkSmallDftReal1Scaled##E), &SP_V(spkSmallDftReal2Scaled##E), &SP_V(spkSmallDftRealFwd4Scaled##E), \
         &SP_V(spkSmallDftRealFwd8Scaled##E)},                                                                    \
        {&SP_V(spkSmallDftReal1##E), &SP_V(spkSmallDftReal2##E), &SP_V(spkSmallDftRealInv4##E),                   \
         &SP_V(spkSmallDftRealInv8##E)},                                                                          \
    {                                                                                                             \
      &SP_V(spkSmallDftReal1Scaled##E), &SP_V(spkSmallDftReal2Scaled##E), &SP_V(spkSmallDftRealInv4Scaled##E),    \
          &SP_V(spkSmallDftRealInv8Scaled##E)                                                                     \
    }                                                                                                             \
  }

constinit const spkSmallDftKernelSet SP_V(spkSmallDftKernels) = {
    SPK_REAL_TABLES(F32), SPK_REAL_TABLES(F64), SPK_GROUP(Real, F32),  SPK_GROUP(Real, F64),
    SPK_GROUP(Cplx, C32), SPK_GROUP(Cplx, C64), SPK_GROUP(Split, F32), SPK_GROUP(Split, F64),
};

constinit const spkSmallDftFnF32 (&SP_V(spkSmallDftRealFwdTable))[4] = SP_V(spkSmallDftKernels).realTablesF32.fwd;
constinit const spkSmallDftScaledFnF32 (&SP_V(spkSmallDftRealFwdScaledTable))[4] =
    SP_V(spkSmallDftKernels).realTablesF32.fwdScaled;
constinit const spkSmallDftFnF32 (&SP_V(spkSmallDftRealInvTable))[4] = SP_V(spkSmallDftKernels).realTablesF32.inv;
constinit const spkSmallDftScaledFnF32 (&SP_V(spkSmallDftRealInvScaledTable))[4] =
    SP_V(spkSmallDftKernels).realTablesF32.invScaled;

#undef SPK_GROUP
#undef SPK_REAL_TABLES

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
