// The single-precision real FFT of one variant set: its engine, its spec
// build and release, its transforms and the engine routines other code of
// the set calls directly. The sets' engines differ (one group file each):
//   generic  real_fft_f32_generic_group.h: swap list and generic passes;
//   SSE+     real_fft_f32_simd_group.h: fused kernels, bit reversal plus
//            split-layout radix kernels, grouped split tables.
// Each set builds specs up to its plain-twiddle limit (complex order 10 in
// the generic and SSE sets, 15, 16 and 17 in SSE2, SSE3 and SSSE3); above
// it the large-size plan and path (fft_large_f32.h) take over, so every
// set runs every order to 30. The driver (real_fft_driver.h) picks the
// path; the kernels below are the set's plan under their own names.
#include "primitives/fft/real_fft_driver.h"
#include "primitives/fft/real_fft_f32_generic_group.h"
#include "primitives/fft/real_fft_f32_kernels.h"
#include "primitives/fft/real_fft_f32_simd_group.h"
#include "primitives/fft/small_dft_kernels.h"

namespace SP_SET_NS {
namespace {

using Plan = fft32::Plan;
static_assert(fftk::RealFftPlan<Plan>);

constinit const spkRealFftEngine<float> kEngine = {
    &SP_V(spkSmallDftKernels).realTablesF32,
    &fftk::ComplexForward<Plan>,
    &fftk::ComplexInverse<Plan>,
    &Plan::Split,
    &Plan::Merge,
    &Plan::Scale,
};

}  // namespace

float* SP_V(spkFftSinTableF32)(int32_t order, float* table) { return fftk::SinTable(order, table); }
int32_t* SP_V(spkFftBitRevSwapTableI32)(int32_t m, int32_t* table) { return fftk::BitRevSwapTable(m, table); }
int32_t* SP_V(spkFftBitRevIndexTableI32)(int32_t m, int32_t* table) { return fftk::BitRevIndexTable(m, table); }
void SP_V(spkFftBitRevInPlaceC32)(float* data, int64_t points, const int32_t* table) {
  Plan::BitRevInPlace(data, points, table);
}
void SP_V(spkFftBitRevCopyC32)(const float* src, float* dst, int64_t points, const int32_t* table) {
  Plan::BitRevCopy(src, dst, points, table);
}
void SP_V(spkFftScaleF32)(float scale, float* data, int64_t count) { Plan::Scale(scale, data, count); }
float* SP_V(spkFftTwiddleTableF32)(int32_t m, const float* sine, int32_t sineOrder, float* table) {
  return Plan::BuildTwiddles(m, sine, sineOrder, table);
}
float* SP_V(spkFftSplitTableFwdF32)(int32_t order, const float* sine, float* table) {
  return Plan::BuildSplitForward(order, sine, table);
}
float* SP_V(spkFftSplitTableInvF32)(int32_t order, const float* sine, float* table) {
  return Plan::BuildSplitInverse(order, sine, table);
}

void SP_V(spkFftPlanSizeF32)(int32_t m, int64_t* tableBytes, int64_t* workBytes) {
  const fftk::LargePlanSizes sizes = fftk::LargePlanSizesOf<float>(Plan::kLargeShape, m);
  *tableBytes = sizes.tableBytes;
  *workBytes = sizes.workBytes;
}

spStatus SP_V(spRealFftInitF32)(REALFFTSPEC** spec, int32_t order, int32_t scaleFlag, int32_t hint) {
  return fftk::InitSpec<Plan>(spec, order, scaleFlag, hint, kEngine);
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
