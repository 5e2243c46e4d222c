// The built-in demonstration pair: a speech-like reference (noise shaped
// into syllables) and a test that is the reference delayed by a known
// number of samples, quieter and with a little noise, written as two WAV
// files.
#pragma once

#include <string>

constexpr int DEMO_RATE = 16000;
constexpr int DEMO_SECONDS = 10;
constexpr int DEMO_DELAY_SAMPLES = 600;  // the test lags the reference by 37.5 ms
constexpr double DEMO_TEST_GAIN = 0.5;

// Writes reference.wav and test.wav into `folder`; false with `error` set.
bool WriteDemoPair(const std::string& folder, std::string* referenceFile, std::string* testFile, std::string* error);
