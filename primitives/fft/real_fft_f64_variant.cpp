// The double-precision real FFT of one variant set: its engine, its spec
// build and release, its transforms and the engine routines other code of
// the set calls directly.
//
// The generic and SSE sets run bit reversal (swap list) plus the generic
// radix passes on plain twiddles up to complex order 9; the SSE2 set runs
// the fused kernel up to complex order 13, the SSE3 and SSSE3 sets up to 14,
// on the index table, stage twiddles and pair-split split tables, with a
// work area of one complex double per point. Larger orders run the
// large-size path (fft_large_f64.h) on the plan the spec build lays out.
#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_large_f64.h"
#include "primitives/fft/fft_passes_f64.h"
#include "primitives/fft/fft_split_merge.h"
#include "primitives/fft/fft_split_merge_f64.h"
#include "primitives/fft/fft_tables_f64.h"
#include "primitives/fft/real_fft_driver.h"
#include "primitives/fft/real_fft_f32_kernels.h"
#include "primitives/fft/real_fft_f64_kernels.h"
#include "primitives/fft/small_dft_kernels.h"
#include "primitives/fft/sp_real_fft_f64.h"

namespace SP_SET_NS {
namespace {

constexpr bool kFused = SP_SET_INDEX >= SP_SET_SSE2;
constexpr int32_t kPlainLimit = SP_SET_INDEX <= SP_SET_SSE ? 9 : SP_SET_INDEX == SP_SET_SSE2 ? 13 : 14;

struct TableBuilders {
  static double* Twiddles(int32_t m, const double* sine, int32_t order, double* table) {
    return SP_V(spkFftTwiddleTableF64)(m, sine, order, table);
  }
  static double* Subsampled(int32_t m, const double* sine, int32_t order, double* table) {
    return SP_V(spkFftTwiddleSubsampleF64)(m, sine, order, table);
  }
};

fftk::LargePlanShape LargeShape() { return {SP_V(spkFftLargePlanF64)(), kPlainLimit, kFused}; }

struct DoublePlan {
  using T = double;
  static constexpr int32_t kPlainLimit = SP_SET_NS::kPlainLimit;
  static constexpr int32_t kLargestOrder = fftk::kLargestOrder;

  static int32_t* BuildBitReversal(int32_t m, int32_t* table) {
    return kFused ? SP_V(spkFftBitRevIndexTableI32)(m, table) : SP_V(spkFftBitRevSwapTableI32)(m, table);
  }
  static void BitRevInPlace(T* d, int64_t points, const int32_t* table) {
    SP_V(spkFftBitRevInPlaceC64)(d, points, table);
  }
  static void BitRevCopy(const T* s, T* d, int64_t points, const int32_t* table) {
    SP_V(spkFftBitRevCopyC64)(s, d, points, table);
  }
  static T* BuildTwiddles(int32_t m, const T* sine, int32_t order, T* table) {
    return SP_V(spkFftTwiddleTableF64)(m, sine, order, table);
  }
  static T* BuildSplitForward(int32_t order, const T* sine, T* table) {
    return SP_V(spkFftSplitTableFwdF64)(order, sine, table);
  }
  static T* BuildSplitInverse(int32_t order, const T* sine, T* table) {
    return SP_V(spkFftSplitTableInvF64)(order, sine, table);
  }
  // The fused kernel keeps its intermediate in one complex double per point
  // when it cannot work in the destination.
  static int64_t PlainWorkBytes(int32_t m) { return kFused ? 16 * fftk::Pow2(m) : 0; }
  static int64_t LargePlanBytes(int32_t m) { return fftk::LargePlanSizeOf(LargeShape(), m).blockBytes; }
  static void BuildLargePlan(REALFFTSPEC& spec, int32_t m, const T* sine, int32_t order, T* block) {
    SP_V(spkFftPlanBuildF64)(&spec, m, sine, order, block);
  }

  static const spkRealFftEngine<T> kEngine;
};

int64_t HalfPoints(const REALFFTSPEC& spec) { return fftk::Pow2(spec.order - 1); }

// The complex stage: the plain or fused engine up to the plain limit, else
// bit reversal and the large-size path (which applies the scale itself).
bool ComplexForward(const REALFFTSPEC& spec, const double* src, double* dst, void* work) {
  const int32_t m = spec.order - 1;
  auto* area = static_cast<double*>(work);
  if (m > kPlainLimit) {
    if (src == dst)
      SP_V(spkFftBitRevInPlaceC64)(dst, HalfPoints(spec), spec.bitReversal);
    else
      SP_V(spkFftBitRevCopyC64)(src, dst, HalfPoints(spec), spec.bitReversal);
    SP_V(spkFftLargeFwdC64)(&spec, dst, m, area);
    return true;
  }
#if SP_SET_INDEX >= SP_SET_SSE2
  const auto* twiddles = static_cast<const double*>(spec.twiddles);
  SP_V(spkFftFusedFwdC64)(src, dst, HalfPoints(spec), twiddles, spec.bitReversal, area);
  return false;
#else
  return fftk::PlainComplexForward<DoublePlan>(spec, src, dst, work);
#endif
}

bool ComplexInverse(const REALFFTSPEC& spec, double* data, void* work) {
  const int32_t m = spec.order - 1;
  auto* area = static_cast<double*>(work);
  if (m > kPlainLimit) {
    SP_V(spkFftBitRevInPlaceC64)(data, HalfPoints(spec), spec.bitReversal);
    SP_V(spkFftLargeInvC64)(&spec, data, m, area);
    return true;
  }
#if SP_SET_INDEX >= SP_SET_SSE2
  const auto* twiddles = static_cast<const double*>(spec.twiddles);
  SP_V(spkFftFusedInvC64)(data, data, HalfPoints(spec), twiddles, spec.bitReversal, area);
  return false;
#else
  return fftk::PlainComplexInverse<DoublePlan>(spec, data, work);
#endif
}

constinit const spkRealFftEngine<double> DoublePlan::kEngine = {
    &SP_V(spkSmallDftKernels).realTablesF64,
    &ComplexForward,
    &ComplexInverse,
    &SP_V(spkFftRealSplitF64),
    &SP_V(spkFftRealMergeF64),
    &SP_V(spkFftScaleF64),
};

}  // namespace

double* SP_V(spkFftSinTableF64)(int32_t order, double* table) { return fftk::SinTable(order, table); }

double* SP_V(spkFftTwiddleTableF64)(int32_t m, const double* sine, int32_t order, double* table) {
  if constexpr (kFused)
    return fftk::StageTwiddleTable(m, sine, order, table);
  else
    return fftk::TwiddleTableGeneric(m, sine, order, table);
}
double* SP_V(spkFftSplitTableFwdF64)(int32_t order, const double* sine, double* table) {
  if constexpr (kFused)
    return fftk::SplitTableForwardPairs(order, sine, table);
  else
    return fftk::SplitTableForwardGeneric(order, sine, table);
}
double* SP_V(spkFftSplitTableInvF64)(int32_t order, const double* sine, double* table) {
  if constexpr (kFused)
    return fftk::SplitTableInversePairs(order, sine, table);
  else
    return fftk::SplitTableInverseGeneric(order, sine, table);
}
double* SP_V(spkFftTwiddleSubsampleF64)(int32_t m, const double* sine, int32_t order, double* table) {
  return fftk::SubsampledTwiddles(m, sine, order, table);
}
const spkFftLargePlanExponents& SP_V(spkFftLargePlanF64)() {
  if constexpr (SP_SET_INDEX <= SP_SET_SSE)
    return fftk::kLargePlanGeneric;
  else if constexpr (SP_SET_INDEX == SP_SET_SSE2)
    return fftk::kLargePlanSse2;
  else
    return fftk::kLargePlanSse3;
}

void SP_V(spkFftBitRevInPlaceC64)(double* data, int64_t n, const int32_t* table) {
  if constexpr (kFused)
    fftk::BitRevInPlaceBlocks(data, n, table);
  else
    fftk::BitRevInPlaceSwapList(data, n, table);
}
void SP_V(spkFftBitRevCopyC64)(const double* src, double* dst, int64_t n, const int32_t* table) {
  if constexpr (kFused)
    fftk::BitRevCopyBlocks(src, dst, n, table);
  else
    fftk::BitRevCopySwapList(src, dst, n, table);
}

void SP_V(spkFftRealSplitF64)(double* data, int64_t n, const double* splitForward) {
#if SP_SET_INDEX >= SP_SET_SSE2
  fftk::RealSplitPairs(data, n, splitForward);
#else
  fftk::RealSplitGeneric(data, n, splitForward);
#endif
}
void SP_V(spkFftRealMergeF64)(const double* src, double* dst, int64_t n, const double* splitInverse) {
#if SP_SET_INDEX >= SP_SET_SSE2
  fftk::RealMergePairs(src, dst, n, splitInverse);
#else
  fftk::RealMergeGeneric(src, dst, n, splitInverse);
#endif
}
void SP_V(spkFftScaleF64)(double factor, double* data, int64_t count) {
#if SP_SET_INDEX >= SP_SET_SSE2
  fftk::ScalePairs(factor, data, count);
#else
  fftk::ScaleInPlace(factor, data, count);
#endif
}

#if SP_SET_INDEX <= SP_SET_SSE
void SP_V(spkFftRadixFwdC64)(double* data, int64_t n, const double* twiddles) {
  fftk::RadixPassesGeneric<false>(data, n, twiddles);
}
void SP_V(spkFftRadixInvC64)(double* data, int64_t n, const double* twiddles) {
  fftk::RadixPassesGeneric<true>(data, n, twiddles);
}
#else
void SP_V(spkFftFusedFwdC64)(const double* src, double* dst, int64_t n, const double* twiddles,
                             const int32_t* bitReversal, double* work) {
  fftk::FusedComplexFft<false>(src, dst, n, twiddles, bitReversal, work);
}
void SP_V(spkFftFusedInvC64)(const double* src, double* dst, int64_t n, const double* twiddles,
                             const int32_t* bitReversal, double* work) {
  fftk::FusedComplexFft<true>(src, dst, n, twiddles, bitReversal, work);
}
#endif

void SP_V(spkFftPlanSizeF64)(int32_t m, int64_t* blockBytes, int64_t* workBytes) {
  const fftk::LargePlanSize size = fftk::LargePlanSizeOf(LargeShape(), m);
  *blockBytes = size.blockBytes;
  *workBytes = size.workBytes;
}
void SP_V(spkFftPlanBuildF64)(REALFFTSPEC* spec, int32_t m, const double* sine, int32_t order, double* block) {
  fftk::BuildLargePlan<TableBuilders>(LargeShape(), *spec, m, sine, order, block);
}

#if SP_SET_INDEX <= SP_SET_SSE
void SP_V(spkFftLargeFwdC64)(const REALFFTSPEC* spec, double* data, int32_t m, double* work) {
  fftk::LargeGeneric<false>(*spec, data, m, 0, work);
}
void SP_V(spkFftLargeInvC64)(const REALFFTSPEC* spec, double* data, int32_t m, double* work) {
  fftk::LargeGeneric<true>(*spec, data, m, 0, work);
}
#else
void SP_V(spkFftLargeFwdC64)(const REALFFTSPEC* spec, double* data, int32_t m, double* work) {
  fftk::LargeSimd<false>(*spec, data, m, 0, work, kPlainLimit);
}
void SP_V(spkFftLargeInvC64)(const REALFFTSPEC* spec, double* data, int32_t m, double* work) {
  fftk::LargeSimd<true>(*spec, data, m, 0, work, kPlainLimit);
}
void SP_V(spkFftLargeColumnKernelFwdC64)(double* data, int32_t n, const double* twiddles, double* work,
                                         int32_t outInterleaved) {
  fftk::ColumnKernel<false>(data, n, twiddles, work, outInterleaved);
}
void SP_V(spkFftLargeColumnKernelInvC64)(double* data, int32_t n, const double* twiddles, double* work,
                                         int32_t outInterleaved) {
  fftk::ColumnKernel<true>(data, n, twiddles, work, outInterleaved);
}
void SP_V(spkFftLargeGatherC64)(const double* src, double* dst, int64_t stride, int32_t rows, int32_t cols) {
  fftk::lanes::GatherBlock(src, dst, stride, rows, cols);
}
void SP_V(spkFftLargeScatterC64)(double* dst, const double* src, int64_t stride, int32_t rows, int32_t cols,
                                 int32_t mode) {
  fftk::lanes::ScatterBlock(dst, src, stride, rows, cols, mode == 1);
}
void SP_V(spkFftLargeTwiddleR4FwdC64)(const double* src, double* dst, int64_t q, int64_t groups, const double* table) {
  fftk::lanes::TwiddlePassR4<false>(src, dst, q, groups, table);
}
void SP_V(spkFftLargeTwiddleR4InvC64)(const double* src, double* dst, int64_t q, int64_t groups, const double* table) {
  fftk::lanes::TwiddlePassR4<true>(src, dst, q, groups, table);
}
void SP_V(spkFftLargeTwiddleR2FwdC64)(const double* src, double* dst, int64_t h, int64_t groups, const double* table) {
  fftk::lanes::TwiddlePassR2<false>(src, dst, h, groups, table);
}
void SP_V(spkFftLargeTwiddleR2InvC64)(const double* src, double* dst, int64_t h, int64_t groups, const double* table) {
  fftk::lanes::TwiddlePassR2<true>(src, dst, h, groups, table);
}
#endif

spStatus SP_V(spRealFftInitF64)(REALFFTSPEC** spec, int32_t order, int32_t scaleFlag, int32_t hint) {
  return fftk::InitSpec<DoublePlan>(spec, order, scaleFlag, hint);
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
