// CMsystem: the abstract base class of every measurement algorithm. The
// algorithm module derives its measurement class from it and supplies the
// operations left pure (Query and three of its own); the host drives the
// measurement: construct, CreateSysPara, edit, Init, Go, ProcessFrame once
// per frame until it returns 0, Stop, destroy.
// CMsystem owns the signal front end's three stages (input multiplexer,
// delay buffer, delay compensation), keeps the current parameter and
// algorithm records, forwards set-up, start, stop and reset to the delay
// compensation, and runs the frame loop with the trigger events.
//
// Threads. Every operation runs on the calling thread, starts no thread and
// takes no lock: one thread drives an object (Init, Go, ProcessFrame,
// Reset, Free), and objects on different threads are independent. The
// stop event is the only signal between threads: Stop (and SetEvent on
// StopEvent()) may come from any thread, and only signals it.
//  - During Go, on file inputs, the start-up delay search tests the event
//    after every block it reads and ends at once; Go then returns 1 with
//    what the search found so far: the frames carry its best delay as
//    "uncertain", or search on when it had not yet filled its window. On
//    live inputs Go only fills the ring and does not look at the event.
//  - During the frame loop Stop changes nothing: ProcessFrame goes on
//    delivering frames, and the host ends its own loop. A frame that waits
//    for a live input returns when the input delivers or ends.
//  - Go resets the event first, so a Stop that comes before Go has begun
//    does not stop that Go.
// Copies share nothing with the object they were copied from.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "Vantrel/FrameData.h"
#include "Vantrel/PluginInterface.h"
#include "Vantrel/QueryResult.h"
#include "Vantrel/Refusal.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/WaveParaFromFile.h"
#include "platform/CString.h"
#include "platform/wintypes.h"

class CInputMux;
class CDelayBuffer;
class CDelayCompensation;
struct REGPARA;
struct DecodeProgress;

// Stage types of CMsystem::CreateObjects.
constexpr int MSYSTEM_OBJECT_DELAY_BUFFER = 0;
constexpr int MSYSTEM_OBJECT_DELAY_COMPENSATION = 1;
constexpr int MSYSTEM_OBJECT_INPUT_MUX = 2;

// Query id of the work-buffer size (GetWorkBufferSize).
constexpr uint32_t QUERY_WORK_BUFFER_SIZE = 3;

// Frame lengths above this are long frames, which a time trigger cuts to
// its window.
constexpr uint32_t LONG_FRAME_THRESHOLD = 4096;

class CMsystem : public CTalvoPluginOEMInterface {
 public:
  // Builds and links the three stages and the stop event. A stage that
  // cannot be created or attached ends the process with exit code 1.
  explicit CMsystem(int constructionArgument = 0);
  // Copies the records and the state. Stages and stop event stay with
  // their object: a copy builds its own, an assignment keeps the
  // target's, and either needs an Init for the copied records before Go.
  CMsystem(const CMsystem& other) = default;
  CMsystem& operator=(const CMsystem& other) = default;
  ~CMsystem() override = default;

  // --- the plug-in interface
  // One frame (a FRAMEDATA); samples: table of [direction][channel]
  // buffers, null for the frame's own. 1 the measurement goes on, 0 it
  // has ended or failed (also for a null frame, before a successful Init
  // and Go, after a refused Go or Free, or without a table when the
  // frame's own buffers are too short). The header's samplePosition is the
  // inputs' position after the frame in every run: the samples read from
  // each input since Go started them (on live inputs the ones Go read to
  // fill the ring too; past an input's end the zeros that stand in for
  // it), modulo 2^32 - 1. The frame's reference samples end max(delay, 0)
  // before it, the test's max(-delay, 0) before it. Frames follow the
  // reference from its first sample (a test that begins later is zeros
  // until then) and end before one lies wholly past an input's end;
  // realSamples says how much of a frame is input.
  int ProcessFrame(void* frame, float* (*samples)[2][2]) override;
  // Releases the front end's buffers; ProcessFrame and Go then return 0
  // until the next Init.
  void Free() override;
  int ResetAverage() override;
  int Reset() override;
  // Starts the front end; 0 when it cannot start or Init has not succeeded
  // (LastRefusal says why). On file inputs it runs the start-up delay
  // search before it returns. Every Go starts a run afresh: frame numbers,
  // the sample position, and the levels and level alignment from its own
  // inputs' blocks only.
  int Go() override;
  // Signals the stop event; callable from any thread (see Threads above). 1.
  int Stop() override;
  // Copies the record (a SYSPARA) and applies the defaults; 0 for a null
  // or unusable record, which is then not taken. After an Init, a record
  // that needs other sizes than the front end has (another rate, channel
  // count, search range, input offset or mode, or files of a length that
  // narrows the search otherwise) sets the front end up again as Init
  // does, with Init's frame lengths; a run in progress then needs a Go.
  // When that cannot be done it returns 0 with LastRefusal saying why, and
  // Go refuses until an Init or UpdateSysPara succeeds. Either way
  // SysPara() then holds the range the next Go searches.
  int UpdateSysPara(void* sysPara) override;
  int SetParameters(const char* parameters) override;
  // A new record with the defaults, released with its Destroy; null when
  // memory is short.
  void* CreateSysPara() override;
  uint32_t GetWorkBufferSize() override;

  // --- further operations of the measurement base
  virtual void Destroy();
  // A new stage (MSYSTEM_OBJECT_...), neither attached nor kept; null for
  // another type.
  virtual void* CreateObjects(int type);
  virtual void CloseAlgorithm();
  virtual void InitFrameBuffer(void* frame);
  virtual void UpdateDialogData();
  virtual void SetTriggerState(int state);
  // Runs the events of `sys` whose mask shares a bit with `when` on the
  // frame; returns 0.
  virtual int CheckTrigger(SYSPARA* sys, int when, void* frame);
  // Fills caps[0] and caps[1] with the component's limits, curves[0..1] null.
  virtual void GetCapabilities(SYSPARA* caps, float** curves);
  // *list receives the array of real-time input indices; returns their count.
  virtual int RealtimeInputs(int** list);
  virtual int IsRealtime();
  // Writes the base defaults; an algorithm may override and call this.
  virtual void SetDefaultPara(SYSPARA* sys, uint32_t flags);
  virtual void SetParentWindowHandle(HWND parentWindow);
  virtual int ResultsAreValid();
  virtual int GetExtendedResultsStatus();
  virtual int ExtendedResults(CString text, int index);
  // Answers query `id` in the field of `result` that belongs to it;
  // non-zero when answered. Supplied by the algorithm.
  virtual int Query(uint32_t id, CQueryResult& result) = 0;
  virtual int AlgorithmOperationC() = 0;

  // Copies both records and applies the defaults, then sets up the delay
  // compensation. The search range is narrowed to what the file inputs and
  // the memory allow (PlanDelaySearch; the copy's maxDelayFileMs or
  // maxDelayRealtimeMs then holds the range searched). 0 on failure, with
  // LastRefusal saying why: frame length 0 or 2^29 and above, a negative
  // search range (maxDelayFileMs, maxDelayRealtimeMs), a channel count outside
  // 1..2, a routing input outside 0..1 or an estimation channel outside
  // the channels after the defaults (records not taken; UpdateSysPara
  // refuses such a record alike), a search window of 2^31 points or more,
  // an input offset beyond what the rings can hold or beyond the file it
  // skips into (file inputs), or a search that does
  // not fit in memory even at its smallest. Frames that deliver more than
  // FRAME_MAX_OUTPUT_LENGTH samples need the host's own sample buffers
  // (ProcessFrame's table), each of the delivered length plus
  // FRAME_FRONT_END_SPARE samples.
  int Init(SYSPARA& sys, CAlgorithmPara& alg, int flag = 0);
  HANDLE StopEvent() const { return m_frontEnd.stopEvent; }
  int32_t* GetUsedBufferSpaceInPercent() const { return m_frontEnd.usedInputs; }
  int GetVerbousity() const { return m_verbosity; }
  int SetVerbousity(int verbosity);
  // 1 (default): the frame in which the input first ends is still valid.
  void SetFileEndHandling(int mode) { m_fileEndHandling = mode; }
  int WaitForOutputs(uint32_t argument);

  // Typed forms of Query: 1 and the output written when the query was
  // answered, else 0 and the output untouched.
  int Query(uint32_t id, float& value);
  int Query(uint32_t id, uint32_t& value);
  int Query(uint32_t id, short& value);  // low 16 bits of the unsigned answer
  int Query(uint32_t id, int32_t& value);
  int Query(uint32_t id, void** value);
  int Query(uint32_t id, CString** value);
  int Query(uint32_t id, CPropertyPage** value);

  // Moves a table of integer and string settings to (read 0) or from
  // (read non-zero) the application's profile section.
  void RegistryTransfer(int read, CString section, REGPARA* table);

  // Why the last Init, UpdateSysPara, Go or ProcessFrame of this object
  // returned 0: what refused, on which input, and why (kept whatever the
  // trace mask). Empty when that call did not refuse, and when the frames
  // ended with the whole input; frames that end because a file stopped
  // decoding before its header's length end with DamagedFile, naming the
  // sample where it stopped. The frames after the input ended keep the
  // reason of the frame that ended them.
  const RefusalReason& LastRefusal() const { return m_lastRefusal; }
  // The kind of that reason, for a program to branch on; None when the
  // call did not refuse.
  RefusalCode LastRefusalCode() const { return m_lastRefusal.code; }

  // Read access for hosts and tests.
  const SYSPARA& SysPara() const { return m_sysPara; }
  const CAlgorithmPara& AlgorithmPara() const { return m_algorithmPara; }
  uint32_t SamplePosition() const { return m_samplePosition; }
  int32_t FrameCounter() const { return m_frameCounter; }
  HWND ParentWindow() const { return m_parentWindow; }
  std::time_t StartTime() const { return m_startTime; }
  // Samples of physical input 0 or 1 that were not finite (NaN, infinite)
  // or lay more than 60 dB over full scale, and reached the measurement as
  // 0, since the inputs were last opened (Go opens them; the count stays
  // after Stop).
  int64_t NonFiniteInputSamples(int input) const;
  // File input 0 or 1, after the frames and before Reset: decodes what the
  // run did not read of it, then gives how far it decoded against its
  // header (DecodeProgress::Whole) and what changed in the file since Go
  // opened it, or a SoundFileLease the caller holds on it ("" nothing).
  // false when the input is no open file.
  bool FinishFileInput(int input, DecodeProgress* progress, std::string* change);
  // The delay search since the last Go saw peaks as strong at more than
  // one delay (a repeating signal): when no delay became reliable, the
  // delay is open rather than unfound.
  bool SearchSawRivalPeaks() const;
  // Without tracking: true, with where, when the one delay found at the
  // start stopped holding since the last Go (the frames from there say
  // uncertain).
  bool DelayMoved(DelayMoveSeen* move) const;
  // Called during Go on file inputs, on Go's thread, after every block the
  // start-up delay search and level measurement read, with the samples read
  // of each input since they last started from their beginning (a retry with
  // the test's channels swapped starts them again). A host overrides it to
  // show how far Go is; the base does nothing.
  virtual void StartProgress(int64_t /*samplesRead*/) {}

 protected:
  // The front end's three stages, their used-input percentages and the
  // stop event, owned by one object for its whole life. Copying a
  // CMsystem builds a new set; assigning one keeps the target's set,
  // which is then no longer set up for the records.
  class OwnFrontEnd {
   public:
    OwnFrontEnd() { Build(); }
    OwnFrontEnd(const OwnFrontEnd&) { Build(); }
    OwnFrontEnd& operator=(const OwnFrontEnd& other);
    ~OwnFrontEnd();

    CInputMux* inputMux = nullptr;
    CDelayBuffer* delayBuffer = nullptr;
    CDelayCompensation* delayCompensation = nullptr;
    int32_t* usedInputs = nullptr;  // from the delay compensation
    HANDLE stopEvent = nullptr;
    // The delay compensation is set up by this object's last Init; Go
    // and ProcessFrame need that.
    int32_t ready = 0;
    // The last Go since that Init succeeded; ProcessFrame needs that too.
    int32_t started = 0;

   private:
    void Build();
  };

  // What in a record the front end's sizes follow, as its set-up saw it:
  // UpdateSysPara sets the front end up again when a record differs here.
  struct FrontEndSizing {
    int32_t rate[2] = {}, bits[2] = {}, fileChannels[2] = {}, mode[2] = {};
    int32_t channels = 0, realtime = 0, tracking = 0, compensationOn = 0, trackVariableDelay = 0;
    int32_t maxDelayFileMs = 0, maxDelayRealtimeMs = 0, inputOffsetMs = 0;
    // Each file input's length, as far as it can narrow the search or meet
    // the input offset; -1 for no file or one that cannot be read.
    int64_t fileFrames[2] = {-1, -1};
    uint32_t deliveredLength = 0;
    bool operator==(const FrontEndSizing&) const = default;
  };

  // Every member but m_frontEnd is copied as it is.
  SYSPARA m_sysPara;
  CAlgorithmPara m_algorithmPara = {};
  CString m_text;
  FRAMEDATA m_frame;
  int32_t m_frameCounter = 0;
  uint32_t m_samplePosition = 0;
  int32_t m_stopped = 0;
  int32_t m_resetAverageRequest = 0;
  int32_t m_fileEndHandling = 1;
  int32_t m_realtimeInputs[2] = {};
  int32_t m_realtimeInputCount = 0;
  int32_t m_frameFlag = 1;
  // Declared after the records, so it is destroyed before them.
  OwnFrontEnd m_frontEnd;
  int32_t m_constructionArgument = 0;
  HWND m_parentWindow = nullptr;
  std::time_t m_startTime = 0;
  int32_t m_endReached = 0;
  int32_t m_verbosity = 0;
  int32_t m_reserved = 0;
  // Samples per frame the delay compensation writes into each sample
  // buffer (plus its spare), as chosen by the last Init.
  uint32_t m_deliveredLength = 0;
  // The delay buffer's input position at the last frame or Go.
  int64_t m_inputPosition = 0;
  RefusalReason m_lastRefusal;
  // The last set-up of the front end (by Init, or by UpdateSysPara since):
  // whether there was one, its sizing, Init's flag, and the ranges it
  // settled on (maxDelayFileMs, maxDelayRealtimeMs after narrowing).
  bool m_sizedFrontEnd = false;
  FrontEndSizing m_sizing;
  int32_t m_initFlag = 0;
  int32_t m_settledRangeMs[2] = {};
  // The input's end was checked for a file that decoded short.
  bool m_decodeChecked = false;

 private:
  virtual void UpdateRealtimeInputList();
  // The record is one the front end can index: 1..2 channels, routing
  // inputs 0..1 for the channels in use, an estimation channel among
  // them. Traces what is wrong.
  static bool RecordIsUsable(const SYSPARA& sys, const char* operation);
  // Copies `sys` into the own record and applies the defaults; when the
  // result is not usable, traces, keeps the record it had and returns false.
  bool TakeRecord(const SYSPARA& sys, const char* operation);
  // Length the delay compensation delivers per frame.
  uint32_t DeliveredLength(int flag) const;
  FrontEndSizing SizingOf(const SYSPARA& sys) const;
  // Sets the delay compensation up for the own record with the algorithm
  // record's lengths and m_initFlag; the result of its Init and Prepare.
  int SetUpFrontEnd(const char* what);
  // At the end of the frames: a file input that stopped decoding before
  // the length its header gives refuses the run.
  void NoteInputDecodedShort();
  // The steps of a frame: the refusals, the header's fields known before
  // the samples, the delay compensation's fetch (past blocks not yet
  // filled) and the frame's result from the fetch code.
  bool FrameCanBeProcessed(void* framePointer, float* (*samples)[2][2]) const;
  void StartFrameHeader(FRAMEHEADER* header);
  int FetchFrame(FRAMEDATA* frame, float* (*samples)[2][2], int* calls);
  // The position `samples` further on; it wraps at 2^32 - 1, not 2^32.
  static uint32_t AdvanceSamplePosition(uint32_t position, uint64_t samples);
  // How far the inputs moved during a frame that called the front end
  // `calls` times; each call reads a frame length when the buffer cannot tell.
  uint64_t InputAdvance(int calls);
  int ResultOfFetch(int code);
};
