// The README's main command as a user meets it: the example host run on
// sound-file pairs it did not make. The delay and its sign come from how
// the files were built; every failure is one line on stderr and exit 1.
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host_command_fixture.h"

namespace {

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
    EXPECT_EQ(line, kCsvHeader);
    int rows = 0;
    int reliableRows = 0;
    int completeRows = 0;  // without zeros for a missing input, which are never reliable
    for (const CsvRow& row : CsvRows(ReadAll(m_dir.File("frames.csv")))) {
      EXPECT_EQ(row.frame, rows);
      completeRows += row.realSamples == 1024 ? 1 : 0;
      if (row.status == 1) {
        ++reliableRows;
        EXPECT_EQ(row.delay, c.test[1] == 'a' ? 1234 : -777) << row.text;
      }
      ++rows;
    }
    // Every 1024-sample frame of the 3 s that holds test samples is there.
    EXPECT_EQ(rows, (3 * kMeasureRate - std::max(c.test[1] == 'a' ? 1234 : -777, 0) + 1023) / 1024);
    EXPECT_EQ(reliableRows, completeRows);
    EXPECT_GE(completeRows, rows - 2);
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
  Write("slow.wav", second, 1, 1000);
  // A pipe with no writer: opening it would block for good.
  ASSERT_EQ(mkfifo(m_dir.File("pipe.wav").c_str(), 0600), 0);
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
           Case{"mono.wav pipe.wav", "the test file pipe.wav is not a regular file (a pipe or a device)"},
           Case{"slow.wav slow.wav", "the reference file slow.wav has 1000 Hz, too low for a meaningful frame"},
           Case{"--channel 1 mono.wav mono.wav", "--channel 1 needs two channels; the files have 1"},
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
  Write("noise2.wav", IntegerNoise(2 * kMeasureRate, 12, 3000.0), 1);
  const HostRun run = Run("noise1.wav noise2.wav");
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("No reliable delay found: the signals do not correlate.\n"), std::string::npos) << run.out;
  for (const char* claim : {"Delay found", "last estimate"})
    EXPECT_EQ(run.out.find(claim), std::string::npos) << claim << "\n" << run.out;
}

TEST_F(HostCommandTest, ARangeTheFilesCannotFillIsNarrowedWithOneLineAndTheSummaryStatesTheSearchedRange) {
  // 20000 samples: enough for +-5 ms (one window of 1024 and 16 frames), not for +-1000 ms.
  const std::vector<float> source = IntegerNoise(20100, 13, 3000.0);
  Write("short_ref.wav", std::vector<float>(source.begin() + 100, source.end()), 1);
  Write("short_test.wav", std::vector<float>(source.begin(), source.begin() + 20000), 1);
  for (const char* range : {"", "--max-delay-ms 240000 "}) {
    const HostRun run = Run(std::string(range) + "short_ref.wav short_test.wav");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.errLines.size(), 1u) << run.err;
    EXPECT_NE(run.errLines[0].find("vantrel-host: note: the files (20000 samples) cannot fill a search of +-"),
              std::string::npos)
        << run.errLines[0];
    EXPECT_NE(run.out.find("Delay found: 100 samples"), std::string::npos) << run.out;
    // The summary names the note's range, then the window searched: at most 20000 - 16 frames.
    int noteMs = 0, summaryMs = 0;
    const size_t noteAt = run.errLines[0].find("searching within +-");
    ASSERT_NE(noteAt, std::string::npos) << run.errLines[0];
    ASSERT_EQ(std::sscanf(run.errLines[0].c_str() + noteAt, "searching within +-%d ms instead", &noteMs), 1);
    long long reach = 0;
    const size_t at = run.out.find("within +-");
    ASSERT_NE(at, std::string::npos) << run.out;
    ASSERT_EQ(
        std::sscanf(run.out.c_str() + at, "within +-%d ms (searched up to +-%*f ms, %lld samples)", &summaryMs, &reach),
        2)
        << run.out;
    EXPECT_EQ(summaryMs, noteMs);
    EXPECT_GE(reach, 100);
    EXPECT_LE(reach, 20000 - 16 * 1024);
  }
  // Shorter than any search: said in the summary.
  Write("tiny_ref.wav", std::vector<float>(source.begin(), source.begin() + 5000), 1);
  const HostRun tiny = Run("tiny_ref.wav tiny_ref.wav");
  ASSERT_EQ(tiny.exitCode, 0);
  EXPECT_NE(
      tiny.out.find("No reliable delay found: the files are too short to search (18432 samples needed, 5000 there)"),
      std::string::npos)
      << tiny.out;
}

TEST_F(HostCommandTest, AHugeRangeOnShortFilesNeverAllocatesItsBuffers) {
  // +-240 s asks for about 3.8 GB of search buffers; 3 s of files allow a few MB.
  WritePair(1234, "ref.wav", "test.wav");
  const HostRun run = Run("--max-delay-ms 240000 ref.wav test.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Delay found: 1234 samples"), std::string::npos) << run.out;
  struct rusage usage {};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  EXPECT_LT(usage.ru_maxrss, 512L * 1024) << "KB";
}

}  // namespace
