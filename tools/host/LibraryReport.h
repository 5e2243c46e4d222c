// What the host prints about the loaded library: the first-run note, the
// trace mask and where it lives, the registry store, the trace output and
// the math layer's processor report.
#pragma once

#include <cstdio>

// The first-run note when the load found no stored trace mask (always checked).
void PrintFirstRunNote(FILE* out);
// The whole report (--about); measuring the clock takes two to three seconds.
void PrintLibraryReport();
// Stores MASK for the next load; the process exit code.
int SetTraceMask(const char* text);
