// The wave layer's sample conversions under every variant set: whole frames
// and each channel of one to three channels, 16-bit and float frames, at
// counts that end inside and on every vector step, against the element-wise
// definition, writing nothing past the count.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "support/variant_sets.h"
#include "wavio/SampleConvert.h"

namespace {

class SampleConvertTest : public VariantSetTest {};

constexpr float kUnwritten = -99999.0f;

TEST_P(SampleConvertTest, ChannelsAndWholeFramesAreExact) {
  std::mt19937 gen(36);
  std::uniform_int_distribution<int32_t> value(-32768, 32767);
  std::vector<int64_t> counts;
  for (int64_t n = 0; n <= 40; ++n) counts.push_back(n);
  // Around the stereo channel's steps of 128 frames, then long counts.
  for (int64_t n : {63, 64, 65, 67, 127, 128, 129, 131, 191, 255, 256, 259, 1023, 1024}) counts.push_back(n);
  for (int channels : {1, 2, 3}) {
    for (int64_t count : counts) {
      const int64_t samples = count * channels;
      std::vector<int16_t> shorts(samples);
      std::vector<float> floats(samples);
      for (int64_t i = 0; i < samples; ++i) {
        shorts[i] = static_cast<int16_t>(i < 2 ? (i == 0 ? -32768 : 32767) : value(gen));
        floats[i] = static_cast<float>(shorts[i]) * 0.75f;
      }
      for (int channel = 0; channel < channels; ++channel) {
        std::vector<float> fromShorts(count + 1, kUnwritten), fromFloats(count + 1, kUnwritten);
        ShortChannelToFloats(shorts.data(), channels, channel, fromShorts.data(), count);
        FloatChannel(floats.data(), channels, channel, fromFloats.data(), count);
        for (int64_t k = 0; k < count; ++k) {
          ASSERT_EQ(fromShorts[k], static_cast<float>(shorts[k * channels + channel]))
              << channels << " channels, channel " << channel << ", frame " << k << " of " << count;
          ASSERT_EQ(fromFloats[k], floats[k * channels + channel])
              << channels << " channels, channel " << channel << ", frame " << k << " of " << count;
        }
        EXPECT_EQ(fromShorts[count], kUnwritten);
        EXPECT_EQ(fromFloats[count], kUnwritten);
      }
      std::vector<float> whole(samples + 1, kUnwritten);
      ShortsToFloats(shorts.data(), whole.data(), samples);
      for (int64_t i = 0; i < samples; ++i) ASSERT_EQ(whole[i], static_cast<float>(shorts[i])) << i;
      EXPECT_EQ(whole[samples], kUnwritten);
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(SampleConvertTest);

}  // namespace
