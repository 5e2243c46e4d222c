// The column step of the large-size complex FFTs in the SIMD sets, written
// once over the split width (two values a run for doubles, four for
// floats). A level splits 2^M bit-reversed points into R = 2^k1 rows of
// 2^L points;
// once every row holds its own transform (split), the remaining k1
// decimation-in-time levels run on blocks of `cols` columns in a
// contiguous work block: radix-4 twiddle passes, one radix-2 pass when k1
// is odd, the first reading the block from the rows (gather) and the last
// writing it back (scatter).
//
// The rows and the work block are split (fft_split_complex.h: pair-split
// doubles, quad-split floats). Twiddle entries have the same shape and hold
// forward factors w = cos - j sin; the inverse multiplies by conj(w). A
// radix-4 record is three entries (factors 1, 2, 3) per run of positions,
// 96 bytes.
//
// Include only from *_variant.cpp of the SSE2 set and later (the float
// instantiation also builds in the SSE set).
#pragma once
#include <concepts>
#include <cstdint>

#include "primitives/fft/fft_large_generic.h"
#include "primitives/fft/fft_split_complex.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/frame/simd.h"

#if SP_SET_HAS_F32_VECTORS

namespace SP_SET_NS::fftk::columns {

// x times the entry at `entry` (forward) or its conjugate (inverse).
template <bool kInverse, class T>
inline SplitCx<T> Twiddle(SplitCx<T> x, const T* entry) {
  using namespace simd;
  const VecOf<T> wr = Load(entry), wi = Load(entry + kSplitWidth<T>);
  if constexpr (kInverse)
    return {Add(Mul(wr, x.re), Mul(wi, x.im)), Sub(Mul(wr, x.im), Mul(wi, x.re))};
  else
    return {Sub(Mul(wr, x.re), Mul(wi, x.im)), Add(Mul(wr, x.im), Mul(wi, x.re))};
}

// Radix-4 butterfly at p, p + q, p + 2q, p + 3q with the record of p: the
// first factor on the third quarter, the second on the second, the third
// on the fourth (on bit-reversed data the quarters hold the inputs = 0, 2,
// 1, 3 mod 4).
// The four results of that butterfly on the runs x0 .. x3 (before their
// factors), for callers that load and store in their own ways.
template <class T>
struct FourRuns {
  SplitCx<T> y0, y1, y2, y3;
};
template <bool kInverse, class T>
[[gnu::always_inline]] inline FourRuns<T> Butterfly4Runs(SplitCx<T> x0, SplitCx<T> x1, SplitCx<T> x2, SplitCx<T> x3,
                                                         const T* record) {
  constexpr int64_t kEntry = 2 * kSplitWidth<T>;
  const SplitCx<T> a1 = Twiddle<kInverse>(x1, record + kEntry);
  const SplitCx<T> a2 = Twiddle<kInverse>(x2, record);
  const SplitCx<T> a3 = Twiddle<kInverse>(x3, record + 2 * kEntry);
  const SplitCx<T> sum01 = x0 + a1, diff01 = x0 - a1, sum23 = a2 + a3;
  const SplitCx<T> jDiff23 = TimesJ<kInverse>(a2 - a3);
  return {sum01 + sum23, diff01 + jDiff23, sum01 - sum23, diff01 - jDiff23};
}

template <bool kInverse, class T>
[[gnu::always_inline]] inline void Butterfly4(const T* src, T* dst, int64_t p, int64_t q, const T* record) {
  const FourRuns<T> y = Butterfly4Runs<kInverse>(LoadSplit(src, p), LoadSplit(src, p + q), LoadSplit(src, p + 2 * q),
                                                 LoadSplit(src, p + 3 * q), record);
  StoreSplit(dst, p, y.y0);
  StoreSplit(dst, p + q, y.y1);
  StoreSplit(dst, p + 2 * q, y.y2);
  StoreSplit(dst, p + 3 * q, y.y3);
}

// Radix-4 twiddle pass over `groups` groups of 4q values; every group reads
// the same q / kSplitWidth records. src may be dst.
template <bool kInverse, class T>
void TwiddlePassR4(const T* src, T* dst, int64_t q, int64_t groups, const T* table) {
  for (int64_t g = 0; g < groups; ++g) {
    const int64_t at = 2 * 4 * q * g;
    const T* record = table;
    for (int64_t p = 0; p < q; p += kSplitWidth<T>, record += 6 * kSplitWidth<T>)
      Butterfly4<kInverse>(src + at, dst + at, p, q, record);
  }
}

// Radix-2 twiddle pass over `groups` groups of 2h values; every group reads
// the same h / kSplitWidth entries. src may be dst.
template <bool kInverse, class T>
void TwiddlePassR2(const T* src, T* dst, int64_t h, int64_t groups, const T* table) {
  for (int64_t g = 0; g < groups; ++g) {
    const T* x = src + 2 * 2 * h * g;
    T* y = dst + 2 * 2 * h * g;
    const T* entry = table;
    for (int64_t p = 0; p < h; p += kSplitWidth<T>, entry += 2 * kSplitWidth<T>) {
      const SplitCx<T> a0 = LoadSplit(x, p), a1 = Twiddle<kInverse>(LoadSplit(x, p + h), entry);
      StoreSplit(y, p, a0 + a1);
      StoreSplit(y, p + h, a0 - a1);
    }
  }
}

// Copies `cols` complex values from each of `rows` rows of src (row r at
// r * stride values, any element alignment) to dst, one row after another,
// in 32-byte runs (cols is a multiple of kSplitWidth). Bytes move unchanged, so
// split runs stay split. Rows are short (often 64 bytes): a call
// of memcpy per row would cost more than the copy. Each row asks for the
// next block's bytes early: the rows lie a power of two apart, too many
// streams for the hardware prefetcher to follow.
template <class T>
void GatherBlock(const T* src, T* dst, int64_t stride, int64_t rows, int64_t cols) {
  for (int64_t r = 0; r < rows; ++r) {
    const T* from = src + 2 * r * stride;
    T* to = dst + 2 * r * cols;
    simd::Prefetch(from + 2 * cols);
    for (int64_t i = 0; i < 2 * cols; i += 2 * kSplitWidth<T>) {
      simd::Store(to + i, simd::LoadU(from + i));
      simd::Store(to + i + kSplitWidth<T>, simd::LoadU(from + i + kSplitWidth<T>));
    }
  }
}

// The reverse of GatherBlock. With `interleave` each split run is
// written interleaved (re, im, re, im, ...); otherwise bytes move unchanged.
template <class T>
void ScatterBlock(T* dst, const T* src, int64_t stride, int64_t rows, int64_t cols, bool interleave) {
  if (!interleave) {
    for (int64_t r = 0; r < rows; ++r) {
      const T* from = src + 2 * r * cols;
      T* to = dst + 2 * r * stride;
      for (int64_t i = 0; i < 2 * cols; i += 2 * kSplitWidth<T>) {
        simd::StoreU(to + i, simd::Load(from + i));
        simd::StoreU(to + i + kSplitWidth<T>, simd::Load(from + i + kSplitWidth<T>));
      }
    }
    return;
  }
  for (int64_t r = 0; r < rows; ++r) {
    const T* from = src + 2 * r * cols;
    T* to = dst + 2 * r * stride;
    for (int64_t p = 0; p < cols; p += kSplitWidth<T>) {
      const SplitCx<T> v = LoadSplit(from, p);
      simd::StoreU(to + 2 * p, simd::InterleaveLow(v.re, v.im));
      simd::StoreU(to + 2 * p + kSplitWidth<T>, simd::InterleaveHigh(v.re, v.im));
    }
  }
}

// Stores a run to a row of the strided array, interleaved or unchanged.
template <class T>
inline void StoreSplitOut(T* d, SplitCx<T> v, bool interleave) {
  if (interleave) {
    simd::StoreU(d, simd::InterleaveLow(v.re, v.im));
    simd::StoreU(d + kSplitWidth<T>, simd::InterleaveHigh(v.re, v.im));
  } else {
    simd::StoreU(d, v.re);
    simd::StoreU(d + kSplitWidth<T>, v.im);
  }
}

// GatherBlock and the first radix-4 pass (q = cols) in one: the rows
// 4g .. 4g + 3 of the block are read from src (row r at r * stride
// values) straight into the butterflies, whose results go to work. Same
// arithmetic as TwiddlePassR4 on the gathered block.
template <bool kInverse, class T>
void GatherPassR4(const T* src, T* work, int64_t stride, int64_t rows, int64_t cols, const T* table) {
  constexpr int64_t kEntry = 2 * kSplitWidth<T>;
  for (int64_t r = 0; r < rows; r += 4) {
    const T* from[4] = {src + 2 * r * stride, src + 2 * (r + 1) * stride, src + 2 * (r + 2) * stride,
                        src + 2 * (r + 3) * stride};
    for (const T* row : from) simd::Prefetch(row + 2 * cols);
    T* to = work + 2 * r * cols;
    const T* record = table;
    for (int64_t p = 0; p < cols; p += kSplitWidth<T>, record += 3 * kEntry) {
      auto load = [&](const T* row) -> SplitCx<T> {
        return {simd::LoadU(row + 2 * p), simd::LoadU(row + 2 * p + kSplitWidth<T>)};
      };
      const FourRuns<T> y =
          Butterfly4Runs<kInverse>(load(from[0]), load(from[1]), load(from[2]), load(from[3]), record);
      StoreSplit(to, p, y.y0);
      StoreSplit(to, p + cols, y.y1);
      StoreSplit(to, p + 2 * cols, y.y2);
      StoreSplit(to, p + 3 * cols, y.y3);
    }
  }
}

// The last pass of a block (one group: radix 4 over quarters of q, or
// radix 2 over halves of q) and ScatterBlock in one: results go straight
// to dst's rows (row r at r * stride values), interleaved or unchanged.
// Same arithmetic as TwiddlePassR4 / TwiddlePassR2 with groups = 1.
template <bool kInverse, int kRadix, class T>
void ScatterPass(T* dst, const T* work, int64_t stride, int64_t cols, int64_t q, const T* table, bool interleave) {
  constexpr int64_t kEntry = 2 * kSplitWidth<T>;
  const int64_t rowStep = 2 * (q / cols) * stride;  // values from the row of p to that of p + q
  const T* record = table;
  for (int64_t r0 = 0; r0 < q; r0 += cols) {
    T* to = dst + 2 * (r0 / cols) * stride;
    for (int64_t c = 0; c < cols; c += kSplitWidth<T>) {
      const int64_t p = r0 + c;
      if constexpr (kRadix == 4) {
        const FourRuns<T> y = Butterfly4Runs<kInverse>(LoadSplit(work, p), LoadSplit(work, p + q),
                                                       LoadSplit(work, p + 2 * q), LoadSplit(work, p + 3 * q), record);
        StoreSplitOut(to + 2 * c, y.y0, interleave);
        StoreSplitOut(to + 2 * c + rowStep, y.y1, interleave);
        StoreSplitOut(to + 2 * c + 2 * rowStep, y.y2, interleave);
        StoreSplitOut(to + 2 * c + 3 * rowStep, y.y3, interleave);
        record += 3 * kEntry;
      } else {
        const SplitCx<T> a0 = LoadSplit(work, p), a1 = Twiddle<kInverse>(LoadSplit(work, p + q), record);
        StoreSplitOut(to + 2 * c, a0 + a1, interleave);
        StoreSplitOut(to + 2 * c + rowStep, a0 - a1, interleave);
        record += kEntry;
      }
    }
  }
}

// The column step of one level: data holds R = 2^k1 rows of `rowLength`
// points, each transformed and split; `cols` columns per block (a
// multiple of kSplitWidth, dividing rowLength) go through work (R * cols
// values, 16-byte aligned): radix-4 twiddle passes, then one radix-2 pass
// when k1 is odd, the first pass reading the rows and the last writing
// them (a lone pass after a plain gather). `table` is the level's
// twiddle-multiply table, read on across the blocks. Returns the position
// after what was read.
template <bool kInverse, class T>
const T* ColumnStep(T* data, T* work, int64_t rowLength, int32_t k1, int64_t cols, const T* table, bool interleaveOut) {
  const int64_t rows = int64_t{1} << k1;
  for (int64_t c0 = 0; c0 < rowLength; c0 += cols) {
    int64_t q = cols;
    int32_t s = 2;
    if (k1 >= 3) {  // two passes or more: the first reads the rows
      GatherPassR4<kInverse>(data + 2 * c0, work, rowLength, rows, cols, table);
      table += 2 * 3 * q;
      q *= 4;
      s = 4;
    } else {
      GatherBlock(data + 2 * c0, work, rowLength, rows, cols);
    }
    for (; s < k1; s += 2, q *= 4) {  // every radix-4 pass but a last one
      TwiddlePassR4<kInverse>(work, work, q, rows >> s, table);
      table += 2 * 3 * q;
    }
    if (k1 % 2 == 1) {
      ScatterPass<kInverse, 2>(data + 2 * c0, work, rowLength, cols, q, table, interleaveOut);
      table += 2 * q;
    } else {
      ScatterPass<kInverse, 4>(data + 2 * c0, work, rowLength, cols, q, table, interleaveOut);
      table += 2 * 3 * q;
    }
  }
  return table;
}

// One level of order M of the SIMD sets' large-size path, both precisions:
// the 2^k1 rows of 2^d points by the Plan's row kernel (d up to the row
// limit, left split, scaled here when the direction asks for it) or
// one level deeper, then the column step; only the top level writes
// interleaved pairs. work holds one column group or one staged row,
// whichever is larger. With `source` (top level, rows by the row kernel
// only, data 16-byte aligned), data is not bit-reversed yet: the rows'
// first butterflies read the natural-order source themselves, a group of
// Plan::kRowsTogether rows at a time (Plan::FirstStageFromSource), or, when
// source is data, all rows in one pass (Plan::FirstStageInPlace).
// A plan whose rows' first stage reads the natural-order source itself
// (folded bit reversal).
template <class P, class T = typename P::T>
concept FoldsRowBitReversal = requires(const T* s, T* d, int64_t n, int32_t k1, const int32_t* index) {
  { P::kRowsTogether } -> std::convertible_to<int64_t>;
  P::template FirstStageFromSource<false>(s, d, n, k1, index, n);
  P::template FirstStageInPlace<false>(d, n, k1, index);
  P::template SplitRowAfterFirstStage<false>(d, n, s);
};

template <bool kInverse, class Plan, class Shape, class T>
void LargeLevels(const spkRealFftView<T>& spec, const Shape& shape, T* data, int32_t M, int32_t level, T* work,
                 const T* source = nullptr) {
  const int32_t k1 = shape.tables.split[M], d = M - k1;
  const int64_t rows = Pow2(k1), cols = Pow2(d);
  const T* const rowTwiddles = spec.twiddles;
  auto scaleRow = [&](T* row) {
    if (ScalesDirection(spec, kInverse)) Plan::Scale(spec.scale, row, 2 * cols);
  };
  bool rowsDone = false;
  if constexpr (FoldsRowBitReversal<Plan>) {
    if (source != nullptr) {
      auto finishRow = [&](int64_t j) {
        T* row = data + 2 * j * cols;
        Plan::template SplitRowAfterFirstStage<kInverse>(row, cols, rowTwiddles);
        scaleRow(row);
      };
      if (source == data) {
        Plan::template FirstStageInPlace<kInverse>(data, cols, k1, spec.bitReversal);
        for (int64_t j = 0; j < rows; ++j) finishRow(j);
      } else {
        // Each group of rows is finished while its first stage is still in
        // cache.
        for (int64_t t = 0; t < rows; t += Plan::kRowsTogether) {
          Plan::template FirstStageFromSource<kInverse>(source, data, cols, k1, spec.bitReversal, t);
          for (int64_t c = 0; c < Plan::kRowsTogether; ++c) finishRow(ReverseBits(t + c, k1));
        }
      }
      rowsDone = true;
    }
  }
  for (int64_t j = 0; j < rows && !rowsDone; ++j) {
    T* row = data + 2 * j * cols;
    if (d <= shape.rowLimit) {
      Plan::template SplitRow<kInverse>(row, cols, rowTwiddles, work);
      scaleRow(row);
    } else {
      LargeLevels<kInverse, Plan>(spec, shape, row, d, level + 1, work);
    }
  }
  ColumnStep<kInverse>(data, work, cols, k1, Pow2(shape.tables.block[M] - k1), spec.multiplyTables[level], level == 0);
}

}  // namespace SP_SET_NS::fftk::columns

#endif
