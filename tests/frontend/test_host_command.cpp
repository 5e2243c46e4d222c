// The README's main command as a user meets it: the example host run on
// sound-file pairs it did not make. The delay and its sign come from how
// the files were built; every failure is one line on stderr and exit 1.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "measurement_run.h"
#include "support/temp_dir.h"
#include "wavio/SoundFile.h"

namespace {

struct HostRun {
  int exitCode = -1;
  std::string out;
  std::vector<std::string> errLines;
};

// The host sits beside the tests in the build tree.
std::string HostPath() {
  char self[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  const auto host =
      std::filesystem::path(std::string(self, size_t(n))).parent_path().parent_path() / "tools" / "vantrel-host";
  return std::filesystem::exists(host) ? host.string() : std::string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
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

  HostRun Run(const std::string& arguments) {
    const std::string out = m_dir.File("stdout.txt");
    const std::string err = m_dir.File("stderr.txt");
    const std::string command = "cd '" + m_dir.File("") + "' && VANTREL_REGISTRY='" + m_dir.File("registry") + "' '" +
                                m_host + "' --quiet " + arguments + " >'" + out + "' 2>'" + err + "'";
    HostRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadAll(out);
    std::istringstream lines(ReadAll(err));
    for (std::string line; std::getline(lines, line);) run.errLines.push_back(line);
    return run;
  }

  // Writes `frames` x `channels` interleaved samples as 16-bit WAV.
  std::string Write(const std::string& name, const std::vector<float>& samples, int channels, int rate = kMeasureRate) {
    const std::string path = m_dir.File(name);
    std::string error;
    EXPECT_TRUE(WriteSoundFile(path, {rate, channels, SoundFileEncoding::Pcm16, "wav"}, samples.data(),
                               int64_t(samples.size()) / channels, &error))
        << error;
    return name;
  }

  // Mono pair of 3 s: the test is the reference `lag` samples later (negative: earlier), at half the level.
  void WritePair(int lag, const std::string& reference, const std::string& test) {
    const size_t length = 3 * kMeasureRate;
    const size_t lead = 4000;
    const std::vector<float> source = IntegerNoise(length + 2 * lead, 5, 3000.0);
    std::vector<float> ref(source.begin() + lead, source.begin() + lead + length);
    std::vector<float> delayed(length);
    for (size_t n = 0; n < length; ++n) delayed[n] = std::round(0.5f * source[lead + n - lag]);
    Write(reference, ref, 1);
    Write(test, delayed, 1);
  }

  TempDir m_dir;
  std::string m_host;
};

TEST_F(HostCommandTest, TheDelayOfAFilePairIsFoundWithItsSign) {
  WritePair(1234, "ref.wav", "lagging.wav");
  WritePair(-777, "ref.wav", "leading.wav");
  struct Case {
    const char* test;
    const char* summary;
  };
  for (const Case& c : {Case{"lagging.wav", "Delay found: 1234 samples (25.708 ms), test behind the reference"},
                        Case{"leading.wav", "Delay found: -777 samples (-16.188 ms), test ahead of the reference"}}) {
    const HostRun run = Run(std::string("ref.wav ") + c.test + " --csv frames.csv");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find(c.summary), std::string::npos) << run.out;
    // Nothing on stderr but, at most, the note on a narrowed range.
    for (const std::string& line : run.errLines) EXPECT_EQ(line.rfind("vantrel-host: note:", 0), 0u) << line;

    std::istringstream csv(ReadAll(m_dir.File("frames.csv")));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "frame,delay_samples,delay_ms,status,status_name,quality,delay_valid");
    int rows = 0;
    int reliableRows = 0;
    while (std::getline(csv, line)) {
      int frame = 0, delay = 0, status = 0;
      ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%*[^,],%d", &frame, &delay, &status), 3) << line;
      EXPECT_EQ(frame, rows);
      if (status == 1) {
        ++reliableRows;
        EXPECT_EQ(delay, c.test[1] == 'a' ? 1234 : -777) << line;
      }
      ++rows;
    }
    // Nearly every 1024-sample frame of the 3 s is there and reliable.
    EXPECT_GE(rows, 3 * kMeasureRate / 1024 - 3);
    EXPECT_EQ(reliableRows, rows);
  }
}

TEST_F(HostCommandTest, AnInvertedTestIsFoundWithANegativeQuality) {
  WritePair(1234, "ref.wav", "test.wav");
  std::vector<float> inverted;
  {
    SoundFileReader reader;
    ASSERT_TRUE(reader.Open(m_dir.File("test.wav")));
    inverted.resize(size_t(reader.Format().frames));
    ASSERT_EQ(reader.Read(inverted.data(), int64_t(inverted.size())), int64_t(inverted.size()));
  }
  for (float& v : inverted) v = std::max(-v, -32768.0f);
  Write("inverted.wav", inverted, 1);
  const HostRun run = Run("ref.wav inverted.wav --csv frames.csv");
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("Delay found: 1234 samples"), std::string::npos) << run.out;
  std::istringstream csv(ReadAll(m_dir.File("frames.csv")));
  std::string line;
  std::getline(csv, line);
  ASSERT_TRUE(std::getline(csv, line));
  int quality = 0;
  ASSERT_EQ(std::sscanf(line.c_str(), "%*d,%*d,%*[^,],%*d,%*[^,],%d", &quality), 1) << line;
  EXPECT_LE(quality, -99) << line;
}

TEST_F(HostCommandTest, AStereoPairIsMeasured) {
  const size_t length = 2 * kMeasureRate;
  const std::vector<float> source = IntegerNoise(length + 500, 9, 3000.0);
  std::vector<float> ref(2 * length);
  std::vector<float> test(2 * length);
  for (size_t n = 0; n < length; ++n) {
    ref[2 * n] = source[n + 300];
    ref[2 * n + 1] = std::round(0.25f * source[n + 300]);
    test[2 * n] = source[n];
    test[2 * n + 1] = std::round(0.25f * source[n]);
  }
  Write("ref2.wav", ref, 2);
  Write("test2.wav", test, 2);
  const HostRun run = Run("ref2.wav test2.wav");
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("2 channel(s)"), std::string::npos) << run.out;
  // test[n] = ref[n - 300]: the test lags.
  EXPECT_NE(run.out.find("Delay found: 300 samples"), std::string::npos) << run.out;
}

TEST_F(HostCommandTest, EveryFileProblemIsOneLineAndExitCodeOne) {
  const std::vector<float> second = IntegerNoise(kMeasureRate, 3, 3000.0);
  Write("mono.wav", second, 1);
  Write("mono44.wav", std::vector<float>(second.begin(), second.begin() + 44100), 1, 44100);
  Write("stereo.wav", IntegerNoise(2 * kMeasureRate, 4, 3000.0), 2);
  Write("short.wav", std::vector<float>(second.begin(), second.begin() + 100), 1);
  Write("empty.wav", {}, 1);
  Write("megahertz.wav", second, 1, 2000000);
  std::ofstream(m_dir.File("foreign.wav")) << "RIFF....WAVEjunk";
  std::filesystem::create_directory(m_dir.File("folder"));
  std::ofstream(m_dir.File("old.csv")) << "an older table\n";

  struct Case {
    const char* arguments;
    const char* message;
  };
  for (const Case& c : {
           Case{"mono.wav missing.wav", "the test file missing.wav does not exist"},
           Case{"missing.wav mono.wav", "the reference file missing.wav does not exist"},
           Case{"mono.wav folder", "the test file folder is a folder, not a sound file"},
           Case{"mono.wav foreign.wav", "the test file foreign.wav cannot be read as a sound file ("},
           Case{"mono.wav empty.wav", "the test file empty.wav holds no samples"},
           Case{"mono.wav short.wav", "the test file short.wav is too short: 100 samples, a frame takes 1024"},
           Case{"mono.wav megahertz.wav", "the test file megahertz.wav claims 2000000 Hz, more than the 768000 Hz"},
           Case{"mono.wav mono44.wav", "the files differ in sample rate (reference 48000 Hz, test 44100 Hz)"},
           Case{"mono.wav stereo.wav", "the files differ in channel count (reference 1, test 2)"},
           Case{"--csv folder mono.wav mono.wav", "cannot write folder: it is a folder"},
           Case{"--csv nowhere/x.csv mono.wav mono.wav", "cannot write nowhere/x.csv: No such file or directory"},
           Case{"--csv old.csv mono.wav missing.wav", "the test file missing.wav does not exist"},
       }) {
    const HostRun run = Run(c.arguments);
    EXPECT_EQ(run.exitCode, 1) << c.arguments;
    ASSERT_EQ(run.errLines.size(), 1u) << c.arguments;
    EXPECT_EQ(run.errLines[0].rfind(std::string("vantrel-host: ") + c.message, 0), 0u)
        << c.arguments << ": " << run.errLines[0];
    // A refused CSV path is refused before anything is measured.
    if (std::string(c.arguments).rfind("--csv", 0) == 0) {
      EXPECT_EQ(run.out.find("Summary"), std::string::npos) << c.arguments;
    }
  }
  EXPECT_EQ(ReadAll(m_dir.File("old.csv")), "an older table\n");
  const HostRun usage = Run("mono.wav");
  EXPECT_EQ(usage.exitCode, 2);
}

TEST_F(HostCommandTest, SignalsThatDoNotCorrelateAreNotGivenADelay) {
  Write("noise1.wav", IntegerNoise(2 * kMeasureRate, 11, 3000.0), 1);
  Write("silence.wav", std::vector<float>(2 * kMeasureRate, 0.0f), 1);
  const HostRun run = Run("noise1.wav silence.wav");
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("No reliable delay found: the signals do not correlate."), std::string::npos) << run.out;
}

TEST_F(HostCommandTest, FilesTooShortForTheSearchSaySoAndASmallerRangeFindsTheDelay) {
  // 20000 samples: enough for +-5 ms (one window of 1024 and 16 frames), not for +-500 ms.
  const std::vector<float> source = IntegerNoise(20100, 13, 3000.0);
  Write("short_ref.wav", std::vector<float>(source.begin() + 100, source.end()), 1);
  Write("short_test.wav", std::vector<float>(source.begin(), source.begin() + 20000), 1);
  const HostRun wide = Run("short_ref.wav short_test.wav");
  ASSERT_EQ(wide.exitCode, 0);
  EXPECT_NE(wide.out.find("No reliable delay found: the files are too short to search"), std::string::npos) << wide.out;
  const HostRun narrow = Run("--max-delay-ms 5 short_ref.wav short_test.wav");
  ASSERT_EQ(narrow.exitCode, 0);
  EXPECT_NE(narrow.out.find("Delay found: 100 samples"), std::string::npos) << narrow.out;
}

}  // namespace
