// Named mutexes serialise threads of one process and separate processes,
// are recursive for their owner, and report what cannot be created.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/debug_output.h"
#include "platform/events.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "support/child_process.h"

namespace {

std::string UniqueName(const char* what) {
  return std::string("vantrel-test-") + what + "-" + std::to_string(getpid());
}

TEST(NamedMutex, SerialisesThreadsOfTheProcess) {
  const std::string name = UniqueName("threads");
  long counter = 0;  // plain on purpose: only the mutex protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());  // each call opens by name
        ASSERT_NE(nullptr, mutex);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, INFINITE));
        long seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
        ReleaseMutex(mutex);
        CloseHandle(mutex);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(800, counter);
  unlink(NamedMutexLockFile(name.c_str()).c_str());
}

TEST(NamedMutex, OwnerMayWaitAgainAndOnlyOwnerReleases) {
  const std::string name = UniqueName("recursive");
  HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
  ASSERT_NE(nullptr, mutex);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
  std::thread other([&] {
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(mutex, 20));
    EXPECT_FALSE(ReleaseMutex(mutex));
  });
  other.join();
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_FALSE(ReleaseMutex(mutex));  // no longer owned
  std::thread after([&] {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 100));
    ReleaseMutex(mutex);
  });
  after.join();
  CloseHandle(mutex);
  unlink(NamedMutexLockFile(name.c_str()).c_str());
}

TEST(NamedMutex, SerialisesProcessesAndIsFreedWhenTheHolderDies) {
  const std::string name = UniqueName("processes");
  int ready[2];  // the child reports that it holds the mutex
  ASSERT_EQ(0, pipe(ready));
  pid_t child = StartChild([&] {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr || WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0) return 1;
    char go = 'x';
    if (write(ready[1], &go, 1) != 1) return 2;
    Sleep(300);
    return 0;  // dies holding the mutex
  });
  char go = 0;
  ASSERT_EQ(1, read(ready[0], &go, 1));
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(nullptr, mutex);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(mutex, 50));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 5000));
  EXPECT_EQ(0, WaitChild(child));
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  close(ready[0]);
  close(ready[1]);
  unlink(NamedMutexLockFile(name.c_str()).c_str());
}

TEST(NamedMutex, MutexThatCannotBeCreatedIsTraced) {
  const char* previous = getenv("TMPDIR");
  std::string saved = previous != nullptr ? previous : "";
  setenv("TMPDIR", "/nonexistent/vantrel-folder", 1);
  DebugOutputCapture capture;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, UniqueName("nowhere").c_str());
  if (previous != nullptr)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
  EXPECT_EQ(nullptr, mutex);
  EXPECT_NE(std::string::npos, capture.Text().find("ERROR")) << capture.Text();
  EXPECT_NE(std::string::npos, capture.Text().find("nowhere")) << capture.Text();
}

}  // namespace
