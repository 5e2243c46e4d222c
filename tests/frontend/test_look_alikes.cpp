// Tracked measurements on a vowel held at one pitch, whose delay steps by
// exactly one pitch period in the middle of it: the test then looks the
// same at the delay left, and no frame after the step may be reliable
// there. Steps of other sizes show at once; the speech after the vowel
// tells the delays apart again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/held_vowel.h"
#include "frontend/speech_like.h"
#include "frontend/tracked_truth.h"

namespace {

constexpr int kRate = 16000;
constexpr int kBefore = 1000;

struct Layout {
  std::vector<float> reference;
  int64_t vowelFrom = 0;
  int64_t vowelEnd = 0;
};

// 3 s of speech, 4 s of the vowel, 3 s of speech.
Layout SpeechVowelSpeech(const HeldVowel& vowel) {
  Layout layout;
  std::vector<float>& r = layout.reference;
  r = SpeechLike(3 * kRate, kRate, 17);
  layout.vowelFrom = int64_t(r.size());
  const std::vector<float> held = HeldVowelSamples(vowel, 4.0, kRate);
  r.insert(r.end(), held.begin(), held.end());
  layout.vowelEnd = int64_t(r.size());
  const std::vector<float> speech = SpeechLike(3 * kRate, kRate, 23);
  r.insert(r.end(), speech.begin(), speech.end());
  return layout;
}

TEST(LookAlikes, AStepOfOnePitchPeriodInAHeldVowelIsNotReliableAtTheDelayLeft) {
  struct Case {
    double f0;
    int step;  // samples; the period is kRate / f0
  };
  for (const Case c : {Case{400.0, 40}, Case{200.0, 80}, Case{400.0, 20}}) {
    HeldVowel vowel;
    vowel.f0 = c.f0;
    vowel.formant1 = 800.0;
    vowel.formant2 = 1600.0;
    const Layout layout = SpeechVowelSpeech(vowel);
    const int64_t at = (layout.vowelFrom + layout.vowelEnd) / 2 + kBefore;
    const Truth stepped = [=](int64_t n) { return n < at ? kBefore : kBefore + c.step; };
    const FilePair pair = PairOfTruth(layout.reference, stepped, kRate);
    const int64_t end = int64_t(layout.reference.size());
    for (const uint32_t frameLength : {256u, 512u}) {
      for (const TrackingMode& mode : kTrackedModes) {
        SCOPED_TRACE(std::to_string(int(c.f0)) + " Hz, a step of " + std::to_string(c.step) + ", " + mode.name +
                     ", frames of " + std::to_string(frameLength));
        const std::vector<RecordedFrame> frames = MeasureTracked(pair, mode, frameLength, 300);
        EXPECT_EQ(ReliableOffTruth(frames, stepped), "");
        // The speech before the vowel, and a second into the speech after
        // it, where the new delay shows.
        EXPECT_GT(ReliableShareAtTruth(frames, stepped, kRate, layout.vowelFrom), 0.8);
        EXPECT_GT(ReliableShareAtTruth(frames, stepped, layout.vowelEnd + kRate, end), 0.8);
      }
    }
  }
}

}  // namespace
