// Capture from a sound device on the wave layer's own thread: a running
// capture pushes what the device delivers into a WaveBuffer until it is
// stopped or its source ends. Devices are virtual ones registered by the
// program (VirtualDevice.h) and, when the build has PortAudio, the
// machine's input devices.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "wavio/WaveBuffer.h"

class DeviceCapture {
 public:
  virtual ~DeviceCapture() = default;
  // Stops the thread; the buffer keeps what it holds.
  virtual void Stop() = 0;
  // Free-space figures a device imposes on its input (bytes), or -1 for
  // the buffer's own; `which` 0 the first buffer, 1 the second.
  virtual int64_t FreeSpaceOverride(int /*which*/) const { return -1; }
  // Why the capture ended before it was stopped (the device or its sound
  // server went away); empty while it runs and after a plain end or stop.
  virtual std::string Failure() const { return {}; }
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

// The number of sound input devices: ids below it name one (a virtual device
// or the machine's device of that id; see ListSoundInputDevices).
int CountSoundInputDevices();

// One of the machine's input devices; `id` is the device id StartInput takes.
struct SoundInputDevice {
  int id = 0;
  std::string name;     // e.g. "system" for a JACK server's own ports
  std::string hostApi;  // e.g. "ALSA", "JACK Audio Connection Kit"
  int channels = 0;     // input channels
  double defaultSampleRate = 0.0;
};

// The PortAudio side of the above (PortAudioCapture.cpp). Device id n is the
// n-th PortAudio device with input channels, in PortAudio's order; the list
// is read afresh on each call while no capture is running. Without
// PortAudio in the build there are no such devices.
std::unique_ptr<DeviceCapture> StartPortAudioCapture(const CaptureRequest& request, std::shared_ptr<WaveBuffer> buffer,
                                                     std::string* error);
std::vector<SoundInputDevice> ListSoundInputDevices();

// Where the sound back ends' own messages go (ALSA's and JACK's, which
// would otherwise write to stderr): one line at a time to `sink`, or
// nowhere while it is null (the start).
using SoundBackEndMessageSink = void (*)(const char* line);
void SetSoundBackEndMessageSink(SoundBackEndMessageSink sink);
