// Whether a sound file decodes to its end. A damaged or cut compressed file
// otherwise reads as a shorter file, and its measurement would blame the
// signals for what the decoder lost.
#pragma once

#include <string>

// false with a one-line `error` naming the file (as `role` "reference" or
// "test") and the sample where decoding stopped.
bool DecodesToTheEnd(const std::string& path, const char* role, std::string* error);
