// The input multiplexer: the lowest stage of the signal front end. It owns
// one wave input/output object per physical input, opens and starts them,
// and serves reads of a signal channel (direction 0 reference, 1 test;
// channel 0 or 1) by routing it to a physical input and channel through the
// SYSPARA routing table. Created by CMsystem and attached to the delay buffer.
#pragma once

#include <cstdint>
#include <string>

class SYSPARA;
struct DecodeProgress;

class CInputMux {
 public:
  // A new multiplexer, or null when none can be made.
  static CInputMux* Create();

  virtual ~CInputMux() = default;
  // Deletes the object. Callers with a possibly null pointer use SafeDestroy.
  virtual void Destroy() { delete this; }
  // Keeps the record; 1.
  virtual int Init(SYSPARA* sysPara) = 0;
  // Closes the inputs and forgets the record.
  virtual void Free() = 0;
  // Closes the inputs; 1.
  virtual int Stop() = 0;
  // Reads `count` samples of a signal channel without consuming them:
  // 4 all read, 2 fewer (*got tells how many).
  virtual int GetSamples(int count, int direction, int channel, float* dest, int* got) = 0;
  // The same on a physical input, raw; dest may be null (samples discarded).
  virtual int GetSamplesPhys(int count, float* dest, int input, int* got) = 0;
  virtual int SkipSamples(int input, int count) = 0;
  // Releases what was read from the input the channel is routed to.
  virtual void ConsumeSamples(int direction, int channel) = 0;
  // Releases both inputs; called once after every block.
  virtual void ConsumeAll() = 0;
  // Used share (percent) of each input's first and second wave buffer.
  virtual int32_t* GetUsedBufferPercent() = 0;
  virtual int32_t* GetUsedBufferPercent2() = 0;
  // Opens and starts both inputs; non-zero when all are running.
  virtual int Go(int bufferBytes) = 0;
  // Samples of a physical input (0 or 1) that were not finite, or lay more
  // than 60 dB over full scale, and were
  // delivered as 0, since its last Go: counted while it is open and kept
  // when it closes. 0 for any other input, and from inputs that cannot
  // deliver such samples.
  virtual int64_t NonFiniteSamples(int) const { return 0; }
  // An open file input (0 or 1): decodes what was not read of it, then
  // gives how far it decoded against its header and what changed in the
  // file since it opened ("" nothing). false for an input that is no open file.
  virtual bool FinishFileInput(int, DecodeProgress*, std::string*) { return false; }
  // An open file input (0 or 1): how far it has decoded so far against its
  // header, without reading on. false for an input that is no open file.
  virtual bool FileProgress(int, DecodeProgress*) const { return false; }
};
