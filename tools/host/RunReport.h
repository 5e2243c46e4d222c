// What the host tells about the frames: by default one line per run of
// frames with the same delay and status, with --frames one line per frame,
// then the summary. Frames are taken as they come; only the runs' and the
// summary's counters are kept.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "FileMeasurement.h"

enum class FrameLines { None, Runs, Every };

class RunReport {
 public:
  // `beforeLine` runs before each printed line (to clear a progress line).
  RunReport(FILE* out, const MeasurementPlan& plan, FrameLines lines, std::function<void()> beforeLine);
  void Add(const FrameLine& line);
  // Prints the last run.
  void Finish();
  // Whether files long enough to search never gave a reliable delay nor
  // more than a chance correlation.
  bool NothingCorrelated() const;
  // `noCorrelation`: why the signals do not correlate, when known;
  // `rivalPeaks`: the search saw peaks as strong at more than one delay;
  // `moved`: where the delay found at the start stopped holding, or null.
  void PrintSummary(bool levelAlign, const std::string& noCorrelation, bool rivalPeaks,
                    const DelayMoveSeen* moved = nullptr) const;

 private:
  void PrintRun() const;
  // One line when the search retried with the test's channels swapped.
  void PrintChannelSwap(ChannelSwap swap) const;
  // The files' lengths and the share of the longer one measured, when they differ.
  void PrintLengths() const;
  // Why no frame was reliable: the files too short, a clear delay beyond the
  // range, no correlation (and the levels that explain it), a repeating
  // signal, or the last estimate.
  void PrintNoDelay(const std::string& noCorrelation, bool rivalPeaks) const;
  // Where the one delay of a run without --track stopped holding, and what
  // the correlation found there.
  void PrintMove(const DelayMoveSeen& move) const;

  FILE* m_out;
  MeasurementPlan m_plan;
  FrameLines m_lines;
  std::function<void()> m_beforeLine;

  int64_t m_frames = 0;
  int64_t m_reliable = 0;
  std::map<int32_t, int64_t> m_reliableDelays;  // bounded by the search range
  FrameLine m_last;

  // The run being gathered.
  bool m_inRun = false;
  FrameLine m_runFirst;
  int32_t m_runLastFrame = 0;
  int32_t m_runMinQuality = 0;
  int32_t m_runMaxQuality = 0;
};
