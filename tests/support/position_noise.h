// Deterministic white noise at any sample position: integers uniform over
// -8000..8000 in 16-bit units, one stream per seed, so a delayed copy of a
// signal is the same function at an earlier position.
#pragma once

#include <cmath>
#include <cstdint>

inline float NoiseAt(int64_t n, uint64_t seed = 0) {
  uint64_t z = uint64_t(n) + 0x9E3779B97F4A7C15ull * (seed + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return std::round(float(int64_t(z % 16001) - 8000));
}
