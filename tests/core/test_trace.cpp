// The debug trace line, the assertion routine and the error box.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "platform/trace_line.h"
#include "Vantrel/ErrorMessage.h"
#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/system_time.h"

namespace {

// Fixes clock, process id, counter and mask, and captures the output.
class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previousClock = SetSystemTimeSourceForTesting([](SYSTEMTIME* t) { *t = SYSTEMTIME{2026, 12, 3, 9, 9, 5, 3, 7}; });
    SetProcessIdForTesting(0x1A2C);
    m_previousMask = GetTraceMask();
    g_TraceCounter = 3;
  }
  void TearDown() override {
    SetSystemTimeSourceForTesting(m_previousClock);
    SetProcessIdForTesting(0);
    SetTraceMask(m_previousMask);
  }

  DebugOutputCapture capture;
  SystemTimeSource m_previousClock;
  DWORD m_previousMask = 0;
};

TEST_F(TraceTest, LineHasTimeProcessAndCounterPrefix) {
  DebugTrace("CMsystem::Go(), state %d\n", 2);
  DebugTrace("next\n");
  EXPECT_EQ("<09:05:03.007>(0x1A2C):3: CMsystem::Go(), state 2\n<09:05:03.007>(0x1A2C):4: next\n", capture.Text());
  EXPECT_EQ(2, capture.Lines());  // each line in one call
  EXPECT_EQ(5u, g_TraceCounter.load());
}

TEST_F(TraceTest, TraceDoesNotLookAtTheMask) {
  SetTraceMask(0);
  DebugTrace("always\n");
  EXPECT_EQ(1, capture.Lines());
}

TEST_F(TraceTest, LongMessageIsCutToTheBufferAndStillEndsItsLine) {
  std::string message(3 * TRACE_LINE_BYTES, 'm');
  DebugTrace("%s\n", message.c_str());
  const std::string prefix = "<09:05:03.007>(0x1A2C):3: ";
  const std::string line = capture.Text();
  ASSERT_EQ(1, capture.Lines());
  EXPECT_EQ(static_cast<size_t>(TRACE_LINE_BYTES - 1), line.size());
  EXPECT_EQ(prefix, line.substr(0, prefix.size()));
  EXPECT_EQ(line.size() - 1, line.find_first_not_of('m', prefix.size()));
  EXPECT_EQ('\n', line.back());
}

TEST_F(TraceTest, ConcurrentLinesEachGetTheirOwnCounterValue) {
  constexpr int kThreads = 4, kLines = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < kLines; ++i) DebugTrace("x\n");
    });
  for (auto& t : threads) t.join();
  std::set<int> counters;
  std::istringstream lines(capture.Text());
  std::string line;
  const std::string prefix = "<09:05:03.007>(0x1A2C):";
  while (std::getline(lines, line)) {
    ASSERT_EQ(prefix, line.substr(0, prefix.size()));
    counters.insert(std::stoi(line.substr(prefix.size())));
  }
  EXPECT_EQ(static_cast<size_t>(kThreads * kLines), counters.size());
  EXPECT_EQ(3, *counters.begin());
  EXPECT_EQ(3 + kThreads * kLines - 1, *counters.rbegin());
}

TEST_F(TraceTest, AssertionTracesUnderErrorBitsAndAlwaysBreaks) {
  int breaks = 0;
  DebugBreakHook previous = SetDebugBreakHook([&] { ++breaks; });

  SetTraceMask(0);
  AssertFail("p != 0", "MSystem.cpp", 42);
  EXPECT_EQ("", capture.Text());
  EXPECT_EQ(1, breaks);

  SetTraceMask(TRACE_ORDINARY | TRACE_REGISTRY);  // no error bit
  AssertFail("p != 0", "MSystem.cpp", 42);
  EXPECT_EQ("", capture.Text());

  SetTraceMask(0x08);
  AssertFail("p != 0", "MSystem.cpp", 42);
  EXPECT_EQ(
      "<09:05:03.007>(0x1A2C):3: Assertion failure:\n"
      "<09:05:03.007>(0x1A2C):4:   Exp: p != 0\n"
      "<09:05:03.007>(0x1A2C):5:   File: MSystem.cpp, line: 42\n",
      capture.Text());
  EXPECT_EQ(3, breaks);
  SetDebugBreakHook(previous);
}

TEST(ErrorMessage, BoxShowsPlaceDetailAndTheCodesText) {
  std::string shown;
  UINT shownType = 0;
  MessageBoxHook previous = SetMessageBoxHook([&](const char* text, const char*, UINT type) {
    shown = text;
    shownType = type;
    return IDOK;
  });
  ShowErrorMessage("CDelayBufferImpl", "AllocateBuffers()", 0);
  EXPECT_EQ(
      "ERROR in CDelayBufferImpl, AllocateBuffers():\nOut of memory. Close some applications and restart program.",
      shown);
  EXPECT_EQ(MB_ICONEXCLAMATION | MB_OK, shownType);

  ShowErrorMessage("CDelayBufferImpl", "AllocateBuffers()", 7, 0);
  EXPECT_EQ("ERROR in CDelayBufferImpl, AllocateBuffers():\nUndefined Error", shown);
  SetMessageBoxHook(previous);
}

}  // namespace
