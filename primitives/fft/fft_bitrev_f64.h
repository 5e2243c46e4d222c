// The block form of the bit-reversal permutation (fft_bitrev.h) for complex
// doubles: a complex double fills a vector, so the scalar block routine
// moves whole points and no transpose is needed. Include only from
// *_variant.cpp; the SSE2 set and later permute so.
#pragma once
#include <cstdint>

#include "primitives/fft/fft_bitrev.h"

namespace SP_SET_NS::fftk {

inline void BitRevInPlaceBlocksF64(double* d, int64_t points, const int32_t* index) {
  BitRevInPlaceBlocks(d, points, index);
}
inline void BitRevCopyBlocksF64(const double* s, double* d, int64_t points, const int32_t* index) {
  BitRevCopyBlocks(s, d, points, index);
}

}  // namespace SP_SET_NS::fftk
