// The delay compensation's start: a new run's state, and on inputs that
// can start again the search and level measurement over their start (with
// a retry on the test channels swapped) before the measurement begins.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "Vantrel/RefusalNote.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/frontend/SearchSettle.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "platform/events.h"

namespace {

constexpr int kSearchActiveBlocks = 500;
constexpr int kLevelActiveBlocks = 1000;
constexpr float kSwapRetryBelow = 90.0f;

}  // namespace

void CDelayCompensationImpl::RunSearch(HANDLE stopEvent, float* best) {
  // The block limit counts from a full window: a window longer than the
  // limit would otherwise never be searched at all.
  int activeBeforeSearch = -1;
  const auto searchFrame = [&] {
    if (activeBeforeSearch < 0 && m_machine.State() != DELCOMP_FILLINGBUFFERS) activeBeforeSearch = m_activeBlocks;
    if (activeBeforeSearch >= 0 && m_activeBlocks - activeBeforeSearch >= kSearchActiveBlocks) return false;
    const int code = ProcessFrame(nullptr, nullptr, nullptr, nullptr, 1);
    NoteStartProgress();
    if (code == 2 || m_machine.Estimator().Failed()) return false;
    return stopEvent == nullptr || WaitForSingleObject(stopEvent, 0) != WAIT_OBJECT_0;
  };
  while (m_machine.State() != DELCOMP_DELAYRELIABLE) {
    if (!searchFrame()) return;
    const CORRRESULT* result = m_machine.Estimator().Result();
    if (m_machine.State() == DELCOMP_DELAYRELIABLE && result != nullptr) {
      const float magnitude = std::fabs(result->quality);
      if (magnitude <= *best) break;
      *best = magnitude;
      m_machine.SearchOn();
    }
  }
  // The stretch after the pick is read as the level measurement reads it,
  // which goes on from there; without it, the levels are those of the
  // frames the search read up to its pick.
  const SearchOutcome atPick = SaveSearchOutcome();
  SettleSearchDelay(m_machine, m_sys->inputPara[0].wave.sampleRate, [&](EstimationBlocks* blocks) {
    m_delayBuffer->ProcessInput(m_swapTestChannels);
    // The blocks say where they end, as a frame's do.
    m_samplesRead += m_frameLen;
    NoteStartProgress();
    if (UpdateEnergyHistory() == 0) return false;
    if (stopEvent != nullptr && WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0) return false;
    *blocks = NewestBlocks();
    return true;
  });
  if (m_sys->levelPara.levelAlign == 0) {
    m_activeBlocks = atPick.activeBlocks;
    m_energy.RestoreTotals(atPick.refEnergyTotal, atPick.testEnergyTotal, atPick.energyReads);
  }
}

void CDelayCompensationImpl::NoteStartProgress() const {
  if (m_startProgress != nullptr) m_startProgress(m_startProgressContext, m_delayBuffer->InputPosition());
}

CDelayCompensationImpl::SearchOutcome CDelayCompensationImpl::SaveSearchOutcome() const {
  SearchOutcome outcome;
  outcome.search = m_machine.SaveSearch();
  outcome.activeBlocks = m_activeBlocks;
  outcome.refEnergyTotal = m_energy.Total(0, 0);
  outcome.testEnergyTotal = m_energy.Total(1, 0);
  outcome.energyReads = m_energy.Reads();
  return outcome;
}

void CDelayCompensationImpl::RestoreSearchOutcome(const SearchOutcome& outcome) {
  m_activeBlocks = outcome.activeBlocks;
  m_energy.RestoreTotals(outcome.refEnergyTotal, outcome.testEnergyTotal, outcome.energyReads);
  m_machine.RestoreSearch(outcome.search);
}

void CDelayCompensationImpl::RetrySearchSwapped(HANDLE stopEvent, float* best) {
  const SearchOutcome first = SaveSearchOutcome();

  m_activeBlocks = 0;
  Reset();
  m_machine.RestartSearch();
  m_delayBuffer->Go();
  m_swapTestChannels = 1;
  // best carries over: the swapped run goes on searching only while it
  // improves on the first run.
  RunSearch(stopEvent, best);

  const CORRRESULT* second = m_machine.Estimator().Result();
  const float secondQuality = second != nullptr ? second->quality : 0.0f;
  const float firstQuality = first.search.quality;
  const bool firstWins = (firstQuality > 0.0f && firstQuality > secondQuality) ||
                         (firstQuality < 0.0f && secondQuality < 0.0f && firstQuality < secondQuality);
  if (firstWins) {
    RestoreSearchOutcome(first);
    m_swapTestChannels = 0;
  } else {
    m_swapTestChannels = 1;
  }
}

int CDelayCompensationImpl::Start(HANDLE stopEvent) {
  if (m_delayBuffer == nullptr || m_sys == nullptr) {
    TraceRefusal(RefusalCode::NotReady, "CDelayCompensationImpl::Start", -1, "not initialised");
    return 0;
  }
  SYSPARA& sys = *m_sys;
  DELAYPARAEXT& delay = sys.delayPara;
  m_delayBuffer->Reset();
  // A new run owes nothing to the last one: no blocks, no delay, no
  // result, no levels.
  m_energy.Clear();
  m_machine.NewRun();
  m_samplesRead = 0;
  m_levelGain.Reset();
  m_swapTestChannels = 0;
  delay.channelSwapAllowed = 1;
  if (m_delayBuffer->Go() == 0) return 0;
  m_machine.EnterFirstState(delay.compensationOn != 0);
  delay.unsnapRequest = 0;
  m_activeBlocks = 0;

  // Live inputs cannot start again from their beginning: the ring fills
  // and the search runs on the frames. Files can: the search runs over
  // their start first and every frame is handed out, tracked or not.
  if (m_machine.Settings().trackingMode != 0 && !BothInputsAreFiles()) {
    FillRing();
    return 1;
  }
  return RunPreRun(stopEvent);
}

bool CDelayCompensationImpl::BothInputsAreFiles() const {
  return m_sys->inputPara[0].mode == INPUT_MODE_FILE && m_sys->inputPara[1].mode == INPUT_MODE_FILE;
}

void CDelayCompensationImpl::FillRing() {
  int fill = 0;
  int ring = 1;
  if (m_delayBuffer->ProcessInput(m_swapTestChannels) != 0)
    while (fill != ring) {
      m_delayBuffer->GetFill(&fill, &ring);
      if (m_delayBuffer->ProcessInput(m_swapTestChannels) == 0) break;
    }
}

int CDelayCompensationImpl::RunPreRun(HANDLE stopEvent) {
  SYSPARA& sys = *m_sys;
  DELAYPARAEXT& delay = sys.delayPara;
  const int savedTracking = delay.trackVariableDelay;
  delay.trackVariableDelay = 0;
  float best = 0.0f;
  RunSearch(stopEvent, &best);

  const bool canRetry = (sys.channels < -1 || sys.channels > 1) && delay.channelSwapAllowed != 0 &&
                        m_machine.Estimator().Result() != nullptr &&
                        m_machine.Estimator().Result()->quality < kSwapRetryBelow;
  // A search that could not transform found nothing: the start fails.
  const auto failed = [&] {
    if (!m_machine.Estimator().Failed()) return false;
    delay.trackVariableDelay = savedTracking;
    return true;
  };
  if (failed()) return 0;
  if (canRetry) {
    RetrySearchSwapped(stopEvent, &best);
    if (failed()) return 0;
    m_machine.SetMarks(DELAY_STATUS_SWAP_RETRIED);
  } else {
    m_machine.ClearMarks(DELAY_STATUS_SWAP_RETRIED | DELAY_STATUS_TEST_SWAPPED);
  }

  while (m_activeBlocks < kLevelActiveBlocks && sys.levelPara.levelAlign != 0) {
    m_delayBuffer->ProcessInput(m_swapTestChannels);
    NoteStartProgress();
    if (UpdateEnergyHistory() == 0) break;
  }
  // Nothing read: no level rather than 0 / 0.
  sys.levelPara.referencePower = m_energy.Mean(0);
  sys.levelPara.testPower = m_energy.Mean(1);

  if (m_machine.State() == DELCOMP_CALCDELAY) {
    Reset();
    m_delayBuffer->Go();
    m_activeBlocks = 0;
    m_machine.EndSearchUnconfirmed();
  }
  // Whatever became of the retry's mark, the frames say how the test is read.
  if (m_swapTestChannels != 0) m_machine.SetMarks(DELAY_STATUS_TEST_SWAPPED);
  delay.trackVariableDelay = savedTracking;
  Reset();
  m_delayBuffer->Go();
  // The frames hand out the reference from its first sample in whole
  // frames of its file, whatever the delay.
  const int64_t referenceDelay = std::max<int64_t>(-int64_t(m_machine.FirstFrameDelay(delay.fixedDelay)), 0);
  m_delayBuffer->AlignInputs(0, int(std::min<int64_t>(referenceDelay, INT_MAX)));
  return 1;
}
