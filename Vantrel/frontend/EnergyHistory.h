// The block energies of the last frames, per direction and channel: each
// frame records one energy per direction and channel as the newest entry;
// running totals since the last clear and sums over the entries held keep
// any history from being summed again.
#pragma once

#include <cstdint>

#include "Vantrel/frontend/FrontEndInternal.h"

class FRONT_END_INTERNAL CEnergyHistory {
 public:
  // Past this many reads the whole history starts again.
  static constexpr uint32_t kReadsLimit = 1u << 30;

  CEnergyHistory() = default;
  ~CEnergyHistory() { Free(); }
  CEnergyHistory(const CEnergyHistory&) = delete;
  CEnergyHistory& operator=(const CEnergyHistory&) = delete;

  // Holds the energies of `length` frames (at least one), all cleared.
  // false when memory runs out (noted as a refusal): the history then
  // holds nothing, as after Free.
  bool Allocate(uint32_t length);
  void Free();
  bool Allocated() const { return m_entries[0][0] != nullptr; }

  // Every entry, total and window sum to 0, the index and reads to 0.
  void Clear();
  // A new frame: its energies replace the oldest entries.
  void Advance() {
    if (++m_index >= m_length) m_index = 0;
  }
  // The newest frame's energy of one direction and channel.
  void Record(int direction, int channel, float energy);
  // Starts again once the reads exceed kReadsLimit.
  void ClearWhenFull() {
    if (m_reads > kReadsLimit) Clear();
  }

  // The entry before the newest one (the block read in the previous frame).
  double Previous(int direction, int channel) const {
    const uint32_t previous = m_index == 0 ? m_length - 1 : m_index - 1;
    return m_entries[direction][channel][previous];
  }
  // Total of channel 0 of a direction over all reads so far (every
  // direction and channel counts as one read); 0 before any read.
  double Mean(int direction) const { return m_reads != 0 ? m_total[direction][0] / double(m_reads) : 0.0; }

  double Total(int direction, int channel) const { return m_total[direction][channel]; }
  double Window(int direction, int channel) const { return m_window[direction][channel]; }
  uint32_t Reads() const { return m_reads; }
  uint32_t Length() const { return m_length; }
  // Puts back the channel-0 totals and the reads an earlier run left.
  void RestoreTotals(double refTotal, double testTotal, uint32_t reads) {
    m_total[0][0] = refTotal;
    m_total[1][0] = testTotal;
    m_reads = reads;
  }

 private:
  double* m_entries[2][2] = {};
  double m_total[2][2] = {};
  double m_window[2][2] = {};
  uint32_t m_index = 0;
  uint32_t m_length = 0;
  uint32_t m_reads = 0;
};
