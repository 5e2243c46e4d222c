// The frame record and the rule for adding monitor entries.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "Vantrel/FrameData.h"

namespace {

MONITORDATA ZeroedMonitor() {
  MONITORDATA monitor;
  std::memset(&monitor, 0, sizeof monitor);
  return monitor;
}

TEST(FrameRecordTest, ZeroedFrameIsAnEmptyFrame) {
  auto frame = std::make_unique<FRAMEDATA>();
  std::memset(frame.get(), 0, sizeof(FRAMEDATA));
  EXPECT_EQ(
      frame->header.delayValid + frame->header.resetAverage + frame->header.endOfMeasurement + frame->header.longFrame,
      0);
  EXPECT_EQ(frame->desc.count, 0u);
  EXPECT_EQ(frame->monitor.count, 0);
  EXPECT_EQ(frame->samples[1][1][FRAME_SAMPLES_PER_CHANNEL - 1], 0.0f);
  EXPECT_EQ(sizeof frame->samples, 2u * 2u * 2304u * sizeof(float));
  EXPECT_EQ(FRAME_MAX_OUTPUT_LENGTH, 2048u);
}

TEST(MonitorTest, EntriesFillTheSlotsThenTheLastTakesEveryFurtherEntry) {
  MONITORDATA monitor = ZeroedMonitor();
  for (int i = 0; i < 12; ++i)
    monitor.Add(static_cast<float>(i), -1.0f * i, 2.0f * i, ("curve" + std::to_string(i)).c_str());
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(monitor.value[i], static_cast<float>(i));
    EXPECT_EQ(monitor.minimum[i], -1.0f * i);
    EXPECT_EQ(monitor.maximum[i], 2.0f * i);
    EXPECT_EQ(std::string(monitor.name[i]), "curve" + std::to_string(i));
  }
  EXPECT_EQ(monitor.count, 9);
  EXPECT_EQ(monitor.value[9], 11.0f);
  EXPECT_STREQ(monitor.name[9], "curve11");
  EXPECT_EQ(monitor.value[10], 0.0f);  // never reached by the rule
}

TEST(MonitorTest, CountOutsideTheSlotsAndLongNamesStayInside) {
  struct Case {
    int32_t count;
    int index;
    int32_t countAfter;
  } cases[] = {{-5, 0, 1}, {10, 10, 10}, {1000000, 10, 10}, {INT32_MIN, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    MONITORDATA monitor = ZeroedMonitor();
    monitor.count = c.count;
    monitor.Add(5.0f, 0.0f, 1.0f, "a name far longer than its sixteen-byte field");
    EXPECT_EQ(monitor.value[c.index], 5.0f);
    EXPECT_EQ(std::string(monitor.name[c.index]), "a name far long");  // 15 characters and the end
    EXPECT_EQ(monitor.count, c.countAfter);
  }
  MONITORDATA monitor = ZeroedMonitor();
  std::memset(monitor.name[0], 'x', MONITOR_NAME_SIZE);
  monitor.Add(1.0f, 0.0f, 1.0f, nullptr);
  EXPECT_STREQ(monitor.name[0], "");
}

}  // namespace
