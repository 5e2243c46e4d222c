// Progress of a long measurement on stderr: a figure every 10 % into a
// file or pipe, every 1 % on one line of a terminal, always ending at 100 %;
// on a terminal the line is cleared at the end.
#pragma once

#include <cstdint>
#include <cstdio>

class Progress {
 public:
  // Shown for inputs of more than 30 s; `quiet`, only on a terminal, whose
  // line is cleared at the end and leaves nothing behind.
  Progress(int64_t lengthFrames, int sampleRate, uint32_t frameLength, bool quiet);
  void Frame(int32_t index);
  // Clears the terminal line before other output (it comes back with the next step).
  void Clear();
  void Finish();

 private:
  void Show(int percent);

  bool m_shown = false;
  bool m_terminal = false;
  bool m_lineOpen = false;
  int64_t m_lengthFrames = 0;
  uint32_t m_frameLength = 0;
  int m_lastPercent = -100;  // below every step, so that 0 % shows too
};
