// Device inputs on virtual devices: capture on the layer's own thread,
// non-consuming reads, blocking reads that always come back, real-time
// pacing, imposed free-space figures, and clean failures without a device.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "wavio/DeviceCapture.h"
#include "wavio/VirtualDevice.h"
#include "wavio/WaveBuffer.h"
#include "wavio/WaveIO.h"

namespace {

constexpr int kDevice = 7;

// Frame n of channel c holds 1000 c + n (mod 2^20, exact in float).
FrameGenerator CountingFrames(int channels, int64_t length = -1) {
  return [channels, length](float* out, int64_t frames, int64_t position) {
    if (length >= 0) frames = std::min(frames, length - position);
    for (int64_t i = 0; i < frames; ++i)
      for (int c = 0; c < channels; ++c) out[i * channels + c] = float(1000 * c + (position + i) % (1 << 20));
    return std::max<int64_t>(frames, 0);
  };
}

bool StartOn(CWaveIO& wave, int rate, int channels, int bufferBytes = 1 << 20, int device = kDevice) {
  wave.SetupBuffer(bufferBytes);
  wave.PresetWaveStruct(rate, 16, channels, 1);
  return wave.StartInput(0, device, 1, 0x7fff) != 0;
}

TEST(DeviceInput, AtOnceSourceReadsBothChannelsOfOneStretchUntilReleased) {
  VirtualDeviceSpec spec;
  spec.channels = 2;
  spec.realTime = false;
  spec.generator = CountingFrames(2, 5000);
  ScopedVirtualDevice device(kDevice, spec);
  CWaveIO wave;
  ASSERT_TRUE(StartOn(wave, 48000, 2)) << wave.LastError();

  std::vector<float> left(1000), right(1000);
  int format = 0;
  int64_t position = 0;
  while (true) {
    const int got = wave.ReadChannel(left.data(), 0, 1000, &format, 1);
    ASSERT_EQ(wave.ReadChannel(right.data(), 1, got, &format, 1), got);
    for (int i = 0; i < got; ++i) {
      ASSERT_EQ(left[i], float(position + i));
      ASSERT_EQ(right[i], float(1000 + position + i));
    }
    wave.ReleaseSamples(got);
    position += got;
    if (got < 1000) break;
  }
  EXPECT_EQ(position, 5000);
  EXPECT_EQ(wave.WaitForData(50), WAVEIO_WAIT_ENDED);
}

TEST(DeviceInput, RealTimeDeviceDeliversAtItsRate) {
  VirtualDeviceSpec spec;
  spec.sampleRate = 8000;
  spec.generator = CountingFrames(1);
  ScopedVirtualDevice device(kDevice, spec);
  CWaveIO wave;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(StartOn(wave, 8000, 1));
  std::vector<float> block(800);
  int format = 0;
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(wave.ReadChannel(block.data(), 0, 800, &format, 1), 800);
    EXPECT_EQ(block.front(), float(800 * round));
    EXPECT_EQ(block.back(), float(800 * round + 799));
    wave.ReleaseSamples(800);
  }
  // 2400 frames at 8 kHz cannot arrive in much less than 300 ms.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(280));
}

TEST(DeviceInput, CloseReleasesABlockedReader) {
  VirtualDeviceSpec spec;
  spec.sampleRate = 100;  // a read of 10 s worth would otherwise wait that long
  spec.generator = CountingFrames(1);
  ScopedVirtualDevice device(kDevice, spec);
  CWaveIO wave;
  ASSERT_TRUE(StartOn(wave, 100, 1));
  auto reader = std::async(std::launch::async, [&] {
    std::vector<float> block(1000);
    int format = 0;
    return wave.ReadChannel(block.data(), 0, 1000, &format, 1);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  wave.Close();
  ASSERT_EQ(reader.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_LT(reader.get(), 1000);
}

TEST(DeviceInput, ABlockingReadLargerThanTheBufferReturnsWhenTheBufferIsFull) {
  VirtualDeviceSpec spec;
  spec.realTime = false;
  spec.generator = CountingFrames(1);
  ScopedVirtualDevice device(kDevice, spec);
  CWaveIO wave;
  ASSERT_TRUE(StartOn(wave, 48000, 1, 2000));  // 1000 frames of 16 bits
  std::vector<float> block(5000);
  int format = 0;
  EXPECT_EQ(wave.ReadChannel(block.data(), 0, 5000, &format, 1), 1000);
  EXPECT_EQ(wave.GetFreeBufferSpace(), 0u);
  wave.ReleaseSamples(1000);
  EXPECT_EQ(wave.ReadChannel(block.data(), 0, 10, &format, 1), 10);
  EXPECT_EQ(block[0], 1000.0f);  // nothing lost while the buffer was full
}

TEST(DeviceInput, ImposedFreeSpaceFiguresAreReported) {
  VirtualDeviceSpec spec;
  spec.generator = CountingFrames(1);
  ScopedVirtualDevice device(kDevice, spec);
  CWaveIO wave;
  ASSERT_TRUE(StartOn(wave, 48000, 1, 4096));
  SetVirtualDeviceFreeSpace(kDevice, 1024, 3072);
  EXPECT_EQ(wave.GetFreeBufferSpace(), 1024u);
  EXPECT_EQ(wave.GetFreeBufferSpace2(), 3072u);
  SetVirtualDeviceFreeSpace(kDevice, -1, -1);
  EXPECT_LE(wave.GetFreeBufferSpace(), 4096u);
  EXPECT_EQ(wave.GetFreeBufferSpace2(), 4096u);
}

TEST(DeviceInput, StartFailsCleanlyWithoutADeviceOrAUsableSetUp) {
  CWaveIO wave;
  EXPECT_FALSE(StartOn(wave, 48000, 1, 1 << 20, 4711));  // no such device here
  EXPECT_FALSE(wave.LastError().empty());
  EXPECT_EQ(wave.ReadRaw(nullptr, 10, 1), 0);
  EXPECT_EQ(wave.WaitForData(10), WAVEIO_WAIT_NOT_STARTED);

  VirtualDeviceSpec spec;
  spec.channels = 2;
  spec.generator = CountingFrames(2);
  ScopedVirtualDevice device(kDevice, spec);
  EXPECT_FALSE(StartOn(wave, 48000, 1));  // the device has two channels
  EXPECT_FALSE(StartOn(wave, 48000, 0));  // no format preset
  EXPECT_EQ(wave.SetupBuffer(0), 0);
  CWaveIO noBuffer;
  noBuffer.PresetWaveStruct(48000, 16, 2, 1);
  EXPECT_EQ(noBuffer.StartInput(0, kDevice, 1, 0x7fff), 0);
}

// The count device ids are checked against when the caller leaves it to
// the machine: every registered virtual id lies below it.
TEST(DeviceInput, TheDeviceCountCoversTheMachinesAndTheVirtualDevices) {
  const int machine = static_cast<int>(ListSoundInputDevices().size());
  EXPECT_EQ(CountSoundInputDevices(), machine);
  VirtualDeviceSpec spec;
  spec.generator = CountingFrames(1);
  {
    ScopedVirtualDevice device(machine + 6, spec);
    EXPECT_EQ(CountSoundInputDevices(), machine + 7);
  }
  ScopedVirtualDevice hidingOne(0, spec);  // hides the machine's device 0, if any
  EXPECT_EQ(CountSoundInputDevices(), std::max(machine, 1));
}

TEST(WaveBufferTest, RealTimePushDropsWhatFindsNoRoomAndCountsIt) {
  WaveBuffer buffer(2, 4);
  const float frames[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  EXPECT_EQ(buffer.Push(frames, 6), 4);
  EXPECT_EQ(buffer.OverrunFrames(), 2);
  float raw[8] = {};
  EXPECT_EQ(buffer.Read(raw, -1, 8, false), 4);
  EXPECT_EQ(raw[7], 7.0f);
  buffer.Release(3);
  float right = 0;
  EXPECT_EQ(buffer.Read(&right, 1, 1, false), 1);
  EXPECT_EQ(right, 7.0f);
  EXPECT_EQ(buffer.Read(&right, 2, 1, false), 0);  // no third channel
}

}  // namespace
