#include "wavio/VirtualDevice.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "wavio/DeviceCapture.h"

namespace {

struct DeviceEntry {
  VirtualDeviceSpec spec;
  std::atomic<int64_t> freeSpace[2] = {-1, -1};
};

std::mutex g_devicesMutex;
std::map<int, std::shared_ptr<DeviceEntry>> g_devices;

std::shared_ptr<DeviceEntry> FindDevice(int deviceId) {
  std::lock_guard<std::mutex> lock(g_devicesMutex);
  auto it = g_devices.find(deviceId);
  return it == g_devices.end() ? nullptr : it->second;
}

// Frames handed over per step; real-time steps come every few milliseconds.
constexpr int64_t kChunkFrames = 1024;
constexpr auto kRealTimeTick = std::chrono::milliseconds(2);

class VirtualCapture : public DeviceCapture {
 public:
  VirtualCapture(std::shared_ptr<DeviceEntry> device, std::shared_ptr<WaveBuffer> buffer)
      : m_device(std::move(device)), m_buffer(std::move(buffer)), m_thread([this] { Run(); }) {}
  ~VirtualCapture() override { Stop(); }

  void Stop() override {
    m_stop = true;
    m_buffer->Close();  // frees a writer waiting for room
    if (m_thread.joinable()) m_thread.join();
  }

  int64_t FreeSpaceOverride(int which) const override { return m_device->freeSpace[which & 1].load(); }

 private:
  int64_t Produce(float* chunk, int64_t frames) {
    const VirtualDeviceSpec& spec = m_device->spec;
    if (spec.generator) return std::max<int64_t>(spec.generator(chunk, frames, m_position), 0);
    const int64_t total = static_cast<int64_t>(spec.samples.size()) / spec.channels;
    const int64_t n = std::clamp<int64_t>(total - m_position, 0, frames);
    std::copy_n(spec.samples.begin() + m_position * spec.channels, n * spec.channels, chunk);
    return n;
  }

  void Run() {
    const VirtualDeviceSpec& spec = m_device->spec;
    std::vector<float> chunk(kChunkFrames * spec.channels);
    const auto start = std::chrono::steady_clock::now();
    while (!m_stop) {
      int64_t due = kChunkFrames;
      if (spec.realTime) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        due = std::min<int64_t>(static_cast<int64_t>(seconds * spec.sampleRate) - m_position, kChunkFrames);
        if (due <= 0) {
          std::this_thread::sleep_for(kRealTimeTick);
          continue;
        }
      }
      const int64_t made = Produce(chunk.data(), due);
      if (made <= 0) break;
      // A real device drops what finds no room; at once, the source waits.
      if (spec.realTime)
        m_buffer->Push(chunk.data(), made);
      else
        m_buffer->PushWaiting(chunk.data(), made);
      m_position += made;
    }
    m_buffer->MarkEnded();
  }

  std::shared_ptr<DeviceEntry> m_device;
  std::shared_ptr<WaveBuffer> m_buffer;
  std::atomic<bool> m_stop{false};
  int64_t m_position = 0;
  std::thread m_thread;  // last: starts once everything above is set
};

}  // namespace

void RegisterVirtualDevice(int deviceId, VirtualDeviceSpec spec) {
  auto entry = std::make_shared<DeviceEntry>();
  spec.channels = std::max(spec.channels, 1);
  entry->spec = std::move(spec);
  std::lock_guard<std::mutex> lock(g_devicesMutex);
  g_devices[deviceId] = std::move(entry);
}

void UnregisterVirtualDevice(int deviceId) {
  std::lock_guard<std::mutex> lock(g_devicesMutex);
  g_devices.erase(deviceId);
}

void SetVirtualDeviceFreeSpace(int deviceId, int64_t firstBufferBytes, int64_t secondBufferBytes) {
  if (auto device = FindDevice(deviceId)) {
    device->freeSpace[0] = firstBufferBytes;
    device->freeSpace[1] = secondBufferBytes;
  }
}

int CountSoundInputDevices() {
  int count = static_cast<int>(ListSoundInputDevices().size());
  std::lock_guard<std::mutex> lock(g_devicesMutex);
  // Ids are keys in order: the last one bounds them.
  if (!g_devices.empty()) count = std::max(count, g_devices.rbegin()->first + 1);
  return count;
}

std::unique_ptr<DeviceCapture> StartDeviceCapture(const CaptureRequest& request, std::shared_ptr<WaveBuffer> buffer,
                                                  std::string* error) {
  std::shared_ptr<DeviceEntry> device = FindDevice(request.deviceId);
  if (!device) return StartPortAudioCapture(request, std::move(buffer), error);
  if (request.channels != device->spec.channels || request.sampleRate != device->spec.sampleRate) {
    if (error != nullptr)
      *error = "virtual device " + std::to_string(request.deviceId) + " delivers " +
               std::to_string(device->spec.sampleRate) + " Hz, " + std::to_string(device->spec.channels) +
               " channels, not the format asked for";
    return nullptr;
  }
  return std::make_unique<VirtualCapture>(std::move(device), std::move(buffer));
}
