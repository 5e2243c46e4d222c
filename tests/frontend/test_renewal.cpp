// Tracked measurements where the delay steps by one pitch period inside a
// pause and the signal after it is a sustained vowel, which correlates
// nearly as well a period either way: the blocks after the pause must not
// renew the delay in force for its look-alike.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "frontend/speech_like.h"
#include "frontend/tracked_truth.h"

namespace {

constexpr int kRate = 16000;
constexpr int kPeriod = 80;  // 200 Hz
constexpr int kBefore = 1000;

// `seconds` of a vowel held at exactly 200 Hz: formant-shaped harmonics
// under a slow swell, peak about 12000, no breath noise between periods.
std::vector<float> SustainedVowel(double seconds) {
  const double pi = 3.14159265358979323846;
  const size_t n = size_t(seconds * kRate);
  std::vector<float> out(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    double v = 0.0;
    for (int k = 1; k * 200 < 3500; ++k) {
      const double f = 200.0 * k;
      const double weight =
          1.0 / k + 2.0 * std::exp(-std::pow((f - 700.0) / 150.0, 2)) + std::exp(-std::pow((f - 1200.0) / 250.0, 2));
      v += weight * std::sin(2.0 * pi * f * t + 0.3 * k);
    }
    const double swell = std::min({1.0, t / 0.05, (seconds - t) / 0.05}) * (0.8 + 0.2 * std::sin(2.0 * pi * 1.5 * t));
    out[i] = float(std::round(1800.0 * swell * v));
  }
  return out;
}

struct Layout {
  std::vector<float> reference;
  int64_t pauseFrom = 0;
  int64_t pauseEnd = 0;
  int64_t speechAgain = 0;  // where the vowels end and speech follows
};

// 4 s of speech, a 0.6 s pause, 3 s of sustained vowels, 3 s of speech.
Layout SpeechPauseVowels() {
  Layout layout;
  std::vector<float>& r = layout.reference;
  r = SpeechLike(4 * kRate, kRate, 17);
  layout.pauseFrom = int64_t(r.size());
  r.resize(r.size() + size_t(0.6 * kRate), 0.0f);
  layout.pauseEnd = int64_t(r.size());
  for (const double seconds : {1.6, 1.4}) {
    const std::vector<float> vowel = SustainedVowel(seconds);
    r.insert(r.end(), vowel.begin(), vowel.end());
    r.resize(r.size() + size_t(0.05 * kRate), 0.0f);
  }
  layout.speechAgain = int64_t(r.size());
  const std::vector<float> speech = SpeechLike(3 * kRate, kRate, 23);
  r.insert(r.end(), speech.begin(), speech.end());
  return layout;
}

std::vector<RecordedFrame> Measure(const FilePair& pair, const TrackingMode& mode, uint32_t frameLength) {
  return MeasureTracked(pair, mode, frameLength, 300);
}

TEST(Renewal, AStepOfOnePitchPeriodInAPauseIsNotRenewedAtTheDelayLeft) {
  const Layout layout = SpeechPauseVowels();
  const int64_t step = (layout.pauseFrom + layout.pauseEnd) / 2;
  const Truth stepped = [=](int64_t n) { return n < step ? kBefore : kBefore + kPeriod; };
  const Truth constant = [](int64_t) { return kBefore; };
  const FilePair pair = PairOfTruth(layout.reference, stepped, kRate);
  const FilePair twin = PairOfTruth(layout.reference, constant, kRate);
  const int64_t end = int64_t(layout.reference.size());
  for (const uint32_t frameLength : {256u, 512u}) {
    for (const TrackingMode& mode : kTrackedModes) {
      SCOPED_TRACE(std::string(mode.name) + ", frames of " + std::to_string(frameLength));
      const std::vector<RecordedFrame> frames = Measure(pair, mode, frameLength);
      EXPECT_EQ(ReliableOffTruth(frames, stepped), "");
      // Once the speech after the vowels lets a search see the delay, it is
      // found; the same speech of the twin, whose delay never moved, is as
      // reliable.
      const double found = ReliableShareAtTruth(frames, stepped, layout.speechAgain + kRate, end);
      const double clear =
          ReliableShareAtTruth(Measure(twin, mode, frameLength), constant, layout.speechAgain + kRate, end);
      EXPECT_GT(clear, 0.8);
      EXPECT_GT(found, 0.8);
    }
  }
}

}  // namespace
