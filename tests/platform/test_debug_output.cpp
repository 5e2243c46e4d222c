// The debugger output sink, the debug-break hook and the message box.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/debug_output.h"
#include "platform/message_box.h"

namespace {

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Points VANTREL_TRACE at a fresh file for the test's lifetime.
class TraceFile {
 public:
  TraceFile()
      : m_path(std::filesystem::temp_directory_path() / ("vantrel-trace-" + std::to_string(getpid()) + ".log")) {
    std::filesystem::remove(m_path);
    setenv("VANTREL_TRACE", m_path.c_str(), 1);
  }
  ~TraceFile() {
    unsetenv("VANTREL_TRACE");
    std::filesystem::remove(m_path);
  }
  std::string Path() const { return m_path.string(); }

 private:
  std::filesystem::path m_path;
};

TEST(DebugOutput, TraceFileFromEnvironmentIsAppendedTo) {
  TraceFile file;
  { std::ofstream(file.Path()) << "earlier\n"; }
  EXPECT_FALSE(DebugOutputGoesToStderr());
  OutputDebugStringA("first line\n");
  OutputDebugStringA("second ");
  OutputDebugStringA("line\n");
  EXPECT_EQ("earlier\nfirst line\nsecond line\n", ReadFileText(file.Path()));
}

TEST(DebugOutput, UnwritableTraceFileFallsBackToStderr) {
  setenv("VANTREL_TRACE", "/nonexistent/folder/trace.log", 1);
  ::testing::internal::CaptureStderr();
  OutputDebugStringA("kept line\n");
  std::string err = ::testing::internal::GetCapturedStderr();
  unsetenv("VANTREL_TRACE");
  EXPECT_NE(std::string::npos, err.find("kept line\n")) << err;
  EXPECT_NE(std::string::npos, err.find("VANTREL_TRACE")) << err;
}

TEST(DebugOutput, HookTakesEveryLineUntilRemoved) {
  TraceFile file;
  {
    DebugOutputCapture capture;
    OutputDebugStringA("one\n");
    OutputDebugStringA("two\n");
    EXPECT_EQ("one\ntwo\n", capture.Text());
    EXPECT_EQ(2, capture.Lines());
  }
  OutputDebugStringA("after\n");
  EXPECT_EQ("after\n", ReadFileText(file.Path()));
}

TEST(DebugOutput, DebugBreakGoesToItsHookOrTracesWithoutDebugger) {
  int breaks = 0;
  DebugBreakHook previous = SetDebugBreakHook([&] { ++breaks; });
  DebugBreak();
  EXPECT_EQ(1, breaks);
  SetDebugBreakHook(previous);

  if (!IsDebuggerPresent()) {
    DebugOutputCapture capture;
    DebugBreak();  // must not stop the test process
    EXPECT_NE(std::string::npos, capture.Text().find("DebugBreak"));
  }
}

TEST(MessageBox, HookTakesTheBoxOtherwiseItIsTracedAndAnsweredOk) {
  std::string seen;
  UINT seenType = 0;
  MessageBoxHook previous = SetMessageBoxHook([&](const char* text, const char*, UINT type) {
    seen = text;
    seenType = type;
    return IDCANCEL;
  });
  EXPECT_EQ(IDCANCEL, AfxMessageBox("Question?", MB_OKCANCEL | MB_ICONEXCLAMATION));
  EXPECT_EQ("Question?", seen);
  EXPECT_EQ(MB_OKCANCEL | MB_ICONEXCLAMATION, seenType);
  SetMessageBoxHook(previous);

  DebugOutputCapture capture;
  EXPECT_EQ(IDOK, AfxMessageBox("Disk full", MB_ICONEXCLAMATION));
  EXPECT_NE(std::string::npos, capture.Text().find("Disk full\n")) << capture.Text();
}

}  // namespace
