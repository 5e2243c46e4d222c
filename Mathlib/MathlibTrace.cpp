#include "Mathlib/MathlibTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "Mathlib/MathlibFormat.h"
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
  char message[kLineBytes];
  int prefix = MathlibFormat(line, kLineBytes - 1, "(PID=0x%lX,TID=0x%lX):%d: VavoverIVIZ32O: ",
                             static_cast<unsigned long>(GetCurrentProcessId()),
                             static_cast<unsigned long>(GetCurrentThreadId()), static_cast<int>(number));
  if (prefix < 0) prefix = 0;
  message[0] = '\0';
  if (format) {
    // Straight into the stack buffer: a trace line allocates nothing, and a
    // long message is simply cut (and terminated) here.
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, kLineBytes, format, args);
    va_end(args);
  }
  message[kLineBytes - 1] = '\0';
  // Append as much of the message as the line holds; a long message is cut.
  const size_t room = static_cast<size_t>(kLineBytes - 1 - prefix);
  const size_t length = strnlen(message, kLineBytes - 1);
  const size_t take = length < room ? length : room;
  std::memcpy(line + prefix, message, take);
  line[prefix + take] = '\0';
  OutputDebugStringA(line);
}

uint32_t MathlibTraceCounter() { return g_counter.load(std::memory_order_relaxed); }
void MathlibTraceResetCounterForTesting() { g_counter.store(0, std::memory_order_relaxed); }
