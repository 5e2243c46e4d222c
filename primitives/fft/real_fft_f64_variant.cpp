// The double-precision real FFT of one variant set: its engine, its spec
// build and release, its transforms and the engine routines other code of
// the set calls directly. The sets' engines differ (one group file each):
//   generic, SSE  real_fft_f64_generic_group.h: swap list and the generic
//                 radix passes on plain twiddles up to complex order 9;
//   SSE2+         real_fft_f64_simd_group.h: the fused kernel up to complex
//                 order 13 (SSE2) or 14 (SSE3, SSSE3) on the index table,
//                 stage twiddles and the generic split tables.
// Larger orders run the large-size path (fft_large_f64.h) on the plan the
// spec build lays out. The driver (real_fft_driver.h) picks the path; the
// kernels below are the set's plan under their own names.
#include "primitives/fft/sp_real_fft_f64.h"

#include "primitives/fft/real_fft_driver.h"
#include "primitives/fft/real_fft_f64_generic_group.h"
#include "primitives/fft/real_fft_f64_kernels.h"
#include "primitives/fft/real_fft_f64_simd_group.h"
#include "primitives/fft/small_dft_kernels.h"

namespace SP_SET_NS {
namespace {

using Plan = fft64::Plan;
static_assert(fftk::RealFftPlan<Plan>);
// The SIMD sets' large path folds the bit reversal into its rows, and their
// inverse merges into the fused kernel's first stage.
static_assert(fftk::PlanFoldsBitReversal<Plan> == (SP_SET_INDEX >= SP_SET_SSE2));
static_assert(fftk::PlanMergesInverse<Plan> == (SP_SET_INDEX >= SP_SET_SSE2));

constinit const spkRealFftEngine<double> kEngine = {
    &SP_V(spkSmallDftKernels).realTablesF64,
    &fftk::ComplexForward<Plan>,
    &fftk::ComplexInverse<Plan>,
    &Plan::Split,
    &Plan::Merge,
    &Plan::Scale,
    fftk::InverseFromSpectrumOf<Plan>(),
};

}  // namespace

double* SP_V(spkFftSinTableF64)(int32_t order, double* table) { return fftk::SinTable(order, table); }
double* SP_V(spkFftTwiddleTableF64)(int32_t m, const double* sine, int32_t order, double* table) {
  return Plan::BuildTwiddles(m, sine, order, table);
}
double* SP_V(spkFftSplitTableFwdF64)(int32_t order, const double* sine, double* table) {
  return Plan::BuildSplitForward(order, sine, table);
}
double* SP_V(spkFftSplitTableInvF64)(int32_t order, const double* sine, double* table) {
  return Plan::BuildSplitInverse(order, sine, table);
}
double* SP_V(spkFftTwiddleSubsampleF64)(int32_t m, const double* sine, int32_t order, double* table) {
  return Plan::BuildSubsampled(m, sine, order, table);
}

void SP_V(spkFftBitRevInPlaceC64)(double* data, int64_t n, const int32_t* table) {
  Plan::BitRevInPlace(data, n, table);
}
void SP_V(spkFftBitRevCopyC64)(const double* src, double* dst, int64_t n, const int32_t* table) {
  Plan::BitRevCopy(src, dst, n, table);
}

void SP_V(spkFftPlanSizeF64)(int32_t m, int64_t* blockBytes, int64_t* workBytes) {
  const fftk::LargePlanSizes size = fftk::LargePlanSizesOf<double>(Plan::kLargeShape, m);
  *blockBytes = size.tableBytes;
  *workBytes = size.workBytes;
}

spStatus SP_V(spRealFftInitF64)(REALFFTSPEC** spec, int32_t order, int32_t scaleFlag, int32_t hint) {
  return fftk::InitSpec<Plan>(spec, order, scaleFlag, hint, kEngine);
}
spStatus SP_V(spRealFftFreeF64)(REALFFTSPEC* spec) { return fftk::FreeSpec<double>(spec); }
spStatus SP_V(spRealFftFwdF64)(const double* src, double* dst, REALFFTSPEC* spec, uint8_t* work) {
  return fftk::ForwardReal(src, dst, spec, work);
}
spStatus SP_V(spRealFftInvF64)(const double* src, double* dst, REALFFTSPEC* spec, uint8_t* work) {
  return fftk::InverseReal(src, dst, spec, work);
}

}  // namespace SP_SET_NS

// The double-precision real FFT dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_REAL_FFT_F64_ENTRIES)
#endif
