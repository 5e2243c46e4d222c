// Where the frames of a file pair lie: frame k holds the reference's samples
// from k frame lengths on, from the files' first sample whatever the delay
// and whether it is tracked or not; the rows end with the last frame that
// still holds test samples, and a row says how many of its samples both
// files hold (a row with zeros for a missing input is never reliable).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host_command_fixture.h"

namespace {

constexpr int kRate = 16000;
constexpr int kFrame = 512;               // the host's frame at this rate
constexpr int64_t kLength = 93 * kFrame;  // whole frames

class HostFramePlacesTest : public HostCommandTest {
 protected:
  // The test is the source `lag` samples later than the reference (ahead
  // when negative); the files hold `length` and `testLength` samples.
  void WriteShiftedPair(const std::vector<float>& source, int64_t lead, int lag, int64_t length,
                        int64_t testLength = -1) {
    if (testLength < 0) testLength = length;
    Write("ref.wav", std::vector<float>(source.begin() + lead, source.begin() + lead + length), 1, kRate);
    Write("test.wav", std::vector<float>(source.begin() + lead - lag, source.begin() + lead - lag + testLength), 1,
          kRate);
  }

  std::vector<CsvRow> Measure(const std::string& options) {
    const HostRun run = Run(options + " ref.wav test.wav --csv frames.csv");
    EXPECT_EQ(run.exitCode, 0) << options << ": " << run.err;
    return CsvRows(ReadAll(m_dir.File("frames.csv")));
  }
};

// The reference samples (from 0) that have a test sample, with the test
// `lag` late: [begin, end).
struct Overlap {
  int64_t begin, end;
};
Overlap OverlapOf(int lag, int64_t length, int64_t testLength) {
  return {std::max<int64_t>(0, -lag), std::min<int64_t>(length, testLength - lag)};
}

// Samples of reference frame k that both files hold.
int64_t BothHold(int64_t k, const Overlap& overlap) {
  const int64_t begin = std::max<int64_t>(k * kFrame, overlap.begin);
  const int64_t end = std::min<int64_t>((k + 1) * kFrame, overlap.end);
  return std::max<int64_t>(end - begin, 0);
}

TEST_F(HostFramePlacesTest, EveryReferenceFrameFromTheFirstToTheLastWithTestSamples) {
  const int64_t lead = 6000;
  const std::vector<float> source = IntegerNoise(size_t(kLength + 2 * lead), 11, 3000.0);
  struct Case {
    int lag;
    int64_t length, testLength;
  };
  for (const Case& c : {Case{0, kLength, kLength}, Case{300, kLength, kLength}, Case{-300, kLength, kLength},
                        Case{5000, kLength, kLength},
                        // The reference ends 100 samples into a frame, the test 300 later.
                        Case{300, kLength - 412, kLength}}) {
    WriteShiftedPair(source, lead, c.lag, c.length, c.testLength);
    const Overlap overlap = OverlapOf(c.lag, c.length, c.testLength);
    const size_t expectedRows = size_t((overlap.end + kFrame - 1) / kFrame);
    for (const char* options : {"", "--track"}) {
      SCOPED_TRACE(testing::Message() << "lag " << c.lag << ", " << c.length << " and " << c.testLength << " samples "
                                      << options);
      const std::vector<CsvRow> rows = Measure(options);
      ASSERT_EQ(rows.size(), expectedRows);
      for (size_t k = 0; k < rows.size(); ++k) {
        const CsvRow& row = rows[k];
        ASSERT_EQ(row.firstSample, int64_t(k) * kFrame) << row.text;
        ASSERT_EQ(row.delay, c.lag) << row.text;
        ASSERT_EQ(row.realSamples, BothHold(int64_t(k), overlap)) << row.text;
        if (row.realSamples < kFrame) {
          ASSERT_NE(row.status, 1) << "reliable on zeros: " << row.text;
        } else if (options[0] == '\0') {
          ASSERT_EQ(row.status, 1) << row.text;
        }
      }
    }
  }
}

TEST_F(HostFramePlacesTest, ATrackedRepeatingSignalHandsOutEveryFrameWhateverTheSearchFound) {
  // Noise repeating every 0.5 s, the test 3000 samples ahead, searched up
  // to 2 s: the search may settle on a repeat; the frames start at the
  // files' first sample all the same.
  const int64_t period = kRate / 2;
  const int64_t length = 6 * kRate;
  const std::vector<float> once = IntegerNoise(size_t(period), 12, 3000.0);
  std::vector<float> source(size_t(length + 2 * period));
  for (size_t n = 0; n < source.size(); ++n) source[n] = once[n % size_t(period)];
  WriteShiftedPair(source, period, -3000, length);
  const std::vector<CsvRow> rows = Measure("--track --max-delay-ms 2000");
  ASSERT_FALSE(rows.empty());
  const int found = rows.front().delay;
  for (size_t k = 0; k < rows.size(); ++k) ASSERT_EQ(rows[k].firstSample, int64_t(k) * kFrame) << rows[k].text;
  EXPECT_EQ(rows.size(), size_t((std::min(length, length - found) + kFrame - 1) / kFrame)) << "delay " << found;
  EXPECT_GT(rows.back().realSamples, 0);
}

}  // namespace
