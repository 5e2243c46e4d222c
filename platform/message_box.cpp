#include "platform/message_box.h"

#include <unistd.h>

#include <mutex>
#include <string>

#include "platform/debug_output.h"

namespace {

std::mutex g_hookLock;
MessageBoxHook g_hook;

}  // namespace

int MessageBoxA(HWND, const char* text, const char* caption, UINT type) {
  if (text == nullptr) text = "";
  if (caption == nullptr) caption = "Vantrel";
  MessageBoxHook hook;
  {
    std::lock_guard<std::mutex> guard(g_hookLock);
    hook = g_hook;
  }
  if (hook) return hook(text, caption, type);

  std::string shown = std::string("[") + caption + "] " + text;
  if (shown.back() != '\n') shown += '\n';
  // The trace gets the box; stderr too unless the trace already is stderr.
  OutputDebugStringA(shown.c_str());
  if (!DebugOutputGoesToStderr()) {
    ssize_t ignored = write(STDERR_FILENO, shown.data(), shown.size());
    (void)ignored;
  }
  return IDOK;
}

int AfxMessageBox(const char* text, UINT type, UINT) { return MessageBoxA(nullptr, text, "Vantrel", type); }

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard<std::mutex> guard(g_hookLock);
  MessageBoxHook previous = std::move(g_hook);
  g_hook = std::move(hook);
  return previous;
}
