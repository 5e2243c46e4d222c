// Kernel events as the Windows API offers them: manual- or auto-reset,
// set, reset, wait with a time-out, close. Thread-safe. Event handles are
// kernel objects: CloseHandle and WaitForSingleObject also take the named
// mutexes of platform/named_mutex.h.
#pragma once

#include "platform/wintypes.h"

// Creates an event; the name is accepted for compatibility but events are
// private to the process. The security attributes are ignored.
HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// WAIT_OBJECT_0 when signalled (an auto-reset event is reset again),
// WAIT_TIMEOUT when `milliseconds` passed (INFINITE waits for ever),
// WAIT_ABANDONED for a mutex whose owner died, WAIT_FAILED for a bad handle.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);

// Releases an event or mutex handle; FALSE for a null or unknown handle.
BOOL CloseHandle(HANDLE object);
