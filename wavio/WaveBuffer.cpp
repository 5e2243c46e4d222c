#include "wavio/WaveBuffer.h"

#include <algorithm>
#include <chrono>

WaveBuffer::WaveBuffer(int channels, int64_t capacityFrames)
    : m_channels(std::max(channels, 1)), m_capacityFrames(std::max<int64_t>(capacityFrames, 1)) {}

int64_t WaveBuffer::Push(const float* interleaved, int64_t frames) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_closed || frames <= 0) return 0;
  const int64_t held = static_cast<int64_t>(m_samples.size()) / m_channels;
  const int64_t stored = std::min(frames, m_capacityFrames - held);
  m_samples.insert(m_samples.end(), interleaved, interleaved + stored * m_channels);
  m_overrunFrames += frames - stored;
  m_changed.notify_all();
  return stored;
}

int64_t WaveBuffer::PushWaiting(const float* interleaved, int64_t frames) {
  int64_t stored = 0;
  std::unique_lock<std::mutex> lock(m_mutex);
  while (stored < frames && !m_closed) {
    m_changed.wait(lock,
                   [&] { return m_closed || static_cast<int64_t>(m_samples.size()) / m_channels < m_capacityFrames; });
    if (m_closed) break;
    const int64_t held = static_cast<int64_t>(m_samples.size()) / m_channels;
    const int64_t part = std::min(frames - stored, m_capacityFrames - held);
    const float* from = interleaved + stored * m_channels;
    m_samples.insert(m_samples.end(), from, from + part * m_channels);
    stored += part;
    m_changed.notify_all();
  }
  return stored;
}

void WaveBuffer::MarkEnded() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_ended = true;
  m_changed.notify_all();
}

bool WaveBuffer::ReadyFor(int64_t frames) const {
  const int64_t held = static_cast<int64_t>(m_samples.size()) / m_channels;
  return held >= frames || held >= m_capacityFrames || m_ended || m_closed;
}

int64_t WaveBuffer::Read(float* dest, int channel, int64_t frames, bool blocking) {
  if (frames <= 0 || channel >= m_channels) return 0;
  std::unique_lock<std::mutex> lock(m_mutex);
  if (blocking) m_changed.wait(lock, [&] { return ReadyFor(frames); });
  const int64_t held = static_cast<int64_t>(m_samples.size()) / m_channels;
  const int64_t delivered = std::min(frames, held);
  if (dest != nullptr) {
    if (channel < 0) {
      std::copy_n(m_samples.begin(), delivered * m_channels, dest);
    } else {
      auto at = m_samples.begin() + channel;
      for (int64_t i = 0; i < delivered; ++i, at += m_channels) dest[i] = *at;
    }
  }
  return delivered;
}

void WaveBuffer::Release(int64_t frames) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const int64_t held = static_cast<int64_t>(m_samples.size()) / m_channels;
  const int64_t dropped = std::clamp<int64_t>(frames, 0, held);
  m_samples.erase(m_samples.begin(), m_samples.begin() + dropped * m_channels);
  m_changed.notify_all();
}

bool WaveBuffer::WaitForFrames(int milliseconds) {
  std::unique_lock<std::mutex> lock(m_mutex);
  auto ready = [&] { return !m_samples.empty() || m_ended || m_closed; };
  if (milliseconds < 0)
    m_changed.wait(lock, ready);
  else
    m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
  return !m_samples.empty();
}

void WaveBuffer::Close() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_closed = true;
  m_changed.notify_all();
}

int64_t WaveBuffer::FramesHeld() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int64_t>(m_samples.size()) / m_channels;
}

int64_t WaveBuffer::FreeFrames() const { return m_capacityFrames - FramesHeld(); }

int64_t WaveBuffer::OverrunFrames() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_overrunFrames;
}

bool WaveBuffer::Ended() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_ended || m_closed;
}
