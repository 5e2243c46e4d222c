// The wave layer's side of SoundFileLease: the files leases hold open, which
// SoundFileReader::Open borrows instead of opening their path again.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "wavio/DataChunkClaim.h"
#include "wavio/SoundFile.h"

struct HeldSoundFile {
  std::string path;
  int fd = -1;
  struct stat st {};
  DataChunkClaim claim;
  // Set by the first reader that decoded the header of this file.
  bool formatKnown = false;
  SoundFileFormat format;
  bool busy = false;  // a reader has it
  // Leases that hold it; without one, readers that still have it finish
  // with it, and nothing new borrows it.
  int leases = 0;
  ~HeldSoundFile();
};

// The held file of `path`, now this caller's alone, when a lease holds one
// and no reader has it; null otherwise.
std::shared_ptr<HeldSoundFile> BorrowHeldSoundFile(const std::string& path);
// Gives a borrowed file back, with the format its reader decoded (or null).
void ReturnHeldSoundFile(const std::shared_ptr<HeldSoundFile>& held, const SoundFileFormat* format);
