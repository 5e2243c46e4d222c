// File inputs are opened once for what a call reads of them: the start-up
// search and the frames after it read the same files even when their paths
// come to name others meanwhile, and a caller's lease carries that from its
// own checks through Init and Go.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "measurement_run.h"

namespace {

constexpr int kLag = 700;
constexpr size_t kLength = 2 * kMeasureRate;

FilePair NoisePair(unsigned seed, int lag) {
  const std::vector<float> source = IntegerNoise(kLength + 2000, seed, 3000.0);
  FilePair pair;
  pair.reference.assign(source.begin() + 1000, source.begin() + 1000 + kLength);
  pair.test.assign(source.begin() + 1000 - lag, source.begin() + 1000 - lag + kLength);
  return pair;
}

// Puts other files in place of the measured ones while the start-up search
// reads them, as a new take saved over the old one would.
class ReplacingRecorder : public FrameRecorder {
 public:
  using FrameRecorder::FrameRecorder;
  void StartProgress(int64_t) override {
    if (replace) replace();
    replace = nullptr;
  }
  std::function<void()> replace;
};

class HeldFileInputsTest : public ::testing::TestWithParam<bool> {
 protected:
  void Write(const std::string& name, const std::vector<float>& samples) {
    ASSERT_TRUE(WriteSoundFile(m_dir.File(name), {kMeasureRate, 1, SoundFileEncoding::Pcm16, "wav"}, samples.data(),
                               int64_t(samples.size())));
  }
  TempDir m_dir;
};

TEST_P(HeldFileInputsTest, FilesReplacedDuringTheSearchAreStillTheOnesMeasured) {
  const bool callerHolds = GetParam();
  const FilePair measured = NoisePair(1, kLag);
  const FilePair other = NoisePair(2, -kLag);
  const std::string reference = m_dir.File("ref.wav"), test = m_dir.File("test.wav");
  Write("ref.wav", measured.reference);
  Write("test.wav", measured.test);
  Write("other_ref.wav", other.reference);
  Write("other_test.wav", other.test);
  SoundFileLease held[2];
  if (callerHolds) {
    ASSERT_TRUE(held[0].Hold(reference) && held[1].Hold(test));
  }

  auto recorder = std::make_unique<ReplacingRecorder>(
      [&](SYSPARA& sys) { FileMeasurementSettings(sys, reference, test, 1); });
  ASSERT_EQ(InitWithNewRecord(*recorder), 1);
  recorder->replace = [&] {
    EXPECT_EQ(std::rename(m_dir.File("other_ref.wav").c_str(), reference.c_str()), 0);
    EXPECT_EQ(std::rename(m_dir.File("other_test.wav").c_str(), test.c_str()), 0);
  };
  ASSERT_EQ(recorder->Go(), 1);
  EXPECT_EQ(recorder->replace, nullptr) << "the search never reported its progress";
  auto frame = std::make_unique<FRAMEDATA>();
  while (recorder->ProcessFrame(frame.get(), nullptr) != 0) {
  }
  DecodeProgress progress[2];
  std::string change[2];
  for (int input = 0; input < 2; ++input) {
    ASSERT_TRUE(recorder->FinishFileInput(input, &progress[input], &change[input]));
    EXPECT_EQ(change[input], "") << input;
    EXPECT_TRUE(progress[input].Whole()) << input;
  }
  recorder->Stop();
  ASSERT_GT(recorder->frames.size(), kLength / kMeasureFrame - 2);
  for (size_t f = 0; f < recorder->frames.size(); ++f) {
    const RecordedFrame& frame = recorder->frames[f];
    ASSERT_EQ(frame.delay, kLag) << "frame " << f;
    ASSERT_TRUE(HoldsTheFilesAtItsPlace(frame, measured)) << "frame " << f;
  }
  // Later opens of the paths see what they name now.
  for (auto& lease : held) lease.Release();
  EXPECT_EQ(SoundFileFrames(reference), int64_t(other.reference.size()));
}

INSTANTIATE_TEST_SUITE_P(ByTheLibraryAloneOrHeldByItsCaller, HeldFileInputsTest, ::testing::Bool());

}  // namespace
