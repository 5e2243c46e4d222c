#include "platform/trace_line.h"

#include <cstdio>
#include <cstring>

#include "platform/debug_output.h"
#include "platform/process.h"
#include "platform/system_time.h"

std::atomic<DWORD> g_TraceCounter{0};

void WriteTraceLineV(const char* prefix, const char* format, va_list args) {
  char line[TRACE_LINE_BYTES];
  // The prefix leaves room for at least a line end.
  const size_t used = prefix != nullptr ? strnlen(prefix, sizeof line - 2) : 0;
  if (used > 0) memcpy(line, prefix, used);
  line[used] = '\0';
  if (format != nullptr) {
    const size_t room = sizeof line - used;
    const int wanted = vsnprintf(line + used, room, format, args);
    if (wanted < 0)
      snprintf(line + used, room, "(trace message cannot be formatted)\n");
    else if (static_cast<size_t>(wanted) >= room)
      line[sizeof line - 2] = '\n';
  }
  OutputDebugStringA(line);
}

void WriteComponentTraceLineV(const char* format, va_list args) {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  const DWORD count = g_TraceCounter.fetch_add(1, std::memory_order_relaxed);
  char prefix[80];
  snprintf(prefix, sizeof prefix, "<%02d:%02d:%02d.%03d>(0x%lX):%d: ", now.wHour, now.wMinute, now.wSecond,
           now.wMilliseconds, static_cast<unsigned long>(GetCurrentProcessId()), static_cast<int>(count));
  WriteTraceLineV(prefix, format, args);
}

void WriteComponentTraceLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteComponentTraceLineV(format, args);
  va_end(args);
}
