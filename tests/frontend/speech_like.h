// A deterministic speech-like test signal: voiced syllables of gliding
// pitch with formant-shaped harmonics, a syllable envelope and a little
// breath noise between them. Unlike white noise it resembles itself one
// pitch period later, which is what misleads a delay search near the edge
// of its range.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

// `length` samples at `rate` Hz, rounded to 16-bit integers (peak about 12000).
inline std::vector<float> SpeechLike(size_t length, int rate, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::normal_distribution<double> normal(0.0, 1.0);
  const double pi = 3.14159265358979323846;
  std::vector<double> out(length, 0.0);
  size_t start = 0;
  while (start < length) {
    const size_t voiced = size_t(rate * (0.15 + 0.15 * uniform(generator)));
    const size_t pause = size_t(rate * (0.03 + 0.05 * uniform(generator)));
    const double f0Start = 100.0 + 120.0 * uniform(generator);
    const double f0End = 100.0 + 120.0 * uniform(generator);
    const double formant1 = 300.0 + 500.0 * uniform(generator);
    const double formant2 = 900.0 + 1600.0 * uniform(generator);
    double phase = 0.0;
    for (size_t i = 0; i < voiced && start + i < length; ++i) {
      const double t = double(i) / double(voiced);
      const double f0 = f0Start + (f0End - f0Start) * t;
      phase += 2.0 * pi * f0 / rate;
      double v = 0.0;
      for (int k = 1; k * f0 < std::min(3500.0, 0.4 * rate); ++k) {
        const double f = k * f0;
        const double weight = 1.0 / k + 2.0 * std::exp(-std::pow((f - formant1) / 150.0, 2)) +
                              std::exp(-std::pow((f - formant2) / 250.0, 2));
        v += weight * std::sin(k * phase);
      }
      out[start + i] = std::sin(pi * t) * v + 0.05 * normal(generator);
    }
    for (size_t i = voiced; i < voiced + pause && start + i < length; ++i) out[start + i] = 0.02 * normal(generator);
    start += voiced + pause;
  }
  double peak = 0.0;
  for (double v : out) peak = std::max(peak, std::fabs(v));
  std::vector<float> samples(length);
  for (size_t n = 0; n < length; ++n) samples[n] = float(std::round(out[n] * 12000.0 / peak));
  return samples;
}
