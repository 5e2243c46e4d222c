// Handles, instance count, detection on the first handle, trace, timers and
// the diagnostic reports.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Mathlib/MathlibClock.h"
#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibReport.h"
#include "Mathlib/MathlibTrace.h"
#include "platform/debug_output.h"
#include "platform/process.h"
#include "primitives/frame/dispatch.h"
#include "primitives/frame/sp_cpu.h"
#include "primitives/frame/variant_seams.h"
#include "platform/events.h"
#include "platform/named_mutex.h"
#include "support/child_process.h"
#include "support/lock_folder.h"
#include "support/temp_dir.h"

namespace {

// Clock measurement without the two-to-three-second busy wait.
class FixedClock {
 public:
  explicit FixedClock(int32_t mhz)
      : m_previous(MathlibSetCpuMhzProbeForTesting([mhz](int32_t* out) {
          *out = mhz;
          return 0;
        })) {}
  ~FixedClock() { MathlibSetCpuMhzProbeForTesting(m_previous); }

 private:
  MathlibCpuMhzProbe m_previous;
};

TEST(MathlibHandles, FirstHandleRunsDetectionAndCountFollowsHandles) {
  ASSERT_EQ(MathlibInstanceCount(), 0);
  spForceVariantSet(SP_SET_GENERIC);
  MathlibHandle* first = MathlibInit();
  ASSERT_NE(first, nullptr);
  const int32_t detected = spDispatchIndex.load();
  EXPECT_EQ(detected, spVariantSetOfType(spGetProcessorType()));
  EXPECT_EQ(first->cache, nullptr);
  EXPECT_EQ(first->cpuMhz, 0);
  EXPECT_EQ(MathlibInstanceCount(), 1);

  // A second handle does not detect again: a forced set survives it.
  spForceVariantSet(SP_SET_GENERIC);
  MathlibHandle* second = MathlibInit();
  EXPECT_EQ(spDispatchIndex.load(), 0);
  EXPECT_EQ(MathlibInstanceCount(), 2);

  MathlibFree(&first);
  MathlibFree(&second);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(MathlibInstanceCount(), 0);

  // After all handles are gone the next one detects again.
  MathlibHandle* third = MathlibInit();
  EXPECT_EQ(spDispatchIndex.load(), detected);
  MathlibFree(&third);
  spForceVariantSet(SP_SET_GENERIC);
}

TEST(MathlibHandles, FreeingANullHandleWarnsAndKeepsTheCount) {
  MathlibHandle* h = MathlibInit();
  MathlibHandle* spare = MathlibInit();
  MathlibFree(&h);
  DebugOutputCapture capture;
  MathlibFree(&h);
  EXPECT_NE(capture.Text().find("MathlibFree(), WARNING: Freeing uninitialized mathlib handle!\n"), std::string::npos);
  EXPECT_EQ(MathlibInstanceCount(), 1);
  MathlibFree(&spare);
  MathlibFree(nullptr);  // no variable at all: nothing happens
  EXPECT_EQ(MathlibInstanceCount(), 0);
}

TEST(MathlibHandles, ConcurrentInitAndFreeEndAtZero) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 50; ++i) {
        MathlibHandle* h = MathlibInit();
        ASSERT_NE(h, nullptr);
        MathlibFree(&h);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(MathlibInstanceCount(), 0);
  spForceVariantSet(SP_SET_GENERIC);
}

// Points the named mutexes' lock files at a folder that does not exist, so
// that no named mutex can be created while it lives.
class NoNamedMutexes : public ScopedLockFolder {
 public:
  NoNamedMutexes() : ScopedLockFolder("/nonexistent/vantrel-folder") {}
};

TEST(MathlibHandles, WithoutTheNamedMutexHandlesAreStillCountedUnderALocalLock) {
  NoNamedMutexes noMutexes;
  DebugOutputCapture capture;
  MathlibHandle* h = MathlibInit();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(MathlibInstanceCount(), 1);
  EXPECT_NE(capture.Text().find("named mutex RoviRidAzuvuruvEdureZoro unavailable (cannot open lock file "),
            std::string::npos)
      << capture.Text();
  EXPECT_NE(capture.Text().find("), locking within the process only"), std::string::npos) << capture.Text();
  MathlibFree(&h);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(MathlibInstanceCount(), 0);

  // The warning is written while the lock is held: lines from two threads
  // never overlap, even when each one lingers.
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  DebugOutputHook previous = SetDebugOutputHook([&](const char*) {
    if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    inside.fetch_sub(1);
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 20; ++i) {
        MathlibHandle* mine = MathlibInit();
        ASSERT_NE(mine, nullptr);
        MathlibFree(&mine);
      }
    });
  for (auto& th : threads) th.join();
  SetDebugOutputHook(previous);
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(MathlibInstanceCount(), 0);
  spForceVariantSet(SP_SET_GENERIC);
}

// Occurrences of `part` in `text`.
int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// A process of the same user that takes the named mutex and never lets go
// (stopped, hung) costs one bounded wait, and one warning, per process: the
// handles after it lock within the process at once.
TEST(MathlibHandles, AHolderThatNeverLetsGoCostsOneBoundedWait) {
  TempDir temp;
  ScopedLockFolder folder(temp.Path());  // this test's own lock, not every test's
  int ready[2];
  ASSERT_EQ(0, pipe(ready));
  pid_t holder = StartChild([&] {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "RoviRidAzuvuruvEdureZoro");
    if (mutex == nullptr || WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0) return 1;
    char go = 'x';
    if (write(ready[1], &go, 1) != 1) return 2;
    alarm(30);  // lets go at last, so that an unbounded wait shows as a long one
    pause();
    return 0;
  });
  char go = 0;
  ASSERT_EQ(1, read(ready[0], &go, 1));
  DebugOutputCapture capture;
  const auto start = std::chrono::steady_clock::now();
  MathlibHandle* h = MathlibInit();
  const auto firstWait = std::chrono::steady_clock::now() - start;
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(MathlibInstanceCount(), 1);
  MathlibFree(&h);
  // A measurement's worth of set-ups and releases after the first.
  for (int cycle = 0; cycle < 5; ++cycle) {
    MathlibHandle* next = MathlibInit();
    ASSERT_NE(next, nullptr);
    MathlibFree(&next);
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  kill(holder, SIGKILL);
  WaitChild(holder);
  close(ready[0]);
  close(ready[1]);
  EXPECT_LT(firstWait, std::chrono::seconds(10));
  EXPECT_LT(waited, firstWait + std::chrono::seconds(1));
  EXPECT_EQ(MathlibInstanceCount(), 0);
  EXPECT_EQ(Count(capture.Text(), "named mutex RoviRidAzuvuruvEdureZoro not free within"), 1) << capture.Text();
}

// A lock folder that cannot be used (another user may plant one under
// /tmp) is said once, in one line, not on every set-up and release.
TEST(MathlibHandles, AnUnusableLockFolderIsSaidOnceInOneLine) {
  TempDir temp;
  const std::string planted = temp.Path() + "/vantrel-" + std::to_string(geteuid());
  ASSERT_EQ(0, mkdir(planted.c_str(), 0777));
  ASSERT_EQ(0, chmod(planted.c_str(), 0777));  // open to others: refused
  ScopedLockFolder folder(temp.Path());
  DebugOutputCapture capture;
  for (int cycle = 0; cycle < 10; ++cycle) {
    MathlibHandle* h = MathlibInit();
    ASSERT_NE(h, nullptr);
    MathlibFree(&h);
  }
  EXPECT_EQ(capture.Lines(), 1) << capture.Text();
  EXPECT_NE(capture.Text().find("unavailable (cannot open lock file " + planted), std::string::npos) << capture.Text();
  EXPECT_EQ(MathlibInstanceCount(), 0);
}

TEST(MathlibTrace, PrefixCarriesIdsAndARunningCounter) {
  SetProcessIdForTesting(0x1A2B);
  MathlibTraceResetCounterForTesting();
  DebugOutputCapture capture;
  MathlibTrace(nullptr, "first %d\n", 7);
  MathlibTrace(stderr, "second\n");
  SetProcessIdForTesting(0);
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "(PID=0x1A2B,TID=0x%lX):0: VavoverIVIZ32O: first 7\n"
                "(PID=0x1A2B,TID=0x%lX):1: VavoverIVIZ32O: second\n",
                static_cast<unsigned long>(GetCurrentThreadId()), static_cast<unsigned long>(GetCurrentThreadId()));
  EXPECT_EQ(capture.Text(), expected);
  EXPECT_EQ(capture.Lines(), 2);
}

TEST(MathlibTrace, LongMessageIsCutNotOverrun) {
  DebugOutputCapture capture;
  const std::string huge(50000, 'x');
  MathlibTrace(nullptr, "%s", huge.c_str());
  const std::string line = capture.Text();
  EXPECT_LT(line.size(), 10240u);
  EXPECT_GT(line.size(), 10000u);
}

TEST(MathlibTimers, OffUntilCalibratedAndSlotsBounded) {
  MathlibHandle* h = MathlibInit();
  uint32_t ticks = 99;
  double seconds = 9.0;
  EXPECT_EQ(MathlibTimerStart(h, 0), 0);
  EXPECT_EQ(MathlibTimerRead(h, 0, &ticks, &seconds), 0);
  EXPECT_EQ(ticks, 99u);
  {
    FixedClock clock(2000);
    EXPECT_EQ(MathlibTimerCalibrate(h), 1);
  }
  EXPECT_EQ(h->cpuMhz, 2000);
  for (int slot : {-1, 5}) {
    EXPECT_EQ(MathlibTimerStart(h, slot), 0);
    EXPECT_EQ(MathlibTimerRead(h, slot, &ticks, &seconds), 0);
  }
  ASSERT_EQ(MathlibTimerStart(h, 4), 1);
  volatile double spin = 0;
  for (int i = 0; i < 100000; ++i) spin = spin + i;
  EXPECT_EQ(MathlibTimerRead(h, 4, &ticks, &seconds), 1);
  EXPECT_GT(ticks, 0u);
  EXPECT_NEAR(seconds, ticks / 2.0e9, 1e-12);
  EXPECT_EQ(MathlibTimerRead(h, 4, nullptr, nullptr), 1);
  EXPECT_EQ(MathlibTimerStart(nullptr, 0), 0);
  EXPECT_EQ(MathlibTimerCalibrate(nullptr), 0);
  MathlibFree(&h);
  spForceVariantSet(SP_SET_GENERIC);
}

TEST(MathlibReports, ProcessorReportPiecesAndBounds) {
  FixedClock clock(1234);
  char buffer[600];
  const int result = MathlibProcessorReport(buffer, sizeof buffer);
  EXPECT_GT(result, 0);
  const std::string text = buffer;
  const int type = spGetProcessorType();
  const std::string head = " Processor Type = (" + std::to_string(type) + ") " + MathlibProcessorName(type) + " \n\n";
  EXPECT_EQ(text.rfind(head, 0), 0u) << text;
  EXPECT_NE(text.find("      CPU Clock = 1234 Mhz (1234000000.000000 Hz) - "), std::string::npos);
  EXPECT_NE(text.find("Vor Lib Version = "), std::string::npos);
  EXPECT_NE(text.find(" 5.1.1 5.1.133.274 (variable)( DAD51_32Ori )"), std::string::npos) << text;

  char small[1] = {'#'};
  EXPECT_LT(MathlibProcessorReport(small, 1), 0);
  EXPECT_EQ(small[0], '\0');
  char cut[40];
  std::memset(cut, '#', sizeof cut);
  EXPECT_LT(MathlibProcessorReport(cut, 30), 0);
  EXPECT_EQ(std::strlen(cut), 29u);
  EXPECT_EQ(cut[30], '#');
  EXPECT_EQ(MathlibProcessorReport(cut, 0), -1);
  EXPECT_EQ(MathlibProcessorReport(cut, -5), -1);
  EXPECT_EQ(cut[30], '#');
}

TEST(MathlibReports, ProcessorNames) {
  EXPECT_STREQ(MathlibProcessorName(0x21), "Intel(R) Core(TM) 2 Duo processor ");
  EXPECT_STREQ(MathlibProcessorName(0x41), " Processor with Streaming SIMD Extensions 2 instruction set");
  EXPECT_STREQ(MathlibProcessorName(0x0B), "Unknown processor Number ");
}

TEST(MathlibReports, VersionTextsAndTheirFit) {
  char version[16];
  EXPECT_EQ(MathlibVersion(nullptr, 0, version, sizeof version), 0);
  EXPECT_STREQ(version, "1.2");
  char exact[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(MathlibVersion(nullptr, 0, exact, 3), 0);
  EXPECT_EQ(std::memcmp(exact, "1.2#", 4), 0);  // exact fit, no terminator
  EXPECT_EQ(MathlibVersion(nullptr, 0, exact, 2), 2);
  EXPECT_EQ(MathlibVersion(nullptr, 0, exact, 0), 2);
  char text[64];
  EXPECT_EQ(MathlibVersion(text, sizeof text, nullptr, 0), 0);
  EXPECT_EQ(std::string(text).rfind("MathLib = 1.2 ( ", 0), 0u);
  char shortText[10];
  EXPECT_EQ(MathlibVersion(shortText, sizeof shortText, version, sizeof version), 1);
}

}  // namespace
