// The energy history on its own: what the totals, the window sums, the
// previous entry and the mean come to, checked against sums written out.
#include <gtest/gtest.h>

#include <cstdint>

#include "Vantrel/frontend/EnergyHistory.h"

namespace {

// One frame's energies: every direction and channel gets its own value.
float EnergyOf(int frame, int direction, int channel) { return float(100 * (frame + 1) + 10 * direction + channel); }

void RecordFrame(CEnergyHistory& history, int frame) {
  history.Advance();
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) history.Record(d, c, EnergyOf(frame, d, c));
  history.ClearWhenFull();
}

TEST(EnergyHistory, ConstantBlocksGiveTotalsWindowAndAQuarterMean) {
  CEnergyHistory history;
  ASSERT_TRUE(history.Allocate(4));
  for (int frame = 0; frame < 10; ++frame) {
    history.Advance();
    for (int d = 0; d < 2; ++d)
      for (int c = 0; c < 2; ++c) history.Record(d, c, 50.0f);
  }
  EXPECT_EQ(history.Reads(), 40u);
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(history.Total(d, c), 500.0);
      EXPECT_EQ(history.Window(d, c), 200.0);  // the four frames held
      EXPECT_EQ(history.Previous(d, c), 50.0);
    }
  // Every direction and channel counts as a read: the mean of one channel
  // is a quarter of its energy per frame.
  EXPECT_EQ(history.Mean(0), 12.5);
  EXPECT_EQ(history.Mean(1), 12.5);
}

TEST(EnergyHistory, WindowHoldsTheLastFramesAcrossTheWrap) {
  for (uint32_t length : {0u, 1u, 3u, 8u}) {
    SCOPED_TRACE(length);
    CEnergyHistory history;
    ASSERT_TRUE(history.Allocate(length));
    const uint32_t held = length == 0 ? 1 : length;
    EXPECT_EQ(history.Length(), held);
    constexpr int kFrames = 11;
    for (int frame = 0; frame < kFrames; ++frame) RecordFrame(history, frame);
    for (int d = 0; d < 2; ++d)
      for (int c = 0; c < 2; ++c) {
        double total = 0.0;
        double window = 0.0;
        for (int frame = 0; frame < kFrames; ++frame) {
          total += EnergyOf(frame, d, c);
          if (frame >= kFrames - int(held)) window += EnergyOf(frame, d, c);
        }
        EXPECT_EQ(history.Total(d, c), total);
        EXPECT_EQ(history.Window(d, c), window);
        // The entry before the newest: the previous frame's, or the newest
        // itself when only one frame is held.
        const int previous = held == 1 ? kFrames - 1 : kFrames - 2;
        EXPECT_EQ(history.Previous(d, c), EnergyOf(previous, d, c));
      }
    EXPECT_EQ(history.Mean(1), history.Total(1, 0) / (4.0 * kFrames));
  }
}

TEST(EnergyHistory, ClearAndTheReadsLimitStartAgain) {
  CEnergyHistory history;
  EXPECT_FALSE(history.Allocated());
  EXPECT_EQ(history.Mean(0), 0.0);  // no read yet: no division
  ASSERT_TRUE(history.Allocate(3));
  EXPECT_TRUE(history.Allocated());
  for (int frame = 0; frame < 5; ++frame) RecordFrame(history, frame);

  history.Clear();
  EXPECT_EQ(history.Reads(), 0u);
  EXPECT_EQ(history.Mean(0), 0.0);
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(history.Total(d, c), 0.0);
      EXPECT_EQ(history.Window(d, c), 0.0);
      EXPECT_EQ(history.Previous(d, c), 0.0);
    }
  // After a clear the window sums only what comes after it.
  RecordFrame(history, 7);
  RecordFrame(history, 8);
  EXPECT_EQ(history.Window(0, 1), double(EnergyOf(7, 0, 1)) + EnergyOf(8, 0, 1));
  EXPECT_EQ(history.Previous(1, 1), EnergyOf(7, 1, 1));

  // At the limit the history runs on; one read past it, it starts again.
  history.RestoreTotals(1.0, 2.0, CEnergyHistory::kReadsLimit);
  history.ClearWhenFull();
  EXPECT_EQ(history.Reads(), CEnergyHistory::kReadsLimit);
  EXPECT_EQ(history.Total(1, 0), 2.0);
  history.RestoreTotals(1.0, 2.0, CEnergyHistory::kReadsLimit + 1);
  history.ClearWhenFull();
  EXPECT_EQ(history.Reads(), 0u);
  EXPECT_EQ(history.Total(0, 0), 0.0);
  EXPECT_EQ(history.Window(0, 1), 0.0);

  history.Free();
  EXPECT_FALSE(history.Allocated());
}

}  // namespace
