// Capture from the machine's input devices through PortAudio's blocking
// stream interface, read on the capture's own thread. Device id n is the
// n-th PortAudio device that has input channels.
#include <string>

#include "wavio/DeviceCapture.h"

#if VANTREL_HAVE_PORTAUDIO

#include <portaudio.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr unsigned long kFramesPerRead = 512;
constexpr float kUnitsPerFullScale = 32768.0f;

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

PaDeviceIndex FindInputDevice(int deviceId) {
  int inputs = 0;
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex index = 0; index < count; ++index) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    if (info != nullptr && info->maxInputChannels > 0 && inputs++ == deviceId) return index;
  }
  return paNoDevice;
}

class PortAudioCapture : public DeviceCapture {
 public:
  PortAudioCapture(PaStream* stream, int channels, std::shared_ptr<WaveBuffer> buffer)
      : m_stream(stream), m_channels(channels), m_buffer(std::move(buffer)), m_thread([this] { Run(); }) {}
  ~PortAudioCapture() override {
    Stop();
    Pa_CloseStream(m_stream);
    Pa_Terminate();
  }

  void Stop() override {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }

 private:
  void Run() {
    std::vector<float> chunk(kFramesPerRead * m_channels);
    while (!m_stop) {
      const PaError result = Pa_ReadStream(m_stream, chunk.data(), kFramesPerRead);
      if (result != paNoError && result != paInputOverflowed) break;
      for (float& v : chunk) v *= kUnitsPerFullScale;
      m_buffer->Push(chunk.data(), kFramesPerRead);
    }
    Pa_StopStream(m_stream);
    m_buffer->MarkEnded();
  }

  PaStream* m_stream;
  int m_channels;
  std::shared_ptr<WaveBuffer> m_buffer;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

}  // namespace

std::unique_ptr<DeviceCapture> StartPortAudioCapture(const CaptureRequest& request, std::shared_ptr<WaveBuffer> buffer,
                                                     std::string* error) {
  if (Pa_Initialize() != paNoError) {
    SetError(error, "the sound system cannot be started");
    return nullptr;
  }
  auto fail = [&](const std::string& text) -> std::unique_ptr<DeviceCapture> {
    SetError(error, text);
    Pa_Terminate();
    return nullptr;
  };
  const PaDeviceIndex device = FindInputDevice(request.deviceId);
  if (device == paNoDevice) return fail("no sound input device " + std::to_string(request.deviceId));
  PaStreamParameters input{};
  input.device = device;
  input.channelCount = request.channels;
  input.sampleFormat = paFloat32;
  input.suggestedLatency = Pa_GetDeviceInfo(device)->defaultLowInputLatency;
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

#else

std::unique_ptr<DeviceCapture> StartPortAudioCapture(const CaptureRequest& request, std::shared_ptr<WaveBuffer>,
                                                     std::string* error) {
  if (error != nullptr)
    *error = "no sound input device " + std::to_string(request.deviceId) + " (built without sound devices)";
  return nullptr;
}

#endif
