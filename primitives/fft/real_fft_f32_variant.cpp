// The single-precision real FFT of one variant set: its engine, its spec
// build and release, its transforms and the engine routines other code of
// the set calls directly. The sets' engines differ (one group file each):
//   generic  real_fft_f32_generic_group.h: swap list and generic passes;
//   SSE+     real_fft_f32_simd_group.h: fused kernels, bit reversal plus
//            split-layout radix kernels, grouped split tables.
// Each set builds specs up to its plain-twiddle limit (complex order 10 in
// the generic and SSE sets, 15, 16 and 17 in SSE2, SSE3 and SSSE3); above
// it the large-size plan and path (fft_large_f32.h) take over, so every
// set runs every order to 30.
#include <type_traits>

#include "primitives/fft/fft_large_f32.h"
#include "primitives/fft/fft_large_plan_f32.h"
#include "primitives/fft/real_fft_driver.h"
#include "primitives/fft/real_fft_f32_generic_group.h"
#include "primitives/fft/real_fft_f32_kernels.h"
#include "primitives/fft/real_fft_f32_simd_group.h"
#include "primitives/fft/small_dft_kernels.h"

namespace SP_SET_NS {
namespace {

constexpr fft32::LargePlanShape kLargeShape = {SP_SET_INDEX <= SP_SET_SSE    ? fft32::kLargeSplitGeneric
                                               : SP_SET_INDEX == SP_SET_SSE2 ? fft32::kLargeSplitSse2
                                                                             : fft32::kLargeSplitSse3,
                                               fft32::kPlainLimit, SP_SET_INDEX >= SP_SET_SSE2,
                                               SP_SET_INDEX == SP_SET_SSE};

struct TableBuilders {
  static float* Twiddles(int32_t m, const float* sine, int32_t order, float* table) {
    return SP_V(spkFftTwiddleTableF32)(m, sine, order, table);
  }
};

struct PlainFloatPlan {
  using T = float;
  static constexpr int32_t kPlainLimit = fft32::kPlainLimit;
  static constexpr int32_t kLargestOrder = fft32::kLargePath ? fftk::kLargestOrder : kPlainLimit + 1;

  static int32_t* BuildBitReversal(int32_t m, int32_t* table) { return fft32::BuildBitReversal(m, table); }
  static void BitRevInPlace(T* d, int64_t points, const int32_t* table) { fft32::BitRevInPlace(d, points, table); }
  static void BitRevCopy(const T* s, T* d, int64_t points, const int32_t* table) {
    fft32::BitRevCopy(s, d, points, table);
  }
  static T* BuildTwiddles(int32_t m, const T* sine, int32_t order, T* table) {
    return fft32::BuildTwiddles(m, sine, order, table);
  }
  static T* BuildSplitForward(int32_t order, const T* sine, T* table) {
    return fft32::BuildSplitForward(order, sine, table);
  }
  static T* BuildSplitInverse(int32_t order, const T* sine, T* table) {
    return fft32::BuildSplitInverse(order, sine, table);
  }
  static int64_t PlainWorkBytes(int32_t m) { return fft32::PlainWorkBytes(m); }

  static const spkRealFftEngine<T> kEngine;
};

struct LargeFloatPlan : PlainFloatPlan {
  static int64_t LargePlanBytes(int32_t m) { return fft32::LargePlanSizesOf(kLargeShape, m).tableBytes; }
  static void BuildLargePlan(REALFFTSPEC& spec, int32_t m, const T* sine, int32_t order, T* block) {
    SP_V(spkFftPlanBuildF32)(&spec, m, sine, order, block);
  }
};

using FloatPlan = std::conditional_t<fft32::kLargePath, LargeFloatPlan, PlainFloatPlan>;

constinit const spkRealFftEngine<float> PlainFloatPlan::kEngine = {
    &SP_V(spkSmallDftKernels).realTablesF32,
    &fft32::ComplexForward,
    &fft32::ComplexInverse,
    &fft32::Split,
    &fft32::Merge,
    &SP_V(spkFftScaleF32),
};

}  // namespace

float* SP_V(spkFftSinTableF32)(int32_t order, float* table) { return fftk::SinTable(order, table); }
int32_t* SP_V(spkFftBitRevSwapTableI32)(int32_t m, int32_t* table) { return fftk::BitRevSwapTable(m, table); }
int32_t* SP_V(spkFftBitRevIndexTableI32)(int32_t m, int32_t* table) { return fftk::BitRevIndexTable(m, table); }
void SP_V(spkFftBitRevInPlaceC32)(float* data, int64_t points, const int32_t* table) {
  FloatPlan::BitRevInPlace(data, points, table);
}
void SP_V(spkFftBitRevCopyC32)(const float* src, float* dst, int64_t points, const int32_t* table) {
  FloatPlan::BitRevCopy(src, dst, points, table);
}
void SP_V(spkFftScaleF32)(float scale, float* data, int64_t count) { fftk::ScaleInPlace(scale, data, count); }
float* SP_V(spkFftTwiddleTableF32)(int32_t m, const float* sine, int32_t sineOrder, float* table) {
  return FloatPlan::BuildTwiddles(m, sine, sineOrder, table);
}
float* SP_V(spkFftSplitTableFwdF32)(int32_t order, const float* sine, float* table) {
  return FloatPlan::BuildSplitForward(order, sine, table);
}
float* SP_V(spkFftSplitTableInvF32)(int32_t order, const float* sine, float* table) {
  return FloatPlan::BuildSplitInverse(order, sine, table);
}
void SP_V(spkFftRealSplitF32)(float* data, int64_t points, const float* table) { fft32::Split(data, points, table); }
void SP_V(spkFftRealMergeF32)(const float* src, float* dst, int64_t points, const float* table) {
  fft32::Merge(src, dst, points, table);
}

void SP_V(spkFftPlanSizeF32)(int32_t m, int64_t* tableBytes, int64_t* scratchBytes, int64_t* workBytes) {
  const fft32::LargePlanSizes sizes = fft32::LargePlanSizesOf(kLargeShape, m);
  *tableBytes = sizes.tableBytes;
  *scratchBytes = sizes.scratchBytes;
  *workBytes = sizes.workBytes;
}
void SP_V(spkFftPlanBuildF32)(REALFFTSPEC* spec, int32_t m, const float* sine, int32_t order, float* block) {
  fft32::BuildLargePlan<TableBuilders>(kLargeShape, *spec, m, sine, order, block);
}
#if SP_SET_INDEX == SP_SET_GENERIC
void SP_V(spkFftLargeFwdC32)(const REALFFTSPEC* spec, float* data, int32_t m, float* work) {
  fft32::LargeGeneric<false>(*spec, data, m, 0, work);
}
void SP_V(spkFftLargeInvC32)(const REALFFTSPEC* spec, float* data, int32_t m, float* work) {
  fft32::LargeGeneric<true>(*spec, data, m, 0, work);
}
#elif SP_SET_INDEX == SP_SET_SSE
void SP_V(spkFftLargeFwdC32)(const REALFFTSPEC* spec, float* data, int32_t m, float* work) {
  fft32::LargeSse<false>(*spec, data, m, 0, work);
}
void SP_V(spkFftLargeInvC32)(const REALFFTSPEC* spec, float* data, int32_t m, float* work) {
  fft32::LargeSse<true>(*spec, data, m, 0, work);
}
#else
void SP_V(spkFftLargeFwdC32)(const REALFFTSPEC* spec, float* data, int32_t m, float* work) {
  fft32::LargeColumns<false>(*spec, kLargeShape.tables, fft32::kPlainLimit, data, m, 0, work);
}
void SP_V(spkFftLargeInvC32)(const REALFFTSPEC* spec, float* data, int32_t m, float* work) {
  fft32::LargeColumns<true>(*spec, kLargeShape.tables, fft32::kPlainLimit, data, m, 0, work);
}
#endif

spStatus SP_V(spRealFftInitF32)(REALFFTSPEC** spec, int32_t order, int32_t scaleFlag, int32_t hint) {
  return fftk::InitSpec<FloatPlan>(spec, order, scaleFlag, hint);
}
spStatus SP_V(spRealFftFreeF32)(REALFFTSPEC* spec) { return fftk::FreeSpec<float>(spec); }
spStatus SP_V(spRealFftFwdF32)(const float* src, float* dst, REALFFTSPEC* spec, uint8_t* work) {
  return fftk::ForwardReal(src, dst, spec, work);
}
spStatus SP_V(spRealFftInvF32)(const float* src, float* dst, REALFFTSPEC* spec, uint8_t* work) {
  return fftk::InverseReal(src, dst, spec, work);
}

}  // namespace SP_SET_NS

// The single-precision real FFT dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_REAL_FFT_F32_ENTRIES)
#endif
