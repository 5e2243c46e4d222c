// The drift measure on its own: rates worked out by hand from the
// confirmations fed, the restart off the drift, the fade of old sums and
// the threshold of a noticeable drift.
#include <gtest/gtest.h>

#include "Vantrel/frontend/DriftMeasure.h"

namespace {

constexpr double kRestartBeyond = 8.0;

TEST(DriftMeasure, SteadyConfirmationsGiveTheirRateAndAnOffDriftOneRestarts) {
  CDriftMeasure drift;
  drift.Confirmation(5.0, 10.0, kRestartBeyond);  // the first only starts the measure
  EXPECT_EQ(drift.PerFrame(), 0.0);
  for (int i = 0; i < 4; ++i) drift.Confirmation(-2.0, 16.0, kRestartBeyond);
  EXPECT_EQ(drift.PerFrame(), -0.125);

  // 8 samples off what the rate predicts still belong to it; more restart.
  drift.Confirmation(-2.0 + 8.0, 16.0, kRestartBeyond);
  EXPECT_EQ(drift.PerFrame(), (-8.0 + 6.0) / 80.0);
  drift.Confirmation(20.0, 16.0, kRestartBeyond);
  EXPECT_EQ(drift.PerFrame(), 0.0);

  drift.Confirmation(1.0, 16.0, kRestartBeyond);
  EXPECT_EQ(drift.PerFrame(), 1.0 / 16.0);
  drift.Forget();  // the next confirmation starts afresh
  drift.Confirmation(1.0, 16.0, kRestartBeyond);
  EXPECT_EQ(drift.PerFrame(), 0.0);
}

TEST(DriftMeasure, OldConfirmationsFadeByHalfPastTheFadeFrames) {
  CDriftMeasure drift;
  drift.Confirmation(0.0, 1.0, kRestartBeyond);
  // 256 frames at a quarter sample per frame: not yet past the fade.
  for (int i = 0; i < 8; ++i) drift.Confirmation(8.0, 32.0, kRestartBeyond);
  EXPECT_EQ(drift.PerFrame(), 0.25);
  // Two at 3/8: the first takes the frames past 256 and halves both sums
  // (the rate stays), the second then weighs twice as much as it would.
  drift.Confirmation(12.0, 32.0, kRestartBeyond);
  EXPECT_DOUBLE_EQ(drift.PerFrame(), (64.0 + 12.0) / 288.0);
  drift.Confirmation(12.0, 32.0, kRestartBeyond);
  EXPECT_DOUBLE_EQ(drift.PerFrame(), (32.0 + 6.0 + 12.0) / (144.0 + 32.0));
}

TEST(DriftMeasure, AlongOnlyTheWayOfANoticeableDrift) {
  struct Case {
    double moved;  // per 64 frames
    bool alongPlus;
    bool alongMinus;
  };
  // A sample in 32 frames is just noticeable.
  const Case cases[] = {{2.0, true, false}, {-2.0, false, true}, {1.96875, false, false}, {0.0, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moved);
    CDriftMeasure drift;
    drift.Confirmation(0.0, 64.0, kRestartBeyond);
    drift.Confirmation(c.moved, 64.0, kRestartBeyond);
    EXPECT_EQ(drift.Along(5), c.alongPlus);
    EXPECT_EQ(drift.Along(-1), c.alongMinus);
    EXPECT_FALSE(drift.Along(0));
  }
}

}  // namespace
