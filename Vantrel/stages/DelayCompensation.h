// The delay compensation: the last stage of the signal front end. It finds,
// verifies and tracks the delay between reference and test by block
// cross-correlation, can align their levels, and once per frame copies the
// delayed samples of both signals into the frame with delay, status,
// quality and monitor entries. CMsystem drives it by these slots.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

class CDelayBuffer;
struct DelayMoveSeen;
class SYSPARA;
struct FRAMEDATA;
struct FRAMEBUFFERDESC;
struct MONITORDATA;

// ProcessFrame's result when there is no frame to hand out: its samples lie
// wholly past an input's end, or the compensation failed (the reason noted).
constexpr int FRAME_NONE = 0;

// Told on Start's thread how far the start-up work on file inputs has read:
// `samplesRead` of each input since they last started from their beginning.
using StartProgressHook = void (*)(void* context, int64_t samplesRead);

class CDelayCompensation {
 public:
  // A new delay compensation, or null when none can be made.
  static CDelayCompensation* Create();

  virtual ~CDelayCompensation() = default;
  // Deletes the object. Callers with a possibly null pointer use SafeDestroy.
  virtual void Destroy() { delete this; }
  virtual int Attach(CDelayBuffer* delayBuffer) = 0;
  // Sets up for `outputLength` samples delivered per frame and
  // `frameLength` read per frame (above 0); 0 on failure.
  virtual int Init(SYSPARA* sysPara, uint32_t outputLength, uint32_t frameLength) = 0;
  virtual void Free() = 0;
  // Closes the inputs and clears the history.
  virtual int Reset() = 0;
  // One frame: 1 delivered, 2 delivered but it reaches past an input's end
  // (the last frame), 4 not enough data yet (call again), 8 delivered with
  // the delay clamped, FRAME_NONE no frame (past an input's end, or the
  // delay search's transform could not run: the reason is noted). Null
  // frame and desc: nothing is written.
  virtual int ProcessFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2], MONITORDATA* monitor,
                           int mode) = 0;
  virtual int Prepare(SYSPARA* sysPara) = 0;
  virtual int UpdateSysPara(SYSPARA* sysPara) = 0;
  // Starts the inputs and runs the start-up work; 0 when they cannot start.
  virtual int Start(HANDLE stopEvent) = 0;
  virtual int WaitForOutputs(int argument) = 0;
  // Two used-buffer percentages (input 0, input 1), valid while the stages live.
  virtual int32_t* GetUsedInputs() = 0;
  // The search of the last Start saw strong peaks at more than one delay.
  virtual bool SearchSawRivalPeaks() const { return false; }
  // Without tracking: true, with where, when the delay found at the start
  // stopped holding in this run.
  virtual bool DelayMoved(DelayMoveSeen* /*move*/) const { return false; }
  // Calls `hook` after every block the start-up search and level
  // measurement read on file inputs; a null hook is not called.
  virtual void SetStartProgress(StartProgressHook /*hook*/, void* /*context*/) {}
};
