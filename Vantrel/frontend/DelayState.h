// The delay state machine's states, and the delay, status and quality a
// frame reports, which the search, the re-check and the tracker move on.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

// Delay compensation states.
constexpr int DELCOMP_FILLINGBUFFERS = 0;
constexpr int DELCOMP_CALCDELAY = 1;
constexpr int DELCOMP_DELAYRELIABLE = 2;
constexpr int DELCOMP_DELAYUNCERTAIN = 3;
constexpr int DELCOMP_FIXED = 4;
constexpr int DELCOMP_SNAP = 6;
constexpr int DELCOMP_NOCHANGE = 7;  // the re-check's "signal too weak" answer

struct DelayReading {
  int delay = 0;
  // The state's status word in the low 16 bits, the start-up marks above.
  int32_t status = 0;
  // Percent of correlation, -100..100.
  int quality = 0;
};

// The marks above a status word.
constexpr int32_t kStatusMarks = int32_t(0xFFFF0000u);

// A status without its marks: the state's word.
constexpr int32_t StatusWord(int32_t status) { return status & ~kStatusMarks; }
// A status whose word is `word`, its marks kept.
constexpr int32_t WithStatusWord(int32_t status, int32_t word) { return (status & kStatusMarks) | word; }

// A correlation in percent as the frame's integer quality: truncated
// toward zero, held within -100..100, 0 when it is not a number.
inline int QualityPercent(double quality) {
  if (std::isnan(quality)) return 0;
  return int(std::clamp(quality, -100.0, 100.0));
}

// Counts one more block or frame; a count stops at its largest value, so
// that a run of any length never wraps it.
template <typename T>
void CountUp(T& counter) {
  if (counter < std::numeric_limits<T>::max()) ++counter;
}
