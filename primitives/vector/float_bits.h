// IEEE-754 bit patterns the vector kernels build masks and special values
// from: sign and quiet bits, infinities, quiet NaNs and smallest normals,
// and the integer order of double bit patterns.
// Include only from *_variant.cpp (or a family header of them).
#pragma once
#include <bit>
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

// A double's bit pattern as an integer that orders as the values do (NaNs
// beyond the infinities of their sign, -0 just below +0): negative patterns
// have their magnitude bits inverted. The SSE set, which has no double
// compares, orders doubles by it.
inline int64_t F64OrderKey(double x) {
  const int64_t bits = std::bit_cast<int64_t>(x);
  return bits < 0 ? bits ^ INT64_MAX : bits;
}

}  // namespace SP_SET_NS
