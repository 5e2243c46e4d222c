// The single-precision real FFT of one variant set: its engine, its spec
// build and release, its transforms and the engine routines other code of
// the set calls directly.
//
// Until a set's own passes arrive, every set runs the generic passes, each
// compiled in its own set, with plain twiddles up to complex order 10, so
// orders up to 11; orders 12 to 30 wait for the large-size path and are
// refused at spec build. The bit-reversal tables are already each set's own
// (swap list in the generic and SSE sets, index table from SSE2 on).
#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_split_merge.h"
#include "primitives/fft/real_fft_driver.h"
#include "primitives/fft/real_fft_kernels.h"
#include "primitives/fft/small_dft_kernels.h"

namespace SP_SET_NS {
namespace {

constexpr bool kSwapList = SP_SET_INDEX <= SP_SET_SSE;

struct FloatPlan {
  using T = float;
  static constexpr int32_t kPlainLimit = 10;
  static constexpr int32_t kLargestOrder = kPlainLimit + 1;

  static int32_t* BuildBitReversal(int32_t m, int32_t* table) {
    return kSwapList ? fftk::BitRevSwapTable(m, table) : fftk::BitRevIndexTable(m, table);
  }
  static void BitRevInPlace(T* d, int64_t points, const int32_t* table) {
    if constexpr (kSwapList) fftk::BitRevInPlaceSwapList(d, points, table);
    else fftk::BitRevInPlaceBlocks(d, points, table);
  }
  static void BitRevCopy(const T* s, T* d, int64_t points, const int32_t* table) {
    if constexpr (kSwapList) fftk::BitRevCopySwapList(s, d, points, table);
    else fftk::BitRevCopyBlocks(s, d, points, table);
  }
  static T* BuildTwiddles(int32_t m, const T* sine, int32_t order, T* table) {
    return fftk::TwiddleTableGeneric(m, sine, order, table);
  }
  static T* BuildSplitForward(int32_t order, const T* sine, T* table) {
    return fftk::SplitTableForwardGeneric(order, sine, table);
  }
  static T* BuildSplitInverse(int32_t order, const T* sine, T* table) {
    return fftk::SplitTableInverseGeneric(order, sine, table);
  }
  // The generic passes work in place and need no scratch.
  static int64_t PlainWorkBytes(int32_t) { return 0; }

  static const spkRealFftEngine<T> kEngine;
};

void Split(float* d, int64_t points, const float* table) { fftk::RealSplitGeneric(d, points, table); }
void Merge(const float* s, float* d, int64_t points, const float* table) {
  fftk::RealMergeGeneric(s, d, points, table);
}

constinit const spkRealFftEngine<float> FloatPlan::kEngine = {
    &SP_V(spkSmallDftKernels).realTablesF32,
    &fftk::PlainComplexForward<FloatPlan>,
    &fftk::PlainComplexInverse<FloatPlan>,
    &Split,
    &Merge,
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
