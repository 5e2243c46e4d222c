// The host's report holds to what happened: a file that stops decoding is
// named with where it stopped, an empty file name is a usage error, output
// that cannot be written fails the run, a channel-swap retry is told, and
// the README's demonstration block is what the program prints.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "host_command_fixture.h"

namespace {

constexpr int kRate = 16000;

// A 3 s FLAC copy of the reference, and two damaged copies of it: one byte
// changed inside, and the first half of the file alone.
class HostReportTest : public HostCommandTest {
 protected:
  void WriteFlacs() {
    WritePair(300, "ref.wav", "test.wav", 3, kRate);
    SoundFileReader reader;
    ASSERT_TRUE(reader.Open(m_dir.File("test.wav")));
    std::vector<float> samples(size_t(reader.Format().frames));
    ASSERT_EQ(reader.Read(samples.data(), int64_t(samples.size())), int64_t(samples.size()));
    std::string error;
    ASSERT_TRUE(WriteSoundFile(m_dir.File("test.flac"), {kRate, 1, SoundFileEncoding::Pcm16, "flac"}, samples.data(),
                               int64_t(samples.size()), &error))
        << error;
    std::string bytes = ReadAll(m_dir.File("test.flac"));
    ASSERT_GT(bytes.size(), 40000u);
    std::ofstream(m_dir.File("cut.flac"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    bytes[20000] = char(~bytes[20000]);
    std::ofstream(m_dir.File("changed.flac"), std::ios::binary) << bytes;
  }
};

TEST_F(HostReportTest, AFileThatStopsDecodingIsOneLineSayingWhereAndNothingIsMeasured) {
  WriteFlacs();
  const HostRun whole = Run("ref.wav test.flac");
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  EXPECT_NE(whole.out.find("Delay found: 300 samples"), std::string::npos) << whole.out;

  for (const std::string arguments : {"ref.wav changed.flac", "ref.wav cut.flac", "cut.flac ref.wav"}) {
    const HostRun run = Run(arguments);
    EXPECT_EQ(run.exitCode, 1) << arguments;
    ASSERT_EQ(run.errLines.size(), 1u) << arguments << ": " << run.err;
    const bool testDamaged = arguments.rfind("ref.wav", 0) == 0;
    const std::string file = testDamaged ? arguments.substr(8) : arguments.substr(0, 8);
    const std::string start =
        std::string("vantrel-host: the ") + (testDamaged ? "test" : "reference") + " file " + file + " is damaged: ";
    ASSERT_EQ(run.errLines[0].rfind(start, 0), 0u) << run.errLines[0];
    long long stopped = -1, total = -1;
    ASSERT_EQ(std::sscanf(run.errLines[0].c_str() + start.size(), "decoding stopped at sample %lld (%*f s) of %lld (",
                          &stopped, &total),
              2)
        << run.errLines[0];
    EXPECT_EQ(total, 3 * kRate);
    EXPECT_GE(stopped, 0);
    EXPECT_LT(stopped, total);
    // Nothing measured, so nothing guessed about the signals.
    EXPECT_EQ(run.out.find("Summary"), std::string::npos) << run.out;
  }
}

TEST_F(HostReportTest, AnEmptyFileNameIsAUsageError) {
  WritePair(300, "ref.wav", "test.wav", 3, kRate);
  for (const char* arguments : {"'' test.wav", "ref.wav ''", "''"}) {
    const HostRun run = Run(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments;
    ASSERT_EQ(run.errLines.size(), 1u) << arguments << ": " << run.err;
    EXPECT_EQ(run.errLines[0], "vantrel-host: a file name is empty");
    EXPECT_EQ(run.out.find("Demonstration"), std::string::npos) << run.out;
  }
}

TEST_F(HostReportTest, StandardOutputThatCannotBeWrittenFailsTheRun) {
  WritePair(300, "ref.wav", "test.wav", 3, kRate);
  const std::string err = m_dir.File("stderr.txt");
  for (const char* redirection : {">/dev/full", ">&-"}) {
    for (const char* arguments : {"ref.wav test.wav", "--help"}) {
      const std::string command = Command(arguments) + " " + redirection + " 2>'" + err + "'";
      const int status = std::system(command.c_str());
      ASSERT_TRUE(WIFEXITED(status)) << command;
      EXPECT_EQ(WEXITSTATUS(status), 1) << command;
      EXPECT_NE(ReadAll(err).find("vantrel-host: the standard output could not be written"), std::string::npos)
          << command << ": " << ReadAll(err);
    }
  }
}

TEST_F(HostReportTest, AChannelSwapRetryIsToldInTheSummaryAndOnEveryRow) {
  // Stereo 2 s: a and b independent. "crossed" carries b and a, both 300
  // late; "noisy" carries a with noise (a correlation near 80, below the
  // retry's 90) and an unrelated channel, so swapping does no better.
  const size_t length = 2 * size_t(kRate), lead = 1000;
  const std::vector<float> a = IntegerNoise(length + lead, 51, 3000.0);
  const std::vector<float> b = IntegerNoise(length + lead, 52, 3000.0);
  const std::vector<float> noise = IntegerNoise(length, 53, 2200.0);
  const std::vector<float> other = IntegerNoise(length, 54, 3000.0);
  std::vector<float> ref, crossed, noisy;
  for (size_t n = 0; n < length; ++n) {
    ref.insert(ref.end(), {a[lead + n], b[lead + n]});
    crossed.insert(crossed.end(), {b[lead + n - 300], a[lead + n - 300]});
    noisy.insert(noisy.end(), {a[lead + n - 300] + noise[n], other[n]});
  }
  Write("ref.wav", ref, 2, kRate);
  Write("crossed.wav", crossed, 2, kRate);
  Write("noisy.wav", noisy, 2, kRate);
  WritePair(300, "mono_ref.wav", "mono_test.wav", 2, kRate);

  struct Case {
    const char* files;
    const char* summary;  // null: no line on channels
    const char* column;
  };
  for (const Case& c : {
           Case{"ref.wav crossed.wav", "Channels: the test's two channels are measured swapped", "used"},
           Case{"ref.wav noisy.wav", "Channels: the search correlated below 90 %, so it ran again with the test's two "
                                     "channels swapped; that did no better",
                "tried_not_used"},
           Case{"mono_ref.wav mono_test.wav", nullptr, "not_tried"},
       }) {
    const HostRun run = Run(std::string("--csv frames.csv ") + c.files);
    ASSERT_EQ(run.exitCode, 0) << c.files << ": " << run.err;
    EXPECT_NE(run.out.find("Delay found: 300 samples"), std::string::npos) << c.files << ": " << run.out;
    if (c.summary != nullptr) {
      EXPECT_NE(run.out.find(c.summary), std::string::npos) << run.out;
    } else {
      EXPECT_EQ(run.out.find("Channels:"), std::string::npos) << run.out;
    }
    const std::vector<std::string> rows = Lines(ReadAll(m_dir.File("frames.csv")));
    ASSERT_GT(rows.size(), 50u) << c.files;
    for (size_t k = 1; k < rows.size(); ++k) {
      const std::string& row = rows[k];
      // channel_swap, before real_samples.
      const std::string head = row.substr(0, row.rfind(','));
      ASSERT_EQ(head.substr(head.rfind(',') + 1), c.column) << c.files << ": " << row;
    }
  }
}

// The indented block after the demonstration command in the README.
std::vector<std::string> ReadmeDemonstration() {
  std::ifstream in(std::filesystem::path(VANTREL_SOURCE_DIR) / "README.md");
  std::vector<std::string> block;
  bool inBlock = false;
  for (std::string line; std::getline(in, line);) {
    if (!inBlock) {
      inBlock = line == "    Demonstration pair:" || line.rfind("    Demonstration pair: ", 0) == 0;
      if (!inBlock) continue;
    }
    if (!line.empty() && line.rfind("    ", 0) != 0) break;
    block.push_back(line.empty() ? line : line.substr(4));
  }
  while (!block.empty() && block.back().empty()) block.pop_back();
  return block;
}

TEST_F(HostReportTest, TheReadmeShowsWhatTheDemonstrationPrints) {
  const std::vector<std::string> readme = ReadmeDemonstration();
  ASSERT_GT(readme.size(), 5u) << "no demonstration block in README.md";
  const HostRun run = RunPlain("");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // The pair's folder is a new temporary one every time.
  const std::regex folder("[^ ]*/vantrel-demo-[A-Za-z0-9]+/");
  std::vector<std::string> printed = Lines(std::regex_replace(run.out, folder, "/tmp/vantrel-demo-XXXXXX/"));
  while (!printed.empty() && printed.back().empty()) printed.pop_back();
  EXPECT_EQ(printed, readme);
}

}  // namespace
