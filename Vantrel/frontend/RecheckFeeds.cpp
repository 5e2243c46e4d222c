#include "Vantrel/frontend/RecheckFeeds.h"

#include <algorithm>
#include <cmath>

void CRecheckFeeds::Note(int64_t end, int32_t delay) {
  m_feeds[m_next] = {end, delay};
  m_next = (m_next + 1) % kFeeds;
  if (m_count < kFeeds) ++m_count;
}

bool CRecheckFeeds::Place(int32_t delay, int64_t first) const {
  // The feeds since `first`, oldest first.
  Feed since[kFeeds];
  uint32_t count = 0;
  bool reaches = m_count < kFeeds;
  for (uint32_t k = 0; k < m_count; ++k) {
    const Feed& feed = m_feeds[(m_next + kFeeds - m_count + k) % kFeeds];
    if (feed.end <= first) {
      reaches = true;
      continue;
    }
    since[count++] = feed;
  }
  if (!reaches || count == 0) return false;
  const bool oneDelay =
      std::all_of(since, since + count, [&](const Feed& feed) { return feed.delay == since[0].delay; });
  return oneDelay || AlongLine(since, count, delay);
}

bool CRecheckFeeds::AlongLine(const Feed* feeds, uint32_t count, int32_t delay) {
  uint32_t delays = 1;
  for (uint32_t k = 1; k < count; ++k) delays += feeds[k].delay != feeds[k - 1].delay ? 1 : 0;
  if (delays < kLineDelays) return false;
  // Least squares over the feeds, in samples from the oldest.
  const double x0 = double(feeds[0].end);
  double sx = 0.0, sy = 0.0;
  for (uint32_t k = 0; k < count; ++k) {
    sx += double(feeds[k].end) - x0;
    sy += double(feeds[k].delay);
  }
  const double mx = sx / count, my = sy / count;
  double sxx = 0.0, sxy = 0.0;
  for (uint32_t k = 0; k < count; ++k) {
    const double dx = double(feeds[k].end) - x0 - mx;
    sxx += dx * dx;
    sxy += dx * (double(feeds[k].delay) - my);
  }
  if (sxx <= 0.0) return false;
  const double slope = sxy / sxx;
  const auto line = [&](const Feed& feed) { return my + slope * (double(feed.end) - x0 - mx); };
  for (uint32_t k = 0; k < count; ++k)
    if (std::fabs(double(feeds[k].delay) - line(feeds[k])) > kOffLine) return false;
  const double moves = std::fabs(slope) * (double(feeds[count - 1].end) - x0);
  return moves >= kLineMoves && std::fabs(double(delay) - line(feeds[count - 1])) <= kOffLine;
}
