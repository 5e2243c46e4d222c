// The component's debug trace: printf-style lines with a time, process and
// call-counter prefix, written to the debugger output. Callers gate each
// line on the process-wide trace mask themselves:
//     VANTREL_TRACE(TRACE_ORDINARY, "CMsystem::Go()\n");   (Vantrel/VantrelTrace.h)
// Also the assertion routine.
#pragma once

#include <atomic>
#include <cstdarg>

#include "platform/trace_line.h"
#include "platform/wintypes.h"

// Mask bits as callers test them.
constexpr DWORD TRACE_ERRORS = 0x0000000Fu;    // error lines and assertions (any of the four)
constexpr DWORD TRACE_ORDINARY = 0x00000010u;  // ordinary lines of framework and front end
constexpr DWORD TRACE_REGISTRY = 0x00000400u;  // registry result lines
constexpr DWORD TRACE_MASK_BEFORE_LOAD = 0x0000000Au;

// Process-wide trace mask: 0x0A until the library load reads "DebugTraceLevel".
extern std::atomic<DWORD> g_TraceMask;
// g_TraceCounter (platform/trace_line.h) counts the lines; each shows the
// value before its own.

inline DWORD GetTraceMask() { return g_TraceMask.load(std::memory_order_relaxed); }
inline void SetTraceMask(DWORD mask) { g_TraceMask.store(mask, std::memory_order_relaxed); }
inline bool TraceEnabled(DWORD bits) { return (GetTraceMask() & bits) != 0; }

// Writes "<hh:mm:ss.mmm>(0xPID):counter: " + message in one call to the
// debugger output. Does not test the mask. A message that does not fit the
// TRACE_LINE_BYTES is cut and still ends in "\n".
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugTraceV(const char* format, va_list args);

// Traces the failed expression when any of the mask bits 0x0f is set, then
// breaks into the debugger whatever the mask.
void AssertFail(const char* expression, const char* file, int line);
