// The host reports a delay it would not take against the range actually
// searched: the asked one, or the narrowed one its note names; the note and
// the summary name that one range.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "frontend/speech_like.h"
#include "host_command_fixture.h"

namespace {

class HostRangeReportTest : public HostCommandTest {
 protected:
  // Noise pairs of `seconds` at `rate`: the test lags the reference by
  // `lag` samples, at half its level.
  void WriteLaggingPair(int lag, int seconds, int rate) {
    const size_t length = size_t(seconds) * size_t(rate);
    const std::vector<float> source = IntegerNoise(length + size_t(lag), 5, 3000.0);
    std::vector<float> test(length);
    for (size_t n = 0; n < length; ++n) test[n] = std::round(0.5f * source[n]);
    Write("ref.wav", std::vector<float>(source.begin() + lag, source.end()), 1, rate);
    Write("test.wav", test, 1, rate);
  }
};

TEST_F(HostRangeReportTest, ADelayBeyondTheAskedRangeIsReportedAgainstIt) {
  // 16002 samples at 16 kHz: 1000.125 ms, within the search's reach.
  WriteLaggingPair(16002, 4, 16000);
  const HostRun run = Run("--max-delay-ms 1000 ref.wav test.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("No reliable delay found: found 1000.125 ms (16002 samples, quality "), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("beyond the asked +-1000 ms."), std::string::npos) << run.out;
}

TEST_F(HostRangeReportTest, SpeechBeyondANarrowRangeIsReportedBeyondItNotAsRepeating) {
  // 1000 samples at 48 kHz (20.833 ms) against +-20 ms: a narrow window sees
  // the voice's look-alikes a pitch period apart as rivals of its clear peak.
  constexpr int kRate = 48000, kLag = 1000;
  const size_t length = size_t(3 * kRate);
  const std::vector<float> source = SpeechLike(length + kLag, kRate, 7);
  Write("ref.wav", std::vector<float>(source.begin() + kLag, source.end()), 1, kRate);
  Write("test.wav", std::vector<float>(source.begin(), source.begin() + ptrdiff_t(length)), 1, kRate);
  const HostRun run = Run("--max-delay-ms 20 ref.wav test.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("No reliable delay found: found 20.833 ms (1000 samples, quality "), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("beyond the asked +-20 ms."), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("repeats"), std::string::npos) << run.out;
}

TEST_F(HostRangeReportTest, TheNarrowingNoteNamesTheLimitTheMeasurementApplies) {
  // 6 s at 16 kHz fill no window beyond 65536 points: +-2048 ms, reaching 3072 ms.
  WriteLaggingPair(40000, 6, 16000);
  const HostRun run = Run("--max-delay-ms 10000 ref.wav test.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::smatch note;
  ASSERT_TRUE(std::regex_search(run.err, note, std::regex(R"(searching within \+-(\d+) ms instead)"))) << run.err;
  const int limitMs = std::stoi(note[1]);
  EXPECT_EQ(limitMs, 2048);
  // The summary names the same range, then how far its window reaches.
  std::smatch summary;
  ASSERT_TRUE(std::regex_search(run.out, summary,
                                std::regex(R"(within \+-(\d+) ms \(searched up to \+-([0-9.]+) ms, (\d+) samples\))")))
      << run.out;
  EXPECT_EQ(std::stoi(summary[1]), limitMs);
  EXPECT_DOUBLE_EQ(std::stod(summary[2]), 1000.0 * std::stod(summary[3]) / 16000);
  EXPECT_GT(std::stod(summary[2]), limitMs);
  // 40000 samples (2500 ms) lie within the reach but beyond that limit.
  EXPECT_NE(run.out.find("found 2500.000 ms (40000 samples"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("beyond the narrowed +-" + std::to_string(limitMs) + " ms."), std::string::npos) << run.out;
}

}  // namespace
