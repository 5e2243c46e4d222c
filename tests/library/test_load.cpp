// Loading the shared library reads the trace mask before main runs. Each
// case starts this executable again as a probe with its own registry.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/Registry.h"
#include "support/registry_sandbox.h"

extern char** environ;

namespace {

constexpr const char* kProbeEnv = "VANTREL_LOAD_PROBE";

// In the probe process: report the mask the load left behind.
TEST(LibraryLoadProbe, ReportMask) {
  const char* out = getenv(kProbeEnv);
  if (out == nullptr) GTEST_SKIP() << "runs only as a probe";
  std::ofstream(out) << GetTraceMask();
}

// Runs the probe with the current environment; returns the mask it saw, or -1.
long RunProbe(const std::string& outFile) {
  std::string filter = "--gtest_filter=LibraryLoadProbe.ReportMask";
  std::string env = std::string(kProbeEnv) + "=" + outFile;
  std::vector<std::string> envCopy;
  for (char** e = environ; *e != nullptr; ++e) envCopy.emplace_back(*e);
  envCopy.push_back(env);
  std::vector<char*> envp;
  for (auto& s : envCopy) envp.push_back(s.data());
  envp.push_back(nullptr);
  char self[] = "/proc/self/exe";
  char* argv[] = {self, filter.data(), nullptr};

  // The probe's own test report would only clutter this one.
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, self, &quiet, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  std::ifstream in(outFile);
  long mask = -1;
  in >> mask;
  return mask;
}

TEST(LibraryLoad, MaskComesFromTheRegistryWhenTheLibraryLoads) {
  RegistrySandbox sandbox;
  const std::string out = sandbox.Folder() + "-mask.txt";
  const DWORD savedMask = GetTraceMask();
  SetTraceMask(0);  // keep this process's own registry calls quiet

  EXPECT_EQ(0, RunProbe(out));  // absent: 0, and created
  uint32_t stored = 99;
  ReadFromRegistry("HKLM\\SOFTWARE\\vestran\\TALVO", "DebugTraceLevel", stored, 77u, 1);
  EXPECT_EQ(0u, stored);

  ASSERT_EQ(0, WriteToRegistry("HKLM\\SOFTWARE\\vestran\\TALVO", "DebugTraceLevel", uint32_t{0x410}));
  EXPECT_EQ(0x410, RunProbe(out));

  std::remove(out.c_str());
  SetTraceMask(savedMask);
}

}  // namespace
