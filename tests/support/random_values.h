// Seeded random test inputs: std::mt19937 with a given seed, so every run
// sees the same values.
#pragma once
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

// Uniform values in [lo, hi).
template <class T>
std::vector<T> UniformValues(int64_t n, double lo, double hi, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(lo, hi);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(d(gen));
  return v;
}

// Finite values of both signs, no zeros, with magnitudes in binades
// [2^(minExp - 1), 2^maxExp).
template <class T>
std::vector<T> SpreadValues(int64_t n, int minExp, int maxExp, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> mant(0.5, 1.0);
  std::uniform_int_distribution<int> expo(minExp, maxExp);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>((gen() & 1 ? -1.0 : 1.0) * std::ldexp(mant(gen), expo(gen)));
  return v;
}
