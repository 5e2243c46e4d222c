#include "platform/process.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<DWORD> g_fixedProcessId{0};
}

DWORD GetCurrentProcessId() {
  DWORD fixed = g_fixedProcessId.load(std::memory_order_relaxed);
  return fixed != 0 ? fixed : static_cast<DWORD>(getpid());
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void SetProcessIdForTesting(DWORD processId) { g_fixedProcessId.store(processId, std::memory_order_relaxed); }
