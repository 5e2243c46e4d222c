// The component's debug trace: printf-style lines with a time, process and
// call-counter prefix, written to the debugger output. Callers gate each
// line on the process-wide trace mask themselves:
//     VANTREL_TRACE(TRACE_ORDINARY, "CMsystem::Go()\n");   (Vantrel/VantrelTrace.h)
// Also the assertion routine.
#pragma once

#include <cstdarg>

#include "platform/wintypes.h"

// Mask bits as callers test them.
constexpr DWORD TRACE_ERRORS = 0x0000000Fu;    // error lines and assertions (any of the four)
constexpr DWORD TRACE_ORDINARY = 0x00000010u;  // ordinary lines of framework and front end
constexpr DWORD TRACE_REGISTRY = 0x00000400u;  // registry result lines
constexpr DWORD TRACE_MASK_BEFORE_LOAD = 0x0000000Au;

// The process-wide trace mask: 0x0A until the library load reads
// "DebugTraceLevel". The mask is the library's own: reached through these
// functions only, so a program's variable of any name cannot stand in for it.
DWORD GetTraceMask();
void SetTraceMask(DWORD mask);
bool TraceEnabled(DWORD bits);

// Writes "<hh:mm:ss.mmm>(0xPID):counter: " + message in one call to the
// debugger output. Does not test the mask. A message that does not fit the
// line (10240 bytes with the prefix) is cut and still ends in "\n". A
// process-wide counter numbers the lines; each shows the value before its own.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugTraceV(const char* format, va_list args);

// Traces the failed expression when any of the mask bits 0x0f is set, then
// breaks into the debugger whatever the mask.
void AssertFail(const char* expression, const char* file, int line);
