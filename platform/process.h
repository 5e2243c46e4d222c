// Process and thread ids and Sleep, with a seam that lets tests fix the
// process id shown in trace lines.
#pragma once

#include "platform/wintypes.h"

DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);

// A non-zero id replaces the real process id; 0 restores it.
void SetProcessIdForTesting(DWORD processId);
