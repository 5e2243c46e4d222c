// UTC system time, process and thread ids, and their test seams.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "platform/process.h"
#include "platform/system_time.h"

namespace {

time_t AsUtcSeconds(const SYSTEMTIME& t) {
  struct tm parts {};
  parts.tm_year = t.wYear - 1900;
  parts.tm_mon = t.wMonth - 1;
  parts.tm_mday = t.wDay;
  parts.tm_hour = t.wHour;
  parts.tm_min = t.wMinute;
  parts.tm_sec = t.wSecond;
  return timegm(&parts);
}

// Whole seconds of the clock the system time reads. time() may not serve as
// the bound: it reads the kernel's coarse clock, which can trail by a tick
// across a second boundary.
time_t SystemClockSeconds() {
  using namespace std::chrono;
  return static_cast<time_t>(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

TEST(SystemTime, IsUtcWithMilliseconds) {
  time_t before = SystemClockSeconds();
  SYSTEMTIME now{};
  GetSystemTime(&now);
  time_t after = SystemClockSeconds();
  time_t seconds = AsUtcSeconds(now);
  EXPECT_GE(seconds, before);
  EXPECT_LE(seconds, after);
  EXPECT_LT(now.wMilliseconds, 1000);
  struct tm utc {};
  gmtime_r(&seconds, &utc);
  EXPECT_EQ(utc.tm_wday, now.wDayOfWeek);
}

TEST(SystemTime, TestClockReplacesTheRealOne) {
  SystemTimeSource previous =
      SetSystemTimeSourceForTesting([](SYSTEMTIME* t) { *t = SYSTEMTIME{2026, 1, 4, 1, 23, 59, 58, 999}; });
  SYSTEMTIME now{};
  GetSystemTime(&now);
  EXPECT_EQ(23, now.wHour);
  EXPECT_EQ(999, now.wMilliseconds);
  SetSystemTimeSourceForTesting(previous);
  GetSystemTime(&now);
  EXPECT_GT(now.wYear, 2000);
}

TEST(ProcessIds, AreTheKernelsUnlessFixedForTesting) {
  EXPECT_EQ(static_cast<DWORD>(getpid()), GetCurrentProcessId());
  SetProcessIdForTesting(0x1A2C);
  EXPECT_EQ(0x1A2Cu, GetCurrentProcessId());
  SetProcessIdForTesting(0);
  EXPECT_EQ(static_cast<DWORD>(getpid()), GetCurrentProcessId());

  DWORD mine = GetCurrentThreadId();
  EXPECT_EQ(static_cast<DWORD>(syscall(SYS_gettid)), mine);
  DWORD other = 0;
  std::thread([&] { other = GetCurrentThreadId(); }).join();
  EXPECT_NE(mine, other);
}

}  // namespace
