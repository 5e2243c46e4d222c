// The signals that end a run (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1,
// SIGUSR2, SIGALRM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF): each removes the
// unfinished table, says on stderr which signal ended the run, and ends the
// process as that signal does. A signal the host was started with ignored
// stays ignored. SIGPIPE joins them only while a table is being written to
// a file, so that a reader of standard output that goes away ends the host
// as quietly as any other program.
#pragma once

// Installs the handlers; once, before measuring.
void EndRunOnSignals();

// The file a signal removes (null: none); `path` must stay valid while set.
void RemoveOnSignal(const char* path);
