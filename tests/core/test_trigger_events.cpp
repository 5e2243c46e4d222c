// Trigger events: defaults, the frame marks, the time event's positions and
// state sequence (long frames included), copying and the list's ownership.
#include <gtest/gtest.h>

#include <pthread.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "Vantrel/FrameData.h"
#include "Vantrel/TriggerEvent.h"
#include "pattern_memory.h"

namespace {

struct Frame {
  Frame() : data(std::make_unique<FRAMEDATA>()) { std::memset(data.get(), 0, sizeof(FRAMEDATA)); }
  FRAMEHEADER& header() { return data->header; }
  FRAMEBUFFERDESC& desc() { return data->desc; }
  void* get() { return data.get(); }
  std::unique_ptr<FRAMEDATA> data;
};

TEST(TriggerEventTest, TimeEventDefaultsChangeNothingInAFrame) {
  CTimeEvent event;
  EXPECT_EQ(event.name, "Start and End Time");
  EXPECT_EQ(event.startMs, 0.0f);
  EXPECT_EQ(event.endMs, 3600000.0f);
  EXPECT_EQ(event.relation, TRIGGER_RELATION_REFERENCE);
  EXPECT_EQ(event.mask, TRIGGER_AFTER_SAMPLES);
  EXPECT_EQ(event.state, TRIGGER_OFF);
  EXPECT_EQ(event.next, nullptr);

  Frame frame, untouched;
  frame.header().samplePosition = untouched.header().samplePosition = 123456;
  frame.header().sampleRate[0][0] = untouched.header().sampleRate[0][0] = 48000;
  EXPECT_EQ(event.CheckNewEvent(frame.get()), 0);
  EXPECT_EQ(event.StandardAction(frame.get()), 1);
  EXPECT_EQ(std::memcmp(frame.get(), untouched.get(), sizeof(FRAMEDATA)), 0);
  EXPECT_EQ(event.state, TRIGGER_OFF);
}

TEST(TriggerEventTest, BaseEventDoesNothingButMarkAndKeepsItsMask) {
  OnPattern<CTriggerEvent> built(reinterpret_cast<HWND>(0x77));
  CTriggerEvent& event = *built;
  // Read before SetDefaults or a copy sets them: zero, not what the memory held.
  EXPECT_EQ(event.state, TRIGGER_OFF);
  EXPECT_EQ(event.startAction, 0);
  EXPECT_EQ(event.endAction, 0);
  EXPECT_EQ(event.mask, 0);
  EXPECT_EQ(event.next, nullptr);
  EXPECT_EQ(event.parent, reinterpret_cast<HWND>(0x77));
  EXPECT_EQ(event.name, "");
  event.mask = 3;
  event.SetDefaults();
  EXPECT_EQ(event.name, "Unknown");
  EXPECT_EQ(event.mask, 3);
  Frame frame;
  EXPECT_EQ(event.CheckNewEvent(frame.get()), 1);
  EXPECT_EQ(event.Action(frame.get(), 0), 1);
  EXPECT_EQ(event.CheckNewEvent(nullptr), 1);
  EXPECT_EQ(event.StandardAction(nullptr), 1);
}

TEST(TriggerEventTest, StandardActionMarksTheHeaderByState) {
  struct Case {
    int state;
    int delayValid, resetAverage, endOfMeasurement;  // 9: untouched
  } cases[] = {
      {TRIGGER_OFF, 9, 9, 9},   {TRIGGER_ARMED, 0, 1, 9},     {TRIGGER_STARTED, 1, 9, 9}, {TRIGGER_RUNNING, 1, 9, 9},
      {TRIGGER_ENDED, 1, 9, 1}, {TRIGGER_AFTER_END, 1, 9, 1}, {TRIGGER_DONE, 1, 9, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    CTriggerEvent event;
    event.state = c.state;
    Frame frame;
    frame.header().delayValid = frame.header().resetAverage = frame.header().endOfMeasurement = 9;
    EXPECT_EQ(event.StandardAction(frame.get()), 1);
    EXPECT_EQ(frame.header().delayValid, c.delayValid);
    EXPECT_EQ(frame.header().resetAverage, c.resetAverage);
    EXPECT_EQ(frame.header().endOfMeasurement, c.endOfMeasurement);
  }
}

struct StartCase {
  const char* what;
  int relation;
  float startMs;
  int32_t delay;
  int32_t rateRef, rateTest;
  uint32_t firstPosition;  // first sample position at which the event starts
};

TEST(TimeEventTest, StartPositionBySignalAndDelaySign) {
  // 145 ms x 0.001f x 48000 = 6960.0003: the single-precision constant
  // puts the start on 6960, where 0.001 in double would give 6959.
  const StartCase cases[] = {
      {"reference, no delay", 0, 145.0f, 0, 48000, 8000, 6960},
      {"reference, test ahead", 0, 145.0f, 100, 48000, 8000, 7060},
      {"reference, test behind: no move", 0, 145.0f, -100, 48000, 8000, 6960},
      {"test, test ahead: no move", 1, 145.0f, 100, 8000, 48000, 6960},
      {"test, test behind: earlier", 1, 145.0f, -100, 8000, 48000, 6860},
      {"test rate used for the test", 1, 1000.0f, 0, 48000, 44100, 44100},
      {"other relation: the delay itself", 7, 145.0f, 250, 48000, 48000, 250},
      {"start before the signal begins", 1, 10.0f, -5000, 48000, 48000, 0},
      {"other relation, negative delay", 7, 0.0f, -50, 48000, 48000, 0},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.what);
    CTimeEvent event;
    event.relation = c.relation;
    event.startMs = c.startMs;
    event.state = TRIGGER_ARMED;
    Frame frame;
    frame.header().delay = c.delay;
    frame.header().sampleRate[0][0] = c.rateRef;
    frame.header().sampleRate[1][0] = c.rateTest;
    if (c.firstPosition > 0) {
      frame.header().samplePosition = c.firstPosition - 1;
      EXPECT_EQ(event.CheckNewEvent(frame.get()), 0);
      EXPECT_EQ(event.state, TRIGGER_ARMED);
    }
    frame.header().samplePosition = c.firstPosition;
    EXPECT_EQ(event.CheckNewEvent(frame.get()), 1);
    EXPECT_EQ(event.state, TRIGGER_STARTED);
  }
}

TEST(TimeEventTest, StateSequenceOverShortFrames) {
  CTimeEvent event;
  event.startMs = 10.0f;  // 480 samples at 48 kHz
  event.endMs = 30.0f;    // length 960 from the test rate: end 1440
  event.state = TRIGGER_ARMED;
  Frame frame;
  frame.header().sampleRate[0][0] = frame.header().sampleRate[1][0] = 48000;

  struct Step {
    uint32_t position;
    int reached, state, delayValid, endOfMeasurement;
  } steps[] = {
      {240, 0, TRIGGER_ARMED, 0, 0},    {480, 1, TRIGGER_STARTED, 1, 0}, {720, 0, TRIGGER_RUNNING, 1, 0},
      {1439, 0, TRIGGER_RUNNING, 1, 0}, {1440, 1, TRIGGER_ENDED, 1, 1},  {1680, 0, TRIGGER_AFTER_END, 1, 1},
      {1920, 0, TRIGGER_DONE, 1, 1},    {2160, 0, TRIGGER_DONE, 1, 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.position);
    frame.header().samplePosition = step.position;
    frame.header().endOfMeasurement = 0;
    frame.desc().count = 240;
    EXPECT_EQ(event.CheckNewEvent(frame.get()), step.reached);
    event.StandardAction(frame.get());
    EXPECT_EQ(event.state, step.state);
    EXPECT_EQ(frame.header().delayValid, step.delayValid);
    EXPECT_EQ(frame.header().endOfMeasurement, step.endOfMeasurement);
    EXPECT_EQ(frame.desc().count, 240u);  // short frames are never cut
    EXPECT_EQ(frame.header().samplePosition, step.position);
  }
}

TEST(TimeEventTest, EndLengthUsesTheSameConstantAndTheTestRate) {
  CTimeEvent event;
  event.startMs = 0.0f;
  event.endMs = 145.0f;  // 6960 samples at 48 kHz, not 6959
  event.state = TRIGGER_RUNNING;
  Frame frame;
  frame.header().sampleRate[0][0] = 8000;  // the length ignores the reference rate
  frame.header().sampleRate[1][0] = 48000;
  frame.header().samplePosition = 6959;
  EXPECT_EQ(event.CheckNewEvent(frame.get()), 0);
  frame.header().samplePosition = 6960;
  EXPECT_EQ(event.CheckNewEvent(frame.get()), 1);
  EXPECT_EQ(event.state, TRIGGER_ENDED);
}

TEST(TimeEventTest, HugeAndNaNTimesGivePositionsInRange) {
  // The host may write any float: a start or end beyond every position
  // never comes, and NaN counts as 0 (a start at 0, an empty window).
  constexpr float kHuge = 3.0e38f;
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  const float kInfinity = std::numeric_limits<float>::infinity();
  struct Step {
    uint32_t position;
    int state;  // after the check
  };
  struct Case {
    const char* what;
    float startMs, endMs;
    std::vector<Step> steps;
  } cases[] = {
      {"huge start never comes", kHuge, kHuge, {{0, TRIGGER_ARMED}, {UINT32_MAX, TRIGGER_ARMED}}},
      {"infinite start never comes", kInfinity, kInfinity, {{UINT32_MAX, TRIGGER_ARMED}}},
      {"huge end never comes",
       0.0f,
       kHuge,
       {{0, TRIGGER_STARTED}, {1, TRIGGER_RUNNING}, {UINT32_MAX, TRIGGER_RUNNING}}},
      {"NaN start is 0", kNaN, 10.0f, {{0, TRIGGER_STARTED}}},
      {"NaN end: empty window",
       10.0f,
       kNaN,
       {{479, TRIGGER_ARMED}, {480, TRIGGER_STARTED}, {480, TRIGGER_RUNNING}, {480, TRIGGER_ENDED}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CTimeEvent event;
    event.startMs = c.startMs;
    event.endMs = c.endMs;
    event.state = TRIGGER_ARMED;
    Frame frame;
    frame.header().sampleRate[0][0] = frame.header().sampleRate[1][0] = 48000;
    frame.header().longFrame = 1;
    for (const Step& step : c.steps) {
      SCOPED_TRACE(step.position);
      frame.header().samplePosition = step.position;
      frame.desc() = FRAMEBUFFERDESC{8192, 0, 0};
      event.CheckNewEvent(frame.get());
      EXPECT_EQ(event.state, step.state);
      if (step.state == TRIGGER_ARMED || step.state == TRIGGER_RUNNING) {
        EXPECT_EQ(frame.desc().count, 8192u);  // no cut
        EXPECT_EQ(frame.desc().start, 0u);
      }
    }
  }
}

class LongFrameTest : public ::testing::Test {
 protected:
  LongFrameTest() {
    event.state = TRIGGER_ARMED;
    frame.header().sampleRate[0][0] = frame.header().sampleRate[1][0] = 8000;
    frame.header().longFrame = 1;
  }
  int Check(uint32_t position, uint32_t count) {
    frame.header().samplePosition = position;
    frame.desc() = FRAMEBUFFERDESC{count, 0, 0};
    return event.CheckNewEvent(frame.get());
  }
  CTimeEvent event;
  Frame frame;
};

TEST_F(LongFrameTest, StartAndEndInsideOneFrameCutItToTheWindow) {
  event.startMs = 100.0f;  // s = 800
  event.endMs = 350.0f;    // L = 2000, e = 2800
  EXPECT_EQ(Check(8192, 8192), 1);
  EXPECT_EQ(event.state, TRIGGER_STARTED);
  EXPECT_EQ(frame.desc().count, 2000u);
  EXPECT_EQ(frame.header().samplePosition, 2000u);
  EXPECT_EQ(frame.desc().start, 800u);
  EXPECT_EQ(frame.desc().start2, 800u);

  EXPECT_EQ(Check(16384, 8192), 0);
  EXPECT_EQ(event.state, TRIGGER_RUNNING);
  EXPECT_EQ(Check(24576, 8192), 1);
  EXPECT_EQ(event.state, TRIGGER_ENDED);
  event.StandardAction(frame.get());
  EXPECT_EQ(frame.header().endOfMeasurement, 1);
}

TEST_F(LongFrameTest, WindowNeverReachesPastTheDeliveredSamples) {
  // 8192-sample frame of which the front end delivered 2048: the window
  // [800, 2800) is cut to what the frame holds, [800, 2048).
  event.startMs = 100.0f;  // s = 800
  event.endMs = 350.0f;    // L = 2000
  EXPECT_EQ(Check(8192, 2048), 1);
  EXPECT_EQ(frame.desc().start, 800u);
  EXPECT_EQ(frame.desc().count, 1248u);
  EXPECT_EQ(frame.header().samplePosition, 2000u);
}

TEST_F(LongFrameTest, StartInsideAndEndLaterTrimsTheStartOnly) {
  event.startMs = 100.0f;  // s = 800
  event.endMs = 2000.0f;   // e = 16000
  EXPECT_EQ(Check(8192, 8192), 1);
  EXPECT_EQ(frame.desc().count, 7392u);
  EXPECT_EQ(frame.header().samplePosition, 7392u);
  EXPECT_EQ(Check(16384, 8192), 0);  // started -> running, no cut
  EXPECT_EQ(frame.desc().count, 8192u);
  EXPECT_EQ(Check(24576, 8192), 1);   // end 8576 before this position: count 8192 - 8576
  EXPECT_EQ(frame.desc().count, 0u);  // saturates instead of wrapping to ~4e9
}

TEST_F(LongFrameTest, TrimsSaturateAtZero) {
  // The host wrote an end before the start: empty window, not ~4e9 samples.
  event.startMs = 100.0f;
  event.endMs = 50.0f;
  EXPECT_EQ(Check(8192, 8192), 1);
  EXPECT_EQ(frame.desc().count, 0u);
  EXPECT_EQ(frame.header().samplePosition, 0u);

  // A start beyond the frame's own count (second long frame).
  CTimeEvent late;
  late.state = TRIGGER_ARMED;
  late.startMs = 1500.0f;  // s = 12000
  late.endMs = 5000.0f;
  frame.header().samplePosition = 16384;
  frame.desc() = FRAMEBUFFERDESC{8192, 0, 0};
  EXPECT_EQ(late.CheckNewEvent(frame.get()), 1);
  EXPECT_EQ(frame.desc().count, 0u);
  EXPECT_EQ(frame.desc().start, 12000u);
  EXPECT_EQ(frame.header().samplePosition, 4384u);

  // Running into an end far behind the position.
  late.state = TRIGGER_RUNNING;
  late.endMs = 1600.0f;  // e = 12800
  frame.header().samplePosition = 40000;
  frame.desc() = FRAMEBUFFERDESC{8192, 0, 0};
  EXPECT_EQ(late.CheckNewEvent(frame.get()), 1);
  EXPECT_EQ(frame.desc().count, 0u);
}

TEST_F(LongFrameTest, StartIndicesSaturateAtTheTop) {
  event.startMs = 100.0f;  // s = 800
  event.endMs = 350.0f;
  frame.header().samplePosition = 8192;
  frame.desc() = FRAMEBUFFERDESC{8192, UINT32_MAX - 100, UINT32_MAX - 799};
  EXPECT_EQ(event.CheckNewEvent(frame.get()), 1);
  EXPECT_EQ(frame.desc().start, UINT32_MAX);   // not wrapped to 699
  EXPECT_EQ(frame.desc().start2, UINT32_MAX);  // exactly at the top
}

TEST(TriggerCopyTest, CopiesTakeTheFieldsButNotTheChainOrWindow) {
  HWND window = reinterpret_cast<HWND>(0x1234);
  CTimeEvent source(window);
  source.next = new CTimeEvent;
  source.startMs = 5.0f;
  source.endMs = 9.0f;
  source.relation = 1;
  source.state = TRIGGER_RUNNING;
  source.startAction = 1;
  source.endAction = 2;

  CTimeEvent copy(source);
  EXPECT_EQ(copy.next, nullptr);
  EXPECT_EQ(copy.parent, nullptr);
  EXPECT_EQ(copy.name, source.name);
  EXPECT_EQ(copy.state, TRIGGER_RUNNING);
  EXPECT_EQ(copy.endAction, 2);
  EXPECT_EQ(copy.startMs, 5.0f);
  EXPECT_EQ(copy.relation, 1);

  // Through slot 0: chains are assigned as far as both reach.
  CTimeEvent target;
  target.next = new CTimeEvent;
  static_cast<CTimeEvent*>(source.next)->endMs = 77.0f;
  CTriggerEvent& targetBase = target;
  targetBase = static_cast<const CTriggerEvent&>(source);
  EXPECT_EQ(target.endMs, 9.0f);
  EXPECT_EQ(static_cast<CTimeEvent*>(target.next)->endMs, 77.0f);
  EXPECT_EQ(target.parent, nullptr);
}

TEST(TriggerCopyTest, TimeEventAssignedFromAnotherKindKeepsItsTimes) {
  CTriggerEvent plain;
  plain.name = "plain";
  plain.state = TRIGGER_ARMED;
  plain.mask = 1;
  CTimeEvent time;
  time.startMs = 12.0f;
  time.endMs = 34.0f;
  time.relation = 1;
  CTriggerEvent& slot = time;
  slot = plain;
  EXPECT_EQ(time.name, "plain");
  EXPECT_EQ(time.state, TRIGGER_ARMED);
  EXPECT_EQ(time.mask, 1);
  EXPECT_EQ(time.startMs, 12.0f);
  EXPECT_EQ(time.endMs, 34.0f);
  EXPECT_EQ(time.relation, 1);
}

// Counts destructions of every event of a chain.
struct CountedEvent : CTriggerEvent {
  explicit CountedEvent(int& destroyed) : m_destroyed(destroyed) {}
  ~CountedEvent() override { ++m_destroyed; }
  int& m_destroyed;
};

TEST(TriggerParaTest, ListOwnsItsChainAndCountsActiveEvents) {
  int destroyed = 0;
  {
    CTriggerPara list;
    EXPECT_EQ(list.GetNrActiveTriggerEvents(), 0);
    list.head->state = TRIGGER_ARMED;
    EXPECT_EQ(list.GetNrActiveTriggerEvents(), 1);
    CTriggerEvent* tail = list.head;
    for (int i = 0; i < 1000; ++i) {
      tail->next = new CountedEvent(destroyed);
      tail = tail->next;
    }
    tail->state = TRIGGER_DONE;
    EXPECT_EQ(list.GetNrActiveTriggerEvents(), 2);
  }
  EXPECT_EQ(destroyed, 1000);

  CTriggerPara empty;
  delete empty.head;
  empty.head = nullptr;
  EXPECT_EQ(empty.GetNrActiveTriggerEvents(), 0);
}

// Runs `work` on a thread with a 256 KiB stack, which a recursion over a
// long chain would overflow.
void OnSmallStack(void (*work)(void*), void* argument) {
  struct Call {
    void (*work)(void*);
    void* argument;
  } call{work, argument};
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 256 * 1024), 0);
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attributes,
                [](void* p) -> void* {
                  const Call* c = static_cast<Call*>(p);
                  c->work(c->argument);
                  return nullptr;
                },
                &call),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

TEST(TriggerParaTest, DeepChainIsDeletedWithoutRecursion) {
  constexpr int kEvents = 100000;
  int destroyed = 0;
  auto* list = new CTriggerPara;
  CTriggerEvent* tail = list->head;
  for (int i = 0; i < kEvents; ++i) {
    tail->next = new CountedEvent(destroyed);
    tail = tail->next;
  }
  OnSmallStack([](void* p) { delete static_cast<CTriggerPara*>(p); }, list);
  EXPECT_EQ(destroyed, kEvents);
}

TEST(TriggerParaTest, AssignmentIsNullSafeBothWays) {
  HWND window = reinterpret_cast<HWND>(0x42);
  CTriggerPara source(window);
  static_cast<CTimeEvent*>(source.head)->endMs = 500.0f;
  source.head->state = TRIGGER_ARMED;

  CTriggerPara emptyTarget;
  delete emptyTarget.head;
  emptyTarget.head = nullptr;
  emptyTarget = source;
  ASSERT_NE(emptyTarget.head, nullptr);
  EXPECT_EQ(static_cast<CTimeEvent*>(emptyTarget.head)->endMs, 500.0f);
  EXPECT_EQ(emptyTarget.parent, window);

  CTriggerPara emptySource;
  delete emptySource.head;
  emptySource.head = nullptr;
  source = emptySource;
  EXPECT_EQ(source.head, nullptr);
  CTriggerPara copyOfEmpty(emptySource);
  EXPECT_EQ(copyOfEmpty.head, nullptr);

  emptyTarget = emptyTarget;
  EXPECT_EQ(static_cast<CTimeEvent*>(emptyTarget.head)->endMs, 500.0f);
}

}  // namespace
