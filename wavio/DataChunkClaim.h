// What a WAV, Wave64, AIFF or AU header says about its sample data, read
// from the bytes themselves. libsndfile quietly shortens a data chunk that runs past the end
// of the file to what is there, so a file cut short reads as a shorter file;
// comparing the header's claim with the file's size tells the two apart.
#pragma once

#include <cstdint>

struct DataChunkClaim {
  bool known = false;         // a header with a data size (or AIFF frame count) was found
  int64_t offset = 0;         // byte at which the data begins
  int64_t bytes = 0;          // data bytes the header gives
  int64_t frames = -1;        // sample frames those bytes hold; -1 when the encoding does not tell
  bool uncompressed = false;  // PCM, float or 8-bit companded: every byte is there or not

  // The header promises more data than a file of `fileBytes` holds.
  bool CutShort(int64_t fileBytes) const { return known && offset + bytes > fileBytes; }
};

// Reads the claim from the first bytes of the open file `fd` (by pread, so
// the file's offset stays); an unknown or streamed layout gives known false.
DataChunkClaim ReadDataChunkClaim(int fd, int64_t fileBytes);
