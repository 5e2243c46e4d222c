// Capture from the machine's input devices through PortAudio's blocking
// stream interface, read on the capture's own thread. Device id n is the
// n-th PortAudio device that has input channels.
//
// The thread reads only what the stream says it holds and otherwise sleeps,
// so it does not wait inside PortAudio: a blocking read on a stream whose
// sound server went away would never return. Only a stream that cannot say
// what it holds is read a block at a time, waiting. A stream that stops,
// or delivers nothing for a while, ends the capture with a failure text.
#include <string>

#include "wavio/DeviceCapture.h"

#if VANTREL_HAVE_PORTAUDIO

#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr unsigned long kFramesPerRead = 512;
constexpr float kUnitsPerFullScale = 32768.0f;
// How long the thread sleeps when the stream holds nothing yet.
constexpr auto kPollInterval = std::chrono::milliseconds(2);
// A running device that delivers nothing for this long is taken as gone.
constexpr auto kSilenceLimit = std::chrono::seconds(2);

// PortAudio's set-up, tear-down and stream opening are not safe from two
// threads at once (two measurements may start devices side by side).
std::mutex g_portAudioMutex;
// Streams lost so far: their PortAudio session stays open, so PortAudio
// never takes a fresh look at the machine's devices in this process.
std::atomic<int> g_lostStreams{0};
constexpr const char* kAfterALoss =
    " (a sound device was lost earlier in this process; PortAudio still holds it, so its sound server stays "
    "unusable until the program restarts)";

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

// Calls `visit` (PortAudio index, device id, info) for every input device;
// stops when it returns true. PortAudio must be initialised.
template <class Visit>
void ForEachInputDevice(Visit visit) {
  int id = 0;
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex index = 0; index < count; ++index) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    if (info == nullptr || info->maxInputChannels <= 0) continue;
    if (visit(index, id++, *info)) return;
  }
}

PaDeviceIndex FindInputDevice(int deviceId) {
  PaDeviceIndex found = paNoDevice;
  ForEachInputDevice([&](PaDeviceIndex index, int id, const PaDeviceInfo&) {
    if (id == deviceId) found = index;
    return id == deviceId;
  });
  return found;
}

class PortAudioCapture : public DeviceCapture {
 public:
  PortAudioCapture(PaStream* stream, int channels, std::shared_ptr<WaveBuffer> buffer)
      : m_stream(stream), m_channels(channels), m_buffer(std::move(buffer)), m_thread([this] { Run(); }) {}
  ~PortAudioCapture() override {
    Stop();
    // Closing a stream whose server went away waits for that server (for
    // minutes): such a stream and its PortAudio session stay open until the
    // process ends.
    if (m_lost) return;
    std::lock_guard<std::mutex> lock(g_portAudioMutex);
    Pa_CloseStream(m_stream);
    Pa_Terminate();
  }

  void Stop() override {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }

  std::string Failure() const override {
    std::lock_guard<std::mutex> lock(m_failureMutex);
    return m_failure;
  }

 private:
  void Lose(const std::string& why) {
    {
      std::lock_guard<std::mutex> lock(m_failureMutex);
      m_failure = why;
    }
    m_lost = true;
    ++g_lostStreams;
  }

  void Run() {
    std::vector<float> chunk(kFramesPerRead * m_channels);
    auto lastDelivery = std::chrono::steady_clock::now();
    while (!m_stop) {
      if (Pa_IsStreamActive(m_stream) != 1) {
        Lose("the sound device stopped delivering (its sound server or the device went away)");
        break;
      }
      const signed long available = Pa_GetStreamReadAvailable(m_stream);
      if (available == 0) {
        if (std::chrono::steady_clock::now() - lastDelivery > kSilenceLimit) {
          Lose("the sound device delivered nothing for " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kSilenceLimit).count()) + " s");
          break;
        }
        std::this_thread::sleep_for(kPollInterval);
        continue;
      }
      // No more than the stream holds: this read does not wait. A stream
      // that cannot tell (an error state, a host API without the figure) is
      // read a block, waiting; PortAudio recovers an overrun there.
      const unsigned long frames = available < 0
                                       ? kFramesPerRead
                                       : std::min<unsigned long>(static_cast<unsigned long>(available), kFramesPerRead);
      const PaError result = Pa_ReadStream(m_stream, chunk.data(), frames);
      if (result != paNoError && result != paInputOverflowed) {
        Lose(std::string("the sound device failed: ") + Pa_GetErrorText(result));
        break;
      }
      for (unsigned long i = 0; i < frames * m_channels; ++i) chunk[i] *= kUnitsPerFullScale;
      m_buffer->Push(chunk.data(), static_cast<int64_t>(frames));
      lastDelivery = std::chrono::steady_clock::now();
    }
    // A server that went away just as the caller stopped: stopping would wait for it.
    if (!m_lost && Pa_IsStreamActive(m_stream) != 1) Lose("the sound device stopped delivering");
    if (!m_lost) Pa_StopStream(m_stream);
    m_buffer->MarkEnded();
  }

  PaStream* m_stream;
  int m_channels;
  std::shared_ptr<WaveBuffer> m_buffer;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_lost{false};
  mutable std::mutex m_failureMutex;
  std::string m_failure;
  std::thread m_thread;  // last: starts once everything above is set
};

}  // namespace

std::unique_ptr<DeviceCapture> StartPortAudioCapture(const CaptureRequest& request, std::shared_ptr<WaveBuffer> buffer,
                                                     std::string* error) {
  std::lock_guard<std::mutex> lock(g_portAudioMutex);
  if (Pa_Initialize() != paNoError) {
    SetError(error, "the sound system cannot be started");
    return nullptr;
  }
  auto fail = [&](const std::string& text) -> std::unique_ptr<DeviceCapture> {
    SetError(error, g_lostStreams == 0 ? text : text + kAfterALoss);
    Pa_Terminate();
    return nullptr;
  };
  const PaDeviceIndex device = FindInputDevice(request.deviceId);
  if (device == paNoDevice) return fail("no sound input device " + std::to_string(request.deviceId));
  PaStreamParameters input{};
  input.device = device;
  input.channelCount = request.channels;
  input.sampleFormat = paFloat32;
  // A measurement needs every sample, not a short path: the larger buffer
  // rides out a capture thread that the machine's load holds up.
  input.suggestedLatency = Pa_GetDeviceInfo(device)->defaultHighInputLatency;
  PaStream* stream = nullptr;
  PaError result =
      Pa_OpenStream(&stream, &input, nullptr, request.sampleRate, kFramesPerRead, paNoFlag, nullptr, nullptr);
  if (result != paNoError) return fail(std::string("sound input device cannot open: ") + Pa_GetErrorText(result));
  result = Pa_StartStream(stream);
  if (result != paNoError) {
    Pa_CloseStream(stream);
    return fail(std::string("sound input device cannot start: ") + Pa_GetErrorText(result));
  }
  return std::make_unique<PortAudioCapture>(stream, request.channels, std::move(buffer));
}

std::vector<SoundInputDevice> ListSoundInputDevices() {
  std::vector<SoundInputDevice> devices;
  std::lock_guard<std::mutex> lock(g_portAudioMutex);
  if (Pa_Initialize() != paNoError) return devices;
  ForEachInputDevice([&](PaDeviceIndex, int id, const PaDeviceInfo& info) {
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info.hostApi);
    devices.push_back(SoundInputDevice{id, info.name != nullptr ? info.name : "",
                                       api != nullptr && api->name != nullptr ? api->name : "", info.maxInputChannels,
                                       info.defaultSampleRate});
    return false;
  });
  Pa_Terminate();
  return devices;
}

#else

std::unique_ptr<DeviceCapture> StartPortAudioCapture(const CaptureRequest& request, std::shared_ptr<WaveBuffer>,
                                                     std::string* error) {
  if (error != nullptr)
    *error = "no sound input device " + std::to_string(request.deviceId) + " (built without sound devices)";
  return nullptr;
}

std::vector<SoundInputDevice> ListSoundInputDevices() { return {}; }

#endif
