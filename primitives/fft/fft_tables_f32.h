// Twiddle tables of the SIMD sets' single-precision complex passes, in the
// quad-split layout the passes read: every 96-byte block covers four
// adjacent butterfly positions k and holds three rows r = 1, 2, 3, each the
// four cos(2 pi r k / n) and then the four -sin(2 pi r k / n). Every value is
// a sine-table entry or its negation.
//
//   SSE, SSE2:   one section per radix-4 stage, blocks of n = 16, 64, ..., M
//                (even m) or n = 32, 128, ..., M (odd m); negation 0 - x.
//   SSE3, SSSE3: radix-4 levels n = 16, 64, ... up to M (even m) or M/2
//                (odd m), then for odd m the radix-2 level: rows cos, -sin
//                of 2 pi k / M, 32 bytes per four k. SSE3 negates by
//                flipping the sign bit, SSSE3 by 0 - x.
//
// A section depends only on its n, so a table built for m also holds the
// tables of m - 2, m - 4, ... (SSE3/SSSE3: even orders only). Builders
// return table + 8M rounded up to 16 bytes (table itself for m <= 3).
// Include only from *_variant.cpp.
#pragma once
#include <cstdint>

#include "primitives/fft/fft_tables.h"

namespace SP_SET_NS::fftk {

// W^a of order `level` into lane `lane` of a split row pair at `row`.
template <Negation kNeg>
inline void PutSplitTwiddle(int64_t a, int32_t level, const float* sine, int32_t sineOrder, float* row, int64_t lane) {
  float w[2];
  TwiddleFromSine<kNeg>(a, level, sine, sineOrder, w);
  row[lane] = w[0];
  row[4 + lane] = w[1];
}

// One radix-4 section of block size 2^level at `out`; returns its end.
template <Negation kNeg>
inline float* Radix4Section(int32_t level, const float* sine, int32_t sineOrder, float* out) {
  const int64_t span = Pow2(level) / 4;
  for (int64_t k0 = 0; k0 < span; k0 += 4) {
    for (int64_t r = 1; r <= 3; ++r, out += 8)
      for (int64_t lane = 0; lane < 4; ++lane)
        PutSplitTwiddle<kNeg>(r * (k0 + lane), level, sine, sineOrder, out, lane);
  }
  return out;
}

// SSE and SSE2 sets: sections from n = 16 (even m) or 32 (odd m) up to M.
inline float* TwiddleTableStageMajor(int32_t m, const float* sine, int32_t sineOrder, float* table) {
  if (m <= 3) return table;
  float* out = table;
  for (int32_t level = (m % 2 == 0) ? 4 : 5; level <= m; level += 2)
    out = Radix4Section<Negation::FromZero>(level, sine, sineOrder, out);
  return Next16(table + 2 * Pow2(m));
}

// SSE3 and SSSE3 sets: radix-4 levels 4, 6, ... then, for odd m, the
// radix-2 level of the last stage.
template <Negation kNeg>
float* TwiddleTableLevels(int32_t m, const float* sine, int32_t sineOrder, float* table) {
  if (m <= 3) return table;
  float* out = table;
  for (int32_t level = 4; level <= m; level += 2) out = Radix4Section<kNeg>(level, sine, sineOrder, out);
  if (m % 2 == 1) {
    for (int64_t k0 = 0; k0 < Pow2(m) / 2; k0 += 4, out += 8)
      for (int64_t lane = 0; lane < 4; ++lane) PutSplitTwiddle<kNeg>(k0 + lane, m, sine, sineOrder, out, lane);
  }
  return Next16(table + 2 * Pow2(m));
}

// Split twiddles in the grouped layout of the SIMD sets (N > 8): entries
// k = 1 .. N/4 in groups of four, the four first floats and then the four
// second floats, lanes in the set's order (k = 4g + lane offset). Entry k is
// the generic layout's (fft_tables.h). N <= 8 keeps the interleaved layout.
inline constexpr int64_t kSplitTableLanesInOrder[4] = {1, 2, 3, 4};
inline constexpr int64_t kSplitTableLanesPairSwapped[4] = {2, 1, 4, 3};

template <class Entry>
float* SplitTableGrouped(int32_t order, const float* sine, float* table, const int64_t (&lanes)[4], Entry entry) {
  const int64_t quarter = Pow2(order) / 4;
  for (int64_t g = 0; g < quarter / 4; ++g)
    for (int64_t i = 0; i < 4; ++i) entry(4 * g + lanes[i], sine, quarter, table[8 * g + i], table[8 * g + 4 + i]);
  return Next16(table + 2 * (quarter > 2 ? quarter : 2));
}

inline void SplitEntryForward(int64_t k, const float* sine, int64_t quarter, float& first, float& second) {
  first = static_cast<float>(0.5 * static_cast<double>(sine[quarter - k]));
  second = static_cast<float>(0.5 - 0.5 * static_cast<double>(sine[k]));
}
inline void SplitEntryInverse(int64_t k, const float* sine, int64_t quarter, float& first, float& second) {
  first = sine[quarter - k];
  second = -sine[k];
}

template <const int64_t (&kLanes)[4]>
float* SplitTableForwardSimd(int32_t order, const float* sine, float* table) {
  if (order > 3) return SplitTableGrouped(order, sine, table, kLanes, SplitEntryForward);
  SplitTableForwardGeneric(order, sine, table);
  return Next16(table + 4);
}
template <const int64_t (&kLanes)[4]>
float* SplitTableInverseSimd(int32_t order, const float* sine, float* table) {
  if (order > 3) return SplitTableGrouped(order, sine, table, kLanes, SplitEntryInverse);
  SplitTableInverseGeneric(order, sine, table);
  return Next16(table + 4);
}

}  // namespace SP_SET_NS::fftk
