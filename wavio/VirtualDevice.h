// Virtual sound devices for tests and demonstrations. A program registers
// a source under a device id; a wave input started on that id captures from
// it instead of from hardware, in real time (paced by the sample rate) or
// at once (as fast as the input's buffer takes it). Free-space figures can
// be imposed so that a full device buffer can be shown without one.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// Fills up to `frames` interleaved frames starting at frame `position`;
// returns the frames written, 0 when the source has ended.
using FrameGenerator = std::function<int64_t(float* interleaved, int64_t frames, int64_t position)>;

struct VirtualDeviceSpec {
  int sampleRate = 48000;
  int channels = 1;
  bool realTime = true;
  // The source: the generator when set, else these interleaved frames once.
  std::vector<float> samples;
  FrameGenerator generator;
};

// Registers (or replaces) the device under `deviceId`; a virtual device
// hides a hardware device of the same id.
void RegisterVirtualDevice(int deviceId, VirtualDeviceSpec spec);
void UnregisterVirtualDevice(int deviceId);
// Free space (bytes) that inputs on the device report for their first and
// second buffer from now on; negative: the real figure.
void SetVirtualDeviceFreeSpace(int deviceId, int64_t firstBufferBytes, int64_t secondBufferBytes);

// Registers a device for its own lifetime.
class ScopedVirtualDevice {
 public:
  ScopedVirtualDevice(int deviceId, VirtualDeviceSpec spec) : m_deviceId(deviceId) {
    RegisterVirtualDevice(deviceId, std::move(spec));
  }
  ~ScopedVirtualDevice() { UnregisterVirtualDevice(m_deviceId); }
  ScopedVirtualDevice(const ScopedVirtualDevice&) = delete;
  ScopedVirtualDevice& operator=(const ScopedVirtualDevice&) = delete;

 private:
  int m_deviceId;
};
