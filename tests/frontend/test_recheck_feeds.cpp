// Whether the re-check's blocks place a delay, from the delays they were fed
// at: one constant delay, or a drift's line through the feeds; never a mix
// of blocks from before a tracker's step and one or two after it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Vantrel/frontend/DelayEstimator.h"
#include "Vantrel/frontend/DelayState.h"
#include "Vantrel/frontend/RecheckFeeds.h"
#include "frontend/ring_signals.h"

namespace {

constexpr int64_t kBlock = 1024;

// Feeds one a block apart, the first ending at 2 x kBlock.
CRecheckFeeds FedAt(const std::vector<int32_t>& delays) {
  CRecheckFeeds feeds;
  for (size_t k = 0; k < delays.size(); ++k) feeds.Note(int64_t(k + 2) * kBlock, delays[k]);
  return feeds;
}

std::vector<int32_t> Repeat(int32_t delay, size_t count) { return std::vector<int32_t>(count, delay); }

std::vector<int32_t> Join(std::vector<int32_t> a, const std::vector<int32_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A drift of `perBlock` samples a block from `from`, as the tracker follows
// it: the whole samples it has reached.
std::vector<int32_t> Drift(double from, double perBlock, size_t count) {
  std::vector<int32_t> delays;
  for (size_t k = 0; k < count; ++k) delays.push_back(int32_t(from + perBlock * double(k)));
  return delays;
}

TEST(RecheckFeeds, BlocksPlaceADelayOnlyWhenFedAtOneDelayOrAlongADriftsLine) {
  struct Case {
    const char* what;
    std::vector<int32_t> delays;
    int32_t asked;
    bool places;
  };
  const Case cases[] = {
      // Blocks all fed at one delay peak at their lag from it.
      {"all at one delay", Repeat(1600, 16), 1600, true},
      {"all at one delay, peaking 2 on", Repeat(1600, 16), 1602, true},
      // The echo's lobe: the tracker stepped 3 on the newest block, or two.
      {"a step on the newest block", Join(Repeat(1471, 15), {1474}), 1474, false},
      {"a step on the newest four", Join(Repeat(1471, 12), Repeat(1474, 4)), 1474, false},
      {"a step back and on again", Join(Join(Repeat(1471, 10), {1474, 1471}), Repeat(1474, 4)), 1474, false},
      // A drift of half a sample a block, and of two samples every four
      // blocks (the staircase of a tracker stepping twice a sample).
      {"a drift, at its newest delay", Drift(300.0, 0.5, 16), 307, true},
      {"a drift, a sample past its newest", Drift(300.0, 0.5, 16), 308, true},
      {"a drift, two samples behind", Drift(300.0, 0.5, 16), 305, false},
      {"a drift the other way", Drift(-300.0, -0.25, 16), -304, true},
      {"a staircase drift", {-323, -323, -323, -323, -326, -326, -326, -326, -328, -328, -328, -330, -330, -330, -330,
                             -333},
       -333, true},
      // Feeds that jump by a dozen samples lie on no drift's line.
      {"a jump and back", Join(Join(Repeat(-301, 8), {-313}), Repeat(-307, 7)), -310, false},
      // A sample either way and back: no line moves far enough to be a drift.
      {"a wobble", Join(Join(Repeat(500, 7), {501}), Repeat(500, 8)), 500, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FedAt(c.delays).Place(c.asked, kBlock), c.places) << c.what;
}

TEST(RecheckFeeds, OnlyTheFeedsOfTheBlocksHeldCount) {
  // Older feeds at another delay fall out once the blocks start after them.
  const CRecheckFeeds feeds = FedAt(Join(Repeat(900, 8), Repeat(940, 16)));
  EXPECT_FALSE(feeds.Place(940, kBlock));
  EXPECT_TRUE(feeds.Place(940, 9 * kBlock));
  // Blocks reaching back past the feeds remembered: nothing is known of them.
  const CRecheckFeeds many = FedAt(Repeat(700, CRecheckFeeds::kFeeds + 4));
  EXPECT_FALSE(many.Place(700, 0));
  EXPECT_TRUE(many.Place(700, 10 * kBlock));
  CRecheckFeeds cleared = many;
  cleared.Clear();
  EXPECT_FALSE(cleared.Place(700, 10 * kBlock));
}

TEST(RecheckFeeds, AStepOnTheNewestBlockIsNotConfirmedByTheBlocksBeforeIt) {
  // Noise whose test leads by 300: the re-check's blocks confirm 300, then
  // the delay in force steps to 303 (a tracker misled by an echo's flat
  // lobe) for one block. The mean of the sixteen still peaks at "the delay
  // in force", but fifteen of them were fed at 300: 303 stays unconfirmed.
  constexpr int kRing = 8192;
  constexpr uint32_t kFrame = 256;
  constexpr int kLead = 300;
  const std::vector<float> signal = Noise(60000, 5);
  Ring ref, test;
  const auto blocks = [&](int k) {
    const size_t newest = 10000 + size_t(k) * kFrame;
    const int end = int(newest % kRing);
    ref = RingOf(signal, newest, kRing, end);
    test = RingOf(signal, newest + kLead, kRing, end);
    return EstimationBlocks{ref.data.data(), end, test.data.data(), end, kRing, 1e9f, 1e9f};
  };
  CDelayConfirmation confirmation;
  CDelayEstimator estimator(confirmation);
  ASSERT_EQ(estimator.InitSearch(512, 2048), 1);
  ASSERT_EQ(estimator.InitRecheck(128, 1024), 1);
  bool found = false;
  for (int k = 0; k < 16; ++k) found = estimator.Search(blocks(k), false, 4000);
  ASSERT_TRUE(found);
  confirmation.Confirm(kLead, estimator.Result()->quality);
  int quality = 0;
  const auto recheck = [&](int k) {
    estimator.NextFrame();
    confirmation.NextFrame(true);
    return estimator.Recheck(blocks(k), kFrame, DELCOMP_DELAYRELIABLE, &quality, nullptr);
  };
  for (int k = 16; k < 32; ++k) recheck(k);
  ASSERT_TRUE(confirmation.Confirmed());
  ASSERT_EQ(confirmation.Delay(), kLead);
  estimator.FollowDelay(kLead + 3);
  recheck(32);
  EXPECT_EQ(confirmation.Delay(), kLead);
  // Back at the delay the blocks were fed at, they renew it.
  estimator.FollowDelay(kLead);
  for (int k = 33; k < 50; ++k) recheck(k);
  EXPECT_TRUE(confirmation.Confirmed());
  EXPECT_EQ(confirmation.Delay(), kLead);
}

}  // namespace
