// The double-precision real-FFT engine of the SSE2, SSE3 and SSSE3 sets:
// the fused kernel (bit reversal included) on the index table and the
// stage twiddles up to complex order 13 (SSE2) or 14 (SSE3, SSSE3), the
// large-size path above it, the split and merge one position per register
// on the generic split tables (the inverse's merge inside the fused
// kernel's first stage where that pays), and the scale two values at a
// time. The fused kernel keeps its intermediate in one complex double per
// point when it cannot work in the destination.
#pragma once
#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_large_f64.h"
#include "primitives/fft/fft_large_plan_f64.h"
#include "primitives/fft/fft_merge_first_stage_f64.h"
#include "primitives/fft/fft_passes_f64.h"
#include "primitives/fft/fft_split_merge_f64.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/fft_tables_f64.h"
#include "primitives/fft/real_fft_f64_kernels.h"

#if SP_SET_HAS_F64_VECTORS
namespace SP_SET_NS::fft64 {

struct Plan : LargeTableBuilders {
  using T = double;
  static constexpr const LargePlanShape& kLargeShape = kLargeShapes[SP_SET_INDEX];
  // The fused kernel runs every order up to the plain limit.
  static constexpr int32_t kPlainLimit = kLargeShape.rowLimit;
  static constexpr int32_t kFusedLimit = kPlainLimit;

  static int32_t* BuildBitReversal(int32_t m, int32_t* table) { return fftk::BitRevIndexTable(m, table); }
  static void BitRevInPlace(double* d, int64_t points, const int32_t* table) {
    fftk::BitRevInPlaceBlocks(d, points, table);
  }
  static void BitRevCopy(const double* s, double* d, int64_t points, const int32_t* table) {
    fftk::BitRevCopyBlocks(s, d, points, table);
  }
  static double* BuildTwiddles(int32_t m, const double* sine, int32_t order, double* table) {
    return fftk::StageTwiddleTable(m, sine, order, table);
  }
  static double* BuildSplitForward(int32_t order, const double* sine, double* table) {
    return fftk::SplitTableForwardGeneric(order, sine, table);
  }
  static double* BuildSplitInverse(int32_t order, const double* sine, double* table) {
    return fftk::SplitTableInverseGeneric(order, sine, table);
  }
  static void Split(double* d, int64_t points, const double* table) { fftk::RealSplitSimd(d, points, table); }
  static void Merge(const double* s, double* d, int64_t points, const double* table) {
    fftk::RealMergeSimd(s, d, points, table);
  }
  static void Scale(double scale, double* d, int64_t count) { fftk::ScalePairs(scale, d, count); }
  static int64_t PlainWorkBytes(int32_t m) { return 16 * fftk::Pow2(m); }

  // The fused kernel applies the scale itself in its last stage.
  template <bool kInverse>
  static void Fused(const double* s, double* d, int64_t points, const double* twiddles, const int32_t* index,
                    double* work, const double* scale) {
    fftk::FusedKernel<kInverse>(s, d, points, twiddles, index, work, scale);
  }
  // The inverse from the packed spectrum, the merge in the first stage.
  // A radix-8 first stage (odd m) keeps more merged values live than there
  // are registers: the spills cost more than the stores they save until
  // the spectrum outgrows the first-level cache.
  static constexpr bool MergesInverse(int32_t m) { return m >= 4 && (m % 2 == 0 || m >= 11); }
  // Out of line: inlined into the engine entry, its frame would be paid by
  // the orders that keep merge then kernel too.
  [[gnu::noinline]] static void FusedFromMerge(const double* s, double* d, int64_t points, const double* twiddles,
                                               const int32_t* index, const double* split, double* work,
                                               const double* scale) {
    fftk::FusedInverseFromSpectrum(s, d, points, twiddles, index, split, work, scale);
  }
  // A row of the large-size path, left pair-split.
  template <bool kInverse>
  static void SplitRow(double* row, int64_t points, const double* twiddles, double* work) {
    fftk::ColumnKernel<kInverse>(row, points, twiddles, work, 0);
  }
  template <bool kInverse>
  static void Large(const spkRealFftView<double>& spec, double* d, int32_t m, double* work) {
    fftk::columns::LargeLevels<kInverse, Plan>(spec, kLargeShape, d, m, 0, work);
  }
  // Into a 16-byte aligned destination, a one-level plan's rows start from
  // the natural-order input (out of place, or in place by block pairs): no
  // bit-reversal pass first.
  static bool FoldsBitReversal(int32_t m, const double* d) {
    const int32_t k1 = kLargeShape.tables.split[m], d1 = m - k1;
    return simd::Aligned16(d) && k1 >= 2 && d1 >= 4 && d1 <= kLargeShape.rowLimit;
  }
  static constexpr int64_t kRowsTogether = fftk::kFirstStageRows;
  template <bool kInverse>
  static void FirstStageFromSource(const double* src, double* d, int64_t points, int32_t k1, const int32_t* index,
                                   int64_t t) {
    fftk::FirstStageFromSource<kInverse>(src, d, points, k1, index, t);
  }
  template <bool kInverse>
  static void FirstStageInPlace(double* d, int64_t points, int32_t k1, const int32_t* index) {
    fftk::FirstStageInPlace<kInverse>(d, points, k1, index);
  }
  template <bool kInverse>
  static void SplitRowAfterFirstStage(double* row, int64_t points, const double* twiddles) {
    fftk::ColumnKernelAfterFirstStage<kInverse>(row, points, twiddles);
  }
  template <bool kInverse>
  static void LargeFromSource(const spkRealFftView<double>& spec, const double* s, double* d, int32_t m, double* work) {
    fftk::columns::LargeLevels<kInverse, Plan>(spec, kLargeShape, d, m, 0, work, s);
  }

  static int64_t LargePlanBytes(int32_t m) { return fftk::LargePlanSizesOf<double>(kLargeShape, m).tableBytes; }
  static void BuildLargePlan(REALFFTSPEC& spec, int32_t m, const double* sine, int32_t order, double* block) {
    fftk::BuildLargePlan<Plan>(kLargeShape, spec, m, sine, order, block);
  }
};
// The rows' first stage reads the natural-order input (LargeLevels).
static_assert(fftk::columns::FoldsRowBitReversal<Plan>);

}  // namespace SP_SET_NS::fft64

namespace SP_SET_NS {
void SP_V(spkFftFusedFwdC64)(const double* src, double* dst, int64_t n, const double* twiddles,
                             const int32_t* bitReversal, double* work) {
  fftk::FusedKernel<false>(src, dst, n, twiddles, bitReversal, work);
}
void SP_V(spkFftFusedInvC64)(const double* src, double* dst, int64_t n, const double* twiddles,
                             const int32_t* bitReversal, double* work) {
  fftk::FusedKernel<true>(src, dst, n, twiddles, bitReversal, work);
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
  fftk::columns::GatherBlock(src, dst, stride, rows, cols);
}
void SP_V(spkFftLargeScatterC64)(double* dst, const double* src, int64_t stride, int32_t rows, int32_t cols,
                                 int32_t mode) {
  fftk::columns::ScatterBlock(dst, src, stride, rows, cols, mode == 1);
}
void SP_V(spkFftLargeTwiddleR4FwdC64)(const double* src, double* dst, int64_t q, int64_t groups, const double* table) {
  fftk::columns::TwiddlePassR4<false>(src, dst, q, groups, table);
}
void SP_V(spkFftLargeTwiddleR4InvC64)(const double* src, double* dst, int64_t q, int64_t groups, const double* table) {
  fftk::columns::TwiddlePassR4<true>(src, dst, q, groups, table);
}
void SP_V(spkFftLargeTwiddleR2FwdC64)(const double* src, double* dst, int64_t h, int64_t groups, const double* table) {
  fftk::columns::TwiddlePassR2<false>(src, dst, h, groups, table);
}
void SP_V(spkFftLargeTwiddleR2InvC64)(const double* src, double* dst, int64_t h, int64_t groups, const double* table) {
  fftk::columns::TwiddlePassR2<true>(src, dst, h, groups, table);
}
}  // namespace SP_SET_NS
#endif
