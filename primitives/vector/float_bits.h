// IEEE-754 bit patterns the vector kernels build masks and special values
// from: sign and quiet bits, infinities, quiet NaNs and smallest normals.
// Include only from *_variant.cpp (or a family header of them).
#pragma once
#include <cstdint>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS {

inline constexpr uint32_t kF32SignBit = 0x80000000u;
inline constexpr uint64_t kF64SignBit = 0x8000000000000000ull;
// The bit that makes a NaN quiet.
inline constexpr uint32_t kF32QuietBit = 0x00400000u;
inline constexpr uint64_t kF64QuietBit = 0x0008000000000000ull;

inline constexpr uint32_t kF32PlusInf = 0x7F800000u;
inline constexpr uint32_t kF32MinusInf = 0xFF800000u;
inline constexpr uint64_t kF64PlusInf = 0x7FF0000000000000ull;
inline constexpr uint64_t kF64MinusInf = 0xFFF0000000000000ull;

// Positive quiet NaN, and the negative one SSE arithmetic writes for an
// invalid operation (the default NaN).
inline constexpr uint32_t kF32QuietNan = 0x7FC00000u;
inline constexpr uint64_t kF64QuietNan = 0x7FF8000000000000ull;
inline constexpr uint32_t kF32DefaultNan = 0xFFC00000u;
inline constexpr uint64_t kF64DefaultNan = 0xFFF8000000000000ull;

inline constexpr uint32_t kF32SmallestNormal = 0x00800000u;
inline constexpr uint64_t kF64SmallestNormal = 0x0010000000000000ull;

}  // namespace SP_SET_NS
