// Tracked measurements where the delay steps by one pitch period inside a
// pause and the signal after it is a sustained vowel, which correlates
// nearly as well a period either way: the blocks after the pause must not
// renew the delay in force for its look-alike.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "frontend/held_vowel.h"
#include "frontend/speech_like.h"
#include "frontend/tracked_truth.h"

namespace {

constexpr int kRate = 16000;
constexpr int kPeriod = 80;  // 200 Hz
constexpr int kBefore = 1000;

// `seconds` of a vowel held at exactly 200 Hz under a slow swell.
std::vector<float> SustainedVowel(double seconds) { return HeldVowelSamples(HeldVowel{}, seconds, kRate); }

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

// Steady vowels of 2 s (no swell) with 0.6 s pauses between, each on
// other formants, then 3 s of speech: the pause ends on a vowel the
// blocks before it held too.
Layout VowelsBetweenPauses() {
  Layout layout;
  std::vector<float>& r = layout.reference;
  const double formants[][2] = {{700.0, 1200.0}, {400.0, 2000.0}, {300.0, 870.0}, {550.0, 1700.0}};
  for (int s = 0; s < 6; ++s) {
    HeldVowel vowel;
    vowel.formant1 = formants[s % 4][0];
    vowel.formant2 = formants[s % 4][1];
    vowel.swell = 0.0;
    vowel.ramp = 0.02;
    vowel.phaseStep = 0.0;
    const std::vector<float> samples = HeldVowelSamples(vowel, 2.0, kRate);
    r.insert(r.end(), samples.begin(), samples.end());
    if (s == 3) layout.pauseFrom = int64_t(r.size());
    r.resize(r.size() + size_t(0.6 * kRate), 0.0f);
    if (s == 3) layout.pauseEnd = int64_t(r.size());
  }
  layout.speechAgain = int64_t(r.size());
  const std::vector<float> speech = SpeechLike(3 * kRate, kRate, 23);
  r.insert(r.end(), speech.begin(), speech.end());
  return layout;
}

TEST(Renewal, AStepOfOnePitchPeriodInAPauseIsNotRenewedAtTheDelayLeft) {
  for (const auto& made : {SpeechPauseVowels, VowelsBetweenPauses}) {
  const Layout layout = made();
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
}

}  // namespace
