#include "Progress.h"

#include <unistd.h>

#include <algorithm>

namespace {

// A search shorter than this is over before a figure would help.
constexpr std::chrono::seconds kSearchShownAfter{1};

}  // namespace

Progress::Progress(int64_t lengthFrames, int sampleRate, uint32_t frameLength, bool quiet)
    : m_terminal(isatty(STDERR_FILENO) != 0),
      m_lengthFrames(std::max<int64_t>(lengthFrames, 1)),
      m_frameLength(frameLength),
      m_begun(std::chrono::steady_clock::now()) {
  m_searchShown = m_terminal || !quiet;
  m_framesShown = lengthFrames > 30 * int64_t(sampleRate) && m_searchShown;
}

void Progress::Search(int64_t samplesRead) {
  if (!m_searchShown || !m_searching) return;
  if (m_lastSearchPercent < 0 && std::chrono::steady_clock::now() - m_begun < kSearchShownAfter) return;
  Step("searching the delay, files read", int(std::min<int64_t>(100, 100 * samplesRead / m_lengthFrames)),
       &m_lastSearchPercent);
}

void Progress::Frame(int32_t index) {
  if (m_searching) {
    m_searching = false;
    Clear();
  }
  if (!m_framesShown) return;
  const double done = double(index + 1) * m_frameLength / double(m_lengthFrames);
  Step("progress", std::min(100, int(100.0 * done)), &m_lastPercent);
}

void Progress::Step(const char* label, int percent, int* last) {
  const int step = m_terminal ? 1 : 10;
  if (percent / step == *last / step) return;
  *last = percent;
  if (m_terminal) {
    std::fprintf(stderr, "\r%s: %3d %%", label, percent);
    m_lineOpen = true;
  } else {
    std::fprintf(stderr, "%s: %3d %%\n", label, percent);
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
  if (m_framesShown && m_lastPercent < 100) Step("progress", 100, &m_lastPercent);
  Clear();
}
