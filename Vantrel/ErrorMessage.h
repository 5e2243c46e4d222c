// The error message box for failures the user must see:
// "ERROR in " place ", " detail ":\n" and the text of an error code.
#pragma once

#include "platform/CString.h"

// Error code with a text of its own: 0, out of memory.
constexpr int ERRORCODE_OUT_OF_MEMORY = 0;

// Builds the text of the box without showing it.
CString FormatErrorMessage(const CString& place, const CString& detail, int code);

// Shows the box (exclamation icon, OK button) and returns when it is closed.
// The fourth argument is unused.
void ShowErrorMessage(CString place, CString detail, int code, int unused = 0);
