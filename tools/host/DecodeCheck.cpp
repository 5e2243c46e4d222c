#include "DecodeCheck.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "wavio/SoundFile.h"

namespace {

constexpr int64_t kBlockFrames = 1 << 16;

// The decoder's text without its "Error : " lead and closing full stop.
std::string Reason(std::string text) {
  const std::string lead = "Error : ";
  if (text.compare(0, lead.size(), lead) == 0) text.erase(0, lead.size());
  while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
  return text.empty() ? "the data ends early" : text;
}

std::string Seconds(int64_t frames, int rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", double(frames) / rate);
  return text;
}

}  // namespace

bool DecodesToTheEnd(const std::string& path, const char* role, std::string* error) {
  SoundFileReader reader;
  const std::string named = std::string("the ") + role + " file " + path;
  if (!reader.Open(path)) {
    *error = named + " cannot be read as a sound file (" + reader.Error() + ")";
    return false;
  }
  const SoundFileFormat format = reader.Format();
  // Only how far decoding gets counts: 16-bit files are read as stored,
  // without the conversion to floats the measurement makes.
  const size_t blockValues = size_t(kBlockFrames) * size_t(format.channels);
  std::vector<int16_t> shorts(reader.HoldsShorts() ? blockValues : 0);
  std::vector<float> floats(reader.HoldsShorts() ? 0 : blockValues);
  int64_t decoded = 0;
  for (;;) {
    const int64_t got = reader.HoldsShorts() ? reader.ReadShorts(shorts.data(), kBlockFrames)
                                             : reader.Read(floats.data(), kBlockFrames);
    if (got > 0) decoded += got;
    if (got < kBlockFrames || !reader.Error().empty()) break;
  }
  if (decoded >= format.frames && reader.Error().empty()) return true;
  *error = named + " is damaged: decoding stopped at sample " + std::to_string(decoded) + " (" +
           Seconds(decoded, format.sampleRate) + ") of " + std::to_string(format.frames) + " (" +
           Reason(reader.Error()) + ")";
  return false;
}
