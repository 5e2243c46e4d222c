// What the host prints: runs of equal frames by default, every frame on
// request, the CSV alone on stdout with --csv -, the search's progress,
// progress that ends at
// 100 %, the levels and gain of --align-levels, and --track following a
// delay that steps within the files.
#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "host_command_fixture.h"

namespace {

// The columns of a CSV row the tests read.
// delay_samples of every row of a CSV table.
std::vector<int> CsvDelays(const std::string& table) {
  std::vector<int> delays;
  const std::vector<std::string> lines = Lines(table);
  for (size_t k = 1; k < lines.size(); ++k) {
    int frame = 0, delay = 0;
    if (std::sscanf(lines[k].c_str(), "%d,%d,", &frame, &delay) == 2) delays.push_back(delay);
  }
  return delays;
}

int CountStarting(const std::vector<std::string>& lines, const std::string& start) {
  int count = 0;
  for (const std::string& line : lines) count += line.rfind(start, 0) == 0 ? 1 : 0;
  return count;
}

TEST_F(HostCommandTest, FramesAreShownAsRunsOrOneByOneAndTheCsvCanGoAloneToStdout) {
  WritePair(1234, "ref.wav", "test.wav");
  const HostRun runs = RunPlain("ref.wav test.wav --csv frames.csv");
  ASSERT_EQ(runs.exitCode, 0) << runs.err;
  const std::vector<int> delays = CsvDelays(ReadAll(m_dir.File("frames.csv")));
  ASSERT_GT(delays.size(), 100u);
  // One delay and status throughout: one run line covering every frame
  // but the last, which reaches past the test's end and has one of its own.
  const std::vector<std::string> lines = Lines(runs.out);
  EXPECT_EQ(CountStarting(lines, "frame "), 0) << runs.out;
  ASSERT_EQ(CountStarting(lines, "frames "), 2) << runs.out;
  char expected[64];
  std::snprintf(expected, sizeof expected, "frames 0-%zu ", delays.size() - 2);
  EXPECT_NE(runs.out.find(expected), std::string::npos) << runs.out;
  std::snprintf(expected, sizeof expected, "frames %zu ", delays.size() - 1);
  EXPECT_NE(runs.out.find(expected), std::string::npos) << runs.out;
  EXPECT_NE(runs.out.find("delay    1234 samples (   25.708 ms)  reliable   quality "), std::string::npos) << runs.out;

  const HostRun frames = RunPlain("--frames ref.wav test.wav");
  ASSERT_EQ(frames.exitCode, 0);
  EXPECT_EQ(CountStarting(Lines(frames.out), "frame "), int(delays.size())) << frames.out;

  // --csv -: stdout is the table and nothing else; the report goes to stderr.
  const HostRun piped = RunPlain("--csv - ref.wav test.wav");
  ASSERT_EQ(piped.exitCode, 0) << piped.err;
  EXPECT_EQ(piped.out, ReadAll(m_dir.File("frames.csv")));
  EXPECT_NE(piped.err.find("Delay found: 1234 samples"), std::string::npos) << piped.err;
}

TEST_F(HostCommandTest, ProgressOfALongFileEndsAtOneHundredPercentAndClearsItsTerminalLine) {
  // 31 s at 8 kHz: just long enough for progress.
  WritePair(100, "long_ref.wav", "long_test.wav", 31, 8000);
  const HostRun run = RunPlain("long_ref.wav long_test.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> progress;
  for (const std::string& line : run.errLines)
    if (line.rfind("progress:", 0) == 0) progress.push_back(line);
  ASSERT_FALSE(progress.empty()) << run.err;
  EXPECT_EQ(progress.front(), "progress:   0 %");
  EXPECT_EQ(progress.back(), "progress: 100 %");
  EXPECT_LE(progress.size(), 11u);
  // --quiet into a file or pipe: the summary alone, no progress lines.
  const HostRun quiet = Run("--quiet long_ref.wav long_test.wav");
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.err.find("progress:"), std::string::npos) << quiet.err;

  // On a terminal: one line rewritten in place, at 100 % at the end, then cleared.
  const std::string screen = m_dir.File("screen.txt");
  const std::string command =
      "script -qec \"" + Command("--quiet long_ref.wav long_test.wav") + "\" /dev/null >'" + screen + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string shown = ReadAll(screen);
  const size_t full = shown.rfind("\rprogress: 100 %");
  ASSERT_NE(full, std::string::npos) << shown;
  EXPECT_EQ(shown.compare(full + 16, 4, "\r\033[K"), 0) << shown.substr(full);
  EXPECT_EQ(shown.find("progress:  50 %\n"), std::string::npos);
}

TEST_F(HostCommandTest, ASearchThatTakesAWhileShowsHowMuchOfTheFilesItHasRead) {
  // Noise that repeats every 2 s, the test 1000 samples late: the search
  // never settles and reads all 30 s of both files with a window of 2^18
  // points (about 3.4 s on an idle AMD EPYC guest: well over the second after
  // which the search shows its progress, on faster machines too), frames too
  // short for their own progress.
  constexpr int kRate = 16000;
  const std::vector<float> loop = IntegerNoise(2 * kRate, 41, 3000.0);
  std::vector<float> source(30 * kRate + 1000);
  for (size_t n = 0; n < source.size(); ++n) source[n] = loop[n % loop.size()];
  Write("ref.wav", std::vector<float>(source.begin() + 1000, source.end()), 1, kRate);
  Write("test.wav", std::vector<float>(source.begin(), source.end() - 1000), 1, kRate);
  const std::string arguments = "--max-delay-ms 8000 ref.wav test.wav";

  // Into a file: a line every 10 %, rising, all before the frames.
  const HostRun run = RunPlain(arguments);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<int> shares;
  for (const std::string& line : run.errLines) {
    int share = -1;
    if (std::sscanf(line.c_str(), "searching the delay, files read: %d %%", &share) == 1) shares.push_back(share);
  }
  ASSERT_FALSE(shares.empty()) << run.err;
  for (size_t k = 1; k < shares.size(); ++k) EXPECT_GT(shares[k] / 10, shares[k - 1] / 10) << run.err;
  EXPECT_LE(shares.back(), 100);
  EXPECT_EQ(run.errLines.back().rfind("searching the delay", 0), 0u) << run.err;

  // --quiet into a file: nothing; on a terminal: one line rewritten, then cleared.
  const HostRun quiet = Run(arguments);
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.err.find("searching"), std::string::npos) << quiet.err;
  const std::string screen = m_dir.File("screen.txt");
  const std::string command =
      "script -qec \"" + Command("--quiet " + arguments) + "\" /dev/null >'" + screen + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string shown = ReadAll(screen);
  EXPECT_TRUE(
      std::regex_search(shown, std::regex("\rsearching the delay, files read: +[0-9]+ %\r\033\\[K\r?\nSummary")))
      << shown;
  EXPECT_EQ(shown.find("files read:  50 %\n"), std::string::npos);
}

TEST_F(HostCommandTest, AlignedLevelsAreReportedWithTheGainApplied) {
  // Noise of rms 3000 and a test at a quarter of it: -20.8 and -32.8 dBFS, gain x4.
  WritePair(-321, "ref.wav", "test.wav", 3, kMeasureRate, 0.25f);
  const HostRun run = Run("--align-levels ref.wav test.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  double ref = 0, test = 0, gain = 0, db = 0;
  const size_t at = run.out.find("Levels (RMS, channel 0): ");
  ASSERT_NE(at, std::string::npos) << run.out;
  ASSERT_EQ(
      std::sscanf(run.out.c_str() + at,
                  "Levels (RMS, channel 0): reference %lf dBFS, test %lf dBFS; gain applied to the test x%lf (%lf dB)",
                  &ref, &test, &gain, &db),
      4)
      << run.out;
  const double expectedRef = 20.0 * std::log10(3000.0 / 32768.0);
  EXPECT_NEAR(ref, expectedRef, 0.2);
  EXPECT_NEAR(test, expectedRef + 20.0 * std::log10(0.25), 0.2);
  EXPECT_NEAR(gain, 4.0, 0.02);
  EXPECT_NEAR(db, 12.0, 0.1);
  // Without the option no levels are reported.
  EXPECT_EQ(Run("ref.wav test.wav").out.find("Levels"), std::string::npos);
}

TEST_F(HostCommandTest, TrackFollowsADelayThatStepsWithinTheFilesWithoutItEveryFrameKeepsTheFirstDelay) {
  // 20 s at 16 kHz: the test lags by 500 samples, from 10 s on by 520.
  const int rate = 16000;
  const int64_t length = 20 * rate, lead = 2000, step = 10 * rate;
  const std::vector<float> source = IntegerNoise(size_t(length + lead), 41, 3000.0);
  std::vector<float> ref(length), test(length);
  for (int64_t n = 0; n < length; ++n) {
    ref[n] = source[lead + n];
    test[n] = source[lead + n - (n < step ? 500 : 520)];
  }
  Write("ref.wav", ref, 1, rate);
  Write("test.wav", test, 1, rate);

  const HostRun fixed = Run("--csv fixed.csv ref.wav test.wav");
  ASSERT_EQ(fixed.exitCode, 0) << fixed.err;
  for (const CsvRow& row : CsvRows(ReadAll(m_dir.File("fixed.csv")))) ASSERT_EQ(row.delay, 500);
  EXPECT_EQ(fixed.out.find("tracked"), std::string::npos);

  const HostRun tracked = Run("--track --csv tracked.csv ref.wav test.wav");
  ASSERT_EQ(tracked.exitCode, 0) << tracked.err;
  EXPECT_NE(tracked.out.find("re-checked and tracked"), std::string::npos) << tracked.out;
  // Each row says where its reference samples lie in the file; the test
  // samples aligned with them lie the delay later.
  const std::vector<CsvRow> rows = CsvRows(ReadAll(m_dir.File("tracked.csv")));
  ASSERT_GT(rows.size(), 600u);
  const int64_t kFollow = 30 * 512;  // samples the tracker may take to follow
  int64_t firstNew = -1;
  for (const CsvRow& row : rows) {
    if (row.status != 1) continue;
    const int64_t testStart = row.firstSample + row.delay;
    // A reliable frame carries the delay in force in its samples, never another.
    if (testStart + 512 <= step) {
      EXPECT_EQ(row.delay, 500) << row.text;
    } else if (testStart > step + kFollow) {
      EXPECT_EQ(row.delay, 520) << row.text;
    }
    if (row.delay == 520 && firstNew < 0) firstNew = testStart;
  }
  ASSERT_GE(firstNew, 0) << "the step to 520 was never reliable";
  EXPECT_GE(firstNew + 512, step);
  EXPECT_LE(firstNew, step + kFollow);
}

TEST_F(HostCommandTest, TrackHandsOutEveryFrameOfTheFilesWithItsPosition) {
  // 3 s at 16 kHz, the test 1234 samples late: with --track as without it,
  // the frames run from the start of the files to their end, one after
  // the other, and the summary's share counts them all. Tracked, the
  // search's confirmation vouches only for frames from its first block on:
  // the frames before it wait for the re-check.
  WritePair(1234, "ref.wav", "test.wav", 3, 16000);
  const HostRun fixed = Run("--csv fixed.csv ref.wav test.wav");
  const HostRun tracked = Run("--track --csv tracked.csv ref.wav test.wav");
  ASSERT_EQ(fixed.exitCode, 0) << fixed.err;
  ASSERT_EQ(tracked.exitCode, 0) << tracked.err;
  const std::vector<CsvRow> fixedRows = CsvRows(ReadAll(m_dir.File("fixed.csv")));
  const std::vector<CsvRow> rows = CsvRows(ReadAll(m_dir.File("tracked.csv")));
  // Every frame of 512 of the reference that still has test samples.
  ASSERT_EQ(rows.size(), size_t((3 * 16000 - 1234 + 511) / 512));
  ASSERT_EQ(rows.size(), fixedRows.size());
  EXPECT_EQ(rows[0].firstSample, 0);
  for (size_t k = 0; k < rows.size(); ++k) {
    EXPECT_EQ(rows[k].firstSample, rows[0].firstSample + int64_t(k) * 512) << rows[k].text;
    EXPECT_EQ(rows[k].firstSample, fixedRows[k].firstSample) << rows[k].text;
    EXPECT_NEAR(rows[k].seconds, double(rows[k].firstSample) / 16000.0, 1e-6) << rows[k].text;
  }
  int reliable = 0;
  int complete = 0;
  int firstReliable = -1;
  for (size_t k = 0; k < rows.size(); ++k) {
    const bool both = BothFilesHold(rows[k].firstSample, 512, 1234, 3 * 16000, 3 * 16000);
    complete += both ? 1 : 0;
    if (rows[k].status != 1) continue;
    ++reliable;
    if (firstReliable < 0) firstReliable = int(k);
    EXPECT_EQ(rows[k].delay, 1234) << rows[k].text;
    EXPECT_TRUE(both) << rows[k].text;
  }
  EXPECT_EQ(rows.back().realSamples, 3 * 16000 - 1234 - int(rows.size() - 1) * 512);
  EXPECT_NE(rows.back().status, 1);
  // The share in tenths of a percent, rounded down.
  const long long tenths = 1000LL * reliable / static_cast<long long>(rows.size());
  char share[96];
  std::snprintf(share, sizeof share, "Reliable: %d of %zu frames (%lld.%lld %% of the file)", reliable, rows.size(),
                tenths / 10, tenths % 10);
  EXPECT_NE(tracked.out.find(share), std::string::npos) << tracked.out;
  // From the first reliable frame on the complete frames are, but for a few
  // the re-check may doubt, and that frame comes within the search's
  // blocks: 16 frames and a block of 8192 samples.
  ASSERT_GE(firstReliable, 0);
  EXPECT_LE(reliable, complete - firstReliable);
  EXPECT_GE(reliable, complete - firstReliable - 3);
  EXPECT_LE(firstReliable, 16 + 8192 / 512);
}

}  // namespace
