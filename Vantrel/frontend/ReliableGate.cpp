#include "Vantrel/frontend/ReliableGate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

static_assert(FrameEvidence{}.strongQuality == CReliableGate::kStrongQuality,
              "an untracked frame asks a strong peak's quality");

namespace {

bool BeyondRange(int64_t delay, int64_t maxDelay) { return std::llabs(delay) > maxDelay; }

// Rule 4: blocks vouch for the frames they correlated and for those after
// them up to the next pause; a frame after a pause waits for blocks of its
// own side.
bool WithinReach(const ReliableEvidence& e) {
  const SampleSpan& blocks = e.confirmation.blocks;
  const SampleSpan& frame = e.frame.samples;
  if (e.inPause || frame.first < blocks.first) return false;
  const bool pauseBetween = e.pauseEnd >= 0 && e.pauseEnd > blocks.first && e.pauseEnd < frame.end;
  return !pauseBetween;
}

double Middle(const SampleSpan& span) { return 0.5 * (double(span.first) + double(span.end)); }

// Where the confirmed delay has drifted to by the middle of the frame.
double DriftedTo(const ReliableEvidence& e) {
  const double since = Middle(e.frame.samples) - double(e.confirmation.blocks.end);
  return e.confirmation.line + e.drift.perSample * since;
}

// Rule 5.
bool AtConfirmedDelay(const ReliableEvidence& e) {
  const int delay = e.frame.delay;
  const int confirmed = e.confirmation.delay;
  const int off = std::abs(delay - confirmed);
  if (!e.drift.measured) return off == 0;
  if (e.frame.predicted && off > CReliableGate::kWithin) return false;
  const double since = std::fabs(Middle(e.frame.samples) - double(e.confirmation.blocks.end));
  const double rateSlack = e.drift.perSampleError * since;
  return std::fabs(double(delay) - DriftedTo(e)) + rateSlack <= double(CReliableGate::kWithin);
}

}  // namespace

bool CReliableGate::Reliable(const ReliableEvidence& e) {
  const ConfirmationEvidence& confirmation = e.confirmation;
  const int64_t frameLength = e.frame.samples.end - e.frame.samples.first;
  if (e.frame.realSamples < frameLength) return false;
  if (std::abs(e.frame.quality) < std::min(double(kStrongQuality), e.frame.strongQuality)) return false;
  if (confirmation.by == ConfirmedBy::Nobody || !confirmation.rootedInSearch) return false;
  if (e.tracked && confirmation.awaitsRecheck) return false;
  if (BeyondRange(confirmation.delay, e.maxDelay) || BeyondRange(e.frame.delay, e.maxDelay)) return false;
  if (e.tracked && !WithinReach(e)) return false;
  if (!AtConfirmedDelay(e)) return false;
  // Rule 5a.
  if (e.tracked && confirmation.precision > kWithin) return false;
  return !e.blocksSayOtherwise;
}

int32_t CReliableGate::WithoutPadding(int32_t status, int64_t realSamples, int64_t count) {
  if (realSamples >= count || StatusWord(status) != DELAY_STATUS_RELIABLE) return status;
  return WithStatusWord(status, DELAY_STATUS_UNCERTAIN);
}

int32_t CReliableGate::Decide(const ReliableEvidence& evidence, int32_t status) const {
  const int32_t word = StatusWord(status);
  if (word == DELAY_STATUS_RELIABLE && !m_vouched) return WithStatusWord(status, DELAY_STATUS_UNCERTAIN);
  if (word != DELAY_STATUS_UNCERTAIN || !m_vouched) return status;
  return Reliable(evidence) ? WithStatusWord(status, DELAY_STATUS_RELIABLE) : status;
}

bool CReliableGate::NoteBlocks(bool weak, int64_t blockFirst, int64_t pauseSamples) {
  m_pauseSamples = pauseSamples;
  if (weak) {
    if (m_weakFrom < 0) m_weakFrom = blockFirst;
    return false;
  }
  const bool endsPause = m_weakFrom >= 0 && blockFirst - m_weakFrom >= pauseSamples;
  if (endsPause) m_pauseEnd = blockFirst;
  m_weakFrom = -1;
  return endsPause;
}
