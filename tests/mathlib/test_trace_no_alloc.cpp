// The math layer's trace formats on the stack: a line, even one whose
// message must be cut, takes no heap memory. Counts every operator new of
// this executable, so it lives in a file of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "Mathlib/MathlibTrace.h"
#include "platform/debug_output.h"
#include "support/replaced_new.h"

namespace {
std::atomic<long> g_newCalls{0};
bool Count(std::size_t) {
  g_newCalls.fetch_add(1, std::memory_order_relaxed);
  return true;
}
[[maybe_unused]] const bool g_hooked = (g_onNew = Count, true);
}  // namespace

namespace {

// Keeps the length of the last line in a fixed place; the hook itself
// allocates nothing.
std::atomic<size_t> g_lastLength{0};
void KeepLength(const char* text) { g_lastLength = std::char_traits<char>::length(text); }

TEST(MathlibTraceMemory, LinesOfAnyLengthTakeNoHeap) {
  const std::string huge(30000, 'x');
  DebugOutputHook previous = SetDebugOutputHook(KeepLength);
  const long before = g_newCalls.load();
  MathlibTrace(nullptr, "short %d\n", 1);
  const size_t shortLength = g_lastLength;
  MathlibTrace(nullptr, "%s", huge.c_str());
  const long calls = g_newCalls.load() - before;
  SetDebugOutputHook(previous);

  EXPECT_EQ(calls, 0);
  EXPECT_GT(shortLength, 0u);
  EXPECT_EQ(g_lastLength.load(), 10239u);  // cut to the 10,240-byte line with its terminator
}

}  // namespace
