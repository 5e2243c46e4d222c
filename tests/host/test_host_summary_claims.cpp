// The summary claims only what was measured: files of different lengths
// are named with both lengths and the share of the longer one measured,
// and a signal that repeats within the search range leaves its delay open
// instead of naming one of its look-alike delays.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "frontend/speech_like.h"
#include "host_command_fixture.h"

namespace {

constexpr int kRate = 16000;

TEST_F(HostCommandTest, FilesOfDifferentLengthsEndWithTheShorterAndNameTheShareMeasured) {
  WritePair(300, "ref.wav", "test.wav", 6, kRate);
  WritePair(300, "ref3.wav", "test3.wav", 3, kRate);
  struct Case {
    const char* arguments;
    const char* lengths;
    int64_t shorter;
  };
  for (const Case& c :
       {Case{"ref.wav test3.wav",
             "Lengths: reference 6.000 s (96000 samples), test 3.000 s (48000 samples); the run ended with the test, "
             "so 50.0 % of the reference was measured",
             48000},
        Case{"ref3.wav test.wav",
             "Lengths: reference 3.000 s (48000 samples), test 6.000 s (96000 samples); the run ended with the "
             "reference, so 50.0 % of the test was measured",
             48000}}) {
    SCOPED_TRACE(c.arguments);
    const HostRun run = Run(c.arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(std::string(c.lengths) + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("of the file)"), std::string::npos) << run.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.out, m, std::regex(R"(Summary: (\d+) frames of 512 samples)"))) << run.out;
    // No frame lies beyond the shorter file.
    EXPECT_LE(std::stoll(m[1]) * 512, c.shorter + 512);
  }
  // One sample more is not all of it: the share is rounded down.
  Write("test_longer.wav", std::vector<float>(IntegerNoise(3 * kRate + 1, 4, 3000.0)), 1, kRate);
  const HostRun longer = Run("ref3.wav test_longer.wav");
  EXPECT_NE(longer.out.find("so 99.9 % of the test was measured\n"), std::string::npos) << longer.out;
  // Equal lengths say nothing of lengths.
  const HostRun equal = Run("ref.wav test.wav");
  EXPECT_EQ(equal.out.find("Lengths:"), std::string::npos) << equal.out;
  EXPECT_NE(equal.out.find("of the file)"), std::string::npos) << equal.out;
}

TEST_F(HostCommandTest, WithoutTrackingTheSummarySaysWhereTheDelayMoved) {
  // The test lags by 300 samples for 6 s, then by 303.
  const size_t length = 12 * size_t(kRate);
  const std::vector<float> source = IntegerNoise(length + 400, 5, 3000.0);
  std::vector<float> ref(source.begin() + 400, source.end()), test(length);
  for (size_t n = 0; n < length; ++n) test[n] = source[400 + n - (n < 6 * size_t(kRate) + 300 ? 300 : 303)];
  Write("ref.wav", ref, 1, kRate);
  Write("step.wav", test, 1, kRate);
  const HostRun moved = Run("ref.wav step.wav");
  ASSERT_EQ(moved.exitCode, 0) << moved.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(moved.out, m,
                                std::regex(R"(\nThe delay moved: 300 at the start, 303 by 0:(\d\d); --track follows it\n)")))
      << moved.out;
  // Within the check's longest interval and a look after the step.
  EXPECT_GE(std::stoi(m[1]), 6);
  EXPECT_LE(std::stoi(m[1]), 11);
  // The frames from there are not reliable.
  ASSERT_TRUE(std::regex_search(moved.out, m, std::regex(R"(Reliable: (\d+) of (\d+) frames)"))) << moved.out;
  EXPECT_LE(std::stoll(m[1]), std::stoll(m[2]) * 11 / 12);
  // A delay that holds says nothing of a move.
  WritePair(300, "ref2.wav", "test2.wav", 12, kRate);
  const HostRun held = Run("ref2.wav test2.wav");
  EXPECT_EQ(held.out.find("moved"), std::string::npos) << held.out;
}

TEST_F(HostCommandTest, ADelayThatDriftsFromTheStartIsSaidToHaveMovedNotToBeOpen) {
  // The test runs 1000 ppm fast from the first sample on: the delay moves
  // across 0, where the search's two sides see it at once, and then on by
  // 16 samples a second. No frame is reliable, and the summary says the
  // delay moved, not that the signal repeats.
  const size_t length = 8 * size_t(kRate);
  const std::vector<float> ref = SpeechLike(length, kRate, 7);
  std::vector<float> test(length, 0.0f);
  for (size_t n = 0; n < length; ++n) {
    const double m = double(n) * 1.001;
    const size_t whole = size_t(m);
    if (whole + 1 >= length) break;
    const double part = m - double(whole);
    test[n] = float(std::round((1.0 - part) * ref[whole] + part * ref[whole + 1]));
  }
  Write("ref.wav", ref, 1, kRate);
  Write("test.wav", test, 1, kRate);
  const HostRun run = Run("ref.wav test.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("\nReliable: 0 of "), std::string::npos) << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex(R"(\nThe delay moved: -?\d+ at the start; by 0:0\d the signals )"
                                                    R"(correlated -?\d+ % there \(\d+ % at the start\); --track follows it\n)")))
      << run.out;
  EXPECT_EQ(run.out.find("repeats"), std::string::npos) << run.out;
}

TEST_F(HostCommandTest, ASignalThatRepeatsWithinTheRangeLeavesTheDelayOpen) {
  struct Case {
    const char* name;
    std::vector<float> source;  // reference from sample `lead` on
    int lag;
  };
  // A click every 500 ms, the test 375 ms late; noise looped every 1.05 s,
  // the test 950 ms late.
  constexpr size_t kLength = 10 * kRate;
  constexpr size_t kLead = 20000;
  std::vector<float> clicks(kLength + kLead);
  for (size_t n = 0; n < clicks.size(); ++n) clicks[n] = n % (kRate / 2) < 8 ? 20000.0f : 0.0f;
  const std::vector<float> loop = IntegerNoise(size_t(1.05 * kRate), 9, 3000.0);
  std::vector<float> looped(kLength + kLead);
  for (size_t n = 0; n < looped.size(); ++n) looped[n] = loop[n % loop.size()];
  for (const Case& c : {Case{"clicks", clicks, 375 * kRate / 1000}, Case{"loop", looped, 950 * kRate / 1000}}) {
    SCOPED_TRACE(c.name);
    const std::vector<float> ref(c.source.begin() + kLead, c.source.end());
    const std::vector<float> test(c.source.begin() + kLead - c.lag, c.source.end() - c.lag);
    Write("ref.wav", ref, 1, kRate);
    Write("test.wav", test, 1, kRate);
    const HostRun run = Run("--max-delay-ms 1000 ref.wav test.wav");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("No reliable delay found: the signal repeats, and the search saw peaks as strong at more "
                           "than one delay, so the delay is open.\n"),
              std::string::npos)
        << run.out;
    // No look-alike is given as the delay.
    for (const char* claim : {"Delay found", "found ", "last estimate", "beyond"})
      EXPECT_EQ(run.out.find(claim), std::string::npos) << claim << "\n" << run.out;
  }
}

}  // namespace
