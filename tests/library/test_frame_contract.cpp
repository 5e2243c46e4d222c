// What a frame promises a caller that takes every frame with delayValid
// set: without padding allowed (the defaults), a frame whose zeros stand
// where a signal has not begun keeps its place and its count of real
// samples, but is not valid; with padding allowed it is.
#include <gtest/gtest.h>

#include <vector>

#include "Vantrel/DebugTrace.h"
#include "frontend/measurement_run.h"

namespace {

constexpr int kLead = 300;  // the test runs this far ahead of the reference

FilePair TestAhead() {
  const std::vector<float> source = IntegerNoise(3 * kMeasureRate + kLead, 11, 3000.0);
  FilePair pair;
  pair.reference.assign(source.begin(), source.end() - kLead);
  pair.test.assign(source.begin() + kLead, source.end());
  return pair;
}

TEST(FrameContract, AFrameHoldingZerosBeforeASignalBeginsIsValidOnlyWhenPaddingIsAllowed) {
  SetTraceMask(0);
  const FilePair pair = TestAhead();
  std::vector<RecordedFrame> frames[2];
  for (int allowPadding : {0, 1}) {
    SCOPED_TRACE("allowPadding " + std::to_string(allowPadding));
    const MeasurementOutcome run =
        MeasureFiles(pair, [&](SYSPARA& sys) { sys.delayPara.allowPadding = allowPadding; });
    ASSERT_EQ(run.goResult, 1);
    ASSERT_GT(run.frames.size(), 100u);
    const RecordedFrame& first = run.frames.front();
    EXPECT_EQ(first.delay, -kLead);
    EXPECT_EQ(first.realSamples, int32_t(kMeasureFrame) - kLead);
    EXPECT_EQ(first.status & 0xFFFF, DELAY_STATUS_UNCERTAIN);
    EXPECT_EQ(first.delayValid, allowPadding);
    EXPECT_TRUE(HoldsTheFilesAtItsPlace(first, pair));
    // The frames between hold input only, and are valid either way.
    for (size_t f = 1; f + 1 < run.frames.size(); ++f) {
      ASSERT_EQ(run.frames[f].realSamples, int32_t(kMeasureFrame)) << "frame " << f;
      ASSERT_EQ(run.frames[f].delayValid, 1) << "frame " << f;
    }
    // The end frame's zeros are the input's end: valid, status uncertain.
    const RecordedFrame& last = run.frames.back();
    EXPECT_LT(last.realSamples, int32_t(kMeasureFrame));
    EXPECT_EQ(last.delayValid, 1);
    EXPECT_EQ(last.status & 0xFFFF, DELAY_STATUS_UNCERTAIN);
    frames[allowPadding] = run.frames;
  }
  // The grid is the same: counted from the files' first sample either way.
  ASSERT_EQ(frames[0].size(), frames[1].size());
  for (size_t f = 0; f < frames[0].size(); ++f)
    ASSERT_EQ(frames[0][f].samplePosition, frames[1][f].samplePosition) << "frame " << f;
}

}  // namespace
