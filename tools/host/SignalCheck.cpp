#include "SignalCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "Vantrel/DelaySearchRange.h"
#include "wavio/SoundFile.h"

namespace {

struct ChannelLevel {
  bool silent = true;      // every sample 0
  double peakDbfs = -999;  // of the loudest sample
  int64_t loudBlocks = 0;  // frames loud enough for the delay search
};

// The levels of the first two channels of `path`, read once frame by frame;
// false when the file cannot be read or lacks `channel`. A block counts as loud as the delay
// search would take it: its energy with the DC removed above the gate.
bool MeasureChannelLevels(const std::string& path, int channel, uint32_t frameLength, double loudBlockEnergy,
                          ChannelLevel (*levels)[2]) {
  SoundFileReader reader;
  if (!reader.Open(path) || channel >= reader.Format().channels) return false;
  const int channels = reader.Format().channels;
  const int measured = std::min(channels, 2);
  std::vector<float> block(size_t(frameLength) * size_t(channels));
  float peak[2] = {};
  for (;;) {
    const int64_t frames = reader.Read(block.data(), frameLength);
    if (frames <= 0) break;
    for (int c = 0; c < measured; ++c) {
      double sum = 0.0, squares = 0.0;
      for (int64_t n = 0; n < frames; ++n) {
        const float v = block[size_t(n) * size_t(channels) + size_t(c)];
        sum += v;
        squares += double(v) * v;
        peak[c] = std::max(peak[c], std::abs(v));
      }
      const double energy = squares - sum * sum / double(frames);
      if (frames == int64_t(frameLength) && energy > loudBlockEnergy) ++(*levels)[c].loudBlocks;
    }
  }
  for (int c = 0; c < measured; ++c) {
    (*levels)[c].silent = peak[c] == 0.0f;
    (*levels)[c].peakDbfs = peak[c] > 0.0f ? 20.0 * std::log10(double(peak[c]) / 32768.0) : -999.0;
  }
  return true;
}

std::string Dbfs(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dBFS", value);
  return text;
}

}  // namespace

std::string ExplainNoCorrelation(const std::string& reference, const std::string& test, int channel, int channels,
                                 uint32_t frameLength, uint32_t searchBlock) {
  const double loud = DELAY_SEARCH_BLOCK_ENERGY_PER_SAMPLE * double(searchBlock);
  ChannelLevel refLevels[2], testLevels[2];
  if (channel < 0 || channel > 1 || !MeasureChannelLevels(reference, channel, frameLength, loud, &refLevels) ||
      !MeasureChannelLevels(test, channel, frameLength, loud, &testLevels))
    return {};
  const ChannelLevel& ref = refLevels[channel];
  const ChannelLevel& tst = testLevels[channel];
  const std::string where = channels > 1 ? " on channel " + std::to_string(channel) : "";
  if (ref.silent || tst.silent) {
    std::string text = ref.silent && tst.silent
                           ? "both files are silent" + where
                           : std::string(ref.silent ? "the reference" : "the test") + " file is silent" + where;
    const int other = 1 - channel;
    if (channels > 1 && !refLevels[other].silent && !testLevels[other].silent)
      text += "; --channel " + std::to_string(other) + " measures the other channel";
    return text;
  }
  const bool refQuiet = ref.loudBlocks < DELAY_SEARCH_RELIABLE_BLOCKS;
  const bool testQuiet = tst.loudBlocks < DELAY_SEARCH_RELIABLE_BLOCKS;
  if (refQuiet && testQuiet)
    return "both signals are too quiet for the delay search (peaks at " + Dbfs(ref.peakDbfs) + " and " +
           Dbfs(tst.peakDbfs) + where + "); raise their levels";
  // One quiet side leaves the search the other's blocks to correlate with a
  // signal below its gate: a chance correlation.
  if (refQuiet || testQuiet)
    return std::string(refQuiet ? "the reference" : "the test") + " is too quiet for the delay search (peak at " +
           Dbfs(refQuiet ? ref.peakDbfs : tst.peakDbfs) + where + ", the " + (refQuiet ? "test" : "reference") +
           " at " + Dbfs(refQuiet ? tst.peakDbfs : ref.peakDbfs) + "); raise its level";
  return {};
}
