#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/debug_output.h"
#include "platform/kernel_object.h"
#include "platform/process.h"

namespace {

constexpr DWORD ERROR_NOT_OWNER = 288;

// One per name and process, shared by every handle the process has open on
// that name: threads queue here, and the holder also holds the lock file.
struct MutexState {
  std::mutex lock;
  std::condition_variable released;
  DWORD ownerThread = 0;
  int depth = 0;
  int lockFd = -1;  // -1: unnamed, in-process only
  std::string lockPath;  // the lock file lockFd was opened at
  std::atomic<int> handles{0};  // open handles (their objects) on it

  ~MutexState() {
    if (lockFd >= 0) close(lockFd);  // also drops a lock still held
  }
};

using Clock = std::chrono::steady_clock;

// Takes the lock file within the deadline; false on time-out.
bool LockFile(int fd, DWORD milliseconds, Clock::time_point deadline) {
  if (milliseconds == INFINITE) {
    while (flock(fd, LOCK_EX) != 0)
      if (errno != EINTR) return false;
    return true;
  }
  auto pause = std::chrono::microseconds(200);
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(5000));
  }
}

class NamedMutex final : public KernelObject {
 public:
  explicit NamedMutex(std::shared_ptr<MutexState> state) : m_state(std::move(state)) { ++m_state->handles; }
  // The last handle closed by an owner that did not release gives the mutex
  // up, as the mutex itself went with its last handle.
  ~NamedMutex() override {
    if (m_state->handles.fetch_sub(1) != 1) return;
    std::unique_lock<std::mutex> guard(m_state->lock);
    if (m_state->handles != 0 || m_state->ownerThread == 0) return;
    if (m_state->lockFd >= 0) flock(m_state->lockFd, LOCK_UN);
    m_state->ownerThread = 0;
    m_state->depth = 0;
    guard.unlock();
    m_state->released.notify_one();
  }

  DWORD Wait(DWORD milliseconds) override {
    const DWORD me = GetCurrentThreadId();
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds == INFINITE ? 0 : milliseconds);
    std::unique_lock<std::mutex> guard(m_state->lock);
    if (m_state->ownerThread == me) {
      ++m_state->depth;
      return WAIT_OBJECT_0;
    }
    auto free = [this] { return m_state->ownerThread == 0; };
    if (milliseconds == INFINITE)
      m_state->released.wait(guard, free);
    else if (!m_state->released.wait_until(guard, deadline, free))
      return WAIT_TIMEOUT;
    m_state->ownerThread = me;  // reserved within the process
    guard.unlock();

    if (m_state->lockFd >= 0 && !LockFile(m_state->lockFd, milliseconds, deadline)) {
      guard.lock();
      m_state->ownerThread = 0;
      guard.unlock();
      m_state->released.notify_one();
      return WAIT_TIMEOUT;
    }
    guard.lock();
    m_state->depth = 1;
    return WAIT_OBJECT_0;
  }

  bool Release() {
    std::unique_lock<std::mutex> guard(m_state->lock);
    if (m_state->ownerThread != GetCurrentThreadId() || m_state->depth <= 0) return false;
    if (--m_state->depth > 0) return true;
    if (m_state->lockFd >= 0) flock(m_state->lockFd, LOCK_UN);
    m_state->ownerThread = 0;
    guard.unlock();
    m_state->released.notify_one();
    return true;
  }

 private:
  std::shared_ptr<MutexState> m_state;
};

// One state per name, shared by every handle the process has open on it.
// It stays, with its lock file open, when the last handle closes, so that a
// caller that creates and closes the mutex around each operation does not
// open and judge the folder and the file each time; the lock itself is
// still taken per wait.
std::mutex g_namesLock;
std::map<std::string, std::shared_ptr<MutexState>>& KeptStates() {
  static auto* kept = new std::map<std::string, std::shared_ptr<MutexState>>;
  return *kept;
}

void TraceCreateFailure(const char* name, const std::string& path, const std::string& why) {
  std::string line = std::string("CreateMutexA(") + name + "), ERROR: cannot open lock file " + path + ": " + why + "\n";
  OutputDebugStringA(line.c_str());
}

// A folder only its owner can enter: ours, a real folder, closed to others.
bool IsPrivateFolder(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

// $XDG_RUNTIME_DIR when it is an absolute path to a private folder of ours.
std::string RuntimeFolder() {
  const char* folder = getenv("XDG_RUNTIME_DIR");
  if (folder == nullptr || folder[0] != '/') return {};
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {};
  const bool usable = IsPrivateFolder(fd);
  close(fd);
  return usable ? folder : std::string();
}

// Otherwise the user's own folder under the temporary folder.
std::string TempLockFolder() {
  const char* folder = getenv("TMPDIR");
  std::string path = (folder != nullptr && *folder != '\0') ? folder : "/tmp";
  return path + "/vantrel-" + std::to_string(geteuid());
}

// The lock files' folder: the runtime folder, else the temporary one's
// (*inTemp), which may still have to be made.
std::string LockFolder(bool* inTemp) {
  std::string folder = RuntimeFolder();
  *inTemp = folder.empty();
  return *inTemp ? TempLockFolder() : folder;
}

std::string LockFileName(const char* name) {
  std::string file = "vantrel-mutex-";
  for (const char* p = name != nullptr ? name : ""; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    file += (c == '/' || c < 0x20 || c == 0x7f) ? '_' : static_cast<char>(c);
  }
  return file + ".lock";
}

// Opens (creating when needed) the lock file of `name` in the user's own
// folder. The folder must be ours and closed to others, so that nobody else
// can hold, replace or plant the file; neither the temporary folder's
// vantrel-<uid> nor the file is followed when it is a link. -1 and the
// reason otherwise.
int OpenLockFile(const char* name, std::string* path, std::string* why) {
  bool inTemp = false;
  const std::string folder = LockFolder(&inTemp);
  if (inTemp && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    *path = folder;
    *why = strerror(errno);
    return -1;
  }
  const std::string file = LockFileName(name);
  *path = folder + "/" + file;
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (inTemp ? O_NOFOLLOW : 0));
  if (dir < 0) {
    *why = errno == ELOOP || errno == ENOTDIR ? "its folder is a link or not a folder" : strerror(errno);
    return -1;
  }
  if (!IsPrivateFolder(dir)) {
    close(dir);
    *why = "its folder is not the user's own or is open to others";
    return -1;
  }
  int fd = openat(dir, file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  const int error = errno;
  close(dir);
  if (fd < 0) {
    *why = error == ELOOP ? "it is a link" : strerror(error);
    return -1;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
    close(fd);
    *why = "it is not a file of the user's own";
    return -1;
  }
  return fd;
}

}  // namespace

std::string NamedMutexLockFile(const char* name) {
  bool inTemp = false;
  return LockFolder(&inTemp) + "/" + LockFileName(name);
}

namespace {

// The state of `name`: the one its open handles share, else the kept one
// while it still serves: its lock file is the one the name's path gives now
// and has not been removed (then other processes would lock a new one).
// Call with g_namesLock taken.
std::shared_ptr<MutexState> KeptState(const char* name, bool* open) {
  auto it = KeptStates().find(name);
  *open = it != KeptStates().end() && it->second->handles > 0;
  if (it == KeptStates().end() || *open) return it == KeptStates().end() ? nullptr : it->second;
  struct stat info {};
  if (it->second->lockPath == NamedMutexLockFile(name) && fstat(it->second->lockFd, &info) == 0 && info.st_nlink > 0)
    return it->second;
  KeptStates().erase(it);
  return nullptr;
}

// The mutex of `name` (null or empty: unnamed), or null with the lock
// file's path and the reason.
HANDLE OpenMutex(BOOL initialOwner, const char* name, std::string* path, std::string* why) {
  std::shared_ptr<NamedMutex> mutex;
  bool existed = false;
  if (name == nullptr || *name == '\0') {
    mutex = std::make_shared<NamedMutex>(std::make_shared<MutexState>());
  } else {
    // The handle counts before the names' lock is let go (KeptState).
    std::shared_ptr<MutexState> state;
    std::lock_guard<std::mutex> guard(g_namesLock);
    state = KeptState(name, &existed);
    if (!state) {
      int fd = OpenLockFile(name, path, why);
      if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
      }
      state = std::make_shared<MutexState>();
      state->lockFd = fd;
      state->lockPath = *path;
      KeptStates()[name] = state;
    }
    mutex = std::make_shared<NamedMutex>(state);
  }
  HANDLE handle = RegisterKernelObject(mutex);
  if (initialOwner) mutex->Wait(INFINITE);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

}  // namespace

HANDLE CreateMutexA(void*, BOOL initialOwner, const char* name) {
  std::string path, why;
  HANDLE handle = OpenMutex(initialOwner, name, &path, &why);
  if (handle == nullptr) {
    TraceCreateFailure(name, path, why);
    SetLastError(ERROR_ACCESS_DENIED);
  }
  return handle;
}

HANDLE OpenNamedMutexQuietly(const char* name, std::string* why) {
  std::string path, reason;
  HANDLE handle = OpenMutex(FALSE, name, &path, &reason);
  if (handle == nullptr && why != nullptr) *why = "cannot open lock file " + path + ": " + reason;
  return handle;
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto target = std::dynamic_pointer_cast<NamedMutex>(FindKernelObject(mutex));
  if (!target) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!target->Release()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}
