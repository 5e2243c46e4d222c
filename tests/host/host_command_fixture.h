// Runs the example host as a user does: the built binary, in a folder of
// its own, on sound files the test wrote, with stdout and stderr kept apart.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/measurement_run.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "wavio/SoundFile.h"

// The first row of the host's frame table.
constexpr const char* kCsvHeader =
    "frame,delay_samples,delay_ms,status,status_name,quality,delay_valid,first_sample,time_s,channel_swap,"
    "real_samples";

// A row of the frame table.
struct CsvRow {
  int frame = 0, delay = 0, status = 0;
  long long firstSample = 0;
  double seconds = 0.0;
  int realSamples = 0;
  std::string text;
};

// The rows of a frame table (its header line skipped).
inline std::vector<CsvRow> CsvRows(const std::string& table) {
  std::vector<CsvRow> rows;
  std::istringstream in(table);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    CsvRow row;
    row.text = line;
    if (std::sscanf(line.c_str(), "%d,%d,%*[^,],%d,%*[^,],%*d,%*d,%lld,%lf,%*[^,],%d", &row.frame, &row.delay,
                    &row.status, &row.firstSample, &row.seconds, &row.realSamples) == 6)
      rows.push_back(row);
  }
  return rows;
}

struct HostRun {
  int exitCode = -1;
  std::string out;
  std::string err;
  std::vector<std::string> errLines;
};

// The host sits beside the tests in the build tree.
inline std::string HostPath() {
  char self[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  const auto host =
      std::filesystem::path(std::string(self, size_t(n))).parent_path().parent_path() / "tools" / "vantrel-host";
  return std::filesystem::exists(host) ? host.string() : std::string();
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class HostCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_host = HostPath();
    if (m_host.empty()) GTEST_SKIP() << "vantrel-host is not built";
    // The first start of a fresh registry traces one line; have it now
    // (a usage error is the quickest start).
    Run("only-one-file.wav");
  }

  // The shell command that starts the host in the test's folder.
  std::string Command(const std::string& arguments) const {
    // A host that hangs fails the test instead of holding up the suite.
    return "cd '" + m_dir.File("") + "' && VANTREL_REGISTRY='" + m_dir.File("registry") + "' timeout 120 '" + m_host +
           "' " + arguments;
  }

  // The host with `arguments` as they are.
  HostRun RunPlain(const std::string& arguments) {
    const std::string out = m_dir.File("stdout.txt");
    const std::string err = m_dir.File("stderr.txt");
    const std::string command = Command(arguments) + " >'" + out + "' 2>'" + err + "' </dev/null";
    HostRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    run.errLines = Lines(run.err);
    return run;
  }
  // Starts the host in the test's folder with `arguments`, its stdout on
  // the descriptor `out` and its stderr to the file `err`, and returns at
  // once with the child's id (WaitChild waits for it).
  pid_t StartHost(const std::vector<std::string>& arguments, int out, const std::string& err) {
    std::vector<char*> argv{const_cast<char*>("vantrel-host")};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return StartChild([&] {
      dup2(out, STDOUT_FILENO);
      if (!freopen(err.c_str(), "w", stderr) || chdir(m_dir.File("").c_str()) != 0) return 126;
      setenv("VANTREL_REGISTRY", m_dir.File("registry").c_str(), 1);
      execv(m_host.c_str(), argv.data());
      return 127;
    });
  }
  // The host with only the summary.
  HostRun Run(const std::string& arguments) { return RunPlain("--quiet " + arguments); }

  // Writes `samples` (interleaved, `channels`) as 16-bit WAV; returns its name.
  std::string Write(const std::string& name, const std::vector<float>& samples, int channels, int rate = kMeasureRate) {
    const std::string path = m_dir.File(name);
    std::string error;
    EXPECT_TRUE(WriteSoundFile(path, {rate, channels, SoundFileEncoding::Pcm16, "wav"}, samples.data(),
                               int64_t(samples.size()) / channels, &error))
        << error;
    return name;
  }

  // Mono pair of `seconds`: the test is the reference `lag` samples later
  // (negative: earlier), at `gain` of the level.
  void WritePair(int lag, const std::string& reference, const std::string& test, size_t seconds = 3,
                 int rate = kMeasureRate, float gain = 0.5f, double rms = 3000.0) {
    const size_t length = seconds * size_t(rate);
    const size_t lead = 4000;
    const std::vector<float> source = IntegerNoise(length + 2 * lead, 5, rms);
    std::vector<float> ref(source.begin() + lead, source.begin() + lead + length);
    std::vector<float> delayed(length);
    for (size_t n = 0; n < length; ++n) delayed[n] = std::round(gain * source[lead + n - lag]);
    Write(reference, ref, 1, rate);
    Write(test, delayed, 1, rate);
  }

  TempDir m_dir;
  std::string m_host;
};
