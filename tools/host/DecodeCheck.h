// Whether a sound file reads whole. A damaged or cut file otherwise reads as
// a shorter file, and its measurement would blame the signals for what the
// decoder lost. The measurement's own decode tells: a file whose header
// promises more data than it holds is seen at the open, the rest as the run
// reads it, and what the run leaves of a longer file is decoded after it.
#pragma once

#include <string>

#include "wavio/SoundFile.h"

class CMsystem;

// The one-line error for a file (as `role` "reference" or "test") that did
// not decode whole: where decoding stopped, of how much when the file says;
// "" when it decoded whole.
std::string DecodeDamage(const std::string& path, const char* role, const DecodeProgress& progress, int sampleRate);
// The same, at the open, for a file whose header promises more data than
// the file holds; "" for any other.
std::string CutShortDamage(const std::string& path, const char* role, const SoundFileReader& reader);

// After the frames of `system`, before its inputs close: finishes the decode
// of each file (`paths`: reference, test) and checks it. false with a
// one-line `error` when a file changed while it was read or did not decode
// to its end.
bool FilesReadWhole(CMsystem* system, const std::string (&paths)[2], int sampleRate, std::string* error);
