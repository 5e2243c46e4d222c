// Typed queries over the algorithm's one Query, the work-buffer size, the
// plug-in interface's result vector and the telephone interface's defaults.
#include <gtest/gtest.h>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/TapiWaveIO.h"
#include "fake_stages.h"

namespace {

// Answers with a scripted result and return value; counts calls.
class ScriptedQueries : public MinimalAlgorithm {
 public:
  using CMsystem::Query;
  int Query(uint32_t id, CQueryResult& result) override {
    lastId = id;
    ++calls;
    if (fill) result = answer;
    return answered;
  }
  CQueryResult answer = {};
  int answered = 1;
  bool fill = true;
  uint32_t lastId = 0;
  int calls = 0;
};

class QueryTest : public ::testing::Test, public WithFakeStages {
 protected:
  QueryTest() { SetTraceMask(0); }

  ScriptedQueries algorithm;
};

TEST_F(QueryTest, EachOverloadTakesItsOwnField) {
  CString text("result");
  int target = 0;
  auto* page = reinterpret_cast<CPropertyPage*>(&target);
  algorithm.answer = CQueryResult{2.5f, 0x12345u, -7, &target, &text, page};

  float f = 0.0f;
  uint32_t u = 0;
  short s = 0;
  int32_t l = 0;
  void* p = nullptr;
  CString* str = nullptr;
  CPropertyPage* pg = nullptr;
  EXPECT_EQ(algorithm.Query(10, f), 1);
  EXPECT_EQ(f, 2.5f);
  EXPECT_EQ(algorithm.lastId, 10u);
  EXPECT_EQ(algorithm.Query(11, u), 1);
  EXPECT_EQ(u, 0x12345u);
  EXPECT_EQ(algorithm.Query(12, s), 1);
  EXPECT_EQ(s, 0x2345);
  EXPECT_EQ(algorithm.Query(13, l), 1);
  EXPECT_EQ(l, -7);
  EXPECT_EQ(algorithm.Query(14, &p), 1);
  EXPECT_EQ(p, &target);
  EXPECT_EQ(algorithm.Query(15, &str), 1);
  EXPECT_EQ(str, &text);
  EXPECT_EQ(algorithm.Query(0xFFFFFFFFu, &pg), 1);
  EXPECT_EQ(pg, page);
  EXPECT_EQ(algorithm.lastId, 0xFFFFFFFFu);
}

TEST_F(QueryTest, UnansweredQueriesLeaveTheOutputsAlone) {
  algorithm.answered = 0;
  algorithm.answer = CQueryResult{9.0f, 9u, 9, nullptr, nullptr, nullptr};
  float f = 1.5f;
  int32_t l = 42;
  void* p = &f;
  short s = 3;
  EXPECT_EQ(algorithm.Query(1, f), 0);
  EXPECT_EQ(algorithm.Query(1, l), 0);
  EXPECT_EQ(algorithm.Query(1, &p), 0);
  EXPECT_EQ(algorithm.Query(1, s), 0);
  EXPECT_EQ(f, 1.5f);
  EXPECT_EQ(l, 42);
  EXPECT_EQ(p, &f);
  EXPECT_EQ(s, 3);
  EXPECT_EQ(algorithm.Query(1, static_cast<void**>(nullptr)), 0);
}

TEST_F(QueryTest, WorkBufferSizeIsQueryThreeWhenAnswered) {
  algorithm.answer.ulongValue = 4096;
  EXPECT_EQ(algorithm.GetWorkBufferSize(), 4096u);
  EXPECT_EQ(algorithm.lastId, 3u);
  algorithm.answered = 0;  // set the value, yet not answered
  EXPECT_EQ(algorithm.GetWorkBufferSize(), 0u);
  algorithm.answered = 1;
  algorithm.fill = false;  // answered without filling: a defined 0, not garbage
  EXPECT_EQ(algorithm.GetWorkBufferSize(), 0u);
}

TEST_F(QueryTest, BaseResultVectorIsNone) {
  CTalvoPluginOEMInterface& plugin = algorithm;
  auto* vector = reinterpret_cast<CFormatedResultVector*>(&algorithm);
  EXPECT_EQ(plugin.GetResultVector(&vector, 0), 0);
  EXPECT_EQ(vector, nullptr);
  EXPECT_EQ(plugin.GetResultVector(nullptr, 0), 0);
}

class NoTelephone : public CTapiWaveIO {
 public:
  int OpenLine(int) override { return 0; }
  int GetLineCount() override { return 0; }
  int GetLineName(int, char*, int) override { return 0; }
  int SetWaveFormat(int, int, int) override { return 0; }
  int GetLineStatus() override { return 0; }
  int SetRingCount(int) override { return 0; }
  int Dial(const char*, int, int, int) override { return 0; }
  int DropCall() override { return 0; }
  int WaitForConnection(int, int) override { return 0; }
  int WaitForLineIdle(int) override { return 0; }
  int AnswerCall() override { return 0; }
  int StartPlayback(const char*) override { return 0; }
  int StopPlayback() override { return 0; }
  int StartRecording() override { return 0; }
  int StopRecording() override { return 0; }
  int IsConnected() override { return 0; }
  int CloseLine() override { return 0; }
  int StopCallMonitoring() override { return 0; }
  int SendDigits(const char*) override { return 0; }
  int GetCallerId(char*, int) override { return 0; }
  int SetVolume(int) override { return 0; }
  int GetLineError() override { return 0; }
  int ResetLine() override { return 0; }
};

TEST(TapiWaveIOTest, ThreadFuncReturnsZeroAndNamesResolve) {
  NoTelephone line;
  EXPECT_EQ(line.ThreadFunc(nullptr), 0u);
  EXPECT_EQ(CStdStr<char>(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(CStdStr<char>("CTapiWaveIO"), "CTapiWaveIO");
  // A pointer value below 0x10000 is a string-resource id.
  EXPECT_EQ(CStdStr<char>(reinterpret_cast<const char*>(uintptr_t{206})), "Start and End Time");
  EXPECT_EQ(CStdStr<char>(reinterpret_cast<const char*>(uintptr_t{9999})), "");
}

}  // namespace
