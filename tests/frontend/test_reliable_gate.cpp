// The rule that calls a frame reliable, on its own: a frame every item of
// evidence vouches for, then that frame with one item taken away at a
// time; and the status words the gate leaves alone.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Vantrel/FrameData.h"
#include "Vantrel/frontend/ReliableGate.h"

namespace {

// A tracked frame at 480 after the blocks a search confirmed 480 from:
// 5256 samples from where the blocks end to the middle of the frame.
constexpr double kSinceBlocks = 5256.0;

ReliableEvidence Vouched() {
  ReliableEvidence e;
  e.tracked = true;
  e.confirmation = {ConfirmedBy::Search, 480, true, {10000, 25000}, 480.0};
  e.maxDelay = 16000;
  e.frame.delay = 480;
  e.frame.quality = 95;
  e.frame.samples = {30000, 30512};
  e.frame.realSamples = 512;
  return e;
}

struct GateCase {
  const char* name;
  std::function<void(ReliableEvidence&)> change;
  bool reliable;
};

TEST(ReliableGate, EveryItemOfEvidenceIsNeeded) {
  const GateCase cases[] = {
      {"all evidence", [](ReliableEvidence&) {}, true},
      {"nothing confirmed", [](ReliableEvidence& e) { e.confirmation.by = ConfirmedBy::Nobody; }, false},
      {"a re-check on a search's line", [](ReliableEvidence& e) { e.confirmation.by = ConfirmedBy::Recheck; }, true},
      {"a re-check alone, the search left it open",
       [](ReliableEvidence& e) {
         e.confirmation.by = ConfirmedBy::Recheck;
         e.confirmation.rootedInSearch = false;
       },
       false},
      {"confirmed beyond the range", [](ReliableEvidence& e) { e.confirmation.delay = e.frame.delay = 16001; }, false},
      {"a lead beyond the range", [](ReliableEvidence& e) { e.confirmation.delay = e.frame.delay = -16001; }, false},
      {"the range's edge", [](ReliableEvidence& e) { e.confirmation.delay = e.frame.delay = -16000; }, true},
      {"before the blocks",
       [](ReliableEvidence& e) {
         e.frame.samples = {9800, 10312};
       },
       false},
      {"after the blocks, no pause",
       [](ReliableEvidence& e) {
         e.frame.samples = {90000, 90512};
       },
       true},
      {"after a pause that followed the blocks",
       [](ReliableEvidence& e) {
         e.pauseEnd = 50000;
         e.frame.samples = {60000, 60512};
       },
       false},
      {"a pause before the blocks",
       [](ReliableEvidence& e) {
         e.pauseEnd = 9000;
         e.frame.samples = {60000, 60512};
       },
       true},
      {"inside a pause", [](ReliableEvidence& e) { e.inPause = true; }, false},
      {"a sample off, no drift measured", [](ReliableEvidence& e) { e.frame.delay = 481; }, false},
      {"under a drift, at the confirmed delay it has drifted 4 from",
       [](ReliableEvidence& e) {
         e.drift = {true, 4.0 / kSinceBlocks};
       },
       false},
      {"under a drift, 3 off where it has drifted to",
       [](ReliableEvidence& e) {
         e.drift = {true, 4.0 / kSinceBlocks};  // drifted to 484
         e.frame.delay = 487;
       },
       true},
      {"under a drift, 3.5 off where it has drifted to",
       [](ReliableEvidence& e) {
         e.drift = {true, 3.5 / kSinceBlocks};
         e.frame.delay = 487;
       },
       false},
      {"under a drift, at the line but its rate measured over few frames",
       [](ReliableEvidence& e) {
         // Off by a sample over the 5256 samples since the blocks: up to 1 off.
         e.drift = {true, 2.0 / kSinceBlocks, 1.0 / kSinceBlocks};
         e.frame.delay = 484;  // 2 off the line, up to 3 off the truth
       },
       true},
      {"under a drift, near the line but its rate measured over few frames",
       [](ReliableEvidence& e) {
         e.drift = {true, 2.0 / kSinceBlocks, 1.5 / kSinceBlocks};
         e.frame.delay = 484;  // 2 off the line, up to 3.5 off the truth
       },
       false},
      {"a line leaning off the confirmed delay",
       [](ReliableEvidence& e) {
         e.drift = {true, 1.0 / kSinceBlocks};
         e.confirmation.line = 483.0;  // drifted to 484
         e.frame.delay = 487;
       },
       true},
      {"predicted 4 from the confirmation, though where the drift points",
       [](ReliableEvidence& e) {
         e.drift = {true, 4.0 / kSinceBlocks};
         e.frame.delay = 484;
         e.frame.predicted = true;
       },
       false},
      {"predicted 3 from the confirmation",
       [](ReliableEvidence& e) {
         e.drift = {true, 3.0 / kSinceBlocks};
         e.frame.delay = 483;
         e.frame.predicted = true;
       },
       true},
      {"blocks whose own peaks lay within 3 of the delay confirmed",
       [](ReliableEvidence& e) { e.confirmation.precision = 3; }, true},
      {"blocks whose own peaks lay 4 from the delay confirmed",
       [](ReliableEvidence& e) { e.confirmation.precision = 4; }, false},
      {"untracked, a confirmation's blocks spread apart",
       [](ReliableEvidence& e) {
         e.tracked = false;
         e.confirmation.precision = 4;
       },
       true},
      {"the newest blocks say otherwise", [](ReliableEvidence& e) { e.blocksSayOtherwise = true; }, false},
      {"quality below a strong peak", [](ReliableEvidence& e) { e.frame.quality = -59; }, false},
      {"an inverted test's strong peak", [](ReliableEvidence& e) { e.frame.quality = -60; }, true},
      {"only padding", [](ReliableEvidence& e) { e.frame.realSamples = 0; }, false},
      {"a search the re-check sent back to, before a re-check agrees",
       [](ReliableEvidence& e) { e.confirmation.awaitsRecheck = true; }, false},
      {"a frame partly past an input's end", [](ReliableEvidence& e) { e.frame.realSamples = 511; }, false},
      // Untracked, the one delay found at the start stands for every frame.
      {"untracked, before the blocks",
       [](ReliableEvidence& e) {
         e.tracked = false;
         e.frame.samples = {0, 512};
       },
       true},
  };
  for (const GateCase& c : cases) {
    ReliableEvidence e = Vouched();
    c.change(e);
    EXPECT_EQ(CReliableGate::Reliable(e), c.reliable) << c.name;
  }
}

TEST(ReliableGate, DecideTurnsOnlyAVouchedWordReliableAndLeavesOtherWordsAlone) {
  CReliableGate gate;
  gate.BeginFrame();
  int32_t status = gate.Vouch(DELAY_STATUS_SWAP_RETRIED);
  EXPECT_EQ(gate.Decide(Vouched(), status), DELAY_STATUS_SWAP_RETRIED | DELAY_STATUS_RELIABLE) << "the marks stay";

  ReliableEvidence refused = Vouched();
  refused.frame.delay = 500;
  gate.BeginFrame();
  status = gate.Vouch(status);
  EXPECT_EQ(StatusWord(gate.Decide(refused, status)), DELAY_STATUS_UNCERTAIN);

  // A reliable word no state vouched for does not stand.
  gate.BeginFrame();
  EXPECT_EQ(StatusWord(gate.Decide(Vouched(), DELAY_STATUS_RELIABLE)), DELAY_STATUS_UNCERTAIN);

  for (const int32_t word :
       {DELAY_STATUS_CALCULATING, DELAY_STATUS_HELD, DELAY_STATUS_SNAPPED, DELAY_STATUS_FIXED, DELAY_STATUS_CLAMPED}) {
    gate.BeginFrame();
    // The state sets its own word after vouching.
    status = WithStatusWord(gate.Vouch(status), word);
    EXPECT_EQ(StatusWord(gate.Decide(Vouched(), status)), word);
  }
}

TEST(ReliableGate, AWeakRunIsAPauseFromItsLengthOnAndEndsAtTheFirstStrongBlock) {
  CReliableGate gate;
  const int64_t pause = 2048;
  EXPECT_FALSE(gate.NoteBlocks(false, 0, pause));
  // A gap shorter than a pause.
  EXPECT_FALSE(gate.NoteBlocks(true, 512, pause));
  EXPECT_FALSE(gate.InPause(1536));
  EXPECT_FALSE(gate.NoteBlocks(false, 1536, pause));
  EXPECT_EQ(gate.PauseEnd(), -1);
  // A pause: weak from 2048 to 4608.
  for (int64_t first = 2048; first < 4608; first += 512) EXPECT_FALSE(gate.NoteBlocks(true, first, pause));
  EXPECT_TRUE(gate.InPause(4608));
  EXPECT_TRUE(gate.NoteBlocks(false, 4608, pause));
  EXPECT_FALSE(gate.InPause(5120));
  EXPECT_EQ(gate.PauseEnd(), 4608);
  gate.ClearPauses();
  EXPECT_EQ(gate.PauseEnd(), -1);
}

}  // namespace

// At an input's end no evidence is decided: a padded frame is handed out
// uncertain whatever the last decision was, and other words pass.
TEST(ReliableGate, APaddedFrameIsNeverHandedOutReliable) {
  const int32_t swapMark = 0x10000;
  EXPECT_EQ(CReliableGate::WithoutPadding(DELAY_STATUS_RELIABLE | swapMark, 300, 512),
            DELAY_STATUS_UNCERTAIN | swapMark);
  EXPECT_EQ(CReliableGate::WithoutPadding(DELAY_STATUS_RELIABLE, 512, 512), DELAY_STATUS_RELIABLE);
  EXPECT_EQ(CReliableGate::WithoutPadding(DELAY_STATUS_HELD, 0, 512), DELAY_STATUS_HELD);
}
