// Probes of the SIMD vocabulary (primitives/frame/simd.h): each set's own
// compiled code (tests/support/probes/simd_probe_variant.cpp) applies one
// operation to known input lanes, so that one table test checks every
// operation in every set that has it.
#pragma once
#include <cstdint>

#include "primitives/frame/dispatch.h"

// 16 bytes of lanes. A probe reads in[0..3] (64 contiguous bytes) and writes
// out[0..3], zeroed first.
struct SimdBlock {
  alignas(16) uint8_t bytes[16];
};

#define SP_SIMD_PROBE_OPS(X)                                                                                           \
  /* every set */                                                                                                      \
  X(ScalarBits)                                                                                                        \
  X(ScalarWithBitsF32) X(ScalarWithBitsF64) X(ScalarOrderKey) X(ScalarAddressTests)                                    \
      X(ScalarUnalignedAccess) /* four floats */                                                                       \
      X(AddF32) X(SubF32) X(MulF32) X(DivF32) X(MinF32) X(MaxF32) X(SqrtF32) X(SqrtScalarF32) X(AndF32) X(AndNotF32)   \
          X(OrF32) X(XorF32) X(SelectF32) X(CmpLtF32) X(CmpLeF32) X(CmpGtF32) X(CmpGeF32) X(CmpEqF32) X(CmpUnordF32)   \
              X(MoveMaskF32) X(AddLowF32) X(MulLowF32) X(RcpEstimateF32) X(RsqrtEstimateF32) X(LoadStoreF32)           \
                  X(MakeLanesF32) X(LaneAccessF32) X(SignMasksF32) X(SwapPairsF32) X(SwapHalvesF32) X(ReverseF32)      \
                      X(DupEvenF32) X(DupOddF32) X(EvenOddLanesF32) X(InterleaveF32) X(JoinHalvesF32)                  \
                          X(Transpose4x4F32) X(FoldsF32) X(AddSubF32) X(MulComplexF32) X(MulComplexSplitF32)           \
                              X(PowerOfTwoHalvesF32) X(LoadStorePartsF32) X(Load3Store3F32) X(DupPairsF32)             \
                                  X(DupByShuffleF32) X(MulConjComplexSplitF32) X(PairLoadStoreF32) /* two doubles */   \
      X(AddF64) X(SubF64) X(MulF64) X(DivF64) X(MinF64) X(MaxF64) X(SqrtF64) X(SqrtScalarF64) X(AndF64) X(AndNotF64)   \
          X(OrF64) X(XorF64) X(SelectF64) X(CmpLtF64) X(CmpEqF64) X(CmpNgeF64) X(MoveMaskF64) X(LowLaneOpsF64)         \
              X(RsqrtEstimateViaF32) X(NarrowToF32) X(LoadStoreF64) X(MakeLanesF64) X(LaneAccessF64) X(SignMasksF64)   \
                  X(SwapHalvesF64) X(ReverseF64) X(DupF64) X(InterleaveF64) X(EvenOddLanesF64) X(Transpose2x2F64)      \
                      X(FoldLanesF64) X(AddSubF64) X(MulComplexF64) X(MulComplexSplitF64)                              \
                          X(LoadStorePartsF64) /* integer vectors */                                                   \
      X(LoadStoreInt) X(MakeLanesInt) X(VectorBits) X(BitwiseInt) X(AddSubI32) X(AddSubI64) X(CompareI32) X(MaxMinI32) \
          X(MoveMaskI32) X(ShiftsI32) X(ShiftsI64) X(LowHalvesOfI64) X(JoinLow64) X(WidenI8ToI16) X(WidenI16ToI32)     \
              X(WidenQuarterI8ToI32) X(PackSatI32ToI16) X(RoundingShiftRightI32) X(IntToFloat)                         \
                  X(FloatToInt) /* MMX pairs (SSE set only) */                                                         \
      X(MmxPairs)

enum class SimdOp : int32_t {
#define SP_SIMD_ENUM(name) name,
  SP_SIMD_PROBE_OPS(SP_SIMD_ENUM)
#undef SP_SIMD_ENUM
};

inline const char* SimdOpName(SimdOp op) {
  static const char* const kNames[] = {
#define SP_SIMD_NAME(name) #name,
      SP_SIMD_PROBE_OPS(SP_SIMD_NAME)
#undef SP_SIMD_NAME
  };
  return kNames[static_cast<int32_t>(op)];
}

// Applies `op` to in[0..3] into out[0..3]; false when the probed set has no
// such operation.
SP_DECLARE_VARIANTS(bool, spSimdProbe, (SimdOp op, const SimdBlock* in, SimdBlock* out))
using SimdProbeFn = bool (*)(SimdOp, const SimdBlock*, SimdBlock*);
inline constexpr SimdProbeFn kSimdProbes[] = SP_VARIANT_TABLE(spSimdProbe);
