// The one place that calls a frame's delay "reliable". The delay state
// machine (CDelayStateMachine, DelayStateMachine.h) owns the state and the
// frame's reading; it, the search, the re-check and the tracker only report
// evidence, and the machine's Step hands it to Decide once per frame, after
// the frame's delay is final. A frame is reliable when all of these hold:
//  1. its state holds a delay in force (Vouch), every sample of the frame
//     is input of both signals (none is padding before an input's start or
//     past its end) and its quality is that of a strong peak (tracked, at
//     the delay the search's long blocks placed, where the newest re-check
//     block peaks nowhere clearly higher than there, or the mean of the
//     re-check's blocks peaks exactly there and the block's rival peak
//     stays below a strong one while it correlates at the delay twice what
//     stands clear of chance, one that stands clear of chance,
//     CDelayEstimator::StrongAtDelay: under a chord or a room's tail a
//     short block of quiet speech stays far below a strong peak at the
//     right delay, and the chord lends it rival peaks);
//  2. a search confirmed the delay, or a re-check confirmed it on the line
//     of a delay a search confirmed (a delay other than the one confirmed
//     only over blocks all fed at one delay, or fed along a drift's line
//     within 1.5 samples of each that moves 2 or more across them and
//     steps more than once, CRecheckFeeds: each block peaks at its lag from
//     the delay it was fed at, so blocks from before a tracker's step and
//     one or two after it place no delay), and no search has left it open
//     since
//     (a near-tie, beyond the asked range, not confirmed); a search the
//     re-check sent back to vouches once a re-check agrees with it (one
//     over blocks enough for a pick where the search's pick had a
//     near-tie: a block or two at a look-alike agree); after
//     a pause, a re-check renews a confirmation over blocks from before
//     its end (also one the frame that ended it made) only where
//     no peak a pitch period away comes within the search's near-tie
//     margin (a step of one period in the pause looks the same on a held
//     vowel), else the delay waits for blocks that tell them apart;
//  3. neither the confirmed delay nor the frame's lies beyond the asked range;
//  4. re-checked or tracked: the frame's samples lie within the blocks the
//     confirmation correlated, or after them with no pause between (and
//     not in one);
//  5. the frame carries exactly the delay confirmed (with no drift
//     measured, a re-check's peak 1-3 samples off the delay placed, or
//     reached over blocks fed along the tracker's steps, is a peak
//     wandering over a broad lobe: no delay is exact until the peak comes
//     back; a step is a peak further off over blocks all fed at it, and
//     it restarts the drift's measure); under a measured drift
//     within 3 samples of where the drift's line has taken it by the frame
//     (from the end of the confirming blocks), allowing for the error of
//     the rate measured, and a delay predicted through a pause no more
//     than 3 samples from the one confirmed;
//  5a. re-checked or tracked, the confirmation's blocks placed the delay
//     within 3 samples: each block's own peak, but for one in eight at
//     either end, lies within 3 of the delay confirmed. Blocks that cannot
//     resolve the delay so closely (a drift that the delay in force did
//     not follow spreads their peaks apart while their mean still peaks
//     high on a broad peak) vouch for nothing, so a held delay that a
//     drift has left is not renewed by them. At the delay the search
//     placed, noise scatters short blocks' own peaks while their mean
//     still resolves it: there it suffices that their mean falls off at
//     every delay from 4 to 8 samples either side by two standard errors
//     of the blocks' differences;
//  6. the newest blocks do not put a strong peak clearly off the delay (at
//     the delay the search placed, beyond the search's near-tie margin: a
//     pitch period or a reflection away a short block peaks by chance), nor
//     peak within 2 points a pitch period either way of it (a held vowel:
//     a step of one period looks the same), and
//     neither side of the frame at the delay holds material against
//     silence on the other (each side against its own level: the re-check
//     floor of RecheckFloor.h, on the signal's level and noise), judged
//     again at the delay the frame leaves at where the tracker or a search
//     moved it further than a drift's step after the re-check, there also
//     against the correlation confirmed; where the
//     re-check's block is longer than the frame (no tracker, or very short
//     frames), the frame's own samples correlate at the delay within their
//     scatter of the newest block and of what their level over the noise
//     allows, and that block within its scatter of the correlation
//     confirmed; where the newest block went unfed in the frame (its feed
//     goes by the reference's newest samples, not those paired at the
//     delay), the frame's own samples stand for it and correlate at the
//     delay as strongly as it must. Without the tracker the one delay found at the start
//     stands for every frame while the sparse check at it holds
//     (CDelayCheck, DelayCheck.h): once its looks place the delay
//     elsewhere, or a frame lies past the search's blocks before any look
//     was judged, or the stretch right after the search no longer
//     correlates near it (SearchSettle.h: a fast drift, from the first
//     frame on), the blocks say otherwise; so they do from a frame whose
//     own samples doubt the delay (the reference's material against a
//     silent test that holds nothing of it, or a tenth of a second of
//     frames correlating far below what their level and the test's gain
//     let them reach) until a look begun after it holds.
// Other status words (held, snapped, fixed, calculating) are set by the
// machine's states and pass through unchanged. The status is final when
// Step returns but for the machine's one second half, FinishFrame, after
// the fetch: there a fetch that clamped the delay turns the word into
// "clamped", and WithoutPadding turns a reliable word of a frame holding
// padding into "uncertain".
#pragma once

#include <cstdint>

#include "Vantrel/FrameData.h"
#include "Vantrel/frontend/DelayState.h"
#include "Vantrel/frontend/FrontEndInternal.h"

// Samples [first, end) in the reference's count since the inputs started,
// paired with the test samples at the delay.
struct SampleSpan {
  int64_t first = 0;
  int64_t end = 0;
};

enum class ConfirmedBy { Nobody, Search, Recheck };

struct ConfirmationEvidence {
  ConfirmedBy by = ConfirmedBy::Nobody;
  int delay = 0;
  // A search confirmed this delay, or the one the re-check followed to it,
  // and no search has left it open since.
  bool rootedInSearch = false;
  SampleSpan blocks;  // what the confirming blocks correlated
  // Under a measured drift, where its line lay when the blocks ended (the
  // confirmations it leans toward place a drifting delay a few samples
  // either way); else the delay.
  double line = 0.0;
  // A search the re-check sent back to confirmed the delay, and no re-check
  // has agreed since: its long blocks average a delay that may be moving.
  bool awaitsRecheck = false;
  // How far from the delay confirmed the blocks' own peaks lay (but for
  // one block in eight at either end): the delay is known only to within
  // it. 0 for a search's confirmation.
  int precision = 0;
};

// A measured drift: the confirmed delay holds where its blocks end (each
// block was aligned by the delay of its time) and moves by perSample for
// every sample from there.
struct DriftEvidence {
  bool measured = false;
  double perSample = 0.0;
  // How far perSample may be off: a measure over few confirmations
  // carries their placement error of a sample or so, which a prediction
  // far past them multiplies.
  double perSampleError = 0.0;
};

struct FrameEvidence {
  int delay = 0;
  int quality = 0;
  SampleSpan samples;
  // Samples of the frame read from the inputs rather than padding past an
  // input's end.
  int64_t realSamples = 0;
  // The delay was carried on through a pause by the drift measured.
  bool predicted = false;
  // The quality (percent) that stands for a strong peak in this frame
  // (rule 1): CReliableGate::kStrongQuality, or, tracked, the newest
  // re-check block's lower bar.
  double strongQuality = 60.0;
};

struct ReliableEvidence {
  // The delay is re-checked or tracked as the inputs go on; otherwise the
  // one delay found at the start stands for every frame.
  bool tracked = false;
  ConfirmationEvidence confirmation;
  DriftEvidence drift;
  int64_t maxDelay = 0;  // the asked range, in samples
  // Where the last pause of the signal ended (-1: none): blocks before it
  // vouch for nothing after it.
  int64_t pauseEnd = -1;
  // The frame lies in a pause: its blocks have been too weak to correlate
  // for a pause's length.
  bool inPause = false;
  // The newest blocks' strong peak lies clearly off the frame's delay, or
  // they see look-alikes a period either way of it, or the frame holds
  // material on one side only.
  bool blocksSayOtherwise = false;
  FrameEvidence frame;
};

class FRONT_END_INTERNAL CReliableGate {
 public:
  // Samples a delay may lie off where a drift has taken it.
  static constexpr int kWithin = 3;
  // The correlation (percent) below which no delay is reliable.
  static constexpr int kStrongQuality = 60;

  // The rule: whether a frame with this evidence is reliable.
  static bool Reliable(const ReliableEvidence& evidence);
  // The status a frame is handed out with: one holding padding is never
  // reliable, also at an input's end, where no evidence is decided.
  static int32_t WithoutPadding(int32_t status, int64_t realSamples, int64_t count);

  // A frame begins: nothing vouched for yet.
  void BeginFrame() { m_vouched = false; }
  // The state holds a delay in force: the frame's status is uncertain
  // unless Decide finds it reliable.
  int32_t Vouch(int32_t status) {
    m_vouched = true;
    return WithStatusWord(status, DELAY_STATUS_UNCERTAIN);
  }
  // The frame's status: a vouched, uncertain word becomes reliable where
  // the rule holds; a reliable word no one vouched for becomes uncertain.
  int32_t Decide(const ReliableEvidence& evidence, int32_t status) const;

  // Tracks the pauses of the signal: one call per frame in which the
  // re-check ran or found the blocks too weak. A run of weak frames of at
  // least `pauseSamples` is a pause; true on the frame that ends one.
  bool NoteBlocks(bool weak, int64_t blockFirst, int64_t pauseSamples);
  int64_t PauseEnd() const { return m_pauseEnd; }
  // The weak run noted last, up to `blockEnd`, is a pause's length already.
  bool InPause(int64_t blockEnd) const { return m_weakFrom >= 0 && blockEnd - m_weakFrom >= m_pauseSamples; }
  // A new run: no pause seen.
  void ClearPauses() {
    m_pauseEnd = -1;
    m_weakFrom = -1;
  }

 private:
  bool m_vouched = false;
  int64_t m_pauseEnd = -1;
  int64_t m_weakFrom = -1;
  int64_t m_pauseSamples = 0;
};
