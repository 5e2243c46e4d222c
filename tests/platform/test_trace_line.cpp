// Bounded trace lines: prefix and message in one write, cut lines that
// still end their line, and the component's time/process/counter prefix.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "platform/debug_output.h"
#include "platform/process.h"
#include "platform/system_time.h"
#include "platform/trace_line.h"

namespace {

void Line(const char* prefix, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Line(const char* prefix, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteTraceLineV(prefix, format, args);
  va_end(args);
}

TEST(TraceLine, MessagesUpToTheBufferStayWholeLongerOnesAreCutButEndTheLine) {
  const std::string prefix = "P: ";
  const size_t room = TRACE_LINE_BYTES - 1 - prefix.size();  // characters the message may take
  struct Case {
    size_t messageLength;  // including its own "\n"
    bool cut;
  } cases[] = {{1, false}, {room, false}, {room + 1, true}, {3 * TRACE_LINE_BYTES, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messageLength);
    const std::string message = std::string(c.messageLength - 1, 'm') + "\n";
    DebugOutputCapture capture;
    Line(prefix.c_str(), "%s", message.c_str());
    Line(prefix.c_str(), "next\n");
    const std::string text = capture.Text();
    ASSERT_EQ(2, capture.Lines());
    const std::string first = text.substr(0, text.size() - (prefix.size() + 5));
    EXPECT_EQ(prefix + "next\n", text.substr(first.size()));  // the next line starts on its own
    if (c.cut) {
      EXPECT_EQ(static_cast<size_t>(TRACE_LINE_BYTES - 1), first.size());
      EXPECT_EQ(prefix + std::string(room - 1, 'm') + "\n", first);
    } else {
      EXPECT_EQ(prefix + message, first);
    }
  }
}

TEST(TraceLine, MissingPrefixOrFormat) {
  DebugOutputCapture capture;
  Line(nullptr, "bare %d\n", 1);
  Line("only the prefix ", nullptr);
  EXPECT_EQ("bare 1\nonly the prefix ", capture.Text());
  EXPECT_EQ(2, capture.Lines());
}

TEST(TraceLine, ComponentPrefixCarriesTimeProcessAndCounter) {
  SystemTimeSource previousClock =
      SetSystemTimeSourceForTesting([](SYSTEMTIME* t) { *t = SYSTEMTIME{2026, 12, 3, 9, 9, 5, 3, 7}; });
  SetProcessIdForTesting(0x1A2C);
  g_TraceCounter = 3;
  DebugOutputCapture capture;
  WriteComponentTraceLine("store %s\n", "line");
  WriteComponentTraceLine("next\n");
  SetProcessIdForTesting(0);
  SetSystemTimeSourceForTesting(previousClock);
  EXPECT_EQ("<09:05:03.007>(0x1A2C):3: store line\n<09:05:03.007>(0x1A2C):4: next\n", capture.Text());
  EXPECT_EQ(5u, g_TraceCounter.load());
}

}  // namespace
