#include "wavio/DataChunkClaim.h"

#include <unistd.h>

#include <cstring>

namespace {

// Chunks walked before the data chunk; real files have a handful.
constexpr int kMaxChunks = 256;

bool ReadAt(int fd, int64_t at, void* into, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(fd, static_cast<char*>(into) + done, size - done, off_t(at + int64_t(done)));
    if (got <= 0) return false;
    done += size_t(got);
  }
  return true;
}

uint32_t Little(const unsigned char* p, int size) {
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

uint32_t Big(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// WAV format tags.
constexpr uint32_t kPcm = 1, kMsAdpcm = 2, kFloat = 3, kALaw = 6, kMuLaw = 7, kImaAdpcm = 0x11, kExtensible = 0xFFFE;

struct WavFormat {
  uint32_t tag = 0;
  uint32_t blockAlign = 0;
  uint32_t samplesPerBlock = 0;  // ADPCM only
};

// The frames `bytes` of data hold, or -1 when the format does not tell.
int64_t WavFrames(const WavFormat& format, int64_t bytes, int64_t factFrames) {
  switch (format.tag) {
    case kPcm:
    case kFloat:
    case kALaw:
    case kMuLaw: return format.blockAlign > 0 ? bytes / format.blockAlign : -1;
    case kImaAdpcm:
    case kMsAdpcm:
      if (factFrames >= 0) return factFrames;
      return format.blockAlign > 0 ? bytes / format.blockAlign * format.samplesPerBlock : -1;
    default: return factFrames;
  }
}

DataChunkClaim ReadWav(int fd, int64_t fileBytes) {
  DataChunkClaim claim;
  WavFormat format;
  int64_t factFrames = -1;
  int64_t at = 12;
  for (int chunk = 0; chunk < kMaxChunks && at + 8 <= fileBytes; ++chunk) {
    unsigned char head[8];
    if (!ReadAt(fd, at, head, sizeof head)) break;
    const int64_t size = Little(head + 4, 4);
    if (std::memcmp(head, "fmt ", 4) == 0) {
      unsigned char fmt[40] = {};
      if (!ReadAt(fd, at + 8, fmt, size_t(size < 40 ? size : 40)) || size < 16) break;
      format.tag = Little(fmt, 2);
      format.blockAlign = Little(fmt + 12, 2);
      format.samplesPerBlock = size >= 20 ? Little(fmt + 18, 2) : 0;
      if (format.tag == kExtensible && size >= 26) format.tag = Little(fmt + 24, 2);
    } else if (std::memcmp(head, "fact", 4) == 0 && size >= 4) {
      unsigned char frames[4];
      if (ReadAt(fd, at + 8, frames, sizeof frames)) factFrames = Little(frames, 4);
    } else if (std::memcmp(head, "data", 4) == 0) {
      // 0 and all ones mark a data chunk written as a stream, of no stated size.
      if (size == 0 || size == 0xFFFFFFFFll) return claim;
      claim.known = true;
      claim.offset = at + 8;
      claim.bytes = size;
      claim.frames = WavFrames(format, size, factFrames);
      claim.uncompressed = format.tag == kPcm || format.tag == kFloat || format.tag == kALaw || format.tag == kMuLaw;
      return claim;
    }
    at += 8 + size + (size & 1);
  }
  return claim;
}

// Bits per sample of an AU encoding; 0 for one this reader does not know.
int AuBits(uint32_t encoding) {
  switch (encoding) {
    case 1: return 8;   // u-law
    case 2: return 8;   // 8-bit PCM
    case 3: return 16;  // 16-bit PCM
    case 4: return 24;
    case 5: return 32;
    case 6: return 32;  // float
    case 7: return 64;  // double
    case 23: return 4;  // G.721
    case 25: return 3;  // G.723, 24 kbit/s
    case 26: return 5;  // G.723, 40 kbit/s
    case 27: return 8;  // A-law
    default: return 0;
  }
}

DataChunkClaim ReadAu(int fd, int64_t fileBytes) {
  DataChunkClaim claim;
  unsigned char head[24];
  if (fileBytes < 24 || !ReadAt(fd, 0, head, sizeof head)) return claim;
  const uint32_t size = Big(head + 8);
  if (size == 0xFFFFFFFFu) return claim;  // written as a stream
  const uint32_t encoding = Big(head + 12);
  const uint32_t channels = Big(head + 20);
  const int bits = AuBits(encoding);
  claim.known = true;
  claim.offset = Big(head + 4);
  claim.bytes = size;
  claim.frames = bits > 0 && channels > 0 ? int64_t(size) * 8 / (int64_t(bits) * channels) : -1;
  claim.uncompressed = bits >= 8;
  return claim;
}

}  // namespace

DataChunkClaim ReadDataChunkClaim(int fd, int64_t fileBytes) {
  unsigned char magic[12];
  if (fileBytes < 12 || !ReadAt(fd, 0, magic, sizeof magic)) return {};
  if (std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "WAVE", 4) == 0) return ReadWav(fd, fileBytes);
  if (std::memcmp(magic, ".snd", 4) == 0) return ReadAu(fd, fileBytes);
  return {};
}
