// The delay compensation driven directly on the component's own delay
// buffer and multiplexer: its geometry, its checks at Init, and the frames
// it hands out while filling, while the delayed data is not there yet and
// at the end of the input.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/FrameData.h"
#include "Vantrel/SafeDestroy.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "Vantrel/stages/DelayCompensation.h"
#include "Vantrel/stages/InputMux.h"
#include "measurement_run.h"
#include "platform/events.h"

namespace {

constexpr float kSentinel = 7.0f;

class DelayCompensationTest : public ::testing::Test {
 protected:
  DelayCompensationTest() {
    SetTraceMask(0);
    FileMeasurementSettings(m_sys, m_dir.File("reference.wav"), m_dir.File("test.wav"), 1);
    m_sys.delayPara.snapTimeMs = 500;
    m_sys.delayPara.maxDelayRealtimeMs = 500;
    m_sys.delayPara.maxTrackingStep = 512;
    m_mux = CInputMux::Create();
    m_buffer = CDelayBuffer::Create();
    m_buffer->Attach(m_mux);
    m_compensation = std::make_unique<CDelayCompensationImpl>();
    m_compensation->Attach(m_buffer);
    for (int d = 0; d < 2; ++d)
      for (int c = 0; c < 2; ++c) {
        m_samples[d][c].assign(FRAME_SAMPLES_PER_CHANNEL, kSentinel);
        m_table[d][c] = m_samples[d][c].data();
      }
  }
  ~DelayCompensationTest() override {
    m_compensation.reset();
    SafeDestroy(m_buffer);
    SafeDestroy(m_mux);
  }

  // The test lags the reference by `lag` samples, scaled by testScale.
  void WriteFiles(size_t length, int lag = 0, float testScale = 1.0f) {
    const std::vector<float> source = IntegerNoise(length + 4000, 9, 3000.0);
    std::vector<float> reference(source.begin() + 2000, source.begin() + 2000 + length);
    std::vector<float> test(source.begin() + 2000 - lag, source.begin() + 2000 - lag + length);
    for (float& v : test) v *= testScale;
    const SoundFileSpec spec{kMeasureRate, 1, SoundFileEncoding::Pcm16, "wav"};
    ASSERT_TRUE(WriteSoundFile(m_sys.inputPara[0].fileName, spec, reference.data(), int64_t(length)));
    ASSERT_TRUE(WriteSoundFile(m_sys.inputPara[1].fileName, spec, test.data(), int64_t(length)));
  }

  // Both frame channels from the files' one, so that no channel is left
  // without input (an empty channel is read in full, also after the end).
  void ReadBothChannelsFromTheFiles() {
    m_sys.channels = 2;
    for (int d = 0; d < 2; ++d)
      for (int c = 0; c < 2; ++c) m_sys.routingTable[d][c] = INPUTMUXPARA{d, 0};
  }

  int Frame() {
    m_frame.monitor.count = 0;
    return m_compensation->ProcessFrame(&m_frame, &m_frame.desc, &m_table, &m_frame.monitor, 1);
  }

  void ResetSentinels() {
    for (auto& direction : m_samples)
      for (auto& channel : direction) std::fill(channel.begin(), channel.end(), kSentinel);
  }

  TempDir m_dir;
  SYSPARA m_sys;
  CInputMux* m_mux = nullptr;
  CDelayBuffer* m_buffer = nullptr;
  std::unique_ptr<CDelayCompensationImpl> m_compensation;
  std::vector<float> m_samples[2][2];
  float* m_table[2][2] = {};
  FRAMEDATA m_frame{};
};

struct GeometryCase {
  int rate;
  int maxDelayMs;
  int realtime;  // real-time inputs (sound devices)
  uint32_t frameLen;
  uint32_t window, block, recheckWindow, recheckBlock;
};

TEST_F(DelayCompensationTest, SearchAndRecheckGeometry) {
  const GeometryCase cases[] = {
      // The window grows (block kept) until the reach covers the range and a margin.
      {8000, 1000, 0, 256, 32768, 8192, 8192, 2048},
      {44100, 1000, 0, 1024, 65536, 8192, 8192, 2048},
      {44100, 500, 1, 1024, 32768, 4096, 1024, 512},
      {22050, 1000, 0, 1024, 32768, 4096, 4096, 1024},
      {48000, 20, 0, 256, 4096, 128, 512, 128},
      {48000, 500, 1, 480, 32768, 4096, 1024, 512},
      // A frame longer than the window: the window is the next power of two.
      {48000, 10, 0, 3000, 4096, 64, 512, 128},
      {8000, 10, 0, 128, 512, 128, 512, 128},
      // A ring shorter than the re-check's least window: the window is the ring.
      {8000, 1, 0, 32, 256, 8, 256, 128},
  };
  for (const GeometryCase& c : cases) {
    for (INPUTPARAEXT& input : m_sys.inputPara) {
      input.wave.sampleRate = c.rate;
      input.mode = c.realtime != 0 ? INPUT_MODE_SOUND_DEVICE : INPUT_MODE_FILE;
    }
    m_sys.realtime = c.realtime;
    m_sys.delayPara.maxDelayFileMs = c.maxDelayMs;
    m_sys.delayPara.maxDelayRealtimeMs = c.maxDelayMs;
    ASSERT_NE(m_compensation->Init(&m_sys, c.frameLen, c.frameLen), 0) << c.rate << " " << c.maxDelayMs;
    EXPECT_EQ(m_compensation->SearchWindow(), c.window) << c.rate << " " << c.maxDelayMs;
    EXPECT_EQ(m_compensation->Machine().Settings().searchBlock, c.block) << c.rate << " " << c.maxDelayMs;
    EXPECT_EQ(m_compensation->Machine().Estimator().RecheckSet().GetWindowLen(), c.recheckWindow)
        << c.rate << " " << c.maxDelayMs;
    EXPECT_EQ(m_compensation->Machine().Estimator().RecheckSet().GetBlockLen(), c.recheckBlock)
        << c.rate << " " << c.maxDelayMs;
    EXPECT_EQ(m_compensation->Machine().Settings().trackingMode, c.realtime);
    int fill = 0, ring = 0;
    m_buffer->GetFill(&fill, &ring);
    EXPECT_GE(uint32_t(ring), m_compensation->Machine().Estimator().RecheckSet().GetWindowLen());
  }
}

TEST_F(DelayCompensationTest, InitAndUpdateRefuseAnUnknownEstimationChannelAndOutputsLongerThanTheRing) {
  m_sys.delayPara.maxDelayFileMs = 20;    // ring of 4096
  m_sys.delayPara.estimationChannel = 1;  // one channel only
  EXPECT_EQ(m_compensation->Init(&m_sys, 256, 256), 0);
  m_sys.delayPara.estimationChannel = -1;
  EXPECT_EQ(m_compensation->Init(&m_sys, 256, 256), 0);
  m_sys.delayPara.estimationChannel = 0;
  EXPECT_EQ(m_compensation->Init(&m_sys, 8192, 256), 0);
  EXPECT_NE(m_compensation->Init(&m_sys, 4096, 256), 0);
  // A record handed over later is judged alike.
  SYSPARA update(m_sys);
  update.delayPara.estimationChannel = 1;
  EXPECT_EQ(m_compensation->UpdateSysPara(&update), 0);
  update.delayPara.estimationChannel = 0;
  EXPECT_EQ(m_compensation->UpdateSysPara(&update), 1);
}

TEST_F(DelayCompensationTest, InitRefusesASearchWindowBeyondThirtyOneBits) {
  // 8.9 MHz x 240 s passes 2^31 samples: no power-of-two window of 32 bits holds it.
  m_sys.delayPara.maxDelayFileMs = 240000;
  for (INPUTPARAEXT& input : m_sys.inputPara) input.wave.sampleRate = 2147483647;
  EXPECT_EQ(m_compensation->Init(&m_sys, 256, 256), 0);
  for (INPUTPARAEXT& input : m_sys.inputPara) input.wave.sampleRate = 8000000;
  m_sys.delayPara.maxDelayFileMs = 1;  // a window of 2^18 (1 ms and the margin) still works
  EXPECT_NE(m_compensation->Init(&m_sys, 256, 256), 0);
  EXPECT_EQ(m_compensation->SearchWindow(), 262144u);
}

TEST_F(DelayCompensationTest, AFrameWhileFillingSaysNothingWasDelivered) {
  WriteFiles(48000);
  ASSERT_NE(m_compensation->Init(&m_sys, kMeasureFrame, kMeasureFrame), 0);
  HANDLE stop = CreateEventA(nullptr, TRUE, TRUE, nullptr);  // stops the pre-run at once
  ASSERT_EQ(m_compensation->Start(stop), 1);
  CloseHandle(stop);
  ASSERT_EQ(m_compensation->Machine().State(), DELCOMP_FILLINGBUFFERS);
  m_frame.header.delayValid = 1;
  m_frame.header.delayStatus = DELAY_STATUS_RELIABLE;
  m_frame.header.quality = 77;
  m_frame.desc.count = 99;
  EXPECT_EQ(Frame(), 1);
  EXPECT_EQ(m_frame.header.delayStatus, DELAY_STATUS_CALCULATING);
  EXPECT_EQ(m_frame.header.delayValid, 0);
  EXPECT_EQ(m_frame.header.quality, 0);
  EXPECT_EQ(m_frame.desc.count, 0u);
}

TEST_F(DelayCompensationTest, LevelAlignmentScalesExactlyTheCopiedSamples) {
  WriteFiles(48000);
  m_sys.delayPara.compensationOn = 0;
  m_sys.delayPara.fixedDelay = -5000;  // the reference 5000 back: the first frames have none of it yet
  m_sys.levelPara.invertTest = 1;      // a gain of -1 on every frame
  ASSERT_NE(m_compensation->Init(&m_sys, kMeasureFrame, kMeasureFrame), 0);
  ASSERT_EQ(m_compensation->Start(nullptr), 1);
  int notYet = 0;
  int code = Frame();
  for (; code == FETCH_NOT_ENOUGH_DATA; code = Frame()) {
    ++notYet;
    for (float v : m_samples[1][0]) ASSERT_EQ(v, kSentinel) << "a frame with nothing fetched was scaled";
  }
  EXPECT_EQ(code, FETCH_COMPLETE);
  EXPECT_EQ(notYet, 5);
  for (size_t i = kMeasureFrame; i < m_samples[1][0].size(); ++i) ASSERT_EQ(m_samples[1][0][i], kSentinel) << i;
}

TEST_F(DelayCompensationTest, NoFrameIsHandedOutWhollyPastAnInputsEnd) {
  // The reference is offset by 800 ms, longer than the files: the test
  // lies wholly past its end before the reference has begun.
  WriteFiles(24000);
  m_sys.delayPara.compensationOn = 0;
  m_sys.delayPara.inputOffsetMs = 800;
  ASSERT_NE(m_compensation->Init(&m_sys, kMeasureFrame, kMeasureFrame), 0);
  ASSERT_EQ(m_compensation->Start(nullptr), 1);
  int code = FETCH_NOT_ENOUGH_DATA;
  for (int guard = 0; guard < 200 && code == FETCH_NOT_ENOUGH_DATA; ++guard) {
    ResetSentinels();
    code = Frame();
  }
  EXPECT_EQ(code, FRAME_NONE);
  EXPECT_EQ(m_frame.header.delayValid, 0);
  EXPECT_EQ(m_frame.header.realSamples, 0);
  for (int d = 0; d < 2; ++d) EXPECT_EQ(m_samples[d][0][0], kSentinel) << "direction " << d << " written";
}

TEST_F(DelayCompensationTest, ATrackedInputEndingBeforeAnySearchHasNoResultToRecheck) {
  WriteFiles(4000);  // ends while the ring is still filling
  m_sys.delayPara.tracking = 1;
  m_sys.delayPara.trackVariableDelay = 1;
  ASSERT_NE(m_compensation->Init(&m_sys, kMeasureFrame, kMeasureFrame), 0);
  ASSERT_EQ(m_compensation->Start(nullptr), 1);
  for (int f = 0; f < 5; ++f) {
    Frame();
    EXPECT_EQ(m_frame.header.delayStatus & 0xFFFF, DELAY_STATUS_UNCERTAIN) << f;
    EXPECT_EQ(m_frame.header.quality, 0) << f;
    EXPECT_EQ(m_frame.header.delay, 0) << f;
  }
  EXPECT_EQ(m_compensation->Machine().State(), DELCOMP_DELAYRELIABLE);
}

TEST_F(DelayCompensationTest, LevelsOfAFirstRunThatWinsTheSwapRetryAreItsOwn) {
  // Channel 0 of the test carries the reference with noise (quality about
  // 80, below the retry's 90); channel 1 is unrelated, so the first run
  // wins the retry.
  m_sys.channels = 2;
  for (INPUTPARAEXT& input : m_sys.inputPara) input.wave.channels = 2;
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) m_sys.routingTable[d][c] = INPUTMUXPARA{d, c};
  const size_t length = 3 * kMeasureRate;
  const std::vector<float> a = IntegerNoise(length, 21, 3000.0);
  const std::vector<float> b = IntegerNoise(length, 22, 3000.0);
  const std::vector<float> n = IntegerNoise(length, 23, 2200.0);
  const std::vector<float> u = IntegerNoise(length, 24, 3000.0);
  std::vector<float> reference, test;
  for (size_t i = 0; i < length; ++i) {
    reference.insert(reference.end(), {a[i], b[i]});
    test.insert(test.end(), {a[i] + n[i], u[i]});
  }
  const SoundFileSpec spec{kMeasureRate, 2, SoundFileEncoding::Pcm16, "wav"};
  ASSERT_TRUE(WriteSoundFile(m_sys.inputPara[0].fileName, spec, reference.data(), int64_t(length)));
  ASSERT_TRUE(WriteSoundFile(m_sys.inputPara[1].fileName, spec, test.data(), int64_t(length)));
  ASSERT_NE(m_compensation->Init(&m_sys, kMeasureFrame, kMeasureFrame), 0);
  ASSERT_EQ(m_compensation->Start(nullptr), 1);
  EXPECT_EQ(m_compensation->SwapTestChannels(), 0);
  EXPECT_NE(m_compensation->Machine().Reading().status & DELAY_STATUS_SWAP_RETRIED, 0);
  EXPECT_EQ(m_compensation->Machine().Reading().status & DELAY_STATUS_TEST_SWAPPED, 0);
  // Four reads per frame (two directions, two channels): a quarter of the
  // mean block energy of channel 0.
  const double referenceBlock = 3000.0 * 3000.0 * kMeasureFrame / 4.0;
  const double testBlock = (3000.0 * 3000.0 + 2200.0 * 2200.0) * kMeasureFrame / 4.0;
  EXPECT_NEAR(m_sys.levelPara.referencePower / referenceBlock, 1.0, 0.05);
  EXPECT_NEAR(m_sys.levelPara.testPower / testBlock, 1.0, 0.05);
}

TEST_F(DelayCompensationTest, LevelsOfInputsThatEndBeforeABlockAreZero) {
  WriteFiles(100);  // shorter than one frame: no complete block is read
  m_sys.levelPara.levelAlign = 1;
  for (int bothChannels = 0; bothChannels < 2; ++bothChannels) {
    if (bothChannels != 0) ReadBothChannelsFromTheFiles();
    ASSERT_NE(m_compensation->Init(&m_sys, kMeasureFrame, kMeasureFrame), 0);
    ASSERT_EQ(m_compensation->Start(nullptr), 1);
    EXPECT_EQ(m_sys.levelPara.referencePower, 0.0) << bothChannels;
    EXPECT_EQ(m_sys.levelPara.testPower, 0.0) << bothChannels;
  }
}

TEST_F(DelayCompensationTest, ATrackedFrameWithNoBlockReadSinceAResetCarriesNoLevelAndKeepsTheGain) {
  WriteFiles(3 * kMeasureRate, 300, 0.5f);
  ReadBothChannelsFromTheFiles();
  m_sys.delayPara.tracking = 1;
  m_sys.levelPara.levelAlign = 1;
  ASSERT_NE(m_compensation->Init(&m_sys, kMeasureFrame, kMeasureFrame), 0);
  ASSERT_EQ(m_compensation->Start(nullptr), 1);
  ASSERT_EQ(m_compensation->Machine().Settings().trackingMode, 1);
  // The delay found aligns the test with the reference: the frame's test
  // level over the reference's is a ratio of sums, over the samples where
  // the test is not padding.
  const auto level = [&] {
    double power = 0.0, cross = 0.0;
    for (size_t i = 0; i < kMeasureFrame; ++i) {
      power += double(m_samples[1][0][i]) * m_samples[1][0][i];
      cross += double(m_samples[1][0][i]) * m_samples[0][0][i];
    }
    return power / cross;
  };
  double lastLevel = 0.0;
  int code = FETCH_COMPLETE;
  for (int f = 0; f < 200 && code != FETCH_PADDED; ++f) {
    // Every frame restarts the levels: the frame in which the input ends
    // reads no whole block, so nothing has been read since the reset.
    m_frame.header.resetAverage = 1;
    if (f > 0) lastLevel = level();
    code = Frame();
  }
  ASSERT_EQ(code, FETCH_PADDED);
  EXPECT_EQ(m_frame.header.refEnergy, 0.0);
  EXPECT_EQ(m_frame.header.testEnergy, 0.0);
  EXPECT_NEAR(lastLevel, 1.0, 0.1) << "the half-level test is brought up";
  // The gains of single frames scatter by a few percent; the 16-bit
  // rounding of the half-level test moves this estimate by about 1e-5.
  EXPECT_NEAR(level(), lastLevel, 1e-4) << "the gain in force stays";
}

TEST_F(DelayCompensationTest, RecheckAndTrackingEntriesStayWithinTheMonitorSlots) {
  WriteFiles(3 * kMeasureRate, 300);
  m_sys.delayPara.tracking = 1;
  m_sys.delayPara.trackVariableDelay = 1;
  ASSERT_NE(m_compensation->Init(&m_sys, kMeasureFrame, kMeasureFrame), 0);
  ASSERT_EQ(m_compensation->Start(nullptr), 1);
  for (int f = 0; f < 100; ++f) {
    // The owner's entries already fill the first eight slots.
    m_frame.monitor.count = 8;
    std::fill(std::begin(m_frame.monitor.value), std::end(m_frame.monitor.value), -1.0f);
    m_compensation->ProcessFrame(&m_frame, &m_frame.desc, &m_table, &m_frame.monitor, 1);
    ASSERT_LE(m_frame.monitor.count, 9);
    EXPECT_EQ(m_frame.monitor.value[10], -1.0f) << "slot 10 is no entry";
  }
  // The re-check's first entry took slot 8; every later one went to slot 9,
  // the frame's own "UsedDelay" last.
  EXPECT_STREQ(m_frame.monitor.name[8], "R(default)");
  EXPECT_STREQ(m_frame.monitor.name[9], "UsedDelay");
  EXPECT_EQ(m_frame.monitor.value[9], -300.0f);
  EXPECT_EQ(m_frame.header.delay, 300);
}

}  // namespace
