// The delays the re-check's blocks were fed at. Each block is aligned by
// the delay in force when it was fed and peaks at its lag from there, so
// the mean of the blocks places a delay only where they were all fed at
// one delay, or along a drift's line that their feeds show: blocks fed
// before a tracker's step and one or two after it peak at "the delay in
// force" whatever that was for each.
#pragma once

#include <cstdint>

#include "Vantrel/frontend/FrontEndInternal.h"

class FRONT_END_INTERNAL CRecheckFeeds {
 public:
  // Feeds remembered: more than a correlator's history, which skips
  // blocks too weak to feed.
  static constexpr uint32_t kFeeds = 64;
  // Samples a feed may lie off a drift's line: the tracker follows a
  // drift in steps of up to three samples, so its feeds lie up to half
  // such a step either side of the line.
  static constexpr double kOffLine = 1.5;
  // A line within kOffLine of every feed explains them better than one
  // constant delay only where it moves further than that across them, and
  // where the feeds step more than once (a single step is a step, not a
  // drift).
  static constexpr double kLineMoves = 2.0;
  static constexpr uint32_t kLineDelays = 3;

  // A block fed at `delay`, its samples ending at `end` (in the count of
  // the correlator set's BlockSpan).
  void Note(int64_t end, int32_t delay);
  void Clear() { m_count = 0; }
  // The blocks ending after `first` place `delay`: they were all fed at
  // one delay, or along a drift's line that has reached `delay` by the
  // newest (within kOffLine). False when the feeds remembered do not
  // reach back to `first`.
  bool Place(int32_t delay, int64_t first) const;
  // The blocks ending after `first` were all fed at one delay (false when
  // the feeds remembered do not reach back to `first`).
  bool AtOneDelay(int64_t first) const;

 private:
  struct Feed {
    int64_t end = 0;
    int32_t delay = 0;
  };
  static bool AlongLine(const Feed* feeds, uint32_t count, int32_t delay);
  // The feeds since `first`, oldest first, into `since`; false when the
  // feeds remembered do not reach back to it.
  bool Since(int64_t first, Feed* since, uint32_t* count) const;
  static bool OneDelay(const Feed* feeds, uint32_t count);

  Feed m_feeds[kFeeds];
  uint32_t m_next = 0;
  uint32_t m_count = 0;
};
