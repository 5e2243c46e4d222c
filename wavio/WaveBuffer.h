// The buffer between a capturing thread and the reader of a wave input:
// interleaved frames in 16-bit units, bounded by the size the input was set
// up with. Reads look at the oldest frames without taking them; only
// Release drops them. Reads that block come back when their count is there,
// the input has ended or been closed, or the buffer is full (nothing more
// can arrive before a release), so no reader waits forever.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

class WaveBuffer {
 public:
  WaveBuffer(int channels, int64_t capacityFrames);

  int Channels() const { return m_channels; }
  int64_t CapacityFrames() const { return m_capacityFrames; }

  // Writer side. Push stores what fits and returns the frames stored (the
  // rest counts as overrun); PushWaiting waits for room instead, until
  // everything is stored or the buffer is closed.
  int64_t Push(const float* interleaved, int64_t frames);
  int64_t PushWaiting(const float* interleaved, int64_t frames);
  // No more frames will come (end of a source).
  void MarkEnded();

  // Reader side. Copies up to `frames` frames from the oldest on: one
  // channel (channel >= 0) or every channel interleaved (channel < 0);
  // dest may be null. Returns the frames delivered.
  int64_t Read(float* dest, int channel, int64_t frames, bool blocking);
  // Drops up to `frames` of the oldest frames.
  void Release(int64_t frames);
  // Waits up to `milliseconds` (negative: no limit) for a frame to read.
  // true when one is there; false on timeout, end or close.
  bool WaitForFrames(int milliseconds);

  // Wakes every waiter for good; later reads deliver what is left.
  void Close();

  int64_t FramesHeld() const;
  int64_t FreeFrames() const;
  int64_t OverrunFrames() const;
  bool Ended() const;  // ended or closed

 private:
  bool ReadyFor(int64_t frames) const;

  const int m_channels;
  const int64_t m_capacityFrames;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<float> m_samples;
  int64_t m_overrunFrames = 0;
  bool m_ended = false;
  bool m_closed = false;
};
