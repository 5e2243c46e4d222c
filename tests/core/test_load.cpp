// Library load: the trace mask comes from "DebugTraceLevel" in the
// local-machine hive, with default 0 written back when the value is absent.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/LibraryLifetime.h"
#include "Vantrel/MeasurementApp.h"
#include "Vantrel/Registry.h"
#include "platform/debug_output.h"
#include "platform/registry.h"
#include "support/registry_sandbox.h"

namespace {

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

LONG StoredLevel(DWORD* type, DWORD* value) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\vestran\\TALVO", 0, KEY_QUERY_VALUE, &key);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD size = sizeof *value;
  rc = RegQueryValueExA(key, "DebugTraceLevel", nullptr, type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return rc;
}

class LoadTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTraceMask(TRACE_MASK_BEFORE_LOAD); }
  void TearDown() override { SetTraceMask(TRACE_MASK_BEFORE_LOAD); }
  RegistrySandbox sandbox;
};

TEST_F(LoadTest, TheLibrarysApplicationObjectIsTheCurrentOne) { EXPECT_EQ(&GetMeasurementApp(), AfxGetApp()); }

TEST_F(LoadTest, StoredLevelBecomesTheMask) {
  ASSERT_EQ(0, WriteToRegistry("HKEY_LOCAL_MACHINE\\SOFTWARE\\vestran\\TALVO", "DebugTraceLevel", uint32_t{0x410}));
  EXPECT_TRUE(VantrelLibraryLoad());
  EXPECT_EQ(0x410u, GetTraceMask());
  EXPECT_TRUE(GetMeasurementApp().TraceLevelWasStored());

  // Ordinary and registry lines now appear, error lines do not.
  DebugOutputCapture capture;
  char buffer[4];
  DWORD size = sizeof buffer;
  ReadFromRegistry("HKLM\\SOFTWARE\\absent", "x", buffer, &size);
  EXPECT_EQ(std::string::npos, capture.Text().find("ERROR opening"));
  EXPECT_NE(std::string::npos, capture.Text().find("ReadFromRegistry(Key=HKLM\\SOFTWARE\\absent, value=x) error 2"));
  EXPECT_TRUE(TraceEnabled(TRACE_ORDINARY));
  EXPECT_FALSE(TraceEnabled(TRACE_ERRORS));
}

TEST_F(LoadTest, AbsentLevelGivesZeroAndIsCreated) {
  DebugOutputCapture capture;
  EXPECT_TRUE(VantrelLibraryLoad());
  EXPECT_EQ(0u, GetTraceMask());
  // The first run's one error line, which the host explains.
  EXPECT_EQ(1, capture.Lines());
  EXPECT_NE(std::string::npos, capture.Text().find("ReadFromRegistry() - ERROR opening the registry key!!\n"));
  EXPECT_FALSE(GetMeasurementApp().TraceLevelWasStored());
  DWORD type = 0, value = 99;
  ASSERT_EQ(ERROR_SUCCESS, StoredLevel(&type, &value));
  EXPECT_EQ(REG_DWORD, type);
  EXPECT_EQ(0u, value);
}

TEST_F(LoadTest, UnwritableMachineHiveGivesZeroAndLoadGoesOn) {
  // A machine hive the user may not change, without the value.
  ASSERT_EQ(0, WriteToRegistry("HKLM\\SOFTWARE\\other", "x", int32_t{1}));
  ASSERT_EQ(0, chmod(sandbox.MachineHive().c_str(), 0444));
  const std::string before = ReadFileBytes(sandbox.MachineHive());

  DebugOutputCapture capture;
  EXPECT_TRUE(VantrelLibraryLoad());
  EXPECT_EQ(0u, GetTraceMask());
  EXPECT_EQ(before, ReadFileBytes(sandbox.MachineHive()));
  // The mask before load (0x0A) shows the failed write-back as an error line.
  EXPECT_NE(std::string::npos, capture.Text().find("DebugTraceLevel) - ERROR 5 creating/opening")) << capture.Text();
}

TEST_F(LoadTest, LevelOfAnotherTypeIsIgnoredAndKept) {
  HKEY key = nullptr;
  ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\vestran\\TALVO", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                               nullptr));
  const BYTE shortValue[2] = {0x10, 0x04};  // a 2-byte number: not a valid mask
  ASSERT_EQ(0, RegSetValueExA(key, "DebugTraceLevel", 0, REG_DWORD, shortValue, 2));
  RegCloseKey(key);

  EXPECT_TRUE(VantrelLibraryLoad());
  EXPECT_EQ(0u, GetTraceMask());
  DWORD type = 0, value = 0;
  EXPECT_EQ(ERROR_SUCCESS, StoredLevel(&type, &value));  // still there, 2 bytes
  EXPECT_EQ(0x0410u, value & 0xFFFFu);
}

}  // namespace
