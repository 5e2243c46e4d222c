#include "Vantrel/frontend/RecheckFeeds.h"

#include <algorithm>
#include <cmath>

void CRecheckFeeds::Note(int64_t end, int32_t delay) {
  m_feeds[m_next] = {end, delay};
  m_next = (m_next + 1) % kFeeds;
  if (m_count < kFeeds) ++m_count;
}

bool CRecheckFeeds::Since(int64_t first, Feed* since, uint32_t* count) const {
  *count = 0;
  bool reaches = m_count < kFeeds;
  for (uint32_t k = 0; k < m_count; ++k) {
    const Feed& feed = m_feeds[(m_next + kFeeds - m_count + k) % kFeeds];
    if (feed.end <= first) {
      reaches = true;
      continue;
    }
    since[(*count)++] = feed;
  }
  return reaches && *count > 0;
}

bool CRecheckFeeds::OneDelay(const Feed* feeds, uint32_t count) {
  return std::all_of(feeds, feeds + count, [&](const Feed& feed) { return feed.delay == feeds[0].delay; });
}

bool CRecheckFeeds::Place(int32_t delay, int64_t first) const {
  Feed since[kFeeds];
  uint32_t count = 0;
  if (!Since(first, since, &count)) return false;
  return OneDelay(since, count) || AlongLine(since, count, delay);
}

bool CRecheckFeeds::AtOneDelay(int64_t first) const {
  Feed since[kFeeds];
  uint32_t count = 0;
  return Since(first, since, &count) && OneDelay(since, count);
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
