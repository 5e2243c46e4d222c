// The example host on a float file pair whose test carries one sample that
// is not finite, or not once scaled: the sample counts as silence, the
// delay is still found and every frame says so, and the run ends well.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "frontend/measurement_run.h"
#include "host_command_fixture.h"
#include "wavio/SoundFile.h"

namespace {

TEST_F(HostCommandTest, ASampleThatIsNotANumberLeavesTheDelayFoundAndTheRunSound) {
  constexpr int kLag = 196;
  constexpr size_t kLength = 3 * kMeasureRate;
  constexpr size_t kLead = 4000;
  const std::vector<float> source = IntegerNoise(kLength + 2 * kLead, 7, 3000.0);
  const std::vector<float> reference(source.begin() + kLead, source.begin() + kLead + kLength);
  const SoundFileSpec spec{kMeasureRate, 1, SoundFileEncoding::Float, "wav"};
  // 3e38 in the file is finite but not once scaled to 16-bit units; it is
  // patched in over a marker sample, since the writer takes units.
  constexpr float kMarker = 12345.0f;
  constexpr float kHuge = 3e38f;
  // 1e34 stays finite once scaled (3.3e38), but squared it swamps every sum
  // the correlators form over a window holding it: it counts as unusable too.
  constexpr float kFiniteHuge = 1e34f;
  for (const float bad : {std::nanf(""), std::numeric_limits<float>::infinity(), kHuge, kFiniteHuge}) {
    const bool patched = bad == kHuge || bad == kFiniteHuge;
    std::vector<float> test(kLength);
    for (size_t n = 0; n < kLength; ++n) test[n] = source[kLead + n - kLag];
    test[30000] = patched ? kMarker : bad;
    ASSERT_TRUE(WriteSoundFile(m_dir.File("ref.wav"), spec, reference.data(), int64_t(kLength)));
    ASSERT_TRUE(WriteSoundFile(m_dir.File("test.wav"), spec, test.data(), int64_t(kLength)));
    if (patched) {
      std::fstream file(m_dir.File("test.wav"), std::ios::in | std::ios::out | std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      const float stored = kMarker / 32768.0f;
      const size_t at = bytes.find(std::string(reinterpret_cast<const char*>(&stored), sizeof stored));
      ASSERT_NE(at, std::string::npos);
      file.seekp(std::streamoff(at));
      file.write(reinterpret_cast<const char*>(&bad), sizeof bad);
      ASSERT_TRUE(file.good());
    }
    const HostRun run = Run("ref.wav test.wav --csv frames.csv");
    EXPECT_EQ(run.exitCode, 0) << bad << run.err;

    std::ifstream csv(m_dir.File("frames.csv"));
    std::string line;
    std::getline(csv, line);
    ASSERT_EQ(line, kCsvHeader);
    int rows = 0;
    while (std::getline(csv, line)) {
      int frame = 0, delay = 0, code = 0, quality = 0, valid = 0;
      long long first = 0;
      ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%*[^,],%d,%*[^,],%d,%d,%lld", &frame, &delay, &code, &quality, &valid,
                            &first),
                6)
          << line;
      // Zeros for a missing input (the last frame) are never reliable.
      const bool both = BothFilesHold(first, kMeasureFrame, kLag, int64_t(kLength), int64_t(kLength));
      EXPECT_EQ(code, both ? 1 : 2) << bad << ": " << line;
      EXPECT_EQ(delay, kLag) << bad << ": " << line;
      EXPECT_TRUE(quality >= 60 && quality <= 100) << bad << ": " << line;
      EXPECT_EQ(valid, 1) << bad << ": " << line;
      ++rows;
    }
    EXPECT_GE(rows, int(kLength / kMeasureFrame) - 3) << bad;
    EXPECT_NE(run.out.find("Note: 1 sample(s) of the test file were not finite"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("of the reference file were not finite"), std::string::npos) << run.out;
  }
}

}  // namespace
