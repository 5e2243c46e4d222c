// Parameter records: copies keep their pointer tables pointing into
// themselves; defaults and capabilities write exactly their fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/SafeDestroy.h"
#include "fake_stages.h"
#include "pattern_memory.h"
#include "sys_para_fields.h"

namespace {

constexpr WAVEPARA kZeroWave{0, 0, 0, 0, 0, 0};
constexpr DELAYPARA kZeroDelay{0, 0, 0, 0, 0};

void ExpectPointsIntoItself(const SYSPARA& s) {
  EXPECT_EQ(s.input[0], &s.inputPara[0]);
  EXPECT_EQ(s.input[1], &s.inputPara[1]);
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) EXPECT_EQ(s.routing[d][c], &s.routingTable[d][c]);
  EXPECT_EQ(s.delay, &s.delayPara);
  EXPECT_EQ(s.level, &s.levelPara);
}

// Every number of a record is 0 and every text empty after construction,
// whatever the memory held before.
void ExpectAllZero(const std::vector<std::string>& fields) {
  for (const std::string& field : fields) {
    const std::string value = field.substr(field.find('=') + 1);
    EXPECT_TRUE(value == "0" || value.empty()) << field;
  }
}

TEST(SysParaTest, NewRecordHasZeroFieldsAndOneDefaultTimeEvent) {
  OnPattern<SYSPARA> built;
  SYSPARA& s = *built;
  ExpectPointsIntoItself(s);
  std::vector<std::string> fields = RecordFields(s);
  const auto firstTriggerField =
      std::find_if(fields.begin(), fields.end(), [](const std::string& f) { return f.rfind("trigger[", 0) == 0; });
  fields.erase(firstTriggerField, fields.end());
  ExpectAllZero(fields);
  ASSERT_NE(s.triggers.head, nullptr);
  EXPECT_EQ(s.triggers.head->next, nullptr);
  EXPECT_EQ(s.triggers.head->name, "Start and End Time");
}

TEST(SysParaTest, RecordsOutsideSysParaStartAtZero) {
  {
    OnPattern<INPUTPARA> input;
    EXPECT_EQ(input->mode, 0);
    EXPECT_EQ(input->fileName, "");
    EXPECT_EQ(std::memcmp(&input->wave, &kZeroWave, sizeof kZeroWave), 0);
  }
  OnPattern<DELAYPARA> delay;
  EXPECT_EQ(std::memcmp(&*delay, &kZeroDelay, sizeof kZeroDelay), 0);
}

TEST(SysParaTest, CopyAndAssignmentCopyEveryFieldAndKeepTheirOwnTable) {
  SYSPARA source;
  FillDistinct(source, 1000);
  const auto expected = RecordFields(source);

  SYSPARA copy(source);
  ExpectPointsIntoItself(copy);
  EXPECT_EQ(RecordFields(copy), expected);
  EXPECT_NE(copy.triggers.head, source.triggers.head);

  SYSPARA assigned;
  FillDistinct(assigned, 5000);
  assigned = source;
  ExpectPointsIntoItself(assigned);
  EXPECT_EQ(RecordFields(assigned), expected);

  SYSPARA& self = assigned;
  assigned = self;
  ExpectPointsIntoItself(assigned);
  EXPECT_EQ(RecordFields(assigned), expected);

  // The base record's own copy keeps the source's pointers, as it always did.
  struct Plain : BASICSYSPARA {
    void Destroy() override {}
  } plain;
  static_cast<BASICSYSPARA&>(plain) = source;
  EXPECT_EQ(plain.input[1], &source.inputPara[1]);
}

TEST(SysParaTest, DestroyReleasesRecordsAlsoWithAnEmptyTriggerList) {
  SYSPARA* record = new SYSPARA;
  delete record->triggers.head;
  record->triggers.head = nullptr;
  record->inputPara[0].fileName = std::string(100, 'x');
  SafeDestroy(record);
  EXPECT_EQ(record, nullptr);
  SafeDestroy(record);  // null: nothing to do
}

class DefaultsTest : public ::testing::Test, public WithFakeStages {
 protected:
  DefaultsTest() { SetTraceMask(0); }

  MinimalAlgorithm system;
};

// The base defaults, written independently of the code under test.
void ApplyExpectedDefaults(SYSPARA& s) {
  for (int i : {0, 1, 2, 3, 13, 14, 23, 24}) s.settings[i] = 0;
  s.realtime = 0;
  s.modeWordD = 0;
  for (INPUTPARAEXT& in : s.inputPara) {
    in.mode = 1;
    in.fileOption = 1;
  }
  s.delayPara.hold = s.delayPara.snapEnable = s.delayPara.spare1 = 0;
  s.delayPara.tracking = s.delayPara.allowPadding = s.delayPara.inputOffsetMs = 0;
  s.delayPara.snapTimeMs = 500;
  s.delayPara.maxDelayFileMs = 1000;
  s.delayPara.maxDelayRealtimeMs = 500;
  s.delayPara.maxTrackingStep = 512;
  for (OUTPUTPARA& o : s.output) o.mode = o.option = 0;
}

TEST_F(DefaultsTest, SetDefaultParaWritesExactlyItsFieldsAndIsIdempotent) {
  SYSPARA record, expected;
  FillDistinct(record, 1);
  FillDistinct(expected, 1);
  ApplyExpectedDefaults(expected);
  system.SetDefaultPara(&record, 0);
  EXPECT_EQ(RecordFields(record), RecordFields(expected));
  system.SetDefaultPara(&record, 0xFFFFFFFFu);
  EXPECT_EQ(RecordFields(record), RecordFields(expected));
  system.SetDefaultPara(nullptr, 0);
}

TEST_F(DefaultsTest, CreateSysParaGivesADefaultedRecordForTheParentWindow) {
  HWND window = reinterpret_cast<HWND>(0x77);
  system.SetParentWindowHandle(window);
  auto* record = static_cast<SYSPARA*>(system.CreateSysPara());
  ASSERT_NE(record, nullptr);
  ExpectPointsIntoItself(*record);
  EXPECT_EQ(record->triggers.parent, window);
  EXPECT_EQ(record->inputPara[0].mode, INPUT_MODE_FILE);
  EXPECT_EQ(record->output[2].mode, 0);
  EXPECT_EQ(record->delayPara.snapTimeMs, 500);
  EXPECT_EQ(record->delayPara.maxDelayFileMs, 1000);
  EXPECT_EQ(record->delayPara.maxDelayRealtimeMs, 500);
  EXPECT_EQ(record->delayPara.maxTrackingStep, 512);
  const auto* event = dynamic_cast<CTimeEvent*>(record->triggers.head);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->startMs, 0.0f);
  EXPECT_EQ(event->endMs, 3600000.0f);
  EXPECT_EQ(event->relation, 0);
  EXPECT_EQ(event->state, TRIGGER_OFF);
  EXPECT_EQ(event->parent, window);
  record->Destroy();
}

TEST_F(DefaultsTest, CreateSysParaRunsTheAlgorithmsOwnDefaults) {
  struct OwnDefaults : MinimalAlgorithm {
    void SetDefaultPara(SYSPARA* s, uint32_t flags) override {
      CMsystem::SetDefaultPara(s, flags);
      s->channels = 2;
    }
  } algorithm;
  auto* record = static_cast<SYSPARA*>(algorithm.CreateSysPara());
  EXPECT_EQ(record->channels, 2);
  EXPECT_EQ(record->inputPara[1].fileOption, 1);
  record->Destroy();
}

TEST_F(DefaultsTest, GetCapabilitiesWritesExactlyItsFields) {
  SYSPARA caps[2], expected[2];
  float dummy = 0.0f;
  float* curves[2] = {&dummy, &dummy};
  for (int k = 0; k < 2; ++k) {
    FillDistinct(caps[k], 100 * k);
    FillDistinct(expected[k], 100 * k);
    SYSPARA& e = expected[k];
    e.inputPara[0].mode = e.inputPara[1].mode = 0xFFFF;
    e.channels = 2;
    e.delayPara.compensationOn = 1;
    e.delayPara.trackVariableDelay = 1;
    e.delayPara.maxDelayFileMs = 1000;
    e.delayPara.maxDelayRealtimeMs = 500;
    e.delayPara.inputOffsetMs = 10000;
    e.levelPara.levelAlign = 1;
    e.levelPara.useFiltered = 1;
    for (OUTPUTPARA& o : e.output) o.mode = o.option = 0xFFFF;
    auto& event = static_cast<CTimeEvent&>(*e.triggers.head);  // back to the time event's defaults
    event.name = "Start and End Time";
    event.state = TRIGGER_OFF;
    event.startAction = event.endAction = 0;
    event.mask = TRIGGER_AFTER_SAMPLES;
    event.startMs = 0.0f;
    event.endMs = 3600000.0f;
    event.relation = TRIGGER_RELATION_REFERENCE;
    e.realtime = 1;
    e.modeWordD = 0;
    e.modeWordB = k;
  }
  system.GetCapabilities(caps, curves);
  EXPECT_EQ(curves[0], nullptr);
  EXPECT_EQ(curves[1], nullptr);
  EXPECT_EQ(RecordFields(caps[0]), RecordFields(expected[0]));
  EXPECT_EQ(RecordFields(caps[1]), RecordFields(expected[1]));
  system.GetCapabilities(nullptr, nullptr);
}

}  // namespace
