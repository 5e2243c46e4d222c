// The tracked qualities' running mean on its own: the mean of what was
// added, a clear, and the fold past the count limit to one frame's worth.
#include <gtest/gtest.h>

#include "Vantrel/frontend/TrackMean.h"

namespace {

TEST(TrackMean, MeanOfTheQualitiesAddedUntilCleared) {
  CTrackMean mean;
  EXPECT_TRUE(mean.Empty());
  for (float q : {90.0f, -30.0f, 60.0f, 0.0f}) mean.Add(q);
  EXPECT_FALSE(mean.Empty());
  EXPECT_EQ(mean.Mean(), 30.0f);
  mean.Clear();
  EXPECT_TRUE(mean.Empty());
  mean.Add(-12.0f);
  EXPECT_EQ(mean.Mean(), -12.0f);
}

TEST(TrackMean, PastTheLimitTheSumFoldsToOneFrameWorthOfTheMean) {
  CTrackMean mean;
  // Powers of two keep every partial sum exact.
  for (int32_t i = 1; i < CTrackMean::kCountLimit; ++i) mean.Add(64.0f);
  EXPECT_EQ(mean.Count(), CTrackMean::kCountLimit - 1);
  EXPECT_EQ(mean.Mean(), 64.0f);
  mean.Add(64.0f);
  EXPECT_EQ(mean.Count(), 1);
  EXPECT_EQ(mean.Mean(), 64.0f);
  // The folded mean now weighs as one frame.
  mean.Add(0.0f);
  EXPECT_EQ(mean.Mean(), 32.0f);
}

}  // namespace
