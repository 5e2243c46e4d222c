// The engine one variant set runs a real FFT with, as a spec carries it (its
// owner's kernels): the small kernels for orders 0 to 3, the set's complex
// stage (fused kernel, bit reversal plus radix passes, or the large-size
// path, chosen by order in real_fft_driver.h), split, merge and scale. Each
// set fills its own table; the drivers reach a spec's engine only through
// the spec.
#pragma once
#include <cstdint>

#include "primitives/fft/small_dft.h"

template <class T>
struct spkSmallDftRealTablesOf;
template <>
struct spkSmallDftRealTablesOf<float> {
  using type = spkSmallDftRealTables<spkSmallDftFnF32, spkSmallDftScaledFnF32>;
};
template <>
struct spkSmallDftRealTablesOf<double> {
  using type = spkSmallDftRealTables<spkSmallDftFnF64, spkSmallDftScaledFnF64>;
};

// A live spec as the transforms read it, its tables typed for the precision:
// the driver makes one per call from the record (fftk::ViewOf in
// real_fft_driver.h), and every path below the driver reads the spec's
// tables and scaling through it. Null where the building set needs no such
// table.
template <class T>
struct spkRealFftView {
  int32_t order;
  bool forwardScaled, inverseScaled;
  T scale;
  const int32_t* bitReversal;   // swap list or index table of the complex order
  const T* twiddles;            // plain twiddles, or the large plan's base table
  const T* subsampledTwiddles;  // large plan
  const T* splitForward;
  const T* splitInverse;
  const T* rowTwiddles[3];  // large plan, per level
  const T* multiplyTables[3];
};

template <class T>
struct spkRealFftEngine {
  // Order-indexed small real kernels (orders 0 to 3).
  const typename spkSmallDftRealTablesOf<T>::type* small;
  // Unnormalised complex FFT of the spec's M = N/2 points: forward from src
  // (natural order) into dst, which may be src; inverse in place. Both give
  // natural order. True when the path has applied the spec's scale itself.
  bool (*complexForward)(const spkRealFftView<T>& spec, const T* src, T* dst, void* work);
  bool (*complexInverse)(const spkRealFftView<T>& spec, T* data, void* work);
  // Half-length spectrum <-> real spectrum (see fft_split_merge.h).
  void (*split)(T* data, int64_t halfPoints, const T* table);
  void (*merge)(const T* src, T* dst, int64_t halfPoints, const T* table);
  void (*scale)(T scale, T* data, int64_t count);
  // Optional (null: merge, then complexInverse on dst): the merge and the
  // inverse complex stage together, from the packed spectrum src into dst
  // (which may be src). True when it has applied the spec's scale.
  bool (*inverseFromSpectrum)(const spkRealFftView<T>& spec, const T* src, T* dst, void* work) = nullptr;
};
