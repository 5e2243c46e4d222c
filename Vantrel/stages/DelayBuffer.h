// The delay buffer: between the input multiplexer and the delay
// compensation. Each ProcessInput reads one block per signal channel into a
// ring of raw samples and, DC-blocked, into a second ring, and hands out
// spans that end a given delay before the newest sample. Sample-fetch codes:
// 1 complete, 2 a zero-padded block was touched, 4 not enough data yet,
// 8 delay clamped to the ring.
#pragma once

#include <cstdint>

class CInputMux;
class SYSPARA;
struct OUTPUTPARA;
struct WAVEPARA;

constexpr int FETCH_COMPLETE = 1;
constexpr int FETCH_PADDED = 2;
constexpr int FETCH_NOT_ENOUGH_DATA = 4;
constexpr int FETCH_DELAY_CLAMPED = 8;

// The fixed offset between the inputs in samples, truncated toward zero
// (the rate of input 0 times inputOffsetMs): positive delays the reference.
double InputOffsetSamples(const SYSPARA& sys);

// Which samples of a span are input: indices [first, end) of the span as
// GetSamples and CopySamples hand it out. The others are zeros from before
// the input's start or past its end.
struct SpanInput {
  int first = 0;
  int end = 0;
  bool pastEnd = false;  // the span reaches past the input's end
  bool Empty() const { return end <= first; }
};

class CDelayBuffer {
 public:
  // A new delay buffer, or null when none can be made.
  static CDelayBuffer* Create();

  virtual ~CDelayBuffer() = default;
  // Deletes the object. Callers with a possibly null pointer use SafeDestroy.
  virtual void Destroy() { delete this; }
  // Keeps the multiplexer and its used-buffer percentages; 1.
  virtual int Attach(CInputMux* inputMux) = 0;
  // Sizes and clears the rings for the block length; 1.
  virtual int Init(SYSPARA* sysPara, int blockLength, int ringLength) = 0;
  virtual void Free() = 0;
  virtual int Prepare(int unused) = 0;
  virtual void GetWaveFormat(int input, int channel, WAVEPARA* format) = 0;
  virtual int CopySamples(int direction, int channel, int delay, int count, float* dest, int filtered,
                          int allowPadding) = 0;
  virtual int GetSamples(int direction, int channel, int delay, int count, float** span1, int* length1, float** span2,
                         int* length2, int filtered, int allowPadding) = 0;
  virtual void GetBufferInfo(int direction, int channel, int filtered, float** ring, int* fill, int* writePos,
                             int* ringLength, int* effectiveWritePos) = 0;
  // 1 when no configured output reports busy.
  virtual int OutputsIdle(OUTPUTPARA* outputs, int argument) = 0;
  // Reads one block of every signal channel; 0 on a short read.
  virtual int ProcessInput(int swapTestChannels) = 0;
  // Clears the rings and closes the inputs.
  virtual int Reset() = 0;
  virtual int GetFreeSpace() = 0;
  virtual void GetFill(int* fill, int* ringLength) = 0;
  // The multiplexer's two used-buffer percentages.
  virtual int32_t* GetUsedInputs() = 0;
  // Opens and starts the inputs through the multiplexer.
  virtual int Go() = 0;
  // The input samples of the span GetSamples would hand out for the same
  // arguments. A buffer that cannot tell calls every sample input.
  virtual SpanInput InputInSpan(int /*direction*/, int /*channel*/, int /*delay*/, int count) const {
    return SpanInput{0, count, false};
  }
  // Samples read from each input since the inputs were last started (zeros
  // past an input's end included); -1 when the buffer cannot tell.
  virtual int64_t InputPosition() const { return -1; }
  // Before the first block after a reset: the inputs begin that many zeros
  // into it, so that spans of `direction` at `delay` end on whole blocks of
  // its input.
  virtual void AlignInputs(int /*direction*/, int /*delay*/) {}
};
