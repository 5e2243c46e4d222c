// Capture from the machine's input devices through PortAudio's blocking
// stream interface, read on the capture's own thread. Device id n is the
// n-th PortAudio device that has input channels.
//
// The thread reads only what the stream says it holds and otherwise sleeps,
// so it does not wait inside PortAudio: a blocking read on a stream whose
// sound server went away would never return. Only a stream that cannot say
// what it holds is read a block at a time, waiting. A stream that stops,
// or delivers nothing for a while, ends the capture with a failure text.
//
// PortAudio, and with it its ALSA and JACK libraries, is loaded on the
// first device use only: a file measurement never loads or starts them.
// Their messages (ALSA's and JACK's probing writes dozens of lines to
// stderr) go through their error handlers to the back-end message sink.
#include <string>

#include "wavio/DeviceCapture.h"

#if VANTREL_HAVE_PORTAUDIO

#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::atomic<SoundBackEndMessageSink> g_messageSink{nullptr};

void ToSink(const char* text) {
  if (SoundBackEndMessageSink sink = g_messageSink.load()) sink(text);
}

// ALSA's handler: file, line, function, error, then a printf format.
void AlsaMessage(const char* file, int line, const char* function, int error, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  char code[32] = "";
  if (error != 0) std::snprintf(code, sizeof code, ", error %d", error);
  char full[768];
  std::snprintf(full, sizeof full, "ALSA %s:%d (%s) %s%s\n", file != nullptr ? file : "?", line,
                function != nullptr ? function : "?", text, code);
  ToSink(full);
}

void JackMessage(const char* text) {
  char full[768];
  std::snprintf(full, sizeof full, "JACK %s\n", text != nullptr ? text : "");
  ToSink(full);
}

// The PortAudio calls used here, from the library loaded on first use.
// clang-format off
#define PORTAUDIO_CALLS(X)                                                                \
  X(Initialize) X(Terminate) X(GetDeviceCount) X(GetDeviceInfo) X(GetHostApiInfo)         \
  X(OpenStream) X(StartStream) X(StopStream) X(CloseStream) X(IsStreamActive)             \
  X(GetStreamReadAvailable) X(ReadStream) X(GetErrorText)
// clang-format on

struct PortAudioApi {
#define PORTAUDIO_POINTER(name) decltype(&Pa_##name) name = nullptr;
  PORTAUDIO_CALLS(PORTAUDIO_POINTER)
#undef PORTAUDIO_POINTER
  std::string failure;  // why it could not be loaded; empty when it was
};

template <class Function>
bool Resolve(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  return *function != nullptr;
}

// Routes the messages of a back end PortAudio brought in (already loaded,
// so nothing new is loaded here) to the sink.
void RouteBackEndMessages() {
  if (void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD)) {
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    SetHandler set = nullptr;
    if (Resolve(alsa, "snd_lib_error_set_handler", &set)) set(&AlsaMessage);
  }
  if (void* jack = dlopen("libjack.so.0", RTLD_NOW | RTLD_NOLOAD)) {
    using SetFunction = void (*)(void (*)(const char*));
    SetFunction set = nullptr;
    if (Resolve(jack, "jack_set_error_function", &set)) set(&JackMessage);
    if (Resolve(jack, "jack_set_info_function", &set)) set(&JackMessage);
  }
}

PortAudioApi LoadPortAudio() {
  PortAudioApi api;
  // Kept loaded for the process: a lost stream's session stays open.
  void* library = dlopen(VANTREL_PORTAUDIO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    api.failure = std::string("PortAudio (" VANTREL_PORTAUDIO_LIBRARY ") cannot be loaded") +
                  (why != nullptr ? std::string(": ") + why : std::string());
    return api;
  }
  bool all = true;
#define PORTAUDIO_RESOLVE(name) all = all && Resolve(library, "Pa_" #name, &api.name);
  PORTAUDIO_CALLS(PORTAUDIO_RESOLVE)
#undef PORTAUDIO_RESOLVE
  if (!all) {
    api = PortAudioApi{};
    api.failure = "PortAudio (" VANTREL_PORTAUDIO_LIBRARY ") lacks a function this program calls";
    return api;
  }
  RouteBackEndMessages();
  return api;
}

// Loaded once, on the first call.
const PortAudioApi& Pa() {
  static const PortAudioApi api = LoadPortAudio();
  return api;
}

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
  const PaDeviceIndex count = Pa().GetDeviceCount();
  for (PaDeviceIndex index = 0; index < count; ++index) {
    const PaDeviceInfo* info = Pa().GetDeviceInfo(index);
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
    Pa().CloseStream(m_stream);
    Pa().Terminate();
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
      if (Pa().IsStreamActive(m_stream) != 1) {
        Lose("the sound device stopped delivering (its sound server or the device went away)");
        break;
      }
      const signed long available = Pa().GetStreamReadAvailable(m_stream);
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
      const PaError result = Pa().ReadStream(m_stream, chunk.data(), frames);
      if (result != paNoError && result != paInputOverflowed) {
        Lose(std::string("the sound device failed: ") + Pa().GetErrorText(result));
        break;
      }
      for (unsigned long i = 0; i < frames * m_channels; ++i) chunk[i] *= kUnitsPerFullScale;
      m_buffer->Push(chunk.data(), static_cast<int64_t>(frames));
      lastDelivery = std::chrono::steady_clock::now();
    }
    // A server that went away just as the caller stopped: stopping would wait for it.
    if (!m_lost && Pa().IsStreamActive(m_stream) != 1) Lose("the sound device stopped delivering");
    if (!m_lost) Pa().StopStream(m_stream);
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
  if (!Pa().failure.empty()) {
    SetError(error, "the sound system cannot be started: " + Pa().failure);
    return nullptr;
  }
  if (Pa().Initialize() != paNoError) {
    SetError(error, "the sound system cannot be started");
    return nullptr;
  }
  auto fail = [&](const std::string& text) -> std::unique_ptr<DeviceCapture> {
    SetError(error, g_lostStreams == 0 ? text : text + kAfterALoss);
    Pa().Terminate();
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
  input.suggestedLatency = Pa().GetDeviceInfo(device)->defaultHighInputLatency;
  PaStream* stream = nullptr;
  PaError result =
      Pa().OpenStream(&stream, &input, nullptr, request.sampleRate, kFramesPerRead, paNoFlag, nullptr, nullptr);
  if (result != paNoError) return fail(std::string("sound input device cannot open: ") + Pa().GetErrorText(result));
  result = Pa().StartStream(stream);
  if (result != paNoError) {
    Pa().CloseStream(stream);
    return fail(std::string("sound input device cannot start: ") + Pa().GetErrorText(result));
  }
  return std::make_unique<PortAudioCapture>(stream, request.channels, std::move(buffer));
}

std::vector<SoundInputDevice> ListSoundInputDevices() {
  std::vector<SoundInputDevice> devices;
  std::lock_guard<std::mutex> lock(g_portAudioMutex);
  if (!Pa().failure.empty() || Pa().Initialize() != paNoError) return devices;
  ForEachInputDevice([&](PaDeviceIndex, int id, const PaDeviceInfo& info) {
    const PaHostApiInfo* api = Pa().GetHostApiInfo(info.hostApi);
    devices.push_back(SoundInputDevice{id, info.name != nullptr ? info.name : "",
                                       api != nullptr && api->name != nullptr ? api->name : "", info.maxInputChannels,
                                       info.defaultSampleRate});
    return false;
  });
  Pa().Terminate();
  return devices;
}

void SetSoundBackEndMessageSink(SoundBackEndMessageSink sink) { g_messageSink.store(sink); }

#else

void SetSoundBackEndMessageSink(SoundBackEndMessageSink) {}

std::unique_ptr<DeviceCapture> StartPortAudioCapture(const CaptureRequest& request, std::shared_ptr<WaveBuffer>,
                                                     std::string* error) {
  if (error != nullptr)
    *error = "no sound input device " + std::to_string(request.deviceId) + " (built without sound devices)";
  return nullptr;
}

std::vector<SoundInputDevice> ListSoundInputDevices() { return {}; }

#endif
