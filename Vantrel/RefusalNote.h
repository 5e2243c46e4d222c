// Where the component refuses, it says why to the CMsystem object whose
// operation runs on this thread: each of its operations that can refuse
// opens a RefusalScope on its own RefusalReason, and the stages below it
// note their reasons there, whatever the trace mask. Outside a scope a note
// goes nowhere; the trace line is written as before.
#pragma once

#include "Vantrel/Refusal.h"

// While it lives, notes on this thread go to `record`, which it clears
// first unless told to keep what it holds. The first note stands: it is
// the nearest to the cause, and the callers above it only say that they
// failed in turn.
class RefusalScope {
 public:
  explicit RefusalScope(RefusalReason* record, bool clearFirst = true);
  ~RefusalScope();
  RefusalScope(const RefusalScope&) = delete;
  RefusalScope& operator=(const RefusalScope&) = delete;

 private:
  RefusalReason* m_previous;
};

// Keeps the code, what, input and the formatted reason in the scope's
// record, unless an earlier note of the scope stands. Writes no trace line.
void NoteRefusal(RefusalCode code, const char* what, int input, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Traces "<what>(), ERROR: <reason>\n" under the ordinary trace bit and
// notes the reason.
void TraceRefusal(RefusalCode code, const char* what, int input, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
