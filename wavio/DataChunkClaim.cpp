#include "wavio/DataChunkClaim.h"

#include <unistd.h>

#include <algorithm>
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

uint64_t Little(const unsigned char* p, int size) {
  uint64_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

uint32_t Big(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// How a container lays out its chunks: WAV and AIFF name them by four
// characters with a 32-bit size (little- and big-endian); Wave64 by GUIDs,
// whose last twelve bytes its own chunks share, with a 64-bit size that
// counts the chunk's head too.
struct ChunkLayout {
  int64_t first = 12;  // byte of the first chunk's head
  int idBytes = 4;
  int sizeBytes = 4;
  bool bigEndian = false;
  bool sizeCountsHead = false;
  int64_t align = 2;
  const unsigned char* idTail = nullptr;  // of Wave64's ids; null for the others
};

constexpr unsigned char kWave64Tail[12] = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
constexpr ChunkLayout kWavChunks{};
constexpr ChunkLayout kWave64Chunks{40, 16, 8, false, true, 8, kWave64Tail};
constexpr ChunkLayout kAiffChunks{12, 4, 4, true, false, 2, nullptr};

// Calls `visit(id, bodyAt, bodyBytes)` for each chunk, its four-character
// id, its body's first byte and the size its head gives, until it returns
// true, the chunks run past the file's end or one cannot be read.
template <typename Visit>
void WalkChunks(int fd, int64_t fileBytes, const ChunkLayout& layout, Visit visit) {
  const int headBytes = layout.idBytes + layout.sizeBytes;
  int64_t at = layout.first;
  for (int chunk = 0; chunk < kMaxChunks && at + headBytes <= fileBytes; ++chunk) {
    unsigned char head[24];
    if (!ReadAt(fd, at, head, size_t(headBytes))) return;
    if (layout.idTail != nullptr && std::memcmp(head + 4, layout.idTail, 12) != 0) return;
    const unsigned char* size = head + layout.idBytes;
    int64_t body = int64_t(layout.bigEndian ? Big(size) : Little(size, layout.sizeBytes));
    if (layout.sizeCountsHead) body -= headBytes;
    if (body < 0) return;
    if (visit(reinterpret_cast<const char*>(head), at + headBytes, body)) return;
    at += headBytes + body;
    at += (layout.align - at % layout.align) % layout.align;
  }
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

// WAV and Wave64 carry the same format, fact and data chunks.
DataChunkClaim ReadWav(int fd, int64_t fileBytes, const ChunkLayout& layout) {
  DataChunkClaim claim;
  WavFormat format;
  int64_t factFrames = -1;
  bool formatBroken = false;
  WalkChunks(fd, fileBytes, layout, [&](const char* id, int64_t bodyAt, int64_t size) {
    if (std::memcmp(id, "fmt ", 4) == 0) {
      unsigned char fmt[40] = {};
      formatBroken = size < 16 || !ReadAt(fd, bodyAt, fmt, size_t(size < 40 ? size : 40));
      if (formatBroken) return true;
      format.tag = uint32_t(Little(fmt, 2));
      format.blockAlign = uint32_t(Little(fmt + 12, 2));
      format.samplesPerBlock = size >= 20 ? uint32_t(Little(fmt + 18, 2)) : 0;
      if (format.tag == kExtensible && size >= 26) format.tag = uint32_t(Little(fmt + 24, 2));
    } else if (std::memcmp(id, "fact", 4) == 0 && size >= 4) {
      unsigned char frames[4];
      if (ReadAt(fd, bodyAt, frames, sizeof frames)) factFrames = int64_t(Little(frames, 4));
    } else if (std::memcmp(id, "data", 4) == 0) {
      // 0 and all ones mark a data chunk written as a stream, of no stated size.
      if (size == 0 || (layout.sizeBytes == 4 && size == 0xFFFFFFFFll)) return true;
      claim.known = true;
      claim.offset = bodyAt;
      claim.bytes = size;
      claim.frames = WavFrames(format, size, factFrames);
      claim.uncompressed = format.tag == kPcm || format.tag == kFloat || format.tag == kALaw || format.tag == kMuLaw;
      return true;
    }
    return false;
  });
  return formatBroken ? DataChunkClaim{} : claim;
}

// Bits of one sample of an AIFF-C compression that stores every sample
// whole; 0 for one that does not (its data size does not follow from the
// frame count).
int AiffcBits(const unsigned char* type, int sampleBits) {
  const auto is = [&](const char* name) { return std::memcmp(type, name, 4) == 0; };
  if (is("NONE") || is("twos") || is("sowt") || is("raw ") || is("in24") || is("42ni") || is("in32") || is("23ni"))
    return sampleBits;
  if (is("fl32") || is("FL32")) return 32;
  if (is("fl64") || is("FL64")) return 64;
  if (is("alaw") || is("ALAW") || is("ulaw") || is("ULAW")) return 8;
  return 0;
}

// A writer that streams an AIFF states sizes it cannot know yet, just
// below 2 GB (sox: 0x7F000000 and up).
constexpr int64_t kAiffStreamedSize = 0x7F000000;

// An AIFF's frame count is in its COMM chunk, its samples in SSND: the
// header promises the bytes of that many frames from where SSND's begin.
DataChunkClaim ReadAiff(int fd, int64_t fileBytes, bool compressible) {
  int64_t frames = -1, frameBytes = 0, dataAt = -1;
  bool streamed = false;
  WalkChunks(fd, fileBytes, kAiffChunks, [&](const char* id, int64_t bodyAt, int64_t size) {
    if (std::memcmp(id, "COMM", 4) == 0 && size >= 18) {
      unsigned char comm[22] = {};
      if (!ReadAt(fd, bodyAt, comm, size_t(compressible && size >= 22 ? 22 : 18))) return true;
      const int channels = int(comm[0]) << 8 | comm[1];
      const int sampleBits = int(comm[6]) << 8 | comm[7];
      const int bits = compressible ? (size >= 22 ? AiffcBits(comm + 18, sampleBits) : 0) : sampleBits;
      frames = Big(comm + 2);
      frameBytes = int64_t(channels) * ((bits + 7) / 8);
    } else if (std::memcmp(id, "SSND", 4) == 0 && size >= 8) {
      unsigned char skip[4];
      if (!ReadAt(fd, bodyAt, skip, sizeof skip)) return true;
      dataAt = bodyAt + 8 + Big(skip);
      streamed = size >= kAiffStreamedSize;
    }
    return frames >= 0 && dataAt >= 0;
  });
  DataChunkClaim claim;
  if (frames < 0 || dataAt < 0 || frameBytes <= 0 || streamed) return claim;
  claim.known = true;
  claim.offset = dataAt;
  claim.bytes = frames * frameBytes;
  claim.frames = frames;
  claim.uncompressed = true;
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
  unsigned char magic[40];
  if (fileBytes < 12 || !ReadAt(fd, 0, magic, size_t(std::min<int64_t>(fileBytes, sizeof magic)))) return {};
  if (std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "WAVE", 4) == 0)
    return ReadWav(fd, fileBytes, kWavChunks);
  if (fileBytes >= 40 && std::memcmp(magic, "riff", 4) == 0 && std::memcmp(magic + 24, "wave", 4) == 0 &&
      std::memcmp(magic + 28, kWave64Tail, 12) == 0)
    return ReadWav(fd, fileBytes, kWave64Chunks);
  if (std::memcmp(magic, "FORM", 4) == 0 && std::memcmp(magic + 8, "AIFF", 4) == 0)
    return ReadAiff(fd, fileBytes, false);
  if (std::memcmp(magic, "FORM", 4) == 0 && std::memcmp(magic + 8, "AIFC", 4) == 0)
    return ReadAiff(fd, fileBytes, true);
  if (std::memcmp(magic, ".snd", 4) == 0) return ReadAu(fd, fileBytes);
  return {};
}
