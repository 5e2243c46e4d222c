// Events: manual and auto reset, waits with time-outs, use across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/events.h"
#include "platform/process.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(Events, ManualResetStaysSignalledUntilReset) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, event);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
  EXPECT_TRUE(SetEvent(event));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
  EXPECT_TRUE(ResetEvent(event));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
  EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, AutoResetReleasesOneWaitPerSet) {
  HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));

  // Two waiters, one Set: exactly one wakes within the time-out.
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 2; ++i)
    waiters.emplace_back([&] {
      if (WaitForSingleObject(event, 300) == WAIT_OBJECT_0) ++woken;
    });
  Sleep(50);
  SetEvent(event);
  for (auto& t : waiters) t.join();
  EXPECT_EQ(1, woken.load());
  CloseHandle(event);
}

TEST(Events, WaitTimesOutAfterItsTimeAndWakesOnSetFromAnotherThread) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  auto start = Clock::now();
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 60));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));

  std::thread setter([&] {
    Sleep(30);
    SetEvent(event);
  });
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, INFINITE));
  setter.join();
  CloseHandle(event);
}

TEST(Events, ClosedOrUnknownHandlesFail) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_FALSE(SetEvent(event));
  EXPECT_FALSE(ResetEvent(event));
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(event, 0));
  EXPECT_FALSE(SetEvent(nullptr));
}

}  // namespace
