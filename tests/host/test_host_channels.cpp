// The channel the host estimates the delay on, and what it says when the
// signals give the search nothing to work with: a silent channel, or
// signals too quiet for it, or signals that share nothing.
#include <string>
#include <vector>

#include "frontend/speech_like.h"
#include "host_command_fixture.h"

namespace {

// Stereo files of 2 s: channel c of the test lags the reference by its own
// lag (a lag of -1: the channel is silent in both files).
class HostChannelTest : public HostCommandTest {
 protected:
  void WriteStereo(const char* reference, const char* tested, int lag0, int lag1) {
    const size_t length = 2 * kMeasureRate, lead = 2000;
    const std::vector<float> a = IntegerNoise(length + lead, 21, 3000.0);
    const std::vector<float> b = IntegerNoise(length + lead, 22, 3000.0);
    std::vector<float> ref(2 * length, 0.0f), test(2 * length, 0.0f);
    for (size_t n = 0; n < length; ++n) {
      if (lag0 >= 0) {
        ref[2 * n] = a[n + lead];
        test[2 * n] = a[n + lead - lag0];
      }
      if (lag1 >= 0) {
        ref[2 * n + 1] = b[n + lead];
        test[2 * n + 1] = b[n + lead - lag1];
      }
    }
    Write(reference, ref, 2);
    Write(tested, test, 2);
  }
};

TEST_F(HostChannelTest, TheChosenChannelGivesItsOwnDelayAndTheSummaryNamesIt) {
  WriteStereo("ref.wav", "test.wav", 300, 700);
  struct Case {
    const char* option;
    const char* channel;
    const char* delay;
  };
  for (const Case& c : {Case{"", "delay estimated on channel 0", "Delay found: 300 samples"},
                        Case{"--channel 0 ", "delay estimated on channel 0", "Delay found: 300 samples"},
                        Case{"--channel 1 ", "delay estimated on channel 1", "Delay found: 700 samples"}}) {
    const HostRun run = Run(std::string(c.option) + "ref.wav test.wav");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(c.channel), std::string::npos) << c.option << run.out;
    EXPECT_NE(run.out.find(c.delay), std::string::npos) << c.option << run.out;
  }
  EXPECT_EQ(Run("--channel 2 ref.wav test.wav").exitCode, 2);
}

TEST_F(HostChannelTest, SilenceAndQuietSignalsAreNamedInsteadOfNoCorrelation) {
  WriteStereo("ref_silent0.wav", "test_silent0.wav", -1, 400);
  Write("noise.wav", IntegerNoise(2 * kMeasureRate, 31, 3000.0), 1);
  Write("silence.wav", std::vector<float>(2 * kMeasureRate, 0.0f), 1);
  // Speech-like levels peaking near -66 dBFS: an rms of 4 in 16-bit units.
  WritePair(500, "quiet_ref.wav", "quiet_test.wav", 3, kMeasureRate, 1.0f, 4.0);
  // Dither of about one unit (-90 dBFS rms) where a signal should be; speech and
  // a low-passed noise that share nothing with the white noise.
  Write("dither.wav", IntegerNoise(2 * kMeasureRate, 32, 1.0), 1);
  Write("speech.wav", SpeechLike(2 * kMeasureRate, kMeasureRate, 5), 1);
  std::vector<float> lowPassed = IntegerNoise(2 * kMeasureRate, 33, 1000.0);
  for (size_t n = 1; n < lowPassed.size(); ++n) lowPassed[n] = std::round(lowPassed[n] + 0.9f * lowPassed[n - 1]);
  Write("low_passed.wav", lowPassed, 1);
  struct Case {
    const char* arguments;
    const char* said;
  };
  for (const Case& c : {
           Case{"ref_silent0.wav test_silent0.wav",
                "No reliable delay found: both files are silent on channel 0; --channel 1 measures the other channel."},
           Case{"noise.wav silence.wav", "No reliable delay found: the test file is silent."},
           Case{"silence.wav silence.wav", "No reliable delay found: both files are silent."},
           Case{"quiet_ref.wav quiet_test.wav",
                "No reliable delay found: both signals are too quiet for the delay search (peaks at -6"},
           Case{"silence.wav speech.wav", "No reliable delay found: the reference file is silent."},
           Case{"dither.wav speech.wav",
                "No reliable delay found: the reference is too quiet for the delay search (peak at -7"},
           Case{"speech.wav dither.wav",
                "No reliable delay found: the test is too quiet for the delay search (peak at -7"},
           Case{"noise.wav low_passed.wav", "No reliable delay found: the signals do not correlate.\n"},
           Case{"noise.wav speech.wav", "No reliable delay found: the signals do not correlate.\n"},
       }) {
    const HostRun run = Run(c.arguments);
    ASSERT_EQ(run.exitCode, 0) << c.arguments << run.err;
    EXPECT_NE(run.out.find(c.said), std::string::npos) << c.arguments << "\n" << run.out;
    // A chance peak is no estimate of a delay.
    EXPECT_EQ(run.out.find("last estimate"), std::string::npos) << c.arguments << "\n" << run.out;
  }
  const HostRun other = Run("--channel 1 ref_silent0.wav test_silent0.wav");
  EXPECT_NE(other.out.find("Delay found: 400 samples"), std::string::npos) << other.out;
}

}  // namespace
