// Bounded trace lines on the debugger output. A line is a prefix and a
// printf-style message, formatted on the stack into one buffer and written
// in one call; nothing is allocated. Two prefixes use it: the component's
// own "<hh:mm:ss.mmm>(0xPID):counter: " (the framework's DebugTrace and the
// registry store's error lines) and the math layer's.
#pragma once

#include <atomic>
#include <cstdarg>

#include "platform/wintypes.h"

// Prefix, message and terminator together.
constexpr int TRACE_LINE_BYTES = 10240;

// Writes prefix + message. A message that does not fit is cut at the
// buffer's end, and a cut line still ends in "\n" so that the next line
// starts on its own.
void WriteTraceLineV(const char* prefix, const char* format, va_list args);

// Process-wide count of the component's trace lines; each line shows the
// value before its own. The library's own: hidden, so that its references
// never bind to a program's variable of the same name.
extern std::atomic<DWORD> g_TraceCounter __attribute__((visibility("hidden")));

// A line with the component's prefix: UTC time, process id and counter.
void WriteComponentTraceLineV(const char* format, va_list args);
void WriteComponentTraceLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
