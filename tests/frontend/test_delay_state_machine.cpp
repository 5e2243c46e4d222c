// The delay state machine on its own, over facts the test writes: rings of
// noise whose test leads the reference by a known number of samples, with
// no delay buffer and no device. Every state's transitions, the hold, the
// snap, the end of the input, and the frame's second half.
#include <gtest/gtest.h>

#include <vector>

#include "Vantrel/FrameData.h"
#include "Vantrel/frontend/DelayState.h"
#include "Vantrel/frontend/DelayStateMachine.h"
#include "frontend/ring_signals.h"

namespace {

constexpr int kRing = 8192;
constexpr uint32_t kFrame = 256;
constexpr float kLoud = 1e9f;  // a block energy well above every threshold
constexpr size_t kFirstNewest = 10000;

struct Frame {
  int lead = 0;  // samples the test leads the reference by: the truth
  bool busy = false;
  bool ended = false;
  bool hold = false;
  bool unsnap = false;
  bool ringFull = true;
  float energy = kLoud;
};

class DelayStateMachineTest : public ::testing::Test {
 protected:
  void Begin(int trackingMode, bool compensationOn = true) {
    DelayMachineSettings settings;
    settings.trackingMode = trackingMode;
    settings.maxDelay = 4000;
    settings.searchBlock = 512;
    settings.frameLength = kFrame;
    settings.outputLength = kFrame;
    m_machine.Configure(settings);
    ASSERT_EQ(m_machine.Estimator().InitSearch(512, 2048), 1);
    ASSERT_EQ(m_machine.Estimator().InitRecheck(128, 1024), 1);
    m_machine.NewRun();
    m_machine.EnterFirstState(compensationOn);
    m_k = 0;
  }

  // The facts of the next frame: the rings of its newest blocks.
  FrameFacts Next(const Frame& f) {
    const size_t newest = kFirstNewest + size_t(m_k) * kFrame;
    const int end = int(newest % kRing);
    m_ref = RingOf(m_signal, newest, kRing, end);
    m_test = RingOf(m_signal, newest + f.lead, kRing, end);
    FrameFacts facts;
    facts.asks.hold = f.hold;
    facts.asks.unsnap = f.unsnap;
    facts.asks.snap = m_snapFrames > 0;
    facts.asks.snapFrames = m_snapFrames;
    facts.asks.fixedDelay = 77;
    facts.asks.maxTrackingStep = 512;
    facts.busy = f.busy;
    facts.inputEnded = f.ended;
    facts.ringFull = f.ringFull;
    facts.blocks =
        EstimationBlocks{m_ref.data.data(), end, m_test.data.data(), end, kRing, f.energy, f.energy, int64_t(newest)};
    facts.ringRoom = kRing;
    ++m_k;
    return facts;
  }
  // One frame as the stage runs it: Step, then the second half with every
  // sample of the frame input. Returns the status the frame goes out with.
  int32_t Run(const Frame& f) {
    m_step = m_machine.Step(Next(f));
    return m_step.fetches ? m_machine.FinishFrame(false, kFrame) : m_step.reading.status;
  }
  // Runs frames until the state leaves `state` (at most `limit`); the frames run.
  int RunWhile(int state, const Frame& f, int limit = 200) {
    int n = 0;
    while (m_machine.State() == state && n < limit) {
      Run(f);
      ++n;
    }
    return n;
  }
  int Delay() const { return m_machine.Reading().delay; }

  const std::vector<float> m_signal = Noise(80000, 11);
  Ring m_ref, m_test;
  CDelayStateMachine m_machine;
  FrameStep m_step;
  uint64_t m_snapFrames = 0;
  int m_k = 0;
};

TEST_F(DelayStateMachineTest, TheSearchWaitsForTheRingAndABusyInputThenFindsTheDelay) {
  Begin(0);
  // Filling: nothing to fetch, no delay, calculating.
  EXPECT_EQ(Run({300, false, false, false, false, false}), DELAY_STATUS_CALCULATING);
  EXPECT_FALSE(m_step.fetches);
  EXPECT_EQ(m_machine.State(), DELCOMP_FILLINGBUFFERS);
  EXPECT_EQ(Run({300}), DELAY_STATUS_CALCULATING);
  EXPECT_FALSE(m_step.fetches) << "the frame the ring fills in fetches nothing yet";
  ASSERT_EQ(m_machine.State(), DELCOMP_CALCDELAY);
  // A busy real-time input holds the search: its frames are not counted.
  for (int i = 0; i < 40; ++i) EXPECT_EQ(Run({300, true}), DELAY_STATUS_CALCULATING);
  EXPECT_EQ(m_machine.State(), DELCOMP_CALCDELAY);
  EXPECT_EQ(m_machine.StateFrames(), 0u);
  const int searched = RunWhile(DELCOMP_CALCDELAY, {300});
  EXPECT_EQ(m_machine.State(), DELCOMP_DELAYRELIABLE);
  EXPECT_GE(searched, 4);
  EXPECT_EQ(Delay(), 300);
  // The frame after the search confirmed is reliable at the truth, and stays so untracked.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Run({300}), DELAY_STATUS_RELIABLE);
  EXPECT_EQ(Delay(), 300);
  EXPECT_GE(m_machine.Reading().quality, 99);
}

TEST_F(DelayStateMachineTest, AnInputThatEndsBeforeTheSearchFoundADelayLeavesEveryFrameUncertain) {
  Begin(1);
  Run({300});
  for (int i = 0; i < 3; ++i) Run({300});
  EXPECT_EQ(Run({300, false, true}), DELAY_STATUS_UNCERTAIN);
  EXPECT_EQ(m_machine.State(), DELCOMP_DELAYRELIABLE);
  // Nothing a search confirmed: later blocks at the delay do not vouch for it.
  for (int i = 0; i < 40; ++i) EXPECT_NE(StatusWord(Run({Delay()})), DELAY_STATUS_RELIABLE);
}

TEST_F(DelayStateMachineTest, TrackedAStepIsRejectedSearchedAgainAndReliableOnlyAtTheNewDelay) {
  Begin(1);
  RunWhile(DELCOMP_FILLINGBUFFERS, {300});
  RunWhile(DELCOMP_CALCDELAY, {300});
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Run({300}), DELAY_STATUS_RELIABLE) << i;
  // The delay steps by far more than a drift: the re-check rejects it.
  int frames = RunWhile(DELCOMP_DELAYRELIABLE, {900});
  EXPECT_LT(frames, 20);
  EXPECT_EQ(m_machine.State(), DELCOMP_DELAYUNCERTAIN);
  // Uncertain re-checks in a row send the state back to the search.
  frames = RunWhile(DELCOMP_DELAYUNCERTAIN, {900});
  EXPECT_EQ(frames, 4);
  EXPECT_EQ(m_machine.State(), DELCOMP_CALCDELAY);
  EXPECT_TRUE(m_machine.SearchRestarted());
  // No frame from the step on is reliable unless it carries the new delay.
  for (int i = 0; i < 120 && m_machine.State() != DELCOMP_DELAYRELIABLE; ++i) {
    const int32_t status = Run({900});
    if (StatusWord(status) == DELAY_STATUS_RELIABLE) {
      EXPECT_EQ(Delay(), 900);
    }
  }
  EXPECT_EQ(m_machine.State(), DELCOMP_DELAYRELIABLE);
  EXPECT_FALSE(m_machine.SearchRestarted());
  int reliable = 0;
  for (int i = 0; i < 30; ++i)
    if (StatusWord(Run({900})) == DELAY_STATUS_RELIABLE) {
      EXPECT_EQ(Delay(), 900);
      ++reliable;
    }
  EXPECT_GE(reliable, 25);
}

TEST_F(DelayStateMachineTest, TrackedAnUncertainDelayComesBackWithoutASearchOrThroughARestartedOne) {
  // The delay moves 3 samples on for a while, then back: the re-check
  // doubts it, finds it where it lies, and doubts it again; a longer
  // stretch 40 samples off sends it to a search, whose re-check finds the
  // delay back where it was. Every reliable frame carries the truth.
  struct Case {
    int lead;
    int frames;
    std::vector<int> states;  // the states passed through, in order, from the stretch on
  };
  const Case cases[] = {
      {303,
       10,
       {DELCOMP_DELAYRELIABLE, DELCOMP_DELAYUNCERTAIN, DELCOMP_DELAYRELIABLE, DELCOMP_DELAYUNCERTAIN, DELCOMP_CALCDELAY,
        DELCOMP_DELAYRELIABLE}},
      {340, 7, {DELCOMP_DELAYRELIABLE, DELCOMP_DELAYUNCERTAIN, DELCOMP_CALCDELAY, DELCOMP_DELAYRELIABLE}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lead);
    Begin(1);
    RunWhile(DELCOMP_FILLINGBUFFERS, {300});
    RunWhile(DELCOMP_CALCDELAY, {300});
    for (int i = 0; i < 20; ++i) Run({300});
    std::vector<int> states{m_machine.State()};
    for (int i = 0; i < c.frames + 40; ++i) {
      const int lead = i < c.frames ? c.lead : 300;
      const int32_t status = Run({lead});
      if (StatusWord(status) == DELAY_STATUS_RELIABLE) {
        EXPECT_EQ(Delay(), lead) << i;
      }
      if (m_machine.State() != states.back()) states.push_back(m_machine.State());
    }
    EXPECT_EQ(states, c.states);
    EXPECT_EQ(StatusWord(Run({300})), DELAY_STATUS_RELIABLE);
  }
}

TEST_F(DelayStateMachineTest, AHoldKeepsTheDelayAndTheStateAndTheLastBlockDecidesNothing) {
  Begin(1);
  RunWhile(DELCOMP_FILLINGBUFFERS, {300});
  RunWhile(DELCOMP_CALCDELAY, {300});
  for (int i = 0; i < 5; ++i) Run({300});
  const uint32_t frames = m_machine.StateFrames();
  for (int i = 0; i < 30; ++i) EXPECT_EQ(Run({900, false, false, true}), DELAY_STATUS_HELD);
  EXPECT_EQ(Delay(), 300);
  EXPECT_EQ(m_machine.State(), DELCOMP_DELAYRELIABLE);
  EXPECT_EQ(m_machine.StateFrames(), frames) << "held frames run no state";
  EXPECT_EQ(Run({300}), DELAY_STATUS_RELIABLE);
  // The block in which the input ends keeps the frame's word as it was.
  EXPECT_EQ(Run({300, false, true}), DELAY_STATUS_RELIABLE);
  EXPECT_EQ(m_machine.StateFrames(), frames + 1);
}

TEST_F(DelayStateMachineTest, ATrackedDelaySnapsAfterItsFramesAndAnUnsnapFreesIt) {
  m_snapFrames = 30;
  Begin(1);
  RunWhile(DELCOMP_FILLINGBUFFERS, {300});
  RunWhile(DELCOMP_CALCDELAY, {300});
  const int reliable = RunWhile(DELCOMP_DELAYRELIABLE, {300});
  EXPECT_EQ(reliable, 30);
  EXPECT_EQ(m_machine.State(), DELCOMP_SNAP);
  // Snapped, the delay stays whatever the blocks say.
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Run({900}), DELAY_STATUS_SNAPPED);
  EXPECT_EQ(Delay(), 300);
  EXPECT_FALSE(m_step.unsnapTaken);
  EXPECT_EQ(Run({300, false, false, false, true}), DELAY_STATUS_UNCERTAIN);
  EXPECT_TRUE(m_step.unsnapTaken);
  EXPECT_EQ(m_machine.State(), DELCOMP_DELAYUNCERTAIN);
}

TEST_F(DelayStateMachineTest, WithoutCompensationEveryFrameCarriesTheFixedDelay) {
  Begin(0, false);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Run({300}), DELAY_STATUS_FIXED);
    EXPECT_EQ(Delay(), 77);
    EXPECT_EQ(m_machine.Reading().quality, FIXED_DELAY_QUALITY);
  }
  EXPECT_EQ(m_machine.FirstFrameDelay(77), 77);
}

TEST_F(DelayStateMachineTest, TheSecondHalfClampsBringsTheMarksBackAndNeverPassesPadding) {
  Begin(0);
  RunWhile(DELCOMP_FILLINGBUFFERS, {300});
  RunWhile(DELCOMP_CALCDELAY, {300});
  m_machine.SetMarks(DELAY_STATUS_SWAP_RETRIED);
  Run({300});
  struct Case {
    const char* what;
    bool clamped;
    int64_t real;
    int32_t word;
  };
  const Case cases[] = {
      {"whole", false, kFrame, DELAY_STATUS_RELIABLE},
      {"padded", false, kFrame - 1, DELAY_STATUS_UNCERTAIN},
      {"clamped", true, kFrame, DELAY_STATUS_CLAMPED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(StatusWord(m_machine.Step(Next({300})).reading.status), DELAY_STATUS_RELIABLE);
    const int32_t out = m_machine.FinishFrame(c.clamped, c.real);
    EXPECT_EQ(StatusWord(out), c.word);
    EXPECT_EQ(out & kStatusMarks, DELAY_STATUS_SWAP_RETRIED);
  }
  // A frame the step calls padded is never reliable: its real samples reach the gate.
  FrameFacts facts = Next({300});
  facts.realSamples = [](int) { return kFrame - 10; };
  EXPECT_EQ(StatusWord(m_machine.Step(facts).reading.status), DELAY_STATUS_UNCERTAIN);
}

}  // namespace
