#include "platform/debug_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>

namespace {

std::mutex g_hookLock;
DebugOutputHook g_outputHook;
DebugBreakHook g_breakHook;

DebugOutputHook CurrentOutputHook() {
  std::lock_guard<std::mutex> guard(g_hookLock);
  return g_outputHook;
}

// Writes the whole text with as few write calls as the kernel allows.
bool WriteAll(int fd, const char* text, size_t length) {
  while (length > 0) {
    ssize_t written = write(fd, text, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

bool AppendToTraceFile(const char* path, const char* text, size_t length) {
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text, length);
  close(fd);
  return ok;
}

const char* TraceFilePath() {
  const char* path = getenv("VANTREL_TRACE");
  return (path != nullptr && *path != '\0') ? path : nullptr;
}

}  // namespace

void OutputDebugStringA(const char* text) {
  if (text == nullptr) return;
  if (DebugOutputHook hook = CurrentOutputHook()) {
    hook(text);
    return;
  }
  size_t length = strlen(text);
  if (const char* path = TraceFilePath()) {
    if (AppendToTraceFile(path, text, length)) return;
    // An unwritable trace file must not swallow the line.
    static const char kNote[] = "(VANTREL_TRACE file cannot be written; trace continues on stderr)\n";
    WriteAll(STDERR_FILENO, kNote, sizeof kNote - 1);
  }
  WriteAll(STDERR_FILENO, text, length);
}

DebugOutputHook SetDebugOutputHook(DebugOutputHook hook) {
  std::lock_guard<std::mutex> guard(g_hookLock);
  DebugOutputHook previous = std::move(g_outputHook);
  g_outputHook = std::move(hook);
  return previous;
}

bool DebugOutputGoesToStderr() { return !CurrentOutputHook() && TraceFilePath() == nullptr; }

BOOL IsDebuggerPresent() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("TracerPid:", 0) == 0) return atoi(line.c_str() + 10) != 0 ? TRUE : FALSE;
  }
  return FALSE;
}

void DebugBreak() {
  DebugBreakHook hook;
  {
    std::lock_guard<std::mutex> guard(g_hookLock);
    hook = g_breakHook;
  }
  if (hook) {
    hook();
    return;
  }
  if (IsDebuggerPresent())
    raise(SIGTRAP);
  else
    OutputDebugStringA("DebugBreak(): no debugger attached, continuing\n");
}

DebugBreakHook SetDebugBreakHook(DebugBreakHook hook) {
  std::lock_guard<std::mutex> guard(g_hookLock);
  DebugBreakHook previous = std::move(g_breakHook);
  g_breakHook = std::move(hook);
  return previous;
}

struct DebugOutputCapture::State {
  std::mutex lock;
  std::string text;
  int lines = 0;
};

DebugOutputCapture::DebugOutputCapture() : m_state(std::make_shared<State>()) {
  std::shared_ptr<State> state = m_state;
  m_previous = SetDebugOutputHook([state](const char* text) {
    std::lock_guard<std::mutex> guard(state->lock);
    state->text += text;
    ++state->lines;
  });
}

DebugOutputCapture::~DebugOutputCapture() { SetDebugOutputHook(std::move(m_previous)); }

std::string DebugOutputCapture::Text() const {
  std::lock_guard<std::mutex> guard(m_state->lock);
  return m_state->text;
}

int DebugOutputCapture::Lines() const {
  std::lock_guard<std::mutex> guard(m_state->lock);
  return m_state->lines;
}

void DebugOutputCapture::Clear() {
  std::lock_guard<std::mutex> guard(m_state->lock);
  m_state->text.clear();
  m_state->lines = 0;
}
