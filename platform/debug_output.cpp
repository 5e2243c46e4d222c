#include "platform/debug_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>

#include "platform/steady_path.h"

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

// Opens the trace file for appending, -1 when it is not safe to: nobody but
// the user and root may be able to change where the path leads (else a
// link planted on the way could aim the lines at any file of the user's),
// and what it names must be the user's own file, not a second link to one,
// or a device or pipe of the user's or root's. A name still absent is
// created without following a link put there meanwhile (a link to nothing
// is refused); a pipe is not waited on for a reader.
int OpenTraceFile(const char* path) {
  struct stat named {};
  const bool present = stat(path, &named) == 0;  // a link's target there
  if (!SteadyPath(path)) return -1;
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | (present ? 0 : O_NOFOLLOW), 0644);
  if (fd < 0) return -1;
  struct stat info {};
  const bool own = fstat(fd, &info) == 0 && (S_ISREG(info.st_mode)
                                                 ? info.st_uid == geteuid() && info.st_nlink == 1
                                                 : info.st_uid == geteuid() || info.st_uid == 0);
  if (!own || fcntl(fd, F_SETFL, O_APPEND) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// A regular trace file, judged once and kept open while its path still
// names it (nobody else can change where the path leads, so the same file
// means the same way): a line costs a look at the path and the write.
struct KeptTraceFile {
  std::mutex lock;
  std::string path;
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
};

KeptTraceFile& TraceFile() {
  static auto* kept = new KeptTraceFile;  // outlives static destructors
  return *kept;
}

bool AppendToTraceFile(const char* path, const char* text, size_t length) {
  KeptTraceFile& kept = TraceFile();
  std::lock_guard<std::mutex> guard(kept.lock);
  struct stat named {};
  const bool same = kept.fd >= 0 && kept.path == path && stat(path, &named) == 0 && named.st_dev == kept.device &&
                    named.st_ino == kept.inode;
  if (!same) {
    if (kept.fd >= 0) close(kept.fd);
    kept.fd = OpenTraceFile(path);
    struct stat opened {};
    if (kept.fd >= 0 && fstat(kept.fd, &opened) != 0) {
      close(kept.fd);
      kept.fd = -1;
    }
    if (kept.fd < 0) return false;
    if (!S_ISREG(opened.st_mode)) {
      // A device or pipe is opened for each line, as a reader may come and go.
      const bool ok = WriteAll(kept.fd, text, length);
      close(kept.fd);
      kept.fd = -1;
      return ok;
    }
    kept.path = path;
    kept.device = opened.st_dev;
    kept.inode = opened.st_ino;
  }
  return WriteAll(kept.fd, text, length);
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
