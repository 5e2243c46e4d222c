// The signals that end a run (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1,
// SIGUSR2, SIGALRM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF): each removes the
// unfinished table, says on stderr which signal ended the run, and ends the
// process as that signal does. A signal the host was started with ignored
// stays ignored. SIGPIPE joins them only while a table is being written to
// a file, so that a reader of standard output that goes away ends the host
// as quietly as any other program.
#pragma once

#include <csignal>

// Installs the handlers; once, before measuring.
void EndRunOnSignals();

// The file a signal removes: `name` in the folder open as `folder`; both
// must stay valid while set. Null `name`: none.
void RemoveOnSignal(int folder, const char* name);

// Holds the ending signals back while it lives (for the calling thread,
// the host's only one while a table is made), so that a file made meanwhile
// is guarded before any of them can end the run; one that came is handled
// as it goes.
class EndingSignalsHeld {
 public:
  EndingSignalsHeld();
  ~EndingSignalsHeld();
  EndingSignalsHeld(const EndingSignalsHeld&) = delete;
  EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

 private:
  sigset_t m_previous;
};
