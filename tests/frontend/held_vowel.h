// A vowel held at one exact pitch: formant-shaped harmonics with no breath
// noise between periods, so that it correlates nearly as well a whole
// number of periods either way of its delay.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

struct HeldVowel {
  double f0 = 200.0;
  double formant1 = 700.0;
  double formant2 = 1200.0;
  // The depth of a slow 1.5 Hz swell of its level (0: level throughout).
  double swell = 0.2;
  // Onset and release, in seconds.
  double ramp = 0.05;
  // The phase of harmonic k is k times this.
  double phaseStep = 0.3;
};

// `seconds` of the vowel at `rate` Hz, rounded to 16-bit integers (peak
// about 12000 at the default pitch).
inline std::vector<float> HeldVowelSamples(const HeldVowel& vowel, double seconds, int rate) {
  const double pi = 3.14159265358979323846;
  const size_t n = size_t(seconds * rate);
  std::vector<float> out(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / rate;
    double v = 0.0;
    for (int k = 1; k * vowel.f0 < 3500.0; ++k) {
      const double f = vowel.f0 * k;
      const double weight = 1.0 / k + 2.0 * std::exp(-std::pow((f - vowel.formant1) / 150.0, 2)) +
                            std::exp(-std::pow((f - vowel.formant2) / 250.0, 2));
      v += weight * std::sin(2.0 * pi * f * t + vowel.phaseStep * k);
    }
    const double edges = std::min({1.0, t / vowel.ramp, (seconds - t) / vowel.ramp});
    const double level = (1.0 - vowel.swell) + vowel.swell * std::sin(2.0 * pi * 1.5 * t);
    out[i] = float(std::round(1800.0 * edges * level * v));
  }
  return out;
}
