// Runs a function in a forked child process and gives its exit code, so a
// test can check what another process sees. The child never returns into
// the test framework.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// Starts the child; the function's result is its exit code.
inline pid_t StartChild(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

// Waits for the child; -1 when it did not exit normally.
inline int WaitChild(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int RunInChild(const std::function<int()>& body) { return WaitChild(StartChild(body)); }
