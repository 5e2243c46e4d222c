// Stop from another thread: during Go's start-up search on files it ends
// the search after the block being read; during the frame loop it changes
// nothing, and the next Go starts afresh.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "Vantrel/DebugTrace.h"
#include "frontend/measurement_run.h"
#include "platform/events.h"
#include "support/temp_dir.h"
#include "wavio/WaveIO.h"

namespace {

// File objects that count the channel reads and, at one of them, wait
// until the stop event is signalled.
struct ReadGate {
  std::atomic<int> reads{0};
  int stopAt = -1;  // the read that waits
  HANDLE stopEvent = nullptr;
  std::promise<void> reached;
};

class GatedWaveIO : public CWaveIO {
 public:
  explicit GatedWaveIO(ReadGate& gate) : m_gate(gate) {}
  int ReadChannel(float* dest, int channel, int count, int* format, int blocking) override {
    if (++m_gate.reads == m_gate.stopAt) {
      m_gate.reached.set_value();
      EXPECT_EQ(WaitForSingleObject(m_gate.stopEvent, 10000), WAIT_OBJECT_0);
    }
    return CWaveIO::ReadChannel(dest, channel, count, format, blocking);
  }

 private:
  ReadGate& m_gate;
};

class StopThreadsTest : public ::testing::Test {
 protected:
  StopThreadsTest() {
    SetTraceMask(0);
    // 12 s of two unrelated noises: the search never finds a delay and
    // would read its window and 500 active blocks more before it gave up.
    const SoundFileSpec mono{kMeasureRate, 1, SoundFileEncoding::Pcm16, "wav"};
    const std::vector<float> a = IntegerNoise(12 * kMeasureRate, 1, 3000.0);
    const std::vector<float> b = IntegerNoise(12 * kMeasureRate, 2, 3000.0);
    m_ok = WriteSoundFile(m_reference, mono, a.data(), int64_t(a.size())) &&
           WriteSoundFile(m_test, mono, b.data(), int64_t(b.size()));
    m_previous = SetWaveIOMaker([this]() -> CWaveIO* { return new GatedWaveIO(m_gate); });
  }
  ~StopThreadsTest() override {
    SetWaveIOMaker(m_previous);
    SetTraceMask(TRACE_MASK_BEFORE_LOAD);
  }

  TempDir m_dir;
  std::string m_reference = m_dir.File("reference.wav"), m_test = m_dir.File("test.wav");
  bool m_ok = false;
  ReadGate m_gate;
  WaveIOMaker m_previous;
};

TEST_F(StopThreadsTest, StopEndsTheStartUpSearchAndLeavesTheFrameLoopAlone) {
  ASSERT_TRUE(m_ok);
  FrameRecorder system([&](SYSPARA& sys) { FileMeasurementSettings(sys, m_reference, m_test, 1); });
  SYSPARA* sys = static_cast<SYSPARA*>(system.CreateSysPara());
  CAlgorithmPara alg{kMeasureFrame, kMeasureFrame};
  ASSERT_NE(system.Init(*sys, alg), 0);
  sys->Destroy();

  // Two reads (reference, test) per block: the 20th is block 10's test read.
  m_gate.stopEvent = system.StopEvent();
  m_gate.stopAt = 20;
  std::thread stopper([&] {
    m_gate.reached.get_future().wait();
    system.Stop();
  });
  const int started = system.Go();
  stopper.join();
  EXPECT_EQ(started, 1);
  // The search tests the event after the block it was reading: none follows.
  EXPECT_EQ(m_gate.reads.load(), 20);

  // In the frame loop a Stop from another thread changes nothing: every
  // frame of the files is still handed out.
  m_gate.reads = 0;
  m_gate.stopAt = -1;
  auto frame = std::make_unique<FRAMEDATA>();
  int frames = 0;
  while (system.ProcessFrame(frame.get(), nullptr) != 0) {
    if (++frames == 5) std::thread([&] { system.Stop(); }).join();
  }
  EXPECT_EQ(WaitForSingleObject(system.StopEvent(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(size_t(frames), 12 * kMeasureRate / kMeasureFrame + 1);

  // The next Go resets the event and searches again: without a Stop it
  // reads far beyond block 10.
  m_gate.reads = 0;
  ASSERT_EQ(system.Go(), 1);
  EXPECT_EQ(WaitForSingleObject(system.StopEvent(), 0), WAIT_TIMEOUT);
  EXPECT_GT(m_gate.reads.load(), 1000);
  system.Stop();
}

}  // namespace
