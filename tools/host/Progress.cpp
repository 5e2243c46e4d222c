#include "Progress.h"

#include <unistd.h>

#include <algorithm>

Progress::Progress(int64_t lengthFrames, int sampleRate, uint32_t frameLength, bool quiet)
    : m_terminal(isatty(STDERR_FILENO) != 0),
      m_lengthFrames(std::max<int64_t>(lengthFrames, 1)),
      m_frameLength(frameLength) {
  m_shown = lengthFrames > 30 * int64_t(sampleRate) && (m_terminal || !quiet);
}

void Progress::Frame(int32_t index) {
  if (!m_shown) return;
  const double done = double(index + 1) * m_frameLength / double(m_lengthFrames);
  const int percent = std::min(100, int(100.0 * done));
  const int step = m_terminal ? 1 : 10;
  if (percent / step != m_lastPercent / step) Show(percent);
}

void Progress::Show(int percent) {
  m_lastPercent = percent;
  if (m_terminal) {
    std::fprintf(stderr, "\rprogress: %3d %%", percent);
    m_lineOpen = true;
  } else {
    std::fprintf(stderr, "progress: %3d %%\n", percent);
  }
  std::fflush(stderr);
}

void Progress::Clear() {
  if (!m_lineOpen) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  m_lineOpen = false;
}

void Progress::Finish() {
  if (!m_shown) return;
  if (m_lastPercent < 100) Show(100);
  Clear();
}
