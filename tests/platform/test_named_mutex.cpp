// Named mutexes serialise threads of one process and separate processes,
// are recursive for their owner, and report what cannot be created.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/debug_output.h"
#include "platform/events.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "support/child_process.h"
#include "support/lock_folder.h"
#include "support/temp_dir.h"

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

// The process keeps a name's lock file open between uses; what other
// processes see stays as if it opened the file on every use: a lock file
// removed meanwhile is made again and locked (another process locks the new
// one), and an owner that closes its last handle without releasing lets
// other processes in at once.
TEST(NamedMutex, KeptLockFileStillExcludesOtherProcesses) {
  TempDir temp;
  ScopedLockFolder folder(temp.Path());
  const std::string name = UniqueName("kept");
  auto othersWait = [&] {
    return RunInChild([&] {
      HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
      return mutex == nullptr ? 99 : WaitForSingleObject(mutex, 50) == WAIT_OBJECT_0 ? 1 : 0;
    });
  };
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(nullptr, mutex);
  CloseHandle(mutex);
  ASSERT_EQ(0, unlink(NamedMutexLockFile(name.c_str()).c_str()));
  mutex = CreateMutexA(nullptr, TRUE, name.c_str());
  ASSERT_NE(nullptr, mutex);
  EXPECT_TRUE(std::filesystem::exists(NamedMutexLockFile(name.c_str())));
  EXPECT_EQ(0, othersWait()) << "another process took the mutex this one holds";
  CloseHandle(mutex);  // owned, never released
  EXPECT_EQ(1, othersWait()) << "the mutex stayed held after its last handle closed";
  mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(nullptr, mutex);
  std::thread other([&] { EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 100)); });
  other.join();
  CloseHandle(mutex);
}

TEST(NamedMutex, MutexThatCannotBeCreatedIsTraced) {
  HANDLE mutex = nullptr;
  DebugOutputCapture capture;
  {
    ScopedLockFolder nowhere("/nonexistent/vantrel-folder");
    mutex = CreateMutexA(nullptr, FALSE, UniqueName("nowhere").c_str());
  }
  EXPECT_EQ(nullptr, mutex);
  EXPECT_NE(std::string::npos, capture.Text().find("ERROR")) << capture.Text();
  EXPECT_NE(std::string::npos, capture.Text().find("nowhere")) << capture.Text();
}

// The lock folder is the user's own: vantrel-<uid> in the temporary folder
// here, made 0700.
TEST(NamedMutex, LockFileLivesInAPrivateFolderOfTheUser) {
  TempDir temp;
  ScopedLockFolder folder(temp.Path());
  const std::string name = UniqueName("private");
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(nullptr, mutex);
  const std::filesystem::path file = NamedMutexLockFile(name.c_str());
  EXPECT_EQ(temp.File("vantrel-" + std::to_string(geteuid())), file.parent_path().string());
  struct stat info {};
  ASSERT_EQ(0, stat(file.parent_path().c_str(), &info));
  EXPECT_EQ(geteuid(), info.st_uid);
  EXPECT_EQ(0700u, info.st_mode & 0777);
  ASSERT_EQ(0, lstat(file.c_str(), &info));
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(0u, info.st_mode & 077);
  CloseHandle(mutex);
}

// Another user who holds a lock file in the shared temporary folder, where a
// lock of everybody's once lived, blocks nobody. Needs root to be the other user.
TEST(NamedMutex, AnotherUsersLockFileCannotBlock) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempDir temp;
  ASSERT_EQ(0, chmod(temp.Path().c_str(), 0777));  // shared, like /tmp
  ScopedLockFolder folder(temp.Path());
  const std::string name = UniqueName("foreign");
  int ready[2];
  ASSERT_EQ(0, pipe(ready));
  pid_t other = StartChild([&] {
    close(ready[0]);
    if (setgid(65534) != 0 || setuid(65534) != 0) return 1;
    // The name's lock file in the shared folder, held until the process ends.
    int fd = open(temp.File("vantrel-mutex-" + name + ".lock").c_str(), O_RDWR | O_CREAT, 0666);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) return 2;
    char go = 'x';
    if (write(ready[1], &go, 1) != 1) return 3;
    pause();
    return 0;
  });
  close(ready[1]);
  char go = 0;
  ASSERT_EQ(1, read(ready[0], &go, 1));
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(nullptr, mutex);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 500));
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  kill(other, SIGKILL);
  WaitChild(other);
  close(ready[0]);
}

// A lock folder that is a link, open to others or someone else's is refused
// (and said why), never used: the caller goes on without the cross-process
// lock rather than trust it.
TEST(NamedMutex, UnsafeLockFolderIsRefused) {
  enum class Plant { LinkToAFolder, OpenToOthers, AnotherUsers };
  const struct {
    Plant plant;
    const char* why;
  } cases[] = {{Plant::LinkToAFolder, "a link"}, {Plant::OpenToOthers, "open to others"},
               {Plant::AnotherUsers, "not the user's own"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    if (c.plant == Plant::AnotherUsers && geteuid() != 0) continue;  // needs root to give it away
    TempDir temp;
    ScopedLockFolder folder(temp.Path());
    const std::string lockFolder = temp.File("vantrel-" + std::to_string(geteuid()));
    const std::string elsewhere = temp.File("elsewhere");
    ASSERT_EQ(0, mkdir(elsewhere.c_str(), 0700));
    if (c.plant == Plant::LinkToAFolder) {
      ASSERT_EQ(0, symlink(elsewhere.c_str(), lockFolder.c_str()));
    } else {
      ASSERT_EQ(0, mkdir(lockFolder.c_str(), 0700));
      if (c.plant == Plant::OpenToOthers) {
        ASSERT_EQ(0, chmod(lockFolder.c_str(), 0777));
      } else {
        ASSERT_EQ(0, chown(lockFolder.c_str(), 65534, 65534));
      }
    }
    DebugOutputCapture capture;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, UniqueName("unsafe").c_str());
    EXPECT_EQ(nullptr, mutex);
    if (mutex != nullptr) CloseHandle(mutex);
    EXPECT_NE(std::string::npos, capture.Text().find(c.why)) << capture.Text();
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
  }
}

// A link planted where the lock file goes is not followed: its target is
// not created.
TEST(NamedMutex, PlantedLinkAtTheLockFileIsNotFollowed) {
  TempDir temp;
  ScopedLockFolder folder(temp.Path());
  const std::string name = UniqueName("planted");
  const std::filesystem::path file = NamedMutexLockFile(name.c_str());
  std::filesystem::create_directories(file.parent_path());
  std::filesystem::permissions(file.parent_path(), std::filesystem::perms::owner_all);
  const std::string target = temp.File("target-of-the-link");
  ASSERT_EQ(0, symlink(target.c_str(), file.c_str()));
  DebugOutputCapture capture;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(nullptr, mutex);
  if (mutex != nullptr) CloseHandle(mutex);
  EXPECT_NE(std::string::npos, capture.Text().find("it is a link")) << capture.Text();
}

}  // namespace
