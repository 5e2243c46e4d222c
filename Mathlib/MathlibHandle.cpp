#include "Mathlib/MathlibHandle.h"

#include <mutex>
#include <set>
#include <string>

#include "Mathlib/MathlibClock.h"
#include "Mathlib/MathlibMemory.h"
#include "Mathlib/MathlibRealFftPool.h"
#include "Mathlib/MathlibTrace.h"
#include "platform/events.h"
#include "platform/named_mutex.h"
#include "primitives/frame/dispatch.h"
#include "primitives/frame/sp_cpu.h"

namespace {
constexpr const char* kInstanceMutexName = "RoviRidAzuvuruvEdureZoro";

// Another process holds the named mutex for a moment in the ordinary case.
// What it guards (the count, detection) is per process, so once a holder
// has not let go within this wait (stopped, hung), or the lock file cannot
// be opened at all, the process locks within itself from then on: the wait
// and its warning come once, not on every call.
constexpr DWORD kInstanceMutexWaitMs = 2000;

int32_t g_instanceCount = 0;  // guarded by InstanceLock

// Lock files given up on, by path (the lock folder follows the environment).
std::set<std::string>& AbandonedLockFiles() {  // guarded by InstanceLock
  static auto* files = new std::set<std::string>;
  return *files;
}

// Always serialises within the process; the named mutex adds the
// cross-process part on a best-effort basis (its failure is traced once).
class InstanceLock {
 public:
  InstanceLock() : m_local(LocalMutex()) {
    const std::string lockFile = NamedMutexLockFile(kInstanceMutexName);
    if (AbandonedLockFiles().count(lockFile) != 0) return;
    std::string why;
    m_named = OpenNamedMutexQuietly(kInstanceMutexName, &why);
    if (!m_named) {
      MathlibTrace(nullptr, "Mathlib, WARNING: named mutex %s unavailable (%s), locking within the process only\n",
                   kInstanceMutexName, why.c_str());
      AbandonedLockFiles().insert(lockFile);
    } else if (WaitForSingleObject(m_named, kInstanceMutexWaitMs) != WAIT_OBJECT_0) {
      MathlibTrace(nullptr,
                   "Mathlib, WARNING: named mutex %s not free within %lu ms, locking within the process only from "
                   "now on\n",
                   kInstanceMutexName, static_cast<unsigned long>(kInstanceMutexWaitMs));
      CloseHandle(m_named);
      m_named = nullptr;
      AbandonedLockFiles().insert(lockFile);
    }
  }
  ~InstanceLock() {
    if (m_named) {
      ReleaseMutex(m_named);
      CloseHandle(m_named);
    }
  }
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

 private:
  static std::mutex& LocalMutex() {
    static std::mutex m;
    return m;
  }
  std::lock_guard<std::mutex> m_local;
  HANDLE m_named = nullptr;
};
}  // namespace

MathlibHandle* MathlibInit() {
  InstanceLock lock;
  if (g_instanceCount == 0) spStaticInit();
  auto* handle = static_cast<MathlibHandle*>(MathlibAlloc(sizeof(MathlibHandle)));
  if (!handle) {
    MathlibTrace(nullptr, "MathlibInit(), ERROR: out of memory\n");
    return nullptr;
  }
  handle->cache = nullptr;
  handle->cpuMhz = 0;
  ++g_instanceCount;
  return handle;
}

void MathlibFree(MathlibHandle** handle) {
  if (!handle) return;
  InstanceLock lock;
  if (!*handle) {
    MathlibTrace(nullptr, "MathlibFree(), WARNING: Freeing uninitialized mathlib handle!\n");
    return;
  }
  if (g_instanceCount > 0) --g_instanceCount;
  MathlibFftCacheFree(&(*handle)->cache);
  MathlibFreeMem(*handle);
  *handle = nullptr;
}

int32_t MathlibInstanceCount() {
  InstanceLock lock;
  return g_instanceCount;
}

void MathlibFftCacheCreate(MathlibFftCache** where, int32_t elementBits) {
  if (!where) return;
  auto* cache = static_cast<MathlibFftCache*>(MathlibAlloc(sizeof(MathlibFftCache)));
  if (!cache) {
    MathlibTrace(nullptr, "MathlibFftCacheCreate(), ERROR: out of memory\n");
    return;
  }
  cache->order = 0;
  cache->elementBits = elementBits;
  cache->spec = nullptr;
  cache->variantSet = spDispatchIndex.load(std::memory_order_relaxed);
  cache->work = nullptr;
  *where = cache;
}

void MathlibFftCacheFree(MathlibFftCache** where) {
  if (!where || !*where) return;
  MathlibFftCache* cache = *where;
  // Kept for the next handle that asks for the same transform.
  MathlibParkRealFft(cache->spec, cache->order, cache->elementBits, cache->variantSet, cache->work);
  cache->work = nullptr;
  cache->order = 0;
  cache->elementBits = 0;
  cache->spec = nullptr;
  cache->variantSet = 0;
  MathlibFreeMem(cache);
  *where = nullptr;
}

int MathlibTimerCalibrate(MathlibHandle* handle) {
  if (!handle) return 0;
  int32_t mhz = 0;
  MathlibMeasureCpuMhz(&mhz);
  handle->cpuMhz = mhz;
  for (int64_t& start : handle->timerStart) start = 0;
  return 1;
}

int MathlibTimerStart(MathlibHandle* handle, int slot) {
  if (!handle || slot < 0 || slot > 4 || handle->cpuMhz == 0) return 0;
  // Move the start past the cost of one counter reading, so reads don't count it.
  const int64_t t0 = MathlibReadCounter();
  const int64_t t1 = MathlibReadCounter();
  handle->timerStart[slot] = t1 + (t1 - t0);
  return 1;
}

int MathlibTimerRead(MathlibHandle* handle, int slot, uint32_t* ticks, double* seconds) {
  if (!handle || slot < 0 || slot > 4 || handle->cpuMhz == 0) return 0;
  const int64_t d = MathlibReadCounter() - handle->timerStart[slot];
  if (d <= 0) {
    if (ticks) *ticks = 0;
    if (seconds) *seconds = 0.0;
    return 0;
  }
  if (ticks) *ticks = static_cast<uint32_t>(d);
  if (seconds) *seconds = static_cast<double>(d) / (handle->cpuMhz * 1000000.0);
  return 1;
}
