// The debugger output sink, the debug-break hook and the message box.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

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

// Where VANTREL_TRACE names something another user could have planted or
// redirected, the lines are not written there (the user's file it leads to
// stays as it was, a pipe is not waited on) and go to stderr with the note;
// a link the user made in a folder of the user's own is followed.
TEST(DebugOutput, TraceFileOthersCouldPlantIsNotWrittenThrough) {
  enum class Plant { OwnLink, LinkInSharedFolder, FolderLinkInSharedFolder, SecondHardLink, PipeWithoutReader, OthersFile };
  const struct {
    Plant plant;
    bool writes;  // the line reaches the user's file
  } cases[] = {{Plant::OwnLink, true},         {Plant::LinkInSharedFolder, false},
               {Plant::FolderLinkInSharedFolder, false}, {Plant::SecondHardLink, false},
               {Plant::PipeWithoutReader, false}, {Plant::OthersFile, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.plant));
    if (c.plant == Plant::OthersFile && geteuid() != 0) continue;  // needs root to give a file away
    TempDir temp;
    const std::string mine = temp.File("mine");  // a private folder of the user's
    const std::string shared = temp.File("shared");  // open to every user, as a careless one is
    ASSERT_EQ(0, mkdir(mine.c_str(), 0700));
    ASSERT_EQ(0, mkdir(shared.c_str(), 0777));
    ASSERT_EQ(0, chmod(shared.c_str(), 0777));
    const std::string victim = mine + "/notes";
    { std::ofstream(victim) << "the user's own\n"; }
    std::string trace;
    switch (c.plant) {
      case Plant::OwnLink:
        trace = mine + "/trace.log";
        ASSERT_EQ(0, symlink(victim.c_str(), trace.c_str()));
        break;
      case Plant::LinkInSharedFolder:
        trace = shared + "/trace.log";
        ASSERT_EQ(0, symlink(victim.c_str(), trace.c_str()));
        break;
      case Plant::FolderLinkInSharedFolder:
        ASSERT_EQ(0, symlink(mine.c_str(), (shared + "/logs").c_str()));
        trace = shared + "/logs/notes";
        break;
      case Plant::SecondHardLink:
        trace = mine + "/trace.log";
        ASSERT_EQ(0, link(victim.c_str(), trace.c_str()));
        break;
      case Plant::PipeWithoutReader:
        trace = mine + "/trace.log";
        ASSERT_EQ(0, mkfifo(trace.c_str(), 0600));
        break;
      case Plant::OthersFile:
        ASSERT_EQ(0, chmod(shared.c_str(), 01777));  // sticky, as /tmp
        trace = shared + "/trace.log";
        { std::ofstream(trace) << ""; }
        ASSERT_EQ(0, chmod(trace.c_str(), 0666));
        ASSERT_EQ(0, chown(trace.c_str(), 65534, 65534));
        break;
    }
    const std::string err = temp.File("stderr");
    const int exitCode = RunInChild([&] {
      alarm(5);  // a wait on the pipe ends the child
      const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) return 2;
      setenv("VANTREL_TRACE", trace.c_str(), 1);
      OutputDebugStringA("a trace line\n");
      return 0;
    });
    ASSERT_EQ(0, exitCode);
    const std::string plantedText = c.plant == Plant::OthersFile ? ReadFileText(trace) : "";
    EXPECT_EQ(c.writes ? "the user's own\na trace line\n" : "the user's own\n", ReadFileText(victim));
    EXPECT_EQ("", plantedText);
    const std::string seen = ReadFileText(err);
    EXPECT_EQ(!c.writes, seen.find("a trace line\n") != std::string::npos) << seen;
    EXPECT_EQ(!c.writes, seen.find("VANTREL_TRACE") != std::string::npos) << seen;
  }
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
