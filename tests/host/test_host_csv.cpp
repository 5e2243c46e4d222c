// The frame table never costs the user a file: a CSV path that is an input
// is refused, a value that is missing or is another option is an argument
// error, and rows go to a temporary file while the run lasts, so a run cut
// short leaves the older table whole.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host_command_fixture.h"

namespace {

namespace fs = std::filesystem;

TEST_F(HostCommandTest, ACsvPathThatIsAnInputIsRefusedAndTheInputKept) {
  WritePair(1234, "ref.wav", "test.wav");
  const std::string reference = ReadAll(m_dir.File("ref.wav"));
  const std::string test = ReadAll(m_dir.File("test.wav"));
  fs::create_hard_link(m_dir.File("test.wav"), m_dir.File("hard.csv"));
  fs::create_symlink("ref.wav", m_dir.File("soft.csv"));
  struct Case {
    const char* arguments;
    const char* message;
  };
  for (const Case& c : {
           Case{"--csv ref.wav ref.wav test.wav", "--csv ref.wav is the reference file"},
           Case{"--csv ./test.wav ref.wav test.wav", "--csv ./test.wav is the test file"},
           Case{"--csv hard.csv ref.wav test.wav", "--csv hard.csv is the test file"},
           Case{"--csv soft.csv ref.wav test.wav", "--csv soft.csv is the reference file"},
       }) {
    const HostRun run = Run(c.arguments);
    EXPECT_EQ(run.exitCode, 1) << c.arguments;
    ASSERT_EQ(run.errLines.size(), 1u) << c.arguments << run.err;
    EXPECT_EQ(run.errLines[0].rfind(std::string("vantrel-host: ") + c.message, 0), 0u) << run.errLines[0];
  }
  EXPECT_EQ(ReadAll(m_dir.File("ref.wav")), reference);
  EXPECT_EQ(ReadAll(m_dir.File("test.wav")), test);
  EXPECT_TRUE(fs::is_symlink(m_dir.File("soft.csv")));
}

TEST_F(HostCommandTest, AMissingOrOptionLikeCsvValueIsAnArgumentError) {
  WritePair(1234, "ref.wav", "test.wav");
  for (const char* arguments : {"ref.wav test.wav --csv ''", "--csv --quiet ref.wav test.wav", "ref.wav test.wav --csv",
                                "--csv --track ref.wav test.wav"}) {
    const HostRun run = Run(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments;
    ASSERT_EQ(run.errLines.size(), 1u) << arguments << run.err;
    EXPECT_EQ(run.errLines[0].rfind("vantrel-host: --csv needs ", 0), 0u) << run.errLines[0];
    EXPECT_EQ(run.out.find("Summary"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(m_dir.File("--quiet")));
}

TEST_F(HostCommandTest, ATableThroughASymlinkReplacesItsTargetAndKeepsTheLink) {
  WritePair(1234, "ref.wav", "test.wav");
  fs::create_directory(m_dir.File("tables"));
  std::ofstream(m_dir.File("tables/real.csv")) << "an older table\n";
  fs::create_symlink("tables/real.csv", m_dir.File("link.csv"));
  const HostRun run = Run("--csv link.csv ref.wav test.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(m_dir.File("link.csv")));
  EXPECT_EQ(ReadAll(m_dir.File("tables/real.csv")).rfind("frame,delay_samples,", 0), 0u);
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.File("tables")), fs::directory_iterator()), 1);
}

// A link at the table's path that another user made, or that leads into a
// folder that is not the user's own, is refused: renaming the table into
// place would replace an entry in someone else's folder.
TEST_F(HostCommandTest, ATableLinkIntoAnotherUsersFolderIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
  constexpr uid_t kNobody = 65534;
  WritePair(1234, "ref.wav", "test.wav");
  const std::string theirs = m_dir.File("theirs");
  fs::create_directory(theirs);
  std::ofstream(theirs + "/victim.csv") << "their file\n";
  ASSERT_EQ(chown(theirs.c_str(), kNobody, kNobody), 0);
  fs::create_symlink("theirs/victim.csv", m_dir.File("into.csv"));
  fs::create_symlink("mine.csv", m_dir.File("planted.csv"));
  ASSERT_EQ(lchown(m_dir.File("planted.csv").c_str(), kNobody, kNobody), 0);
  struct Case {
    const char* arguments;
    const char* says;
  };
  for (const Case& c : {Case{"--csv into.csv ref.wav test.wav", "a folder that is not the user's own"},
                        Case{"--csv planted.csv ref.wav test.wav", "it is a link another user made"}}) {
    const HostRun run = Run(c.arguments);
    EXPECT_EQ(run.exitCode, 1) << c.arguments;
    ASSERT_EQ(run.errLines.size(), 1u) << run.err;
    EXPECT_NE(run.errLines[0].find(c.says), std::string::npos) << run.errLines[0];
  }
  EXPECT_EQ(ReadAll(theirs + "/victim.csv"), "their file\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(theirs), fs::directory_iterator()), 1);
  EXPECT_FALSE(fs::exists(m_dir.File("mine.csv")));
}

// The temporary tables beside `name` in `folder`.
std::vector<fs::path> Temporaries(const std::string& folder, const std::string& name) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind("." + name + ".", 0) == 0) found.push_back(entry.path());
  return found;
}

TEST_F(HostCommandTest, RowsStreamWhileTheRunLastsAndARunCutShortLeavesTheOlderTable) {
  // 100 s at 8 kHz: more frame lines than a pipe holds, so the host waits
  // on its reader halfway through.
  WritePair(100, "ref.wav", "test.wav", 100, 8000);
  std::ofstream(m_dir.File("table.csv")) << "an older table\n";
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  fcntl(out[0], F_SETFD, FD_CLOEXEC);  // the host holds only the writing end
  const pid_t child = StartHost({"--frames", "--csv", "table.csv", "ref.wav", "test.wav"}, out[1], "/dev/null");
  ASSERT_GE(child, 0);
  close(out[1]);
  // The first lines arrive while the run goes on.
  std::string shown;
  char chunk[256];
  for (ssize_t n; shown.find("\nframe ") == std::string::npos && (n = read(out[0], chunk, sizeof chunk)) > 0;)
    shown.append(chunk, size_t(n));
  EXPECT_NE(shown.find("\nframe "), std::string::npos) << shown;
  // Rows reach the temporary table as they come; the old one is untouched.
  uintmax_t streamed = 0;
  for (int wait = 0; wait < 200 && streamed < 8192; ++wait) {
    for (const fs::path& path : Temporaries(m_dir.File(""), "table.csv")) streamed = fs::file_size(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_GE(streamed, 8192u);
  EXPECT_EQ(ReadAll(m_dir.File("table.csv")), "an older table\n");

  ASSERT_EQ(kill(child, SIGTERM), 0);
  close(out[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 0));
  EXPECT_EQ(ReadAll(m_dir.File("table.csv")), "an older table\n");
  EXPECT_TRUE(Temporaries(m_dir.File(""), "table.csv").empty());
}

}  // namespace
