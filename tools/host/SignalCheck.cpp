#include "SignalCheck.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "wavio/SoundFile.h"

namespace {

// The delay search takes a block only when its energy (DC removed) exceeds
// 8 times the search block length, and needs 15 such blocks for a delay.
constexpr double kLoudBlockFactor = 8.0;
constexpr int64_t kBlocksForADelay = 15;

std::string Dbfs(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dBFS", value);
  return text;
}

}  // namespace

bool MeasureChannelLevel(const std::string& path, int channel, uint32_t frameLength, double loudBlockEnergy,
                         ChannelLevel* level) {
  SoundFileReader reader;
  if (!reader.Open(path) || channel >= reader.Format().channels) return false;
  const int channels = reader.Format().channels;
  std::vector<float> block(size_t(frameLength) * size_t(channels));
  float peak = 0.0f;
  for (;;) {
    const int64_t frames = reader.Read(block.data(), frameLength);
    if (frames <= 0) break;
    double sum = 0.0, squares = 0.0;
    for (int64_t n = 0; n < frames; ++n) {
      const float v = block[size_t(n) * size_t(channels) + size_t(channel)];
      sum += v;
      squares += double(v) * v;
      peak = std::max(peak, std::abs(v));
    }
    const double energy = squares - sum * sum / double(frames);
    if (frames == int64_t(frameLength) && energy > loudBlockEnergy) ++level->loudBlocks;
  }
  level->silent = peak == 0.0f;
  level->peakDbfs = peak > 0.0f ? 20.0 * std::log10(double(peak) / 32768.0) : -999.0;
  return true;
}

std::string ExplainNoCorrelation(const std::string& reference, const std::string& test, int channel, int channels,
                                 uint32_t frameLength, uint32_t searchBlock) {
  const double loud = kLoudBlockFactor * double(searchBlock);
  ChannelLevel ref, tst;
  if (!MeasureChannelLevel(reference, channel, frameLength, loud, &ref) ||
      !MeasureChannelLevel(test, channel, frameLength, loud, &tst))
    return {};
  const std::string where = channels > 1 ? " on channel " + std::to_string(channel) : "";
  if (ref.silent || tst.silent) {
    std::string text = ref.silent && tst.silent
                           ? "both files are silent" + where
                           : std::string(ref.silent ? "the reference" : "the test") + " file is silent" + where;
    if (channels > 1) {
      const int other = 1 - channel;
      ChannelLevel otherRef, otherTest;
      if (MeasureChannelLevel(reference, other, frameLength, loud, &otherRef) &&
          MeasureChannelLevel(test, other, frameLength, loud, &otherTest) && !otherRef.silent && !otherTest.silent)
        text += "; --channel " + std::to_string(other) + " measures the other channel";
    }
    return text;
  }
  if (ref.loudBlocks < kBlocksForADelay && tst.loudBlocks < kBlocksForADelay)
    return "both signals are too quiet for the delay search (peaks at " + Dbfs(ref.peakDbfs) + " and " +
           Dbfs(tst.peakDbfs) + where + "); raise their levels";
  return {};
}
