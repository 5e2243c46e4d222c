// The block form of the bit-reversal permutation (fft_bitrev.h) for complex
// floats with four-float vectors: block i - four points in each quarter of
// the array - moves to block j = rev(i), transposed, two points per vector
// and the transpose done in registers. Below M = 16 the scalar block routine
// moves the few points. Any float boundary. Include only from
// *_variant.cpp; SSE sets and later (the SSE2 set and later permute so).
#pragma once
#include <cstdint>

#include "primitives/fft/fft_bitrev.h"
#include "primitives/frame/simd.h"

#if SP_SET_HAS_F32_VECTORS
namespace SP_SET_NS::fftk {

// The 16 points of a block: rows q = 0..3 (one per quarter), each two
// vectors of two points (columns 0-1 and 2-3).
struct PointBlock {
  simd::f32x4 lo[4], hi[4];
};

inline PointBlock LoadPointBlock(const float* d, int64_t quarter, int64_t block) {
  PointBlock b;
  for (int64_t q = 0; q < 4; ++q) {
    const float* row = d + 2 * (q * quarter + 4 * block);
    b.lo[q] = simd::LoadU(row);
    b.hi[q] = simd::LoadU(row + 4);
  }
  return b;
}

// Point (q, r) of the source block lands at (r', q') of the destination
// block (r', q' the 2-bit reversals): destination row r' holds source column
// r of rows 0, 2, 1, 3.
inline void StoreTransposedBlock(float* d, int64_t quarter, int64_t block, const PointBlock& b) {
  using simd::JoinLowHalves, simd::JoinHighHalves;
  const simd::f32x4 rows[4][2] = {
      {JoinLowHalves(b.lo[0], b.lo[2]), JoinLowHalves(b.lo[1], b.lo[3])},    // column 0 -> row 0
      {JoinLowHalves(b.hi[0], b.hi[2]), JoinLowHalves(b.hi[1], b.hi[3])},    // column 2 -> row 1
      {JoinHighHalves(b.lo[0], b.lo[2]), JoinHighHalves(b.lo[1], b.lo[3])},  // column 1 -> row 2
      {JoinHighHalves(b.hi[0], b.hi[2]), JoinHighHalves(b.hi[1], b.hi[3])},  // column 3 -> row 3
  };
  for (int64_t q = 0; q < 4; ++q) {
    float* row = d + 2 * (q * quarter + 4 * block);
    simd::StoreU(row, rows[q][0]);
    simd::StoreU(row + 4, rows[q][1]);
  }
}

inline void BitRevInPlaceBlocksF32(float* d, int64_t points, const int32_t* index) {
  if (points < 16) {
    BitRevInPlaceBlocks(d, points, index);
    return;
  }
  const int64_t quarter = points / 4;
  for (int64_t i = points / 16 - 1; i >= 0; --i) {
    const int64_t j = index[i] / 8;
    if (j < i) continue;  // exchanged when its partner came by
    const PointBlock a = LoadPointBlock(d, quarter, i);
    if (j > i) StoreTransposedBlock(d, quarter, i, LoadPointBlock(d, quarter, j));
    StoreTransposedBlock(d, quarter, j, a);
  }
}

inline void BitRevCopyBlocksF32(const float* s, float* d, int64_t points, const int32_t* index) {
  if (points < 16) {
    BitRevCopyBlocks(s, d, points, index);
    return;
  }
  const int64_t quarter = points / 4;
  for (int64_t i = 0; i < points / 16; ++i)
    StoreTransposedBlock(d, quarter, i, LoadPointBlock(s, quarter, index[i] / 8));
}

}  // namespace SP_SET_NS::fftk
#endif
