#include "DemoPair.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "wavio/SoundFile.h"

bool WriteDemoPair(const std::string& folder, std::string* referenceFile, std::string* testFile, std::string* error) {
  const size_t length = size_t(DEMO_RATE) * DEMO_SECONDS;
  const size_t source = length + DEMO_DELAY_SAMPLES;
  std::mt19937 generator(2026);
  std::normal_distribution<double> normal(0.0, 1.0);
  // Low-passed noise under a syllable envelope of about 4 Hz with pauses.
  std::vector<double> speech(source);
  double low = 0.0;
  for (size_t n = 0; n < source; ++n) {
    low = 0.7 * low + 0.3 * normal(generator);
    const double t = double(n) / DEMO_RATE;
    const double syllable = std::max(0.0, std::sin(2.0 * std::numbers::pi * 4.0 * t));
    const double phrase = std::fmod(t, 2.5) < 2.0 ? 1.0 : 0.05;
    speech[n] = 9000.0 * low * syllable * phrase;
  }
  std::vector<float> reference(length), test(length);
  for (size_t n = 0; n < length; ++n) {
    reference[n] = float(std::clamp(std::round(speech[n + DEMO_DELAY_SAMPLES]), -32768.0, 32767.0));
    const double delayed = DEMO_TEST_GAIN * speech[n] + 30.0 * normal(generator);
    test[n] = float(std::clamp(std::round(delayed), -32768.0, 32767.0));
  }
  *referenceFile = folder + "/reference.wav";
  *testFile = folder + "/test.wav";
  const SoundFileSpec spec{DEMO_RATE, 1, SoundFileEncoding::Pcm16, "wav"};
  return WriteSoundFile(*referenceFile, spec, reference.data(), int64_t(length), error) &&
         WriteSoundFile(*testFile, spec, test.data(), int64_t(length), error);
}
