// The search with its re-check, and the tracker, on their own: rings of
// noise whose test leads the reference by a known number of samples, fed
// as the delay buffer would, and what each tells the confirmation.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Vantrel/FrameData.h"
#include "Vantrel/frontend/DelayEstimator.h"
#include "Vantrel/frontend/DelayState.h"
#include "Vantrel/frontend/DelayTracker.h"
#include "frontend/ring_signals.h"

namespace {

constexpr int kRing = 8192;
constexpr uint32_t kFrame = 256;
constexpr float kLoud = 1e9f;  // a block energy well above every threshold

class DelayEstimatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_estimator.InitSearch(512, 2048), 1);
    ASSERT_EQ(m_estimator.InitRecheck(128, 1024), 1);
  }

  // The blocks of frame `k` where the test leads the reference by `lead`.
  EstimationBlocks Blocks(int k, int lead, float energy = kLoud) {
    const size_t newest = size_t(NewestOf(k));
    const int end = int(newest % kRing);
    m_ref = RingOf(m_signal, newest, kRing, end);
    m_test = RingOf(m_signal, newest + lead, kRing, end);
    return EstimationBlocks{m_ref.data.data(), end, m_test.data.data(), end, kRing, energy, energy};
  }
  // Searches `frames` frames from frame `first`: whether the last found a strong peak.
  bool Search(int first, int frames, int lead, int64_t maxDelay = 4000) {
    bool found = false;
    for (int k = first; k < first + frames; ++k) found = m_estimator.Search(Blocks(k, lead), false, maxDelay);
    return found;
  }
  // `placed`: the blocks say where they end (EstimationBlocks::streamEnd).
  int Recheck(int first, int frames, int lead, int state = DELCOMP_DELAYRELIABLE, bool placed = false) {
    int r = DELCOMP_NOCHANGE;
    for (int k = first; k < first + frames; ++k) {
      m_estimator.NextFrame();
      m_confirmation.NextFrame(true);
      EstimationBlocks blocks = Blocks(k, lead);
      if (placed) blocks.streamEnd = NewestOf(k);
      r = m_estimator.Recheck(blocks, kFrame, state, &m_quality, nullptr);
    }
    return r;
  }
  static int64_t NewestOf(int k) { return 10000 + int64_t(k) * kFrame; }

  std::vector<float> m_signal = Noise(60000, 5);
  Ring m_ref, m_test;
  CDelayConfirmation m_confirmation;
  CDelayEstimator m_estimator{m_confirmation};
  int m_quality = -1;
};

TEST_F(DelayEstimatorTest, TheSearchFindsTheDelayAndTheRecheckConfirmsWhereItStays) {
  EXPECT_EQ(m_estimator.Result(), nullptr);
  ASSERT_TRUE(Search(0, 16, 300));
  ASSERT_NE(m_estimator.Result(), nullptr);
  EXPECT_EQ(m_estimator.Result()->delay, 300);
  EXPECT_NEAR(m_estimator.Result()->quality, 100.0f, 0.01f);
  m_confirmation.Confirm(300, m_estimator.Result()->quality);

  // The delay drifts on by two samples: the same peak, confirmed where it lies now.
  EXPECT_EQ(Recheck(16, 16, 302), DELCOMP_DELAYRELIABLE);
  EXPECT_TRUE(m_estimator.RecheckRan());
  EXPECT_EQ(m_confirmation.Delay(), 302);
  EXPECT_TRUE(m_confirmation.Confirmed());
  // The quality is the one at the delay in force, two samples off a noise peak.
  EXPECT_LT(m_quality, 20);
}

TEST_F(DelayEstimatorTest, ARecheckThatFindsTheDelayMovedRejectsItExceptWhileSearching) {
  struct Case {
    int state;
    bool rejected;
  };
  for (const Case& c : {Case{DELCOMP_DELAYRELIABLE, true}, Case{DELCOMP_CALCDELAY, false}}) {
    SCOPED_TRACE(c.state);
    m_estimator.NewRun();
    m_confirmation.Clear();
    ASSERT_TRUE(Search(0, 16, 300));
    m_confirmation.Confirm(300, m_estimator.Result()->quality);
    EXPECT_EQ(Recheck(16, 16, 340, c.state), DELCOMP_DELAYUNCERTAIN);
    EXPECT_EQ(m_confirmation.Rejected(), c.rejected);
    EXPECT_EQ(m_confirmation.Confirmed(), !c.rejected);
    if (c.rejected) {
      EXPECT_EQ(m_confirmation.RejectedDelay(), 300);
    }
  }
}

TEST_F(DelayEstimatorTest, WithoutResultOrSignalTheRecheckChangesNothing) {
  m_estimator.NextFrame();
  EXPECT_EQ(m_estimator.Recheck(Blocks(0, 300), kFrame, DELCOMP_DELAYRELIABLE, &m_quality, nullptr), DELCOMP_NOCHANGE);
  EXPECT_EQ(m_quality, 0);
  ASSERT_TRUE(Search(0, 16, 300));
  // 4096 per sample of a frame is too weak to re-check.
  const float weak = 4096.0f * kFrame;
  EXPECT_EQ(m_estimator.Recheck(Blocks(16, 300, weak), kFrame, DELCOMP_DELAYRELIABLE, &m_quality, nullptr),
            DELCOMP_NOCHANGE);
  EXPECT_GE(m_quality, 99);  // the search's quality
  EXPECT_FALSE(m_estimator.RecheckRan());
  EXPECT_FALSE(m_confirmation.Confirmed());
}

TEST_F(DelayEstimatorTest, ADelayBeyondTheAskedRangeIsNeverStrong) {
  EXPECT_FALSE(Search(0, 16, 300, 299));
  EXPECT_EQ(m_estimator.Result()->delay, 300);
  EXPECT_EQ(m_estimator.Result()->flags & (CORR_BEYOND_RANGE | CORR_STRONG_PEAK), CORR_BEYOND_RANGE);
  EXPECT_TRUE(Search(16, 1, 300, 300));
}

TEST_F(DelayEstimatorTest, TheTrackerStepsWithADriftWithinItsLimits) {
  struct Case {
    const char* what;
    TrackingLimits limits;
    int delay;
    int32_t status;
  };
  const Case cases[] = {
      {"within every limit", {100, 4000, 8000}, 302, DELAY_STATUS_RELIABLE},
      {"the step limit", {2, 4000, 8000}, 300, DELAY_STATUS_RELIABLE},
      {"the asked range", {100, 301, 8000}, 300, DELAY_STATUS_RELIABLE},
      {"the ring", {100, 4000, 301}, 300, DELAY_STATUS_CLAMPED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_estimator.NewRun();
    m_confirmation.Clear();
    CDelayTracker tracker(m_estimator, m_confirmation);
    ASSERT_TRUE(Search(0, 16, 300));
    m_confirmation.Confirm(300, m_estimator.Result()->quality);
    Recheck(16, 16, 302);
    DelayReading reading{300, DELAY_STATUS_RELIABLE | DELAY_STATUS_SWAP_RETRIED, 99};
    tracker.Track(kLoud, kLoud, c.limits, &reading, nullptr);
    EXPECT_EQ(reading.delay, c.delay);
    EXPECT_EQ(m_estimator.Result()->delay, c.delay);
    EXPECT_EQ(reading.status, c.status | DELAY_STATUS_SWAP_RETRIED);  // the marks stay
    if (c.delay == 302) {
      EXPECT_GE(reading.quality, 99);  // the newest block's peak
    }
  }
}

TEST_F(DelayEstimatorTest, RecheckBlocksTooShortForAMeaningfulCorrelationNeverConfirm) {
  // About 100 samples carry a strong peak six scatters clear of noise.
  EXPECT_GE(CDelayEstimator::kMinConfirmingBlock, 100u);
  EXPECT_LE(CDelayEstimator::kMinConfirmingBlock, 128u);
  for (const uint32_t block : {8u, 128u}) {
    SCOPED_TRACE(block);
    ASSERT_EQ(m_estimator.InitRecheck(block, 1024), 1);
    m_estimator.NewRun();
    m_confirmation.Clear();
    ASSERT_TRUE(Search(0, 16, 300));
    m_confirmation.Confirm(300, m_estimator.Result()->quality, ConfirmedBy::Search, m_estimator.SearchSpan(300));
    Recheck(16, 16, 300);
    EXPECT_EQ(m_confirmation.Evidence().by, block >= 100 ? ConfirmedBy::Recheck : ConfirmedBy::Search);
  }
}

TEST_F(DelayEstimatorTest, AConfirmationSpansTheBlocksItsSetCorrelated) {
  // Blocks of 512 fed at frames 0..15 (newest samples 10256 .. 14096): the
  // search's reference blocks; a lead pairs the reference earlier.
  for (int k = 0; k < 16; ++k) {
    EstimationBlocks blocks = Blocks(k, 300);
    blocks.streamEnd = 10256 + int64_t(k) * kFrame;
    m_estimator.Search(blocks, false, 4000);
  }
  const SampleSpan lag = m_estimator.SearchSpan(300);
  EXPECT_EQ(lag.first, 10256 - 512);
  EXPECT_EQ(lag.end, 10256 + 15 * int64_t(kFrame));
  const SampleSpan lead = m_estimator.SearchSpan(-300);
  EXPECT_EQ(lead.first, 10256 - 512 - 300);
  EXPECT_EQ(lead.end, 10256 + 15 * int64_t(kFrame) - 300);
}

TEST(DelayTracker, TooWeakIsTheCorrelatedEnergyAgainstAQuantisationsWorth) {
  // Blocks of 512: a quantisation's worth is 8 per sample, 4096 a block.
  struct Case {
    const char* what;
    float peak;
    double atDelay;
    double energy;
    int32_t flags;
    bool weak;
  };
  const Case cases[] = {
      {"speech 40 dB down, clean", 99.0f, 99.0, 512.0 * 4000.0, CORR_ENOUGH_DATA, false},
      {"hiss 80 dB down", 20.0f, 5.0, 512.0 * 11.0, CORR_ENOUGH_DATA, true},
      {"loud, correlating nowhere: the delay moved", 3.0f, 1.0, 512.0 * 1e6, CORR_ENOUGH_DATA, false},
      {"loud, too few blocks", 99.0f, 99.0, 512.0 * 1e6, CORR_NOT_RELIABLE, true},
  };
  for (const Case& c : cases) {
    CORRRESULT pick;
    pick.quality = c.peak;
    pick.flags = c.flags;
    EXPECT_EQ(CDelayTracker::TooWeak(pick, c.atDelay, c.energy, c.energy, 512), c.weak) << c.what;
  }
}

TEST_F(DelayEstimatorTest, AfterAPauseAFewBlocksAtTheDelayInForceRenewItsConfirmation) {
  // The re-check's blocks start again (a pause); four blocks, fewer than a
  // search needs, renew the confirmation where they peak exactly at the
  // delay in force, and only there.
  for (const int lead : {300, 302}) {
    SCOPED_TRACE(lead);
    m_estimator.NewRun();
    m_confirmation.Clear();
    ASSERT_TRUE(Search(0, 16, 300));
    m_confirmation.Confirm(300, m_estimator.Result()->quality, ConfirmedBy::Search, m_estimator.SearchSpan(300));
    m_estimator.ClearRecheckHistory();
    EXPECT_EQ(Recheck(16, 4, lead), DELCOMP_DELAYRELIABLE) << "the state stays";
    EXPECT_EQ(m_confirmation.Evidence().by, lead == 300 ? ConfirmedBy::Recheck : ConfirmedBy::Search);
    EXPECT_FALSE(m_confirmation.Rejected());
  }
}

TEST_F(DelayEstimatorTest, BlocksFromBeforeAPauseAreNotRenewedPastALookAlike) {
  // Noise, then from sample 20000 a tone of 40-sample period, which
  // correlates as well one period either way. The frame that ends a pause
  // has re-checked over blocks from before it (the pause is noted after
  // its re-check); the delay stepped by one period in the pause, and the
  // tone's blocks after it must not renew that confirmation.
  for (size_t n = 20000; n < m_signal.size(); ++n) {
    const double phase = 2.0 * 3.14159265358979323846 * double(n % 40) / 40.0;
    m_signal[n] = float(std::round(3000.0 * (std::sin(phase) + 0.6 * std::sin(2.0 * phase + 1.0) +
                                             0.3 * std::sin(3.0 * phase + 2.0))));
  }
  ASSERT_TRUE(Search(0, 16, 300));
  m_confirmation.Confirm(300, m_estimator.Result()->quality, ConfirmedBy::Search, m_estimator.SearchSpan(300));
  Recheck(16, 16, 300, DELCOMP_DELAYRELIABLE, true);
  const ConfirmationEvidence before = m_confirmation.Evidence();
  ASSERT_EQ(before.by, ConfirmedBy::Recheck);
  ASSERT_EQ(before.blocks.end, NewestOf(31));
  m_estimator.PauseEnded(NewestOf(30));
  // Frames 50 on: the tone's blocks, 340 ahead.
  EXPECT_EQ(Recheck(50, 20, 340, DELCOMP_DELAYRELIABLE, true), DELCOMP_DELAYRELIABLE);
  EXPECT_EQ(m_confirmation.Evidence().blocks.end, before.blocks.end) << "renewed past the pause";
  EXPECT_EQ(m_confirmation.Delay(), 300);
}

}  // namespace
