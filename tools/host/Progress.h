// Progress of a long measurement on stderr: a figure every 10 % into a
// file or pipe, every 1 % on one line of a terminal. The delay search over
// the files' start tells how much of them it has read, once it has taken a
// second; the frames, for inputs of more than 30 s, always end at 100 %. On
// a terminal the line is cleared at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

class Progress {
 public:
  // `quiet`: shown only on a terminal, whose line is cleared at the end and
  // leaves nothing behind.
  Progress(int64_t lengthFrames, int sampleRate, uint32_t frameLength, bool quiet);
  // The delay search has read `samplesRead` of each file.
  void Search(int64_t samplesRead);
  void Frame(int32_t index);
  // Clears the terminal line before other output (it comes back with the next step).
  void Clear();
  void Finish();

 private:
  // Shows `percent` under `label` when it reached the next step since `*last`.
  void Step(const char* label, int percent, int* last);

  bool m_framesShown = false;
  bool m_searchShown = false;
  bool m_searching = true;  // until the first frame
  bool m_terminal = false;
  bool m_lineOpen = false;
  int64_t m_lengthFrames = 0;
  uint32_t m_frameLength = 0;
  std::chrono::steady_clock::time_point m_begun;
  // Below every step, so that 0 % shows too.
  int m_lastSearchPercent = -100;
  int m_lastPercent = -100;
};
