// The DC blocker against the same difference equation in double precision
// and against its closed-form frequency response: DC removed, gain 1 at
// half the sample rate, sines in steady state scaled and shifted by H(e^jw).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "Vantrel/frontend/DcBlocker.h"
#include "speech_like.h"

namespace {

constexpr double kPole = 0.9997382;

std::vector<float> Filter(const std::vector<float>& input, float scale = 1.0f, int blockLength = 0) {
  CDcBlocker blocker;
  std::vector<float> output(input.size());
  const int n = int(input.size());
  const int step = blockLength > 0 ? blockLength : n;
  for (int at = 0; at < n; at += step)
    blocker.Process(input.data() + at, output.data() + at, scale, 0, std::min(step, n - at));
  return output;
}

std::complex<double> Response(double omega) {
  const std::complex<double> z = std::polar(1.0, -omega);
  return 0.5 * (1.0 + kPole) * (1.0 - z) / (1.0 - kPole * z);
}

TEST(DcBlocker, FollowsTheDoublePrecisionDifferenceEquationAcrossBlocks) {
  std::vector<float> input(20000);
  for (size_t n = 0; n < input.size(); ++n)
    input[n] = float(8000.0 * std::sin(0.013 * n) + 3000.0 * std::cos(1.7 * n) + 1200.0);
  double previousInput = 0.0;
  double state = 0.0;
  const double pole = double(float(kPole));
  const double gain = 0.5 * (1.0 + pole) * 0.75;
  const std::vector<float> output = Filter(input, 0.75f, 333);  // the state carries over between blocks
  for (size_t n = 0; n < input.size(); ++n) {
    state = input[n] - previousInput + pole * state;
    previousInput = input[n];
    // Float rounding of the state, amplified by the slow pole, stays
    // within a few units on a signal of 12000.
    ASSERT_NEAR(output[n], gain * state, 3.0) << n;
  }
}

TEST(DcBlocker, RemovesDcAndPassesHalfTheSampleRateUnchanged) {
  const int n = 120000;  // 30 time constants
  std::vector<float> dc(n, 10000.0f);
  EXPECT_NEAR(Filter(dc).back(), 0.0, 0.05);

  std::vector<float> nyquist(n);
  for (int i = 0; i < n; ++i) nyquist[i] = i % 2 == 0 ? 10000.0f : -10000.0f;
  const std::vector<float> out = Filter(nyquist);
  EXPECT_NEAR((out[n - 2] - out[n - 1]) / 2, 10000.0, 0.5);  // gain 1
  EXPECT_NEAR((out[n - 2] + out[n - 1]) / 2, 0.0, 3.0);      // float rounding only
}

TEST(DcBlocker, SinesInSteadyStateFollowTheClosedFormResponse) {
  const int n = 120000;
  for (double omega : {0.0005, 0.002, 0.05, 0.9, 3.0}) {
    std::vector<float> input(n);
    for (int i = 0; i < n; ++i) input[i] = float(10000.0 * std::sin(omega * i));
    const std::vector<float> output = Filter(input);
    const std::complex<double> h = Response(omega);
    for (int i = n - 200; i < n; ++i) {
      const double expected = 10000.0 * std::abs(h) * std::sin(omega * i + std::arg(h));
      ASSERT_NEAR(output[i], expected, 2.0) << "omega " << omega << " sample " << i;
    }
  }
}

// The blocks of four reorder the recurrence's float arithmetic, so the
// output is not the bits of the plain per-sample float recurrence. How far
// it strays grows with the size of the filter's state: hundredths of a
// unit on speech, a tenth on full-scale noise, about half a unit where a
// DC near full scale or full-scale steps fill the state.
TEST(DcBlocker, StraysFromThePerSampleFloatRecurrenceByLessThanAUnit) {
  constexpr int kRate = 48000;
  constexpr size_t kLength = 20 * kRate;
  std::mt19937 generator(5);
  std::normal_distribution<float> noise(0.0f, 9000.0f);
  std::vector<float> loudNoise(kLength), offsetNoise(kLength), square(kLength);
  for (size_t n = 0; n < kLength; ++n) {
    loudNoise[n] = std::clamp(std::round(noise(generator)), -32768.0f, 32767.0f);
    offsetNoise[n] = std::clamp(std::round(30000.0f + noise(generator) / 8.0f), -32768.0f, 32767.0f);
    square[n] = (n / 2400) % 2 == 0 ? 32767.0f : -32768.0f;
  }
  const struct {
    const char* name;
    std::vector<float> input;
    double bound;  // units of 16-bit samples; measured 0.013, 0.090, 0.571, 0.571
  } cases[] = {{"speech", SpeechLike(kLength, kRate, 3), 0.02},
               {"full-scale noise", loudNoise, 0.12},
               {"noise over a DC of 30000", offsetNoise, 0.65},
               {"full-scale square wave", square, 0.65}};
  const float pole = std::bit_cast<float>(0x3F7FEED8u);
  const float gain = 0.5f * (1.0f + pole);
  for (const auto& c : cases) {
    const std::vector<float> output = Filter(c.input, 1.0f, 1024);
    float previousInput = 0.0f, state = 0.0f;
    double largest = 0.0;
    for (size_t n = 0; n < kLength; ++n) {
      state = c.input[n] - previousInput + pole * state;
      previousInput = c.input[n];
      largest = std::max(largest, std::fabs(double(output[n]) - double(gain * state)));
    }
    EXPECT_LE(largest, c.bound) << c.name;
  }
}

// Up to four blockers side by side must give each lane the very bits of
// its own blocker run alone, block after block, whatever the lane count
// and block length, and hand the state on to the single-lane path.
TEST(DcBlocker, LanesGiveEachChannelTheBitsOfItsOwnBlocker) {
  constexpr int kLength = 3000;
  std::mt19937 generator(11);
  std::normal_distribution<float> noise(0.0f, 9000.0f);
  std::vector<float> inputs[CDcBlocker::kMaxLanes];
  for (int lane = 0; lane < CDcBlocker::kMaxLanes; ++lane) {
    inputs[lane].resize(kLength);
    for (int n = 0; n < kLength; ++n) inputs[lane][n] = std::round(noise(generator)) + 500.0f * float(lane);
    inputs[lane][7] = 32767.0f;  // full-scale steps, a tiny value and a negative zero
    inputs[lane][8] = -32768.0f;
    inputs[lane][9] = 1e-30f;
    inputs[lane][10] = -0.0f;
  }
  for (int lanes = 1; lanes <= CDcBlocker::kMaxLanes; ++lanes)
    for (float scale : {1.0f, 0.3f}) {
      CDcBlocker alone[CDcBlocker::kMaxLanes];
      CDcBlocker together[CDcBlocker::kMaxLanes];
      std::vector<float> expected[CDcBlocker::kMaxLanes];
      std::vector<float> got[CDcBlocker::kMaxLanes];
      for (int lane = 0; lane < lanes; ++lane) {
        expected[lane].assign(kLength, 0.0f);
        got[lane].assign(kLength, 0.0f);
        alone[lane].Process(inputs[lane].data(), expected[lane].data(), scale, 0, kLength);
      }
      // Blocks of changing length (none, one sample, odd ones), then the
      // rest through Process on the state the lanes left.
      int at = 0;
      for (int length : {0, 1, 2, 5, 1024, 333, 17}) {
        CDcBlocker* blockers[CDcBlocker::kMaxLanes];
        const float* src[CDcBlocker::kMaxLanes];
        float* dst[CDcBlocker::kMaxLanes];
        for (int lane = 0; lane < lanes; ++lane) {
          blockers[lane] = &together[lane];
          src[lane] = inputs[lane].data() + at;
          dst[lane] = got[lane].data() + at;
        }
        CDcBlocker::ProcessLanes(blockers, src, dst, lanes, scale, length);
        at += length;
      }
      for (int lane = 0; lane < lanes; ++lane)
        together[lane].Process(inputs[lane].data() + at, got[lane].data() + at, scale, 0, kLength - at);
      for (int lane = 0; lane < lanes; ++lane)
        for (int n = 0; n < kLength; ++n)
          ASSERT_EQ(std::bit_cast<uint32_t>(got[lane][n]), std::bit_cast<uint32_t>(expected[lane][n]))
              << lanes << " lanes, scale " << scale << ", lane " << lane << ", sample " << n;
    }
}

}  // namespace
