#include "Vantrel/DebugTrace.h"

#include <atomic>

#include "platform/debug_output.h"
#include "platform/trace_line.h"

namespace {
std::atomic<DWORD> g_TraceMask{TRACE_MASK_BEFORE_LOAD};
}  // namespace

DWORD GetTraceMask() { return g_TraceMask.load(std::memory_order_relaxed); }

void SetTraceMask(DWORD mask) { g_TraceMask.store(mask, std::memory_order_relaxed); }

bool TraceEnabled(DWORD bits) { return (GetTraceMask() & bits) != 0; }

void DebugTraceV(const char* format, va_list args) { WriteComponentTraceLineV(format, args); }

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
