#include "Mathlib/MathlibTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "platform/debug_output.h"
#include "platform/process.h"

namespace {
constexpr int kLineBytes = 10240;
// Atomic so concurrent lines never share a number; the value before each
// increment is printed.
std::atomic<uint32_t> g_counter{0};
}  // namespace

void MathlibTrace(FILE*, const char* format, ...) {
  const uint32_t number = g_counter.fetch_add(1, std::memory_order_relaxed);
  char line[kLineBytes];
  int prefix = std::snprintf(line, kLineBytes, "(PID=0x%lX,TID=0x%lX):%d: VavoverIVIZ32O: ",
                             static_cast<unsigned long>(GetCurrentProcessId()),
                             static_cast<unsigned long>(GetCurrentThreadId()), static_cast<int>(number));
  if (prefix < 0 || prefix >= kLineBytes) prefix = 0;
  line[prefix] = '\0';
  if (format) {
    // The message goes straight behind the prefix on the stack: a trace line
    // allocates nothing, and a long message is cut and terminated here.
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + prefix, static_cast<size_t>(kLineBytes - prefix), format, args);
    va_end(args);
  }
  OutputDebugStringA(line);
}

uint32_t MathlibTraceCounter() { return g_counter.load(std::memory_order_relaxed); }
void MathlibTraceResetCounterForTesting() { g_counter.store(0, std::memory_order_relaxed); }
