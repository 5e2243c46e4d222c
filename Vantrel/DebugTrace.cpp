#include "Vantrel/DebugTrace.h"

#include <cstdio>

#include "platform/debug_output.h"
#include "platform/process.h"
#include "platform/system_time.h"

std::atomic<DWORD> g_TraceMask{TRACE_MASK_BEFORE_LOAD};
std::atomic<DWORD> g_TraceCounter{0};

void DebugTraceV(const char* format, va_list args) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    const DWORD count = g_TraceCounter.fetch_add(1, std::memory_order_relaxed);

    // Prefix and message share one bounded buffer; an over-long message is cut.
    char line[TRACE_BUFFER_SIZE];
    int prefix = snprintf(line, sizeof line, "<%02d:%02d:%02d.%03d>(0x%lX):%d: ", now.wHour, now.wMinute,
                          now.wSecond, now.wMilliseconds, static_cast<unsigned long>(GetCurrentProcessId()),
                          static_cast<int>(count));
    if (prefix < 0) prefix = 0;
    if (prefix >= static_cast<int>(sizeof line)) prefix = static_cast<int>(sizeof line) - 1;
    if (format != nullptr) vsnprintf(line + prefix, sizeof line - static_cast<size_t>(prefix), format, args);
    OutputDebugStringA(line);
}

void DebugTrace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    DebugTraceV(format, args);
    va_end(args);
}

void AssertFail(const char* expression, const char* file, int line) {
    if (TraceEnabled(TRACE_ERRORS)) {
        DebugTrace("Assertion failure:\n");
        DebugTrace("  Exp: %s\n", expression != nullptr ? expression : "");
        DebugTrace("  File: %s, line: %d\n", file != nullptr ? file : "", line);
    }
    DebugBreak();
}
