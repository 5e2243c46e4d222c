// The frame record: what travels once per frame from the host through
// CMsystem::ProcessFrame, the delay compensation and the trigger events to
// the algorithm. Plain data; a zeroed record is a valid empty frame.
// Signals are addressed [direction][channel]: direction 0 the reference,
// 1 the test signal.
#pragma once

#include <cstddef>
#include <cstdint>

// Samples each channel buffer of a frame holds.
constexpr int FRAME_SAMPLES_PER_CHANNEL = 2304;
// The front end writes (and scales) this many samples beyond its output
// length, so a frame's own buffers carry at most 2304 - 256 output samples.
constexpr int FRAME_FRONT_END_SPARE = 256;
constexpr uint32_t FRAME_MAX_OUTPUT_LENGTH = FRAME_SAMPLES_PER_CHANNEL - FRAME_FRONT_END_SPARE;

// Frame delay status: the low 16 bits of the header's status word. What a
// frame's delay and quality are worth:
// The delay was confirmed by a search (correlation above 0.6 over enough
// blocks) or by the re-check since, and the quality is 60 or more in
// magnitude (negative for an inverted test).
constexpr int32_t DELAY_STATUS_RELIABLE = 1;
// The delay is the best one known but nothing confirms it: a re-check
// doubts it, the input ended before a search finished, or the search over
// the start of the files never confirmed one (then every frame of the run
// says so, whatever the later frames show).
constexpr int32_t DELAY_STATUS_UNCERTAIN = 2;
// The delay is being searched: the frame's delay is no result yet.
constexpr int32_t DELAY_STATUS_CALCULATING = 4;
// The caller holds the delay: it is not searched, checked or tracked.
constexpr int32_t DELAY_STATUS_HELD = 8;
// The delay stood long enough to be frozen; only an unsnap request frees it.
constexpr int32_t DELAY_STATUS_SNAPPED = 0x10;
// Compensation is off: the record's fixed delay, quality FIXED_DELAY_QUALITY.
constexpr int32_t DELAY_STATUS_FIXED = 0x11;
// The delay exceeds what the buffers hold (the samples come from the
// nearest delay they allow), or a tracking step was refused (the delay stays).
constexpr int32_t DELAY_STATUS_CLAMPED = 0x12;
// High bit: the start-up search retried with the test channels swapped.
constexpr int32_t DELAY_STATUS_SWAP_RETRIED = 0x10000;
// High bit: the test's two channels are read swapped (the swapped run of
// that retry correlated better, as crossed stereo channels do).
constexpr int32_t DELAY_STATUS_TEST_SWAPPED = 0x20000;
constexpr int32_t FIXED_DELAY_QUALITY = 999;

// Without tracking, where the delay found at the start stopped holding. The
// delays are the frames' (positive when the test lags the reference).
struct DelayMoveSeen {
  int32_t fromDelay = 0;  // the delay found at the start
  // Where the correlation placed the delay then (beyondDelay: at the end of
  // the lags looked at, or further), unless it collapsed at the delay.
  int32_t toDelay = 0;
  bool beyond = false;
  bool collapsed = false;
  int32_t correlation = 0;        // percent, at the delay found, where it collapsed
  int32_t searchCorrelation = 0;  // percent, the search's at the start
  int64_t atSample = 0;           // the reference sample by which it had moved
};

// Monitor curves: eleven slots, of which indices 0..9 are distinct entries.
constexpr int MONITOR_SLOTS = 11;
constexpr int MONITOR_LAST_ENTRY = 9;
constexpr int MONITOR_NAME_SIZE = 16;

struct FRAMEHEADER {
  int32_t channels;     // channels per signal (1 or 2)
  // The test signal's delay behind the reference, in samples of the
  // frame's rate: positive when the test lags (a test that arrives 321
  // samples late gives 321), negative when it leads. (The front end keeps
  // the opposite sign internally: this field is its negation.) What it is
  // worth is in delayStatus and quality.
  int32_t delay;
  int32_t delayStatus;  // low 16 bits status code; 0x10000 channel-swapped search
  int32_t quality;      // correlation quality in percent; 999 compensation off
  // Samples of the frame (of desc.count) that hold input of both signals.
  // The others are zeros: before them where an input had not begun yet
  // (the first frames, the test ahead by more than the frame), after them
  // where an input ended (the last frame). A frame with such zeros is
  // never reliable; 0 when no samples were fetched.
  int32_t realSamples;
  int32_t sampleRate[2][2];  // Hz, [direction][channel]
  int32_t bitsPerSample[2][2];
  double refEnergy;   // mean block energy of the reference
  double testEnergy;  // mean block energy of the test signal
  // 1: the frame's samples count: both signals were fetched at the frame's
  // delay (in full, or zero-padded where an input is missing: realSamples) and, while
  // trigger events are on, the frame lies in the measurement's time window
  // (from the start event on). 0: they do not: not enough input yet, zeros
  // where a signal has not begun while allowPadding is 0, the delay was
  // clamped to what the buffers hold, or the start event has not come. It
  // does not say the delay is right: delayStatus does.
  uint8_t delayValid;
  uint8_t resetAverage;      // restart averages with this frame
  uint8_t endOfMeasurement;  // the measurement ends with this frame
  uint8_t longFrame;         // frame length above 4096 samples
  int32_t frameNumber;       // frames since Go, from 0 (0 again after INT32_MAX)
  uint32_t samplePosition;   // the inputs' position after this frame (CMsystem::ProcessFrame)
};

// Which samples of the frame are valid.
struct FRAMEBUFFERDESC {
  uint32_t count;   // valid samples per channel
  uint32_t start;   // start index of the valid samples
  uint32_t start2;  // second start index, moved together with start
};

struct MONITORDATA {
  float value[MONITOR_SLOTS];
  float minimum[MONITOR_SLOTS];
  float maximum[MONITOR_SLOTS];
  char name[MONITOR_SLOTS][MONITOR_NAME_SIZE];
  int32_t count;

  // Writes the entry at index `count` and advances `count` while it is
  // below 9, so entry 9 takes every entry after the ninth. A `count` the
  // owner left outside the slots is pulled back into them; the name is
  // cut to its field and always terminated (null: empty).
  void Add(float entryValue, float entryMinimum, float entryMaximum, const char* entryName);
};

struct FRAMEDATA {
  FRAMEHEADER header;
  FRAMEBUFFERDESC desc;
  float samples[2][2][FRAME_SAMPLES_PER_CHANNEL];
  MONITORDATA monitor;
};

// Hosts exchange the record as a block: keep the layout fixed.
static_assert(sizeof(FRAMEHEADER) == 88 && offsetof(FRAMEHEADER, refEnergy) == 56 &&
              offsetof(FRAMEHEADER, delayValid) == 72 && offsetof(FRAMEHEADER, samplePosition) == 80);
static_assert(offsetof(FRAMEDATA, desc) == 88 && offsetof(FRAMEDATA, samples) == 100 &&
              offsetof(FRAMEDATA, monitor) == 100 + 2 * 2 * FRAME_SAMPLES_PER_CHANNEL * 4);
static_assert(sizeof(MONITORDATA) == 3 * MONITOR_SLOTS * 4 + MONITOR_SLOTS * MONITOR_NAME_SIZE + 4);
