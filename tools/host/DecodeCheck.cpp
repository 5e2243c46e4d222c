#include "DecodeCheck.h"

#include <cstdint>
#include <cstdio>

#include "Vantrel/MSystem.h"

namespace {

// The decoder's text without its "Error : " lead and closing full stop.
std::string Reason(std::string text) {
  const std::string lead = "Error : ";
  if (text.compare(0, lead.size(), lead) == 0) text.erase(0, lead.size());
  while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
  return text;
}

std::string Seconds(int64_t frames, int rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", double(frames) / rate);
  return text;
}

// "the test file t.wav"
std::string Named(const char* role, const std::string& path) { return std::string("the ") + role + " file " + path; }

}  // namespace

std::string DecodeDamage(const std::string& path, const char* role, const DecodeProgress& progress, int sampleRate) {
  if (progress.Whole()) return {};
  const std::string named = Named(role, path) + " is damaged: ";
  const std::string decoded = std::to_string(progress.decoded);
  const std::string when = " (" + Seconds(progress.decoded, sampleRate) + ")";
  const std::string reason = Reason(progress.reason);
  const bool lengthKnown = progress.promised >= 0;
  // Only what is known: where the decoder stopped when it says so, of how
  // much when the header says; otherwise how much decoded.
  if (!reason.empty())
    return named + "decoding stopped at sample " + decoded + when +
           (lengthKnown ? " of " + std::to_string(progress.promised) : std::string()) + " (" + reason + ")";
  if (lengthKnown)
    return named + "it decodes " + decoded + " samples" + when + " of the " + std::to_string(progress.promised) + " (" +
           Seconds(progress.promised, sampleRate) + ") its header gives";
  return named + "it decodes " + decoded + " samples" + when + " and ends without the length a whole file gives";
}

std::string CutShortDamage(const std::string& path, const char* role, const SoundFileReader& reader) {
  DecodeProgress progress = reader.Progress();
  // Only a file cut short has a reason before anything is read.
  if (progress.reason.empty()) return {};
  progress.decoded = reader.Format().frames;  // where its reads will stop
  progress.ended = true;
  return DecodeDamage(path, role, progress, reader.Format().sampleRate);
}

bool FilesReadWhole(CMsystem* system, const std::string (&paths)[2], int sampleRate, std::string* error) {
  const char* const roles[2] = {"reference", "test"};
  for (int input = 0; input < 2; ++input) {
    DecodeProgress progress;
    std::string change;
    if (!system->FinishFileInput(input, &progress, &change)) continue;
    // A change first: what decoded is no longer the file named.
    if (!change.empty()) {
      *error = Named(roles[input], paths[input]) + " changed while it was measured: " + change;
      return false;
    }
    if (!progress.ended) {
      *error = Named(roles[input], paths[input]) + " could not be decoded to its end: out of memory";
      return false;
    }
    *error = DecodeDamage(paths[input], roles[input], progress, sampleRate);
    if (!error->empty()) return false;
  }
  return true;
}
