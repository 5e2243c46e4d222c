// Points the named mutexes' lock folder somewhere of the test's choosing
// while it lives: $TMPDIR set to `temp`, $XDG_RUNTIME_DIR unset, so the lock
// files go to <temp>/vantrel-<uid>. Both are restored afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

class ScopedLockFolder {
 public:
  explicit ScopedLockFolder(const std::string& temp) : m_tmp(Get("TMPDIR")), m_runtime(Get("XDG_RUNTIME_DIR")) {
    setenv("TMPDIR", temp.c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
  }
  ~ScopedLockFolder() {
    Restore("TMPDIR", m_tmp);
    Restore("XDG_RUNTIME_DIR", m_runtime);
  }
  ScopedLockFolder(const ScopedLockFolder&) = delete;
  ScopedLockFolder& operator=(const ScopedLockFolder&) = delete;

 private:
  static std::optional<std::string> Get(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  std::optional<std::string> m_tmp;
  std::optional<std::string> m_runtime;
};
