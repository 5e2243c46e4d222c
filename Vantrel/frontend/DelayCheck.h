// Without the tracker the one delay found at the start stands for every
// frame. This sparse check says whether it still holds: now and then it
// correlates a look, a few of the search's blocks of both signals, at the
// delay and at kLags lags either side of it, in the time domain.
//
// A look places the delay where the sum of its blocks peaks, and knows it
// only as well as its blocks agree: under an echo, a block's peak leans a
// few samples toward the echo by the local pitch, while the whole signal
// peaks at the delay. A look is off the delay only where its peak lies
// further from it than every one of its blocks lies from that peak (and
// than kLeastOffset), or where its correlation at the delay and at every
// lag looked at has fallen below kCollapse of the search's (a delay moved
// far beyond them; an echo or a background in the test costs far less). The
// check fails only where the next look, right after, is off the same way
// and at least as far: a drift moves on, an echo's lean does not.
//
// The first look ends where the search's blocks ended, so that every frame
// after them is looked at; a frame beyond them before any look is judged is
// not vouched for. Where the stretch read right after the search showed the
// delay gone (FailFromStart), the check has failed before its first look.
// The looks come back to back at first, then at growing intervals up to
// kMaxIntervalSeconds, and back to back again while a look leans off the
// delay. Between looks the frames' own samples may doubt the delay
// (NoteFrame), which then waits for a look begun after the doubt.
#pragma once

#include <cstdint>

#include "Vantrel/frontend/DelayEstimator.h"
#include "Vantrel/frontend/FrontEndInternal.h"

// Where the check found the delay moved: the delay in force (positive when
// the test is ahead, as the state machine's), where the blocks placed it
// (`beyond`: at the end of the lags looked at, or further) and the end of
// the failing look in the reference's count of samples. Where the
// correlation at the delay collapsed (`collapsed`), `to` means nothing and
// `correlation` gives it there, beside the search's (percent).
struct DelayMove {
  bool moved = false;
  int from = 0;
  int to = 0;
  bool beyond = false;
  bool collapsed = false;
  int correlation = 0;
  int searchCorrelation = 0;
  int64_t at = 0;
};

class FRONT_END_INTERNAL CDelayCheck {
 public:
  static constexpr int32_t kLags = 6;
  static constexpr double kLookSeconds = 0.5;
  static constexpr double kMaxIntervalSeconds = 4.0;
  // Samples a look must place the delay off, at the least, to be off it.
  static constexpr double kLeastOffset = 1.5;
  // A look leaning this far off the delay is followed by another at once.
  static constexpr double kLean = 0.5;
  // The share of the search's correlation below which a look's correlation
  // at the delay says the delay has gone.
  static constexpr double kCollapse = 0.5;
  // A quiet word under a background may correlate next to nothing for a
  // frame or two; a delay that moved does so frame after frame.
  static constexpr double kCollapsedRunSeconds = 0.1;

  CDelayCheck() = default;
  ~CDelayCheck();
  CDelayCheck(const CDelayCheck&) = delete;
  CDelayCheck& operator=(const CDelayCheck&) = delete;

  // Blocks of `block` samples at `sampleRate`. false when memory runs out
  // (noted; the stage's Init then fails). Until set up, it vouches for all.
  bool Configure(uint32_t block, int sampleRate);
  // A new run: nothing looked at.
  void Clear();
  // The delay is known gone before any look (the stretch after the
  // search): the check fails with `move`, once per run.
  void FailFromStart(const DelayMove& move) {
    if (!m_ready || m_failed || m_judged) return;
    m_failed = true;
    m_move = move;
  }
  // One frame at `delay`: takes a block when one is due. `searchEnd`: where
  // the search's blocks ended (the aligned count of CDelayStateMachine);
  // `quality`: the search's correlation (percent, signed).
  void Note(const EstimationBlocks& blocks, int delay, float quality, int64_t searchEnd);
  // The newest frame's own samples at the delay, `samples` long, ending
  // at `frameEnd` (aligned): an unpaired frame, or a run of collapsed ones
  // kCollapsedRunSeconds long, doubts the delay. Doubted, the frames say
  // uncertain until a look that begins after the doubt holds; that look
  // starts at once.
  void NoteFrame(FrameAtDelay frame, uint32_t samples, int64_t frameEnd);
  // Whether the check vouches for a frame whose aligned samples end at `frameEnd`.
  bool Holds(int64_t frameEnd) const;
  const DelayMove& Move() const { return m_move; }

  // One look's sums and its blocks' own peaks; exposed for tests.
  struct Look {
    static constexpr int kMaxBlocks = 16;
    double aa = 0.0;
    double ab[2 * kLags + 1] = {};
    double bb[2 * kLags + 1] = {};
    int32_t peaks[kMaxBlocks] = {};
    int32_t blocks = 0;  // blocks loud enough to count
    int32_t taken = 0;   // blocks taken, loud or not
    // Adds one block's correlation sums at lags -kLags .. kLags (index
    // lag + kLags); `sign` picks the side of the correlation.
    void Add(double blockEnergy, const double (&cross)[2 * kLags + 1], const double (&energies)[2 * kLags + 1],
             float sign);
  };
  // Where a look places the delay, as an offset from the delay looked at
  // (a fraction between lags), and how far its blocks' own peaks lie from
  // there (at least 1).
  struct Placement {
    double offset = 0.0;
    double precision = 1.0;
    bool atEdge = false;
    double atDelay = 0.0;  // the correlation at the delay, on the search's side
    bool collapsed = false;  // at every lag looked at
  };
  // `quality`: the search's correlation (percent, signed).
  static Placement Place(const Look& look, float quality);
  // The look places the delay off the one looked at.
  static bool Off(const Placement& placement);
  // A second look off the same way as the first, as far or further.
  static bool Confirms(const Placement& first, const Placement& second);

 private:
  void Plan(int64_t alignedEnd, int64_t searchEnd);
  // Takes the newest block paired at `delay`; false when the rings do not
  // hold it yet.
  bool TakeBlock(const EstimationBlocks& blocks, int delay, float sign);
  void Judge(int delay, int64_t alignedEnd, float quality);
  void StartLook(int32_t blocks);
  void Doubt(int64_t frameEnd);

  uint32_t m_block = 0;
  int32_t m_lookBlocks = 2;
  int64_t m_maxInterval = 0;
  float* m_ref = nullptr;   // a block of the reference
  float* m_test = nullptr;  // the test over the block and kLags either side
  float* m_halves = nullptr;  // the block's even samples, the stretch's even and odd ones
  bool m_ready = false;
  bool m_planned = false;
  int64_t m_nextDue = 0;  // the aligned end from which the next block is taken
  int64_t m_interval = 0;
  int32_t m_target = 0;  // blocks the look in hand takes
  Look m_look;
  bool m_judged = false;  // a look was judged this run
  bool m_suspect = false;
  Placement m_suspectPlacement;
  bool m_failed = false;
  bool m_doubted = false;
  int64_t m_collapsedRun = 0;  // samples of frames collapsed in a row
  int64_t m_collapsedRunLimit = 0;
  DelayMove m_move;
  int64_t m_searchEnd = 0;
};
