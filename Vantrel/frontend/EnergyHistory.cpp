#include "Vantrel/frontend/EnergyHistory.h"

#include <algorithm>

#include "Vantrel/frontend/FrontEndAlloc.h"

bool CEnergyHistory::Allocate(uint32_t length) {
  Free();
  m_length = std::max<uint32_t>(length, 1);
  for (auto& direction : m_entries)
    for (double*& entries : direction) {
      entries = AllocateZeroed<double>(m_length, "the energy history");
      if (entries == nullptr) {
        Free();
        return false;
      }
    }
  Clear();
  return true;
}

void CEnergyHistory::Free() {
  for (auto& direction : m_entries)
    for (double*& entries : direction) FreeArray(entries);
}

void CEnergyHistory::Clear() {
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) {
      if (m_entries[d][c] != nullptr) std::fill_n(m_entries[d][c], m_length, 0.0);
      m_total[d][c] = 0.0;
      m_window[d][c] = 0.0;
    }
  m_index = 0;
  m_reads = 0;
}

void CEnergyHistory::Record(int direction, int channel, float energy) {
  double* entries = m_entries[direction][channel];
  m_total[direction][channel] += energy;
  if (m_reads < m_length)
    m_window[direction][channel] += energy;
  else
    m_window[direction][channel] += energy - entries[m_index];
  entries[m_index] = energy;
  ++m_reads;
}
