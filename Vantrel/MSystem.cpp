// CMsystem: construction, set-up, start and stop, destruction, copying.
#include "Vantrel/MSystem.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "Vantrel/RefusalNote.h"
#include "Vantrel/SafeDestroy.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "Vantrel/stages/DelayCompensation.h"
#include "Vantrel/stages/InputMux.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/events.h"
#include "wavio/SoundFile.h"

namespace {

// Frames of this length and above cannot be buffered.
constexpr uint32_t kFrameLengthLimit = 1u << 29;

// The process cannot run a measurement without its stages.
[[noreturn]] void EndProcessWithoutStage(const char* line) {
  VANTREL_TRACE(TRACE_ORDINARY, "%s", line);
  std::exit(1);
}

// Samples of the file input that a fixed offset skips into (the test's for
// a positive offset, the reference's for a negative one); -1 when that
// input is no file or cannot be read yet (Go says why).
int64_t SkippedFileFrames(const SYSPARA& sys, double offset) {
  if (offset == 0) return -1;
  const INPUTPARAEXT& input = sys.inputPara[sys.routingTable[offset > 0 ? 1 : 0][0].input & 1];
  if (input.mode != INPUT_MODE_FILE) return -1;
  return SoundFileFrames(input.fileName);
}

// The file inputs held open while Init or Go reads them: their length, the
// start-up search's samples and the samples again from the start all come
// from one open of each file, the same file however its path changes.
class HeldFileInputs {
 public:
  explicit HeldFileInputs(const SYSPARA& sys) {
    for (int input = 0; input < 2; ++input)
      if (sys.inputPara[input].mode == INPUT_MODE_FILE) m_leases[input].Hold(sys.inputPara[input].fileName);
  }

 private:
  SoundFileLease m_leases[2];
};

// An offset as long as the file it skips into leaves nothing to pair.
bool OffsetMeetsTheFiles(const SYSPARA& sys, const char* what = "CMsystem::Init") {
  const double offset = InputOffsetSamples(sys);
  const int64_t skipped = SkippedFileFrames(sys, offset);
  if (skipped < 0 || std::fabs(offset) < double(skipped)) return true;
  TraceRefusal(RefusalCode::Offset, what, -1,
               "an input offset of %d ms (%.0f samples at %d Hz) reaches beyond the %s file's %lld samples",
               sys.delayPara.inputOffsetMs, offset, sys.inputPara[0].wave.sampleRate, offset > 0 ? "test" : "reference",
               static_cast<long long>(skipped));
  return false;
}

}  // namespace

CMsystem::CMsystem(int constructionArgument) : m_constructionArgument(constructionArgument) {
  std::memset(&m_frame, 0, sizeof m_frame);
  if (CWinThread* thread = AfxGetThread(); thread != nullptr && thread->m_pMainWnd != nullptr)
    m_parentWindow = thread->m_pMainWnd->GetSafeHwnd();
  m_startTime = std::time(nullptr);
}

void CMsystem::OwnFrontEnd::Build() {
  // In this order; a stage that cannot be made ends the process.
  inputMux = CInputMux::Create();
  if (inputMux != nullptr) delayBuffer = CDelayBuffer::Create();
  if (delayBuffer != nullptr) delayCompensation = CDelayCompensation::Create();
  if (delayCompensation == nullptr) {
    SafeDestroy(delayBuffer);
    SafeDestroy(inputMux);
    EndProcessWithoutStage("CMsystem::CMsystem(), ERROR: out of memory\n");
  }
  if (delayBuffer->Attach(inputMux) == 0 || delayCompensation->Attach(delayBuffer) == 0) {
    SafeDestroy(delayCompensation);
    SafeDestroy(delayBuffer);
    SafeDestroy(inputMux);
    EndProcessWithoutStage("CMsystem::CMsystem(), ERROR: a stage refused to be attached\n");
  }
  usedInputs = delayCompensation->GetUsedInputs();
  stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

CMsystem::OwnFrontEnd& CMsystem::OwnFrontEnd::operator=(const OwnFrontEnd& other) {
  // The own stages stay, still set up for the records this object had.
  if (this != &other) ready = started = 0;
  return *this;
}

CMsystem::OwnFrontEnd::~OwnFrontEnd() {
  SafeDestroy(delayCompensation);
  SafeDestroy(delayBuffer);
  SafeDestroy(inputMux);
  if (stopEvent != nullptr) CloseHandle(stopEvent);
  stopEvent = nullptr;
}

void CMsystem::Destroy() { delete this; }

bool CMsystem::RecordIsUsable(const SYSPARA& sys, const char* operation) {
  const std::string what = std::string("CMsystem::") + operation;
  if (sys.channels < 1 || sys.channels > 2) {
    TraceRefusal(RefusalCode::Range, what.c_str(), -1, "channel count %d outside 1..2", sys.channels);
    return false;
  }
  for (int direction = 0; direction < 2; ++direction)
    for (int channel = 0; channel < sys.channels; ++channel) {
      const int input = sys.routingTable[direction][channel].input;
      if (input < 0 || input > 1) {
        TraceRefusal(RefusalCode::Range, what.c_str(), -1, "routing input %d of signal %d channel %d outside 0..1",
                     input, direction, channel);
        return false;
      }
    }
  // A negative range has no meaning; read as unsigned it would be the largest.
  for (const auto& [name, ms] : {std::pair{"maxDelayFileMs", sys.delayPara.maxDelayFileMs},
                                 std::pair{"maxDelayRealtimeMs", sys.delayPara.maxDelayRealtimeMs}})
    if (ms < 0) {
      TraceRefusal(RefusalCode::Range, what.c_str(), -1, "the search range %s of %d ms is negative", name, ms);
      return false;
    }
  const int estimationChannel = sys.delayPara.estimationChannel;
  if (estimationChannel < 0 || estimationChannel >= sys.channels) {
    TraceRefusal(RefusalCode::Range, what.c_str(), -1, "estimation channel %d of %d channels", estimationChannel,
                 sys.channels);
    return false;
  }
  return true;
}

uint32_t CMsystem::DeliveredLength(int flag) const {
  const DELAYPARAEXT& delay = m_sysPara.delayPara;
  const bool deliverOutputLength =
      (m_sysPara.realtime != 0 && delay.compensationOn != 0) || delay.trackVariableDelay != 0 || flag != 0;
  return deliverOutputLength ? m_algorithmPara.outputLength : m_algorithmPara.frameLength;
}

bool CMsystem::TakeRecord(const SYSPARA& sys, const char* operation) {
  // The algorithm's defaults may set the channels and the routing, so the
  // record is judged as the front end will see it.
  SYSPARA previous(m_sysPara);
  m_sysPara = sys;
  SetDefaultPara(&m_sysPara, 0);
  if (RecordIsUsable(m_sysPara, operation)) return true;
  m_sysPara = previous;
  return false;
}

int CMsystem::Init(SYSPARA& sys, CAlgorithmPara& alg, int flag) {
  const RefusalScope refusals(&m_lastRefusal);
  const CAlgorithmPara previousAlgorithmPara = m_algorithmPara;
  m_algorithmPara = alg;
  if (!TakeRecord(sys, "Init")) {
    m_algorithmPara = previousAlgorithmPara;
    return 0;
  }
  const HeldFileInputs held(m_sysPara);
  m_resetAverageRequest = 0;
  m_samplePosition = 0;
  m_frontEnd.ready = 0;
  m_frontEnd.started = 0;
  m_sizedFrontEnd = false;

  if (m_algorithmPara.frameLength == 0) {
    TraceRefusal(RefusalCode::Range, "CMsystem::Init", -1, "frame length 0");
    return 0;
  }
  // The rings index frames and their offsets by signed 32-bit positions.
  if (m_algorithmPara.frameLength >= kFrameLengthLimit) {
    TraceRefusal(RefusalCode::Range, "CMsystem::Init", -1, "a frame length of %u samples is not below %u",
                 m_algorithmPara.frameLength, kFrameLengthLimit);
    return 0;
  }

  m_initFlag = flag;
  m_sizedFrontEnd = true;
  m_sizing = SizingOf(m_sysPara);
  if (!OffsetMeetsTheFiles(m_sysPara)) return 0;
  const int result = SetUpFrontEnd("CMsystem::Init");
  UpdateRealtimeInputList();
  return result;
}

int CMsystem::SetUpFrontEnd(const char* what) {
  // Any length: a host that passes its own sample buffers may take long
  // frames whole. ProcessFrame refuses those the frame's own buffers
  // cannot hold.
  m_deliveredLength = DeliveredLength(m_initFlag);
  int result = m_frontEnd.delayCompensation->Init(&m_sysPara, m_deliveredLength, m_algorithmPara.frameLength);
  if (result != 0) result = m_frontEnd.delayCompensation->Prepare(&m_sysPara);
  m_frontEnd.ready = result != 0 ? 1 : 0;
  if (result == 0) NoteRefusal(RefusalCode::Other, what, -1, "the delay compensation cannot be set up for this record");
  // The set-up narrows the ranges in the own record to what it searches.
  m_settledRangeMs[0] = m_sysPara.delayPara.maxDelayFileMs;
  m_settledRangeMs[1] = m_sysPara.delayPara.maxDelayRealtimeMs;
  return result;
}

int CMsystem::UpdateSysPara(void* sysPara) {
  const RefusalScope refusals(&m_lastRefusal);
  if (sysPara == nullptr) {
    TraceRefusal(RefusalCode::NotReady, "CMsystem::UpdateSysPara", -1, "no parameter record");
    return 0;
  }
  if (!TakeRecord(*static_cast<const SYSPARA*>(sysPara), "UpdateSysPara")) return 0;
  int result = 0;
  const FrontEndSizing sizing = m_sizedFrontEnd ? SizingOf(m_sysPara) : FrontEndSizing{};
  if (m_sizedFrontEnd && (m_frontEnd.ready == 0 || !(sizing == m_sizing))) {
    // The buffers, the window and the frames' geometry were made for
    // another record: searching this one with them finds wrong delays.
    m_frontEnd.ready = 0;
    m_frontEnd.started = 0;
    m_sizing = sizing;
    result = OffsetMeetsTheFiles(m_sysPara, "CMsystem::UpdateSysPara") ? SetUpFrontEnd("CMsystem::UpdateSysPara") : 0;
  } else {
    // Sized alike, so searched alike: the record says the range settled on.
    if (m_sizedFrontEnd) {
      m_sysPara.delayPara.maxDelayFileMs = m_settledRangeMs[0];
      m_sysPara.delayPara.maxDelayRealtimeMs = m_settledRangeMs[1];
    }
    result = m_frontEnd.delayCompensation->UpdateSysPara(&m_sysPara);
    if (result == 0)
      NoteRefusal(RefusalCode::Other, "CMsystem::UpdateSysPara", -1, "the delay compensation refused the record");
  }
  UpdateRealtimeInputList();
  return result;
}

void CMsystem::UpdateRealtimeInputList() {
  m_realtimeInputCount = 0;
  for (int input = 0; input < 2; ++input) {
    const int mode = m_sysPara.inputPara[input].mode;
    if (mode == INPUT_MODE_SOUND_DEVICE || mode == INPUT_MODE_TELEPHONE) {
      m_realtimeInputs[m_realtimeInputCount++] = input;
      m_sysPara.delayPara.tracking = 1;
    }
  }
}

int CMsystem::RealtimeInputs(int** list) {
  if (list != nullptr) *list = m_realtimeInputs;
  return m_realtimeInputCount;
}

int CMsystem::IsRealtime() { return m_realtimeInputCount != 0 ? 1 : 0; }

int CMsystem::Go() {
  const RefusalScope refusals(&m_lastRefusal);
  if (m_frontEnd.ready == 0) {
    TraceRefusal(RefusalCode::NotReady, "CMsystem::Go", -1, "no successful Init");
    return 0;
  }
  const HeldFileInputs held(m_sysPara);
  ResetEvent(m_frontEnd.stopEvent);
  std::atomic_ref<int32_t>(m_stopped).store(0, std::memory_order_relaxed);
  m_frameCounter = 0;
  m_endReached = 0;
  // Hooked at every Go: a copy builds stages of its own, which nothing hooked yet.
  m_frontEnd.delayCompensation->SetStartProgress(
      [](void* self, int64_t samplesRead) { static_cast<CMsystem*>(self)->StartProgress(samplesRead); }, this);
  m_decodeChecked = false;
  const int result = m_frontEnd.delayCompensation->Start(m_frontEnd.stopEvent);
  m_frontEnd.started = result != 0 ? 1 : 0;
  if (result == 0) NoteRefusal(RefusalCode::Other, "CMsystem::Go", -1, "the inputs cannot be started");
  if (result != 0)
    for (CTriggerEvent* event = m_sysPara.triggers.head; event != nullptr; event = event->next)
      if (event->state != TRIGGER_OFF) event->state = TRIGGER_ARMED;
  // The position is the inputs' from their start: what Start left read.
  m_inputPosition = std::max<int64_t>(m_frontEnd.delayBuffer->InputPosition(), 0);
  m_samplePosition = AdvanceSamplePosition(0, uint64_t(m_inputPosition));
  m_startTime = std::time(nullptr);
  return result;
}

int CMsystem::Stop() {
  SetEvent(m_frontEnd.stopEvent);
  // Stop may come from another thread while Go runs.
  std::atomic_ref<int32_t>(m_stopped).store(1, std::memory_order_relaxed);
  return 1;
}

void CMsystem::Free() {
  // The buffers are gone: no frame and no start until the next Init.
  m_frontEnd.delayCompensation->Free();
  m_frontEnd.ready = 0;
  m_frontEnd.started = 0;
}

int CMsystem::Reset() { return m_frontEnd.delayCompensation->Reset(); }

int CMsystem::ResetAverage() {
  m_resetAverageRequest = 1;
  return 1;
}

int CMsystem::WaitForOutputs(uint32_t argument) {
  return m_frontEnd.delayCompensation->WaitForOutputs(static_cast<int>(argument));
}

void* CMsystem::CreateObjects(int type) {
  switch (type) {
    case MSYSTEM_OBJECT_DELAY_BUFFER: return CDelayBuffer::Create();
    case MSYSTEM_OBJECT_DELAY_COMPENSATION: return CDelayCompensation::Create();
    case MSYSTEM_OBJECT_INPUT_MUX: return CInputMux::Create();
    default: VANTREL_TRACE(TRACE_ORDINARY, "CMsystem::CreateObjects, unknown object type (%d)\n", type); return nullptr;
  }
}

int CMsystem::SetVerbousity(int verbosity) {
  m_verbosity = verbosity;
  return m_verbosity;
}

void CMsystem::SetParentWindowHandle(HWND parentWindow) { m_parentWindow = parentWindow; }

int CMsystem::SetParameters(const char* /*parameters*/) { return 0; }

int CMsystem::ResultsAreValid() { return 1; }

int64_t CMsystem::NonFiniteInputSamples(int input) const {
  return m_frontEnd.inputMux != nullptr ? m_frontEnd.inputMux->NonFiniteSamples(input) : 0;
}

bool CMsystem::FinishFileInput(int input, DecodeProgress* progress, std::string* change) {
  return m_frontEnd.inputMux != nullptr && m_frontEnd.inputMux->FinishFileInput(input, progress, change);
}

bool CMsystem::SearchSawRivalPeaks() const {
  return m_frontEnd.delayCompensation != nullptr && m_frontEnd.delayCompensation->SearchSawRivalPeaks();
}

bool CMsystem::DelayMoved(DelayMoveSeen* move) const {
  return m_frontEnd.delayCompensation != nullptr && move != nullptr && m_frontEnd.delayCompensation->DelayMoved(move);
}

int CMsystem::GetExtendedResultsStatus() { return 0; }

int CMsystem::ExtendedResults(CString /*text*/, int /*index*/) { return 1; }

void CMsystem::CloseAlgorithm() {}

void CMsystem::UpdateDialogData() {}

void CMsystem::InitFrameBuffer(void* /*frame*/) {}

void CMsystem::SetTriggerState(int /*state*/) {}
