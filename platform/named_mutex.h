// Named mutexes that serialise callers within the process and across the
// user's processes. The cross-process part is an flock(2) on a lock file in
// a folder of the user's own and closed to others ($XDG_RUNTIME_DIR, else
// vantrel-<uid> in $TMPDIR or /tmp, made 0700), so a process that dies
// holding it releases it, and another user can neither hold the lock nor
// plant a link in its place. Owned per thread and recursive, as Windows
// mutexes are. A mutex that cannot be created is traced on the debugger
// output; a folder or file of someone else's is refused, not used.
#pragma once

#include <string>

#include "platform/wintypes.h"

// Creates or opens the mutex `name` (null: a private unnamed mutex). Returns
// null and traces when it cannot be created. GetLastError gives
// ERROR_ALREADY_EXISTS when the process already had it open.
// Wait with WaitForSingleObject, release with ReleaseMutex, close with CloseHandle.
HANDLE CreateMutexA(void* securityAttributes, BOOL initialOwner, const char* name);

// CreateMutexA(nullptr, FALSE, name) that traces nothing: when the mutex
// cannot be created, null and the reason in *why, for a caller that says
// so in its own words.
HANDLE OpenNamedMutexQuietly(const char* name, std::string* why);

// FALSE when the calling thread does not own the mutex.
BOOL ReleaseMutex(HANDLE mutex);

// Lock file used for `name` (for diagnostics and tests).
std::string NamedMutexLockFile(const char* name);
