// Which delay a search or a re-check last confirmed, from which blocks, how
// fast that delay drifts, and the delay a re-check rejected since: the
// evidence CReliableGate judges a frame by.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "Vantrel/frontend/DriftMeasure.h"
#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/frontend/ReliableGate.h"

class FRONT_END_INTERNAL CDelayConfirmation {
 public:
  // Samples a delay may lie off the one confirmed and still count as it: a
  // drifting delay moves on between re-checks, a look-alike lies a pitch
  // period (tens of samples) away.
  static constexpr int kWithin = CReliableGate::kWithin;
  // The largest step of a drift: the re-check's blocks aligned by the
  // delay before it still see the same peak.
  static constexpr int64_t kDriftStep = 8;
  // Where the re-check runs, a confirmation holds for as many frames as
  // the re-check's history: a drifting delay moves on while the signal
  // pauses too long to re-check.
  static constexpr uint32_t kHoldFrames = 16;
  // The share of a re-check confirmation's distance from the drift's line
  // by which the line moves toward it.
  static constexpr double kLineLean = 0.125;

  // A delay confirmed at a correlation of `quality` (either sign) by a
  // search or a re-check, from blocks that correlated `blocks`. It also
  // measures the drift from the last confirmation. A search's
  // confirmation roots the line a re-check may follow.
  // `precision`: how far from `delay` the blocks' own peaks lay (see
  // ConfirmationEvidence::precision). `atOneDelay`: the blocks were all
  // fed at one delay (not along the tracker's steps).
  void Confirm(int delay, float quality, ConfirmedBy by = ConfirmedBy::Search, SampleSpan blocks = {},
               int precision = 0, bool atOneDelay = true);
  // The delay just confirmed is the mean of blocks spanning `frames`
  // frames: under a measured drift it stood for their middle, and the
  // drift's line at their end lies half their span's drift further on.
  void ConfirmedAsMeanOver(double frames) {
    if (Drifting()) m_line += DriftPerFrame() * frames / 2.0;
  }
  // A search judged the delay and left it open (a near-tie, beyond the
  // range, not confirmed): only a search confirms again.
  void LeaveOpen() {
    m_rooted = false;
    m_bySearch = false;
    Unconfirm();
  }
  void Unconfirm() { m_confirmed = false; }
  // The search that just confirmed was one the re-check sent back to: the
  // confirmation waits for a re-check to agree; `wholeRecheck` when only a
  // re-check over blocks enough for a pick may agree (not the first block
  // or two, which correlate with a look-alike too).
  void AwaitRecheck(bool wholeRecheck) {
    m_awaitsRecheck = true;
    m_awaitsWholeRecheck = wholeRecheck;
  }
  bool AwaitsWholeRecheck() const { return m_awaitsRecheck && m_awaitsWholeRecheck; }
  // A re-check rejected `delay`: nothing is confirmed until a search or a
  // re-check confirms again.
  void Reject(int delay);
  // A new run: nothing confirmed, nothing rejected, no drift measured.
  void Clear() {
    m_rejected = false;
    m_rooted = false;
    m_bySearch = false;
    m_drift.Forget();
    Unconfirm();
  }
  // One more frame; `rechecking` when the re-check or the tracker runs in it.
  void NextFrame(bool rechecking) {
    m_rechecking = rechecking;
    if (m_framesSince < UINT32_MAX) ++m_framesSince;
  }

  bool Confirmed() const { return m_confirmed; }
  // The line of delays a search confirmed is unbroken: no search has left
  // the delay open since.
  bool Rooted() const { return m_rooted; }
  // `delay` is the one confirmed, and the search's own: its long blocks
  // placed it, not a re-check's short ones that followed the tracker.
  bool SearchPlaced(int delay) const {
    return m_confirmed && m_rooted && m_bySearch && delay == m_delay && delay == m_searchDelay;
  }
  // What the gate reads of the confirmation in force.
  ConfirmationEvidence Evidence() const;
  // A drift counts only where the re-check follows it; elsewhere the one
  // delay found stands.
  DriftEvidence DriftNow(uint32_t frameLength) const {
    const double samples = double(frameLength > 0 ? frameLength : 1);
    // Each end of the span measured placed within about a sample.
    const double error = 2.0 / (std::max(m_drift.Frames(), 1.0) * samples);
    return {m_rechecking && Drifting(), DriftPerFrame() / samples, error};
  }
  int Delay() const { return m_delay; }
  float Quality() const { return m_quality; }
  // Within kHoldFrames of the last confirmation.
  bool Fresh() const { return m_framesSince <= kHoldFrames; }

  // The delay counts as the one confirmed. Where the re-check runs, the
  // confirmed delay moves on at the drift measured: a delay left behind
  // while the signal pauses is not it.
  bool At(int delay) const;
  // Within a drift's step of the delay confirmed.
  bool Near(int64_t delay) const { return m_confirmed && std::abs(delay - m_delay) <= kDriftStep; }
  // Where the confirmed delay has drifted to by now, along the drift's
  // line. The tracker steps
  // once a whole sample shows, so under a drift the delay confirmed lies
  // half a sample behind it on average.
  double Drifted() const;
  // The same at the last confirmation.
  double LineAtConfirmation() const;
  // A re-check's peak a few samples off where the last confirmation has
  // drifted to, or near the delay it has drifted from, under a measured
  // drift: the mean of blocks from before a pause, lagging the delay.
  bool StaleMean(int64_t found) const;
  // While the signal is too weak to track, a delay confirmed to drift
  // moves on with the drift measured, as far as a confirmation reaches:
  // where it has drifted to, or false when it does not move on.
  bool PredictThroughPause(int64_t* predicted) const;

  double DriftPerFrame() const { return m_drift.PerFrame(); }
  // An offset the way the confirmed delay drifts noticeably.
  bool AlongDrift(int offset) const { return m_drift.Along(offset); }
  bool Drifting() const { return AlongDrift(1) || AlongDrift(-1); }
  // A drift measured, its line set by a confirmation no longer ago than
  // the measure's fade: the line holds also after a rejection, or a
  // stretch the tracker did not follow, until a delay off it restarts the
  // measure.
  bool LineHolds() const { return Drifting() && double(m_framesSince) <= CDriftMeasure::kFadeFrames; }

  // A re-check rejected a delay and nothing has confirmed one since.
  bool Rejected() const { return m_rejected; }
  int RejectedDelay() const { return m_rejectedDelay; }

 private:
  bool m_confirmed = false;
  int m_delay = 0;
  // The correlation's magnitude at confirmation: a delay the tracker
  // reached by a larger step is confirmed only where it correlates about
  // as well.
  float m_quality = 0.0f;
  bool m_rechecking = false;
  uint32_t m_framesSince = 0;
  CDriftMeasure m_drift;
  bool m_rejected = false;
  int m_rejectedDelay = 0;
  ConfirmedBy m_by = ConfirmedBy::Nobody;
  bool m_rooted = false;
  // The delay the last search confirmed, while the line is rooted in it.
  bool m_bySearch = false;
  int m_searchDelay = 0;
  bool m_awaitsRecheck = false;
  bool m_awaitsWholeRecheck = false;
  SampleSpan m_blocks;
  int m_precision = 0;
  // The delay the confirmations place exactly: a search's, a re-check's
  // step, or where a measured drift has taken them. With no drift
  // measured, a re-check's peak a sample or three off it, or one reached
  // over blocks fed along the tracker's steps, is the peak wandering over
  // a broad lobe (an echo's, a background's), not the delay moving: no
  // frame is exact until a confirmation comes back to this one. A step is
  // a peak further off, over blocks all fed at the new delay.
  int m_exact = 0;
  // Where the drift's line lay at the last confirmation.
  double m_line = 0.0;
};
