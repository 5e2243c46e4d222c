// The debugger output: one sink for every trace line of the component.
// Lines go to stderr, or appended to the file named by the environment
// variable VANTREL_TRACE; a hook installed by a host or test takes them
// instead. Also the debugger break with its own hook.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/wintypes.h"

// Writes the whole text at once (no line end is added).
void OutputDebugStringA(const char* text);

// Takes every line instead of the default sink; an empty function restores
// the default. Returns the previous hook.
using DebugOutputHook = std::function<void(const char* text)>;
DebugOutputHook SetDebugOutputHook(DebugOutputHook hook);

// True when lines currently end up on stderr (no hook, no VANTREL_TRACE).
bool DebugOutputGoesToStderr();

BOOL IsDebuggerPresent();

// Default: SIGTRAP when a debugger is attached, otherwise a trace line.
void DebugBreak();
using DebugBreakHook = std::function<void()>;
DebugBreakHook SetDebugBreakHook(DebugBreakHook hook);

// Test helper: captures every debugger-output line while it lives.
class DebugOutputCapture {
 public:
  DebugOutputCapture();
  ~DebugOutputCapture();
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

  std::string Text() const;  // everything written so far
  int Lines() const;         // number of OutputDebugStringA calls
  void Clear();

 private:
  struct State;
  std::shared_ptr<State> m_state;
  DebugOutputHook m_previous;
};
