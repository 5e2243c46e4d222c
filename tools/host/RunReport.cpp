#include "RunReport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "Vantrel/SysPara.h"

namespace {

// A quality (percent) above which the search saw a clear peak.
constexpr int kStrongQuality = 60;
// Signals that have nothing in common still correlate a few percent by
// chance at the search's best lag (white against pink noise 3, speech
// against dither 2); a best peak below this names no delay at all.
constexpr int kChanceQuality = 10;

double Ms(int64_t samples, int rate) { return 1000.0 * double(samples) / rate; }

// The front end's frame energies are its block-energy totals over four
// reads per frame (both directions, both channels), so a sample's mean
// square is 4 E / frame length.
double LevelDbfs(double energy, uint32_t frameLength) {
  const double meanSquare = 4.0 * energy / double(frameLength);
  return meanSquare > 0.0 ? 10.0 * std::log10(meanSquare / (32768.0 * 32768.0)) : -999.0;
}

// "99.9" for 2811 of 2812: rounded down, so that only all of them is 100.
std::string ShareText(int64_t part, int64_t whole) {
  const int64_t tenths = whole > 0 ? part * 1000 / whole : 0;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

RunReport::RunReport(FILE* out, const MeasurementPlan& plan, FrameLines lines, std::function<void()> beforeLine)
    : m_out(out), m_plan(plan), m_lines(lines), m_beforeLine(std::move(beforeLine)) {}

void RunReport::Add(const FrameLine& line) {
  ++m_frames;
  if ((line.status & 0xFFFF) == 1) {
    ++m_reliable;
    ++m_reliableDelays[line.delaySamples];
  }
  m_last = line;
  if (m_lines == FrameLines::Every) {
    m_beforeLine();
    std::fprintf(m_out, "frame %6d  delay %7d samples (%9.3f ms)  %-9s  quality %4d\n", line.frame, line.delaySamples,
                 Ms(line.delaySamples, m_plan.sampleRate), StatusName(line.status), line.quality);
    return;
  }
  const bool sameRun =
      m_inRun && line.delaySamples == m_runFirst.delaySamples && (line.status & 0xFFFF) == (m_runFirst.status & 0xFFFF);
  if (m_inRun && !sameRun) PrintRun();
  if (!sameRun) {
    m_inRun = true;
    m_runFirst = line;
    m_runMinQuality = m_runMaxQuality = line.quality;
  }
  m_runLastFrame = line.frame;
  m_runMinQuality = std::min(m_runMinQuality, line.quality);
  m_runMaxQuality = std::max(m_runMaxQuality, line.quality);
}

void RunReport::Finish() {
  if (m_inRun) PrintRun();
  m_inRun = false;
}

void RunReport::PrintRun() const {
  if (m_lines != FrameLines::Runs) return;
  m_beforeLine();
  char frames[32], quality[32];
  if (m_runFirst.frame == m_runLastFrame)
    std::snprintf(frames, sizeof frames, "%d", m_runLastFrame);
  else
    std::snprintf(frames, sizeof frames, "%d-%d", m_runFirst.frame, m_runLastFrame);
  if (m_runMinQuality == m_runMaxQuality)
    std::snprintf(quality, sizeof quality, "%d", m_runMinQuality);
  else
    std::snprintf(quality, sizeof quality, "%d..%d", m_runMinQuality, m_runMaxQuality);
  std::fprintf(m_out, "frames %-13s  delay %7d samples (%9.3f ms)  %-9s  quality %s\n", frames, m_runFirst.delaySamples,
               Ms(m_runFirst.delaySamples, m_plan.sampleRate), StatusName(m_runFirst.status), quality);
}

void RunReport::PrintChannelSwap(ChannelSwap swap) const {
  switch (swap) {
    case ChannelSwap::NotTried: return;
    case ChannelSwap::TriedNotUsed:
      std::fprintf(m_out,
                   "Channels: the search correlated below 90 %%, so it ran again with the test's two channels "
                   "swapped; that did no better, so the channels are measured as they are\n");
      return;
    case ChannelSwap::Used:
      std::fprintf(m_out,
                   "Channels: the test's two channels are measured swapped: the search correlated below 90 %% on "
                   "them as they are and better swapped (crossed stereo channels)\n");
      return;
  }
}

bool RunReport::NothingCorrelated() const {
  return m_reliable == 0 && std::abs(m_last.quality) < kChanceQuality && m_plan.lengthFrames >= m_plan.searchSamples;
}

void RunReport::PrintLengths() const {
  const MeasurementPlan& p = m_plan;
  const int64_t ref = p.fileFrames[0], test = p.fileFrames[1];
  if (ref == test) return;
  const bool refLonger = ref > test;
  const std::string share = ShareText(std::min(ref, test), std::max(ref, test));
  std::fprintf(m_out,
               "Lengths: reference %.3f s (%lld samples), test %.3f s (%lld samples); the run ended with the %s, "
               "so %s %% of the %s was measured\n",
               double(ref) / p.sampleRate, static_cast<long long>(ref), double(test) / p.sampleRate,
               static_cast<long long>(test), refLonger ? "test" : "reference", share.c_str(),
               refLonger ? "reference" : "test");
}

void RunReport::PrintNoDelay(const std::string& noCorrelation, bool rivalPeaks) const {
  const MeasurementPlan& p = m_plan;
  const bool beyondRange =
      std::abs(int64_t(m_last.delaySamples)) > p.maxDelaySamples && std::abs(m_last.quality) > kStrongQuality;
  if (p.lengthFrames < p.searchSamples)
    std::fprintf(m_out,
                 "No reliable delay found: the files are too short to search (%lld samples needed, %lld there).\n",
                 static_cast<long long>(p.searchSamples), static_cast<long long>(p.lengthFrames));
  else if (beyondRange)
    // A clear peak the search would not take: it lies beyond the range, not
    // nowhere. A narrow range sees look-alikes of it one pitch period apart
    // as rivals, which do not make the signal a repeating one.
    std::fprintf(m_out, "No reliable delay found: found %.3f ms (%d samples, quality %d), beyond the %s +-%d ms.\n",
                 Ms(m_last.delaySamples, p.sampleRate), m_last.delaySamples, m_last.quality,
                 p.maxDelayMs < p.requestedMaxDelayMs ? "narrowed" : "asked", p.maxDelayMs);
  else if (NothingCorrelated())
    // A chance peak is no estimate; name the level that explains it, if one does.
    std::fprintf(m_out, "No reliable delay found: %s.\n",
                 noCorrelation.empty() ? "the signals do not correlate" : noCorrelation.c_str());
  else if (rivalPeaks)
    // Any of the rival delays could be the one: naming one would be a guess.
    std::fprintf(m_out,
                 "No reliable delay found: the signal repeats, and the search saw peaks as strong at more than one "
                 "delay, so the delay is open.\n");
  else
    std::fprintf(m_out, "No reliable delay found within +-%d ms (last estimate %d samples, %.3f ms, at quality %d).\n",
                 p.maxDelayMs, m_last.delaySamples, Ms(m_last.delaySamples, p.sampleRate), m_last.quality);
}

void RunReport::PrintMove(const DelayMoveSeen& move) const {
  const int64_t seconds = m_plan.sampleRate > 0 ? move.atSample / m_plan.sampleRate : 0;
  char when[32];
  if (seconds >= 3600)
    std::snprintf(when, sizeof when, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  else
    std::snprintf(when, sizeof when, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  if (move.collapsed)
    std::fprintf(m_out,
                 "The delay moved: %d at the start; by %s the signals correlated %d %% there (%d %% at the start); "
                 "--track follows it\n",
                 move.fromDelay, when, move.correlation, move.searchCorrelation);
  else
    std::fprintf(m_out, "The delay moved: %d at the start, %s%d by %s; --track follows it\n", move.fromDelay,
                 move.beyond ? "beyond " : "", move.toDelay, when);
}

void RunReport::PrintSummary(bool levelAlign, const std::string& noCorrelation, bool rivalPeaks,
                             const DelayMoveSeen* moved) const {
  const MeasurementPlan& p = m_plan;
  const std::string channels = p.fileChannels > p.channels
                                   ? std::to_string(p.channels) + " of " + std::to_string(p.fileChannels)
                                   : std::to_string(p.channels);
  std::fprintf(m_out,
               "\nSummary: %lld frame%s of %u samples at %d Hz, %s channel(s)\n"
               "Search: delay estimated on channel %d within +-%d ms (searched up to +-%.1f ms, %lld samples)%s\n",
               static_cast<long long>(m_frames), m_frames == 1 ? "" : "s", p.frameLength, p.sampleRate,
               channels.c_str(), p.channel, p.maxDelayMs, p.ReachMs(), static_cast<long long>(p.reachSamples),
               p.track ? ", re-checked and tracked" : "");
  if (m_frames != 0) PrintChannelSwap(ChannelSwapOf(m_last.status));
  if (m_reliable == 0) {
    // Where the delay moved, that is why: rivals the search saw on the way
    // (a drift across 0 shows on both of its sides) do not make the
    // signal a repeating one.
    PrintNoDelay(noCorrelation, rivalPeaks && moved == nullptr);
  } else {
    auto most = m_reliableDelays.begin();
    for (auto it = m_reliableDelays.begin(); it != m_reliableDelays.end(); ++it)
      if (it->second > most->second) most = it;
    std::fprintf(m_out, "Delay found: %d samples (%.3f ms), test %s the reference\n", most->first,
                 Ms(most->first, p.sampleRate),
                 most->first > 0 ? "behind" : (most->first < 0 ? "ahead of" : "in step with"));
    if (m_reliableDelays.size() > 1)
      std::fprintf(m_out, "The reliable delay varied between %d and %d samples.\n", m_reliableDelays.begin()->first,
                   m_reliableDelays.rbegin()->first);
  }
  if (moved != nullptr) PrintMove(*moved);
  PrintLengths();
  std::fprintf(m_out, "Reliable: %lld of %lld frames (%s %% of the %s)\n", static_cast<long long>(m_reliable),
               static_cast<long long>(m_frames), ShareText(m_reliable, m_frames).c_str(),
               p.fileFrames[0] == p.fileFrames[1] ? "file" : "measured part");
  if (levelAlign && m_frames != 0) {
    const double ref = m_last.refEnergy, test = m_last.testEnergy;
    std::fprintf(m_out, "Levels (RMS, channel 0): reference %.1f dBFS, test %.1f dBFS; ", LevelDbfs(ref, p.frameLength),
                 LevelDbfs(test, p.frameLength));
    const double gain = test > 0.0 ? std::sqrt(ref) / std::sqrt(test) : 0.0;
    if (ref > LEVEL_ALIGN_ENERGY_FLOOR && test > LEVEL_ALIGN_ENERGY_FLOOR && gain > LEVEL_ALIGN_MIN_GAIN &&
        gain < LEVEL_ALIGN_MAX_GAIN)
      std::fprintf(m_out, "gain applied to the test x%.3f (%+.1f dB)\n", gain, 20.0 * std::log10(gain));
    else
      std::fprintf(m_out, "no gain applied (too quiet to align)\n");
  }
}
