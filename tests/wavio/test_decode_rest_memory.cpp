// Short of memory, a file's reads never pass for its end: decoding the rest
// of a file after a run needs no large buffer, and a read-ahead refused its
// room leaves the file not ended. Replaces operator new for this
// executable, so it lives in a file of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "support/replaced_new.h"
#include "support/temp_dir.h"
#include "wavio/SoundFile.h"
#include "wavio/WaveIO.h"

namespace {
// Requests of this many bytes or more fail while it is not 0.
std::atomic<size_t> g_refuseFrom{0};
bool BelowTheRefusal(std::size_t size) {
  const size_t limit = g_refuseFrom.load(std::memory_order_relaxed);
  return limit == 0 || size < limit;
}
[[maybe_unused]] const bool g_hooked = (g_onNew = BelowTheRefusal, true);
}  // namespace

namespace {

TEST(DecodeRestMemory, RefusedEveryLargeBlockTheRestStillDecodesToTheEnd) {
  constexpr int kFrames = 30000;
  std::vector<float> samples(2 * kFrames);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = float(int(i * 7919 % 20000) - 10000);
  TempDir dir;
  const std::string path = dir.File("rest.flac");
  ASSERT_TRUE(WriteSoundFile(path, {16000, 2, SoundFileEncoding::Pcm16, "flac"}, samples.data(), kFrames));
  CWaveIO wave;
  ASSERT_EQ(wave.SetupBuffer(1 << 20), 1);
  ASSERT_NE(wave.OpenInputFile(0, path, 0), 0) << wave.LastError();
  std::vector<float> block(1000);
  int format = 0;
  ASSERT_EQ(wave.ReadChannel(block.data(), 0, 1000, &format, 1), 1000);

  g_refuseFrom = 4096;
  wave.DecodeRestOfFile();
  g_refuseFrom = 0;
  const DecodeProgress progress = wave.FileProgress();
  EXPECT_TRUE(progress.Whole()) << progress.decoded << " of " << progress.promised << ": " << progress.reason;
  EXPECT_EQ(progress.decoded, kFrames);
}

TEST(DecodeRestMemory, AReadAheadRefusedItsRoomLeavesTheFileNotEnded) {
  std::vector<float> samples(40000, 100.0f);
  TempDir dir;
  const std::string path = dir.File("float.wav");
  ASSERT_TRUE(
      WriteSoundFile(path, {16000, 1, SoundFileEncoding::Float, "wav"}, samples.data(), int64_t(samples.size())));
  CWaveIO wave;
  ASSERT_EQ(wave.SetupBuffer(1 << 20), 1);
  ASSERT_NE(wave.OpenInputFile(0, path, 0), 0) << wave.LastError();
  std::vector<float> block(1000);
  int format = 0;
  g_refuseFrom = 4096;
  const int got = wave.ReadChannel(block.data(), 0, 1000, &format, 1);
  g_refuseFrom = 0;
  EXPECT_EQ(got, 0);
  wave.DecodeRestOfFile();
  EXPECT_FALSE(wave.FileProgress().ended);
  EXPECT_FALSE(wave.FileProgress().Whole());
}

}  // namespace
