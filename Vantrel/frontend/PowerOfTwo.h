// Powers of two of the front end's transform and ring sizes.
#pragma once

#include <cstdint>

// Bits needed to write x (0 for 0).
inline uint32_t BitCount(uint32_t x) {
  uint32_t bits = 0;
  while (x != 0) {
    ++bits;
    x >>= 1;
  }
  return bits;
}

// The smallest power of two >= n, at most 2^31.
inline uint32_t PowerOfTwoAtLeast(uint32_t n) {
  uint32_t p = 1;
  while (p < n && p < 0x80000000u) p <<= 1;
  return p;
}

// The largest power of two <= n (0 for 0).
inline uint32_t PowerOfTwoAtMost(uint32_t n) { return n == 0 ? 0 : 1u << (BitCount(n) - 1); }
