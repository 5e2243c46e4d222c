// The delay confirmation on its own: which delays count as the confirmed
// one with and without the re-check, where a measured drift carries it,
// how long a confirmation holds, and what a rejection leaves. Positions
// are worked out by hand from the confirmations fed.
#include <gtest/gtest.h>

#include <vector>

#include "Vantrel/frontend/DelayConfirmation.h"

namespace {

void Frames(CDelayConfirmation& confirmation, int frames, bool rechecking) {
  for (int i = 0; i < frames; ++i) confirmation.NextFrame(rechecking);
}

TEST(DelayConfirmation, AConfirmedDelayCountsWithinThreeSamplesUntilRejected) {
  CDelayConfirmation confirmation;
  EXPECT_FALSE(confirmation.At(0));
  confirmation.Confirm(500, -72.5f);
  EXPECT_EQ(confirmation.Quality(), 72.5f);
  for (int delay : {497, 500, 503}) EXPECT_TRUE(confirmation.At(delay)) << delay;
  for (int delay : {496, 504, -500}) EXPECT_FALSE(confirmation.At(delay)) << delay;
  // Without the re-check no drift is followed: the delay stays confirmed.
  Frames(confirmation, 1000, false);
  EXPECT_TRUE(confirmation.At(500));
  EXPECT_TRUE(confirmation.Near(508));
  EXPECT_FALSE(confirmation.Near(509));

  confirmation.Reject(500);
  EXPECT_FALSE(confirmation.Confirmed());
  EXPECT_FALSE(confirmation.At(500));
  EXPECT_FALSE(confirmation.Near(500));
  EXPECT_TRUE(confirmation.Rejected());
  EXPECT_EQ(confirmation.RejectedDelay(), 500);
  confirmation.Confirm(540, 90.0f);  // any confirmation ends the rejection
  EXPECT_FALSE(confirmation.Rejected());
  confirmation.Reject(540);
  confirmation.Clear();  // a new run
  EXPECT_FALSE(confirmation.Rejected());
  EXPECT_FALSE(confirmation.Confirmed());
}

TEST(DelayConfirmation, UnderAMeasuredDriftTheConfirmedDelayMovesOnAndHoldsSixteenFrames) {
  CDelayConfirmation confirmation;
  // Two sample every 16 frames: 1/8 sample per frame, upward.
  confirmation.Confirm(100, 90.0f);
  Frames(confirmation, 16, true);
  confirmation.Confirm(102, 90.0f);
  EXPECT_EQ(confirmation.DriftPerFrame(), 0.125);
  EXPECT_TRUE(confirmation.Drifting());
  EXPECT_TRUE(confirmation.AlongDrift(1));
  EXPECT_FALSE(confirmation.AlongDrift(-1));

  // 8 frames on: half a sample behind the tracker's steps, plus 1 sample.
  Frames(confirmation, 8, true);
  EXPECT_EQ(confirmation.Drifted(), 103.5);
  EXPECT_TRUE(confirmation.At(103));
  EXPECT_TRUE(confirmation.At(106));
  EXPECT_FALSE(confirmation.At(100));  // left behind by the drift
  int64_t predicted = 0;
  ASSERT_TRUE(confirmation.PredictThroughPause(&predicted));
  EXPECT_EQ(predicted, 104);
  // A peak 3..8 samples off where the drift has taken the delay is a mean
  // of blocks from before a pause.
  struct Case {
    int64_t found;
    bool stale;
  };
  for (const Case& c : {Case{99, true}, Case{100, true}, Case{101, false}, Case{103, false}, Case{108, true}, Case{95, false}})
    EXPECT_EQ(confirmation.StaleMean(c.found), c.stale) << c.found;

  // Without the re-check the delay confirmed is where it was confirmed.
  confirmation.NextFrame(false);
  EXPECT_TRUE(confirmation.At(100));

  // Past 16 frames the confirmation no longer holds where the re-check runs.
  confirmation.Confirm(103, 90.0f);
  Frames(confirmation, 16, true);
  EXPECT_TRUE(confirmation.Fresh());
  EXPECT_TRUE(confirmation.At(105));
  confirmation.NextFrame(true);
  EXPECT_FALSE(confirmation.Fresh());
  EXPECT_FALSE(confirmation.At(105));
  EXPECT_FALSE(confirmation.PredictThroughPause(&predicted));
  // The drift's line holds on: a peak at the delay it left is stale until
  // the measure has faded.
  EXPECT_TRUE(confirmation.StaleMean(102));
  Frames(confirmation, 240, true);
  EXPECT_FALSE(confirmation.StaleMean(103));
}

TEST(DelayConfirmation, ReCheckConfirmationsOfADelayLeftBehindDoNotWalkTheDriftsLine) {
  // Confirmed one sample further each frame for 64 frames; then the
  // re-check's peak stays at 164 (the tracker stopped following) while the
  // drift goes on.
  CDelayConfirmation confirmation;
  for (int k = 0; k <= 64; ++k) {
    if (k > 0) Frames(confirmation, 1, true);
    confirmation.Confirm(100 + k, 90.0f, ConfirmedBy::Recheck);
  }
  ASSERT_NEAR(confirmation.DriftPerFrame(), 1.0, 1e-9);
  for (int k = 0; k < 10; ++k) {
    Frames(confirmation, 1, true);
    if (!confirmation.StaleMean(164)) confirmation.Confirm(164, 90.0f, ConfirmedBy::Recheck);
  }
  // The line moved on about a sample a frame; confirmations that followed
  // each other would hold it near 165.5. The delay left behind, more than
  // a drift's step off the line by now, is still a stale mean.
  EXPECT_GT(confirmation.Drifted(), 172.0);
  EXPECT_TRUE(confirmation.StaleMean(164));
  // A delay on the line confirms; the line leans toward it.
  confirmation.Confirm(174, 90.0f, ConfirmedBy::Recheck);
  EXPECT_NEAR(confirmation.Drifted(), 174.0, 0.6);
  EXPECT_NEAR(confirmation.Evidence().line, 174.0, 0.6);
}

TEST(DelayConfirmation, AConfirmationOffTheDriftOrANewRunStartsTheMeasureAfresh) {
  CDelayConfirmation confirmation;
  confirmation.Confirm(100, 90.0f);
  Frames(confirmation, 16, true);
  confirmation.Confirm(102, 90.0f);
  Frames(confirmation, 16, true);
  confirmation.Confirm(150, 90.0f);  // 46 samples off the drift's prediction
  EXPECT_EQ(confirmation.DriftPerFrame(), 0.0);
  EXPECT_FALSE(confirmation.Drifting());
  int64_t predicted = 0;
  EXPECT_FALSE(confirmation.PredictThroughPause(&predicted));
  Frames(confirmation, 16, true);
  confirmation.Clear();  // a new run
  confirmation.Confirm(152, 90.0f);
  EXPECT_EQ(confirmation.DriftPerFrame(), 0.0);
  EXPECT_EQ(confirmation.Drifted(), 152.0);
}

TEST(DelayConfirmation, WithNoDriftMeasuredAReCheckPeaksWanderLeavesTheDelayWhereTheBlocksPlacedIt) {
  // A search confirms 1600 and the re-check renews it every frame for 200
  // frames; 17 frames on (the re-check's history filled again) the
  // re-check's peaks come elsewhere, in the order given. On an echo's or a
  // background's broad lobe the peak wanders a few samples either way,
  // and the tracker's steps after it make the blocks look fed along a
  // line: no delay is placed exactly (0 below) until the peak comes back
  // to 1600. A step is a peak further off over blocks all fed at it, and
  // it is not a drift; a measured drift moves the delay placed.
  struct Peak {
    int delay;
    bool atOneDelay;
  };
  struct Case {
    const char* what;
    std::vector<Peak> peaks;
    int placed;
    bool drifting = false;
  };
  std::vector<Peak> drift;
  for (int k = 1; k <= 16; ++k) drift.push_back({1600 + k, false});
  const Case cases[] = {
      {"a sample off", {{1601, true}}, 0},
      {"three off", {{1597, true}}, 0},
      {"along the tracker's steps", {{1598, false}}, 0},
      {"further off, along the tracker's steps", {{1606, false}}, 0},
      {"a wander, on along the steps, and back", {{1603, true}, {1605, false}, {1600, false}}, 1600},
      {"a wander, then back", {{1602, true}, {1600, true}}, 1600},
      {"a step of four", {{1604, true}}, 1604},
      {"a step of eight", {{1608, true}}, 1608},
      {"a drift of a sample every 17 frames", drift, 1616, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CDelayConfirmation confirmation;
    confirmation.Confirm(1600, 90.0f);
    for (int k = 0; k < 200; ++k) {
      Frames(confirmation, 1, true);
      confirmation.Confirm(1600, 90.0f, ConfirmedBy::Recheck);
    }
    for (const Peak& peak : c.peaks) {
      Frames(confirmation, 17, true);
      confirmation.Confirm(peak.delay, 90.0f, ConfirmedBy::Recheck, {}, 0, peak.atOneDelay);
    }
    EXPECT_EQ(confirmation.Drifting(), c.drifting);
    EXPECT_EQ(confirmation.DriftNow(1024).measured, c.drifting);
    EXPECT_EQ(confirmation.Evidence().by == ConfirmedBy::Nobody, c.placed == 0);
    EXPECT_EQ(confirmation.Evidence().delay, c.placed);
    if (!c.drifting) {
      EXPECT_EQ(confirmation.Evidence().line, double(c.placed));
    }
  }
}

TEST(DelayConfirmation, UnderADriftASearchsMeanStandsForTheMiddleOfItsBlocks) {
  // The re-check confirms a delay drifting a sample a frame from 300 to
  // 340; then for 20 frames a search runs, and confirms the mean of its
  // blocks of the last 12 frames: 354, where the drift stood in their
  // middle, while it has reached 360 by their end.
  CDelayConfirmation confirmation;
  confirmation.Confirm(300, 90.0f);
  for (int k = 1; k <= 40; ++k) {
    Frames(confirmation, 1, true);
    confirmation.Confirm(300 + k, 90.0f, ConfirmedBy::Recheck, {}, 0, false);
  }
  Frames(confirmation, 20, true);
  confirmation.Confirm(354, 90.0f);
  confirmation.ConfirmedAsMeanOver(12.0);
  ASSERT_TRUE(confirmation.Drifting());
  // The rate measured is (40 + 14) / 60 samples a frame.
  EXPECT_NEAR(confirmation.Evidence().line, 354.0 + 6.0 * 0.9 + 0.5, 1e-9);
  EXPECT_NEAR(confirmation.Drifted(), 360.0, 0.5);
}

}  // namespace
