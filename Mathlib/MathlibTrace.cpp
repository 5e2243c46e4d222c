#include "Mathlib/MathlibTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "platform/process.h"
#include "platform/trace_line.h"

namespace {
// Atomic so concurrent lines never share a number; the value before each
// increment is printed.
std::atomic<uint32_t> g_counter{0};
}  // namespace

void MathlibTrace(FILE*, const char* format, ...) {
  const uint32_t number = g_counter.fetch_add(1, std::memory_order_relaxed);
  char prefix[96];
  std::snprintf(prefix, sizeof prefix,
                "(PID=0x%lX,TID=0x%lX):%d: VavoverIVIZ32O: ", static_cast<unsigned long>(GetCurrentProcessId()),
                static_cast<unsigned long>(GetCurrentThreadId()), static_cast<int>(number));
  va_list args;
  va_start(args, format);
  WriteTraceLineV(prefix, format, args);
  va_end(args);
}

uint32_t MathlibTraceCounter() { return g_counter.load(std::memory_order_relaxed); }
void MathlibTraceResetCounterForTesting() { g_counter.store(0, std::memory_order_relaxed); }
