#include "EndingSignals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace {

struct EndingSignal {
  int number;
  const char* line;  // what the handler says, whole, as write(2) takes it
};

constexpr EndingSignal kEndingSignals[] = {
    {SIGINT, "vantrel-host: interrupted (SIGINT); the run ended\n"},
    {SIGTERM, "vantrel-host: told to end (SIGTERM); the run ended\n"},
    {SIGHUP, "vantrel-host: the terminal went away (SIGHUP); the run ended\n"},
    {SIGQUIT, "vantrel-host: told to quit (SIGQUIT); the run ended\n"},
    {SIGUSR1, "vantrel-host: ended by SIGUSR1\n"},
    {SIGUSR2, "vantrel-host: ended by SIGUSR2\n"},
    {SIGALRM, "vantrel-host: ended by an alarm (SIGALRM)\n"},
    {SIGXCPU, "vantrel-host: the processor time limit was reached (SIGXCPU); the run ended\n"},
    {SIGXFSZ, "vantrel-host: the file size limit was reached (SIGXFSZ); the run ended\n"},
    {SIGVTALRM, "vantrel-host: ended by SIGVTALRM\n"},
    {SIGPROF, "vantrel-host: ended by SIGPROF\n"},
    {SIGPIPE, "vantrel-host: the table's reader went away (SIGPIPE); the run ended\n"},
};

struct Removal {
  int folder;
  const char* name;
};
Removal g_removal{-1, nullptr};
std::atomic<const Removal*> g_removeOnSignal{nullptr};
bool g_pipeIgnored = false;  // as the host was started

extern "C" void EndRun(int signal) {
  if (const Removal* file = g_removeOnSignal.exchange(nullptr)) unlinkat(file->folder, file->name, 0);
  for (const EndingSignal& ending : kEndingSignals)
    if (ending.number == signal) {
      ssize_t ignored = write(STDERR_FILENO, ending.line, strlen(ending.line));
      (void)ignored;
    }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

sigset_t EndingSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const EndingSignal& ending : kEndingSignals) sigaddset(&set, ending.number);
  return set;
}

// Installs the handler unless the signal was ignored at the start; true when it was.
bool Catch(int signal) {
  struct sigaction previous {};
  if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) return true;
  struct sigaction action {};
  action.sa_handler = EndRun;
  // Every ending signal waits while one handler runs: the file goes once.
  action.sa_mask = EndingSet();
  sigaction(signal, &action, nullptr);
  return false;
}

}  // namespace

void EndRunOnSignals() {
  for (const EndingSignal& ending : kEndingSignals)
    if (ending.number != SIGPIPE) Catch(ending.number);
  struct sigaction pipe {};
  g_pipeIgnored = sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_IGN;
}

void RemoveOnSignal(int folder, const char* name) {
  g_removeOnSignal.store(nullptr);
  if (name != nullptr) {
    g_removal = Removal{folder, name};
    g_removeOnSignal.store(&g_removal);
  }
  if (g_pipeIgnored) return;
  if (name != nullptr)
    Catch(SIGPIPE);
  else
    std::signal(SIGPIPE, SIG_DFL);
}

EndingSignalsHeld::EndingSignalsHeld() {
  const sigset_t ending = EndingSet();
  pthread_sigmask(SIG_BLOCK, &ending, &m_previous);
}

EndingSignalsHeld::~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
