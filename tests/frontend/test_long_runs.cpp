// Counters of frames and blocks over runs far longer than a test can wait
// for (2^31 frames is hours of live input at small frames): set near their
// end through the seams, they go on without wrapping into nonsense.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "frontend/measurement_run.h"
#include "support/temp_dir.h"

namespace {

class LongRun : public FrameRecorder {
 public:
  using FrameRecorder::FrameRecorder;
  void SetFrameCounter(int32_t value) { m_frameCounter = value; }
  CDelayCompensationImpl& Compensation() { return *static_cast<CDelayCompensationImpl*>(m_frontEnd.delayCompensation); }
};

TEST(LongRuns, FrameNumbersAndBlockCountsNeverWrapIntoNegatives) {
  SetTraceMask(0);
  TempDir dir;
  const std::string reference = dir.File("reference.wav"), test = dir.File("test.wav");
  const std::vector<float> noise = IntegerNoise(2 * kMeasureRate, 4, 3000.0);
  const SoundFileSpec mono{kMeasureRate, 1, SoundFileEncoding::Pcm16, "wav"};
  ASSERT_TRUE(WriteSoundFile(reference, mono, noise.data(), int64_t(noise.size())));
  ASSERT_TRUE(WriteSoundFile(test, mono, noise.data(), int64_t(noise.size())));
  LongRun system([&](SYSPARA& sys) { FileMeasurementSettings(sys, reference, test, 1); });
  SYSPARA* sys = static_cast<SYSPARA*>(system.CreateSysPara());
  CAlgorithmPara alg{kMeasureFrame, kMeasureFrame};
  ASSERT_NE(system.Init(*sys, alg), 0);
  sys->Destroy();
  ASSERT_NE(system.Go(), 0);

  system.SetFrameCounter(INT32_MAX - 1);
  system.Compensation().SetCountersForTesting(INT_MAX - 1, UINT32_MAX - 1);
  auto frame = std::make_unique<FRAMEDATA>();
  std::vector<int32_t> numbers;
  for (int k = 0; k < 4 && system.ProcessFrame(frame.get(), nullptr) != 0; ++k)
    numbers.push_back(frame->header.frameNumber);
  system.Stop();
  // The largest number, then 0 again, as the sample position wraps.
  EXPECT_EQ(numbers, (std::vector<int32_t>{INT32_MAX - 1, INT32_MAX, 0, 1}));
  // Every test block of the noise is active: the count stops at its largest.
  EXPECT_EQ(system.Compensation().ActiveBlocks(), INT_MAX);
  // Reliable frames since the state began: likewise.
  EXPECT_EQ(system.Compensation().Machine().StateFrames(), UINT32_MAX);
  for (const RecordedFrame& f : system.frames) EXPECT_EQ(f.status & 0xFFFF, DELAY_STATUS_RELIABLE);
}

}  // namespace
