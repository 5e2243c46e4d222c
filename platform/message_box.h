// The error message box. There is no window system: the text goes to
// stderr and the debugger output, and the user's answer is IDOK. A host or
// a test may install a hook that takes the box instead.
#pragma once

#include <functional>

#include "platform/wintypes.h"

// Returns the hook's answer, or IDOK.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

using MessageBoxHook = std::function<int(const char* text, const char* caption, UINT type)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
