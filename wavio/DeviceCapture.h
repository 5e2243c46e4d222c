// Capture from a sound device on the wave layer's own thread: a running
// capture pushes what the device delivers into a WaveBuffer until it is
// stopped or its source ends. Devices are virtual ones registered by the
// program (VirtualDevice.h) and, when the build has PortAudio, the
// machine's input devices.
#pragma once

#include <memory>
#include <string>

#include "wavio/WaveBuffer.h"

class DeviceCapture {
 public:
  virtual ~DeviceCapture() = default;
  // Stops the thread; the buffer keeps what it holds.
  virtual void Stop() = 0;
  // Free-space figures a device imposes on its input (bytes), or -1 for
  // the buffer's own; `which` 0 the first buffer, 1 the second.
  virtual int64_t FreeSpaceOverride(int /*which*/) const { return -1; }
};

struct CaptureRequest {
  int deviceId = 0;
  int sampleRate = 0;
  int channels = 0;
};

// Starts capture into `buffer`; null with `error` set when the device does
// not exist or cannot deliver the format.
std::unique_ptr<DeviceCapture> StartDeviceCapture(const CaptureRequest& request, std::shared_ptr<WaveBuffer> buffer,
                                                  std::string* error);

// The PortAudio side of the above (PortAudioCapture.cpp); without PortAudio
// in the build it reports that there are no sound devices.
std::unique_ptr<DeviceCapture> StartPortAudioCapture(const CaptureRequest& request, std::shared_ptr<WaveBuffer> buffer,
                                                     std::string* error);
