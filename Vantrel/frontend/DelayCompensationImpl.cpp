// The delay compensation's construction, set-up and small operations.
#include "Vantrel/frontend/DelayCompensationImpl.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "Mathlib/MathlibHandle.h"
#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/RefusalNote.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/FrontEndAlloc.h"
#include "Vantrel/frontend/PowerOfTwo.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "wavio/SoundFile.h"

CDelayCompensationImpl::CDelayCompensationImpl(int) : m_mathlib(MathlibInit()) {}

CDelayCompensationImpl::~CDelayCompensationImpl() {
  if (m_mathlib != nullptr) MathlibFree(&m_mathlib);
}

int CDelayCompensationImpl::Attach(CDelayBuffer* delayBuffer) {
  m_delayBuffer = delayBuffer;
  return 1;
}

bool CDelayCompensationImpl::ComputeSearchWindow(int rate, uint32_t* window, uint32_t* block,
                                                 int64_t* maxDelaySamples) const {
  DelaySearchRange range;
  const int32_t maxMs =
      m_machine.Settings().trackingMode != 0 ? m_sys->delayPara.maxDelayRealtimeMs : m_sys->delayPara.maxDelayFileMs;
  if (!ComputeDelaySearchRange(rate, uint32_t(maxMs), m_frameLen, &range)) return false;
  *window = range.window;
  *block = range.block;
  if (maxDelaySamples != nullptr) *maxDelaySamples = range.maxDelaySamples;
  return true;
}

int CDelayCompensationImpl::Init(SYSPARA* sysPara, uint32_t outputLength, uint32_t frameLength) {
  if (sysPara == nullptr || frameLength == 0 || m_delayBuffer == nullptr) {
    TraceRefusal(RefusalCode::NotReady, "CDelayCompensationImpl::Init", -1, "no record, buffer or frame length");
    return 0;
  }
  m_outputLen = outputLength;
  m_frameLen = frameLength;
  m_sys = sysPara;
  const SYSPARA& sys = *sysPara;
  const DELAYPARAEXT& delay = sys.delayPara;

  if (!EstimationChannelIsValid(sys, "Init")) return 0;
  m_estimationChannel = delay.estimationChannel;

  DelayMachineSettings settings = m_machine.Settings();
  settings.trackingMode = 0;
  if (sys.realtime != 0)
    settings.trackingMode = (IsRealtimeInput(sys.inputPara[0].mode) || IsRealtimeInput(sys.inputPara[1].mode)) ? 1 : 0;
  if (delay.tracking != 0) settings.trackingMode = 1;
  settings.frameLength = frameLength;
  settings.outputLength = outputLength;
  settings.sampleRate = sys.inputPara[0].wave.sampleRate;
  m_machine.Configure(settings);

  if (!SettleSearchRange()) return 0;
  if (!ComputeSearchWindow(sys.inputPara[0].wave.sampleRate, &m_searchWindow, &settings.searchBlock,
                           &settings.maxDelay)) {
    TraceRefusal(RefusalCode::Window, "CDelayCompensationImpl::Init", 0, "%d Hz over %d ms is too long a search window",
                 sys.inputPara[0].wave.sampleRate,
                 settings.trackingMode != 0 ? delay.maxDelayRealtimeMs : delay.maxDelayFileMs);
    return 0;
  }
  m_machine.Configure(settings);
  if (!m_machine.PrepareCheck()) return 0;

  const int r0 = m_delayBuffer->Init(sysPara, int(frameLength), int(m_searchWindow));
  m_delayBuffer->GetFill(nullptr, &m_ringLen);
  if (r0 != 0 && int64_t(outputLength) > int64_t(m_ringLen)) {
    TraceRefusal(RefusalCode::Range, "CDelayCompensationImpl::Init", -1, "output length %u exceeds the ring of %d",
                 outputLength, m_ringLen);
    return 0;
  }

  if (r0 == 0) return r0;
  // Out of memory here and in the correlators is noted where it happens.
  if (!m_energy.Allocate(m_searchWindow / frameLength)) return 0;
  // Without a search the correlators are the smallest there are.
  const bool searches = delay.compensationOn != 0 || delay.trackVariableDelay != 0;
  CDelayEstimator& estimator = m_machine.Estimator();
  const int r1 = searches ? estimator.InitSearch(settings.searchBlock, m_searchWindow) : estimator.InitSearch(4, 8);
  if (r1 == 0) return r1;
  return InitRecheckSet(frameLength);
}

int CDelayCompensationImpl::InitRecheckSet(uint32_t frameLength) {
  const SYSPARA& sys = *m_sys;
  const DELAYPARAEXT& delay = sys.delayPara;
  const uint32_t searchBlock = m_machine.Settings().searchBlock;
  uint32_t rBlock = (searchBlock & ~3u) > 512 ? searchBlock / 4 : 128;
  if (delay.trackVariableDelay != 0) rBlock = std::min(rBlock, PowerOfTwoAtLeast(frameLength));
  rBlock = std::min<uint32_t>(rBlock, 4096);
  uint32_t rWindow = std::max<uint32_t>(4 * rBlock, 512);
  if (sys.realtime != 0) {
    rWindow = std::min<uint32_t>(rWindow, 2048);
    for (const INPUTPARAEXT& input : sys.inputPara)
      if (input.wave.sampleRate > 32000) {
        rBlock = std::min<uint32_t>(rBlock, 512);
        rWindow = std::min<uint32_t>(rWindow, 1024);
      }
  }
  // The re-check reads its window from the ring.
  rWindow = std::min(rWindow, PowerOfTwoAtMost(uint32_t(std::max(m_ringLen, 1))));
  rBlock = std::min(rBlock, rWindow);
  return m_machine.Estimator().InitRecheck(rBlock, rWindow);
}

namespace {

// The shorter of two file inputs, in samples; -1 when an input is not a
// file or its length cannot be read yet (Go says why).
int64_t FileInputFrames(const SYSPARA& sys) {
  int64_t frames = -1;
  for (const INPUTPARAEXT& input : sys.inputPara) {
    if (input.mode != INPUT_MODE_FILE) return -1;
    const int64_t inputFrames = SoundFileFrames(input.fileName);
    if (inputFrames < 0) return -1;
    frames = frames < 0 ? inputFrames : std::min(frames, inputFrames);
  }
  return frames;
}

}  // namespace

bool CDelayCompensationImpl::SettleSearchRange() {
  SYSPARA& sys = *m_sys;
  DELAYPARAEXT& delay = sys.delayPara;
  int32_t& maxMs = m_machine.Settings().trackingMode != 0 ? delay.maxDelayRealtimeMs : delay.maxDelayFileMs;
  const int rate = sys.inputPara[0].wave.sampleRate;
  // The rings hold the window and the inter-input offset, indexed by int.
  const double offset = InputOffsetSamples(sys);
  const double offsetRoom = double(INT_MAX) - double(DELAY_SEARCH_MAX_WINDOW) - 2.0 * double(m_frameLen);
  const uint64_t budget = DelaySearchMemoryBudget();
  const uint64_t offsetBytes =
      std::fabs(offset) <= offsetRoom ? uint64_t(std::fabs(offset)) * DELAY_SEARCH_BYTES_PER_OFFSET_SAMPLE : budget;
  if (std::fabs(offset) > offsetRoom || offsetBytes >= budget) {
    TraceRefusal(RefusalCode::Offset, "CDelayCompensationImpl::Init", -1,
                 "an input offset of %d ms (%.0f samples at %d Hz) is more than the buffers can hold",
                 delay.inputOffsetMs, offset, rate);
    return false;
  }
  // Without a search the ring only serves the fixed delay: the inputs' length does not narrow it.
  const bool searches = delay.compensationOn != 0 || delay.trackVariableDelay != 0;
  const int64_t inputFrames = m_machine.Settings().trackingMode == 0 && searches ? FileInputFrames(sys) : -1;
  DelaySearchPlan plan;
  std::string why;
  if (!PlanDelaySearch(rate, uint32_t(maxMs), m_frameLen, inputFrames, budget - offsetBytes, &plan, &why)) {
    // A plan without the asked range's size failed on its window.
    TraceRefusal(plan.askedBytes == 0 ? RefusalCode::Window : RefusalCode::Memory, "CDelayCompensationImpl::Init", -1,
                 "%s", why.c_str());
    return false;
  }
  if (plan.usedMs < plan.askedMs) {
    static const char* const kCause[] = {"", "the inputs are too short to fill its window",
                                         "its buffers would not fit in memory", "its transform cannot be built"};
    VANTREL_TRACE(TRACE_ORDINARY,
                  "CDelayCompensationImpl::Init(), WARNING: search range narrowed from %u to %u ms: %s\n", plan.askedMs,
                  plan.usedMs, kCause[int(plan.narrowing)]);
    maxMs = int32_t(plan.usedMs);
  }
  return true;
}

void CDelayCompensationImpl::Free() {
  if (m_delayBuffer != nullptr) m_delayBuffer->Free();
  m_energy.Free();
}

int CDelayCompensationImpl::Reset() {
  const int result = m_delayBuffer != nullptr ? m_delayBuffer->Reset() : 0;
  m_energy.Clear();
  // The inputs start again from their beginning.
  m_samplesRead = 0;
  return result;
}

int CDelayCompensationImpl::Prepare(SYSPARA*) { return 1; }

bool CDelayCompensationImpl::DelayMoved(DelayMoveSeen* move) const {
  const DelayMove& seen = m_machine.CheckedMove();
  if (!seen.moved) return false;
  // The frames carry the delay negated.
  move->fromDelay = -seen.from;
  move->toDelay = -seen.to;
  move->beyond = seen.beyond;
  move->collapsed = seen.collapsed;
  move->correlation = seen.correlation;
  move->searchCorrelation = seen.searchCorrelation;
  move->atSample = seen.at;
  return true;
}

bool CDelayCompensationImpl::EstimationChannelIsValid(const SYSPARA& sys, const char* operation) {
  const int channels = sys.channels;
  const int channel = sys.delayPara.estimationChannel;
  if (channel >= 0 && channel < std::clamp(channels, 1, 2)) return true;
  const std::string what = std::string("CDelayCompensationImpl::") + operation;
  TraceRefusal(RefusalCode::Range, what.c_str(), -1, "estimation channel %d of %d channels", channel, channels);
  return false;
}

int CDelayCompensationImpl::UpdateSysPara(SYSPARA* sysPara) {
  // The frames index the history and the rings by the estimation channel.
  if (sysPara == nullptr || !EstimationChannelIsValid(*sysPara, "UpdateSysPara")) return 0;
  m_sys = sysPara;
  m_estimationChannel = sysPara->delayPara.estimationChannel;
  return 1;
}

int CDelayCompensationImpl::WaitForOutputs(int argument) {
  if (m_delayBuffer == nullptr || m_sys == nullptr) return 1;
  return m_delayBuffer->OutputsIdle(m_sys->output, argument);
}

int32_t* CDelayCompensationImpl::GetUsedInputs() {
  return m_delayBuffer != nullptr ? m_delayBuffer->GetUsedInputs() : nullptr;
}
