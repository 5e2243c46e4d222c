// Test signals in rings as the delay buffer keeps them: Gaussian noise in
// 16-bit units, and a ring whose newest sample sits just before `end`.
#pragma once

#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

inline std::vector<float> Noise(size_t n, unsigned seed, float scale = 3000.0f) {
  std::mt19937 generator(seed);
  std::normal_distribution<float> normal(0.0f, scale);
  std::vector<float> out(n);
  for (float& v : out) v = std::round(normal(generator));
  return out;
}

struct Ring {
  std::vector<float> data;
  int end;
};

// The `ringLength` samples of `signal` before `newest`, laid out so that
// the newest sits just before `end`.
inline Ring RingOf(const std::vector<float>& signal, size_t newest, int ringLength, int end) {
  Ring ring{std::vector<float>(ringLength), end};
  for (int i = 0; i < ringLength; ++i) {
    int pos = ((end - 1 - i) % ringLength + ringLength) % ringLength;
    ring.data[pos] = signal[newest - 1 - i];
  }
  return ring;
}
