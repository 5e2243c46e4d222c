#include "Vantrel/DebugTrace.h"

#include "platform/debug_output.h"

std::atomic<DWORD> g_TraceMask{TRACE_MASK_BEFORE_LOAD};

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
