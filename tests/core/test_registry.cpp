// Typed registry readers and writers on text key paths, their trace lines,
// and the transfer of settings tables through the application profile.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

#include "Vantrel/DebugTrace.h"
#include "platform/trace_line.h"
#include "Vantrel/Registry.h"
#include "Vantrel/RegistryTransfer.h"
#include "platform/app.h"
#include "platform/debug_output.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/registry_store.h"
#include "platform/system_time.h"
#include "support/registry_sandbox.h"

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { m_previousMask = GetTraceMask(); }
  void TearDown() override { SetTraceMask(m_previousMask); }

  // Raw type and bytes of a value, through the platform API.
  static LONG Raw(HKEY hive, const char* path, const char* name, DWORD* type, std::string* bytes) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(hive, path, 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    char buffer[8192];
    DWORD size = sizeof buffer;
    rc = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS) bytes->assign(buffer, size);
    return rc;
  }
  static void PutRaw(HKEY hive, const char* path, const char* name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(hive, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
    RegCloseKey(key);
  }

  RegistrySandbox sandbox;
  DWORD m_previousMask = 0;
};

struct HiveSpelling {
  const char* written;  // the spelling used for writing
  const char* read;     // the other spelling of the same hive
  HKEY hive;
};
const HiveSpelling kSpellings[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
};

TEST_F(RegistryTest, EveryTypeRoundTripsUnderBothSpellingsOfEachHive) {
  SetTraceMask(0);
  for (const HiveSpelling& s : kSpellings) {
    SCOPED_TRACE(s.written);
    const std::string w = std::string(s.written) + "\\SOFTWARE\\vestran\\Test";
    const std::string r = std::string(s.read) + "\\software\\VESTRAN\\test";
    EXPECT_EQ(0, WriteToRegistry(w.c_str(), "Int", int32_t{-123456}));
    EXPECT_EQ(0, WriteToRegistry(w.c_str(), "Unsigned", uint32_t{0xFFFFFFF0u}));
    EXPECT_EQ(0, WriteToRegistry(w.c_str(), "Double", 0.1));
    EXPECT_EQ(0, WriteToRegistry(w.c_str(), "Text", "narrow"));
    EXPECT_EQ(0, WriteToRegistry(w.c_str(), "CStr", CString("cstring")));
    EXPECT_EQ(0, WriteToRegistry(w.c_str(), "Std", std::string("std string")));
    EXPECT_EQ(0, WriteToRegistry(w.c_str(), "Wide", std::wstring(L"wide \u00e9\u20ac")));

    int32_t i = 0;
    uint32_t u = 0;
    double d = 0;
    float f = 0;
    char text[32];
    CString cs;
    std::string ss;
    std::wstring ws;
    ReadFromRegistry(r.c_str(), "int", i, 1);
    ReadFromRegistry(r.c_str(), "UNSIGNED", u, 1u);
    ReadFromRegistry(r.c_str(), "Double", d, 1.0);
    ReadFromRegistry(r.c_str(), "Double", f, 1.0f);
    ReadFromRegistry(r.c_str(), "Text", text, sizeof text, "dflt");
    ReadFromRegistry(r.c_str(), "CStr", cs, "dflt");
    ReadFromRegistry(r.c_str(), "Std", ss, "dflt");
    ReadFromRegistry(r.c_str(), "Wide", ws, L"dflt");
    EXPECT_EQ(-123456, i);
    EXPECT_EQ(0xFFFFFFF0u, u);
    EXPECT_EQ(0.1, d);  // 20 significant digits keep every bit
    EXPECT_EQ(0.1f, f);
    EXPECT_STREQ("narrow", text);
    EXPECT_EQ("cstring", cs);
    EXPECT_EQ("std string", ss);
    EXPECT_EQ(L"wide \u00e9\u20ac", ws);

    // Stored forms: 4-byte numbers, text with its terminator.
    DWORD type = 0;
    std::string bytes;
    ASSERT_EQ(0, Raw(s.hive, "SOFTWARE\\vestran\\Test", "Int", &type, &bytes));
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ(4u, bytes.size());
    ASSERT_EQ(0, Raw(s.hive, "SOFTWARE\\vestran\\Test", "Text", &type, &bytes));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(std::string("narrow", 7), bytes);
    ASSERT_EQ(0, Raw(s.hive, "SOFTWARE\\vestran\\Test", "Double", &type, &bytes));
    EXPECT_EQ(std::string("0.10000000000000000555", 23), bytes);

    int32_t wi = 0;
    std::wstring wideKey(r.begin(), r.end());
    EXPECT_EQ(0, WriteToRegistry(wideKey.c_str(), L"WideInt", int32_t{77}));
    ReadFromRegistry(wideKey.c_str(), L"wideint", wi, 0);
    EXPECT_EQ(77, wi);
  }
}

TEST_F(RegistryTest, UnknownHiveIsResultOneAndWritesNothing) {
  SetTraceMask(0);
  const char* bad[] = {"hklm\\SOFTWARE\\x", "HKEY_USERS\\SOFTWARE\\x", "Hkcu\\SOFTWARE\\x"};
  for (const char* key : bad) {
    SCOPED_TRACE(key);
    EXPECT_EQ(1, WriteToRegistry(key, "v", int32_t{5}));
    char buffer[8];
    DWORD size = sizeof buffer;
    EXPECT_EQ(1, ReadFromRegistry(key, "v", buffer, &size));
    EXPECT_EQ(0u, size);
    int32_t value = 0;
    EXPECT_EQ(0, ReadFromRegistry(key, "v", value, 9));
    EXPECT_EQ(9, value);
  }
  EXPECT_FALSE(std::filesystem::exists(sandbox.Folder()));
}

TEST_F(RegistryTest, AbsentValueGivesDefaultAndIsStoredUnlessTold) {
  SetTraceMask(0);
  int32_t value = 0;
  EXPECT_EQ(0, ReadFromRegistry("HKCU\\Software\\T", "Kept", value, 12, 1));
  EXPECT_EQ(12, value);
  DWORD type = 0;
  std::string bytes;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Raw(HKEY_CURRENT_USER, "Software\\T", "Kept", &type, &bytes));

  EXPECT_EQ(0, ReadFromRegistry("HKCU\\Software\\T", "Stored", value, 12, 0));
  EXPECT_EQ(12, value);
  ASSERT_EQ(0, Raw(HKEY_CURRENT_USER, "Software\\T", "Stored", &type, &bytes));
  EXPECT_EQ(REG_DWORD, type);
  EXPECT_EQ(std::string("\x0c\0\0\0", 4), bytes);

  double d = 0;
  ReadFromRegistry("HKCU\\Software\\T", "Ratio", d, 1.0 / 3.0, 0);
  ASSERT_EQ(0, Raw(HKEY_CURRENT_USER, "Software\\T", "Ratio", &type, &bytes));
  EXPECT_EQ(std::string("0.3333333333333333", 19), bytes);  // 16 significant digits

  CString cs;
  ReadFromRegistry("HKCU\\Software\\T", "Name", cs, "Default name", 0);
  EXPECT_EQ("Default name", cs);
  ASSERT_EQ(0, Raw(HKEY_CURRENT_USER, "Software\\T", "Name", &type, &bytes));
  EXPECT_EQ(std::string("Default name", 13), bytes);
}

// The default is stored only where no value is: not over one another
// process stored between the read and the write, and not when the store
// could not be read (busy), which is tried again instead. The trace line of
// a failed read is the moment between the two.
TEST_F(RegistryTest, ADefaultNeverReplacesAStoredValue) {
  SetTraceMask(TRACE_REGISTRY);
  std::function<void()> between;
  DebugOutputHook previous = SetDebugOutputHook([&](const char* line) {
    if (between && std::strstr(line, "ReadFromRegistry(Key=HKCU\\Software\\T") != nullptr &&
        std::strstr(line, ") error ") != nullptr)
      std::exchange(between, nullptr)();
  });
  DWORD type = 0;
  std::string bytes;

  // Another process stores the setting while this one finds it absent.
  between = [] { WriteToRegistry("HKCU\\Software\\T", "Raced", int32_t{42}); };
  int32_t value = 0;
  ReadFromRegistry("HKCU\\Software\\T", "Raced", value, 7);
  EXPECT_EQ(7, value);  // absent when read
  ASSERT_EQ(0, Raw(HKEY_CURRENT_USER, "Software\\T", "Raced", &type, &bytes));
  EXPECT_EQ(std::string("\x2a\0\0\0", 4), bytes);

  // Another process holds the store past the busy timeout, then lets go.
  ASSERT_EQ(0, WriteToRegistry("HKCU\\Software\\T", "Held", "stored"));
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(sandbox.UserHive().c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
  registry_store::SetBusyTimeout(50);
  between = [other] { sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr); };
  std::string text;
  ReadFromRegistry("HKCU\\Software\\T", "Held", text, "default");
  EXPECT_EQ("stored", text);  // read again once free

  // Held for good: the default is used, the value stays.
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
  ReadFromRegistry("HKCU\\Software\\T", "Held", text, "default");
  EXPECT_EQ("default", text);
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr));
  sqlite3_close(other);
  registry_store::SetBusyTimeout(10000);
  SetDebugOutputHook(previous);
  ASSERT_EQ(0, Raw(HKEY_CURRENT_USER, "Software\\T", "Held", &type, &bytes));
  EXPECT_EQ(std::string("stored", 7), bytes);
}

TEST_F(RegistryTest, IntegerReaderTakesOnlyAFourByteNumberAndKeepsOtherValues) {
  SetTraceMask(0);
  struct Case {
    const char* name;
    DWORD type;
    std::string bytes;
  } cases[] = {
      {"OneByte", REG_DWORD, std::string("\x10", 1)}, {"ThreeBytes", REG_DWORD, std::string("\x10\x04\x00", 3)},
      {"Text", REG_SZ, std::string("1040", 5)},       {"Binary", REG_BINARY, std::string("\x10\x04\0\0", 4)},
      {"Long", REG_BINARY, std::string(100, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PutRaw(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", c.name, c.type, c.bytes);
    uint32_t value = 1;
    EXPECT_EQ(0, ReadFromRegistry("HKLM\\SOFTWARE\\T", c.name, value, 0u, 0));
    EXPECT_EQ(0u, value);
    DWORD type = 0;
    std::string bytes;
    ASSERT_EQ(0, Raw(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", c.name, &type, &bytes));
    EXPECT_EQ(c.type, type);  // not overwritten by the default
    EXPECT_EQ(c.bytes, bytes);
  }
}

TEST_F(RegistryTest, StringReadersStayInsideValueAndBuffer) {
  SetTraceMask(0);
  // Stored without its terminator, followed in memory by nothing of ours.
  PutRaw(HKEY_CURRENT_USER, "Software\\T", "Bare", REG_SZ, "abcdef");
  std::string ss = "x";
  ReadFromRegistry("HKCU\\Software\\T", "Bare", ss, "dflt", 1);
  EXPECT_EQ("abcdef", ss);

  char small[4];
  memset(small, 0x7F, sizeof small);
  ReadFromRegistry("HKCU\\Software\\T", "Bare", small, sizeof small, "dflt", 1);
  EXPECT_STREQ("abc", small);
  memset(small, 0x7F, sizeof small);
  ReadFromRegistry("HKCU\\Software\\T", "Missing", small, sizeof small, "long default", 1);
  EXPECT_STREQ("lon", small);

  // A text of exactly the reader's 4096 bytes (terminator included) is read
  // whole; one byte more gives the default and stays as it is.
  const std::string full(4095, 'f');
  PutRaw(HKEY_CURRENT_USER, "Software\\T", "Full", REG_SZ, full + '\0');
  PutRaw(HKEY_CURRENT_USER, "Software\\T", "Over", REG_SZ, full + "f" + '\0');
  ss.clear();
  ReadFromRegistry("HKCU\\Software\\T", "Full", ss, "dflt", 1);
  EXPECT_EQ(full, ss);
  ReadFromRegistry("HKCU\\Software\\T", "Over", ss, "dflt", 1);
  EXPECT_EQ("dflt", ss);
  const std::string number = "2.5" + std::string(252, ' ');  // 256 bytes with its terminator
  PutRaw(HKEY_CURRENT_USER, "Software\\T", "Number", REG_SZ, number + '\0');
  double d = 0;
  ReadFromRegistry("HKCU\\Software\\T", "Number", d, 1.0, 1);
  EXPECT_EQ(2.5, d);

  std::string huge(5000, 'h');
  PutRaw(HKEY_CURRENT_USER, "Software\\T", "Huge", REG_SZ, huge + '\0');
  CString cs;
  ReadFromRegistry("HKCU\\Software\\T", "Huge", cs, "dflt", 0);
  EXPECT_EQ("dflt", cs);
  DWORD type = 0;
  std::string bytes;
  ASSERT_EQ(0, Raw(HKEY_CURRENT_USER, "Software\\T", "Huge", &type, &bytes));
  EXPECT_EQ(huge + '\0', bytes);
}

TEST_F(RegistryTest, TraceLinesFollowTheirMaskBits) {
  struct Case {
    DWORD mask;
    bool errors;
    bool results;
  } cases[] = {{0, false, false}, {0x0F, true, false}, {0x400, false, true}, {0x10, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    SetTraceMask(c.mask);
    DebugOutputCapture capture;
    char buffer[8];
    DWORD size = sizeof buffer;
    ReadFromRegistry("HKLM\\SOFTWARE\\Nowhere", "v", buffer, &size);
    WriteToRegistry("HKLM\\SOFTWARE\\Here", "v", int32_t{1});
    size = sizeof buffer;
    ReadFromRegistry("HKLM\\SOFTWARE\\Here", "v", buffer, &size);
    WriteToRegistry("bad\\x", "v", int32_t{1});
    const std::string text = capture.Text();
    EXPECT_EQ(c.errors, text.find("ReadFromRegistry() - ERROR opening the registry key!!\n") != std::string::npos);
    EXPECT_EQ(c.errors, text.find("WriteToRegistry(key=bad\\x, ValueName=v) - ERROR 1 creating/opening the "
                                  "registry key...\n") != std::string::npos);
    EXPECT_EQ(c.results,
              text.find("ReadFromRegistry(Key=HKLM\\SOFTWARE\\Nowhere, value=v) error 2\n") != std::string::npos);
    EXPECT_EQ(c.results,
              text.find("ReadFromRegistry(Key=HKLM\\SOFTWARE\\Here, value=v) success\n") != std::string::npos);
    EXPECT_EQ(c.results, text.find("WriteToRegistry(key=HKLM\\SOFTWARE\\Here, ValueName=v)\n") != std::string::npos);
    if (c.mask == 0 || c.mask == 0x10) {
      EXPECT_EQ("", text);
    }
  }
}

// Faults of the store itself are reported whatever the mask, as trace lines
// of the component.
TEST_F(RegistryTest, StoreFaultsAreTracedWithThePrefixUnderAnyMask) {
  std::filesystem::create_directories(sandbox.Folder());
  { std::ofstream(sandbox.UserHive(), std::ios::binary) << std::string(4096, 'x'); }  // not a database
  ASSERT_EQ(0, WriteToRegistry("HKLM\\SOFTWARE\\T", "v", int32_t{1}));
  ASSERT_EQ(0, chmod(sandbox.MachineHive().c_str(), 0444));

  SetSystemTimeSourceForTesting([](SYSTEMTIME* t) { *t = SYSTEMTIME{2026, 12, 3, 9, 9, 5, 3, 7}; });
  SetProcessIdForTesting(0x1A2C);
  SetTraceMask(0);
  DebugOutputCapture capture;
  int32_t value = 5;
  g_TraceCounter = 3;
  ReadFromRegistry("HKCU\\Software\\T", "v", value, 9, 1);
  EXPECT_EQ(9, value);
  EXPECT_NE(0, WriteToRegistry("HKLM\\SOFTWARE\\T", "v", int32_t{2}));
  SetProcessIdForTesting(0);
  SetSystemTimeSourceForTesting(nullptr);

  const std::string text = capture.Text();
  EXPECT_EQ(0u, text.find("<09:05:03.007>(0x1A2C):3: Registry store " + sandbox.UserHive() + ", ERROR: ")) << text;
  EXPECT_NE(std::string::npos,
            text.find("\n<09:05:03.007>(0x1A2C):4: Registry store " + sandbox.MachineHive() + ", ERROR: read-only"))
      << text;
  EXPECT_EQ(2, capture.Lines());
  EXPECT_EQ('\n', text.back());
}

TEST_F(RegistryTest, TransferMovesTableRowsAndSkipsBadRows) {
  CWinApp app("Transfer Test");
  int frames = 0, level = 0, bad = 5;
  CString name;
  const REGPARA table[] = {
      {"Frames", REGPARA_INT, &frames, nullptr, 480, nullptr},
      {"Broken", 2, &bad, nullptr, 1, "x"},
      {"Name", REGPARA_STRING, nullptr, &name, 0, "Speech"},
      {"Level", REGPARA_INT, &level, nullptr, -26, nullptr},
      {nullptr, 0, nullptr, nullptr, 0, nullptr},
  };

  SetTraceMask(TRACE_ORDINARY);
  DebugOutputCapture capture;
  TransferRegistryTable(1, "Measure", table);  // nothing stored yet: the defaults
  EXPECT_EQ(480, frames);
  EXPECT_EQ("Speech", name);
  EXPECT_EQ(-26, level);
  EXPECT_EQ(5, bad);
  EXPECT_EQ(1, capture.Lines());
  EXPECT_NE(std::string::npos,
            capture.Text().find("CMsystem::RegistryTransfer(), ERROR: Illegal registry parameter type (2)!\n"));

  frames = 960;
  name = "Music";
  level = 3;
  TransferRegistryTable(0, "Measure", table);
  frames = 0;
  name.Empty();
  level = 0;
  TransferRegistryTable(1, "Measure", table);
  EXPECT_EQ(960, frames);
  EXPECT_EQ("Music", name);
  EXPECT_EQ(3, level);
  EXPECT_EQ(480u, app.GetProfileInt("Other", "Frames", 480));  // sections are separate

  const REGPARA empty[] = {{nullptr, 0, nullptr, nullptr, 0, nullptr}};
  capture.Clear();
  TransferRegistryTable(1, "Measure", empty);
  EXPECT_EQ(0, capture.Lines());
}

TEST_F(RegistryTest, TransferRowsWithoutAVariableAreTracedAndSkipped) {
  CWinApp app("Transfer Test");
  int level = 0;
  const REGPARA table[] = {
      {"Frames", REGPARA_INT, nullptr, nullptr, 480, nullptr},
      {"Name", REGPARA_STRING, nullptr, nullptr, 0, "Speech"},
      {"Level", REGPARA_INT, &level, nullptr, -26, nullptr},
      {nullptr, 0, nullptr, nullptr, 0, nullptr},
  };
  SetTraceMask(TRACE_ERRORS);
  for (int read : {1, 0}) {
    SCOPED_TRACE(read);
    DebugOutputCapture capture;
    TransferRegistryTable(read, "Measure", table);
    EXPECT_EQ(-26, level);  // the rows after them still move
    EXPECT_EQ(2, capture.Lines());
    EXPECT_NE(std::string::npos, capture.Text().find("ERROR: no variable for entry Frames!\n"));
    EXPECT_NE(std::string::npos, capture.Text().find("ERROR: no variable for entry Name!\n"));
  }
  EXPECT_EQ(12345u, app.GetProfileInt("Measure", "Frames", 12345));  // nothing stored for them
  EXPECT_EQ(-26, static_cast<int>(app.GetProfileInt("Measure", "Level", 0)));
}

TEST_F(RegistryTest, TransferWithoutApplicationIsTracedAndDoesNothing) {
  ASSERT_EQ(nullptr, AfxGetApp());
  int frames = 7;
  const REGPARA table[] = {
      {"Frames", REGPARA_INT, &frames, nullptr, 480, nullptr},
      {nullptr, 0, nullptr, nullptr, 0, nullptr},
  };
  SetTraceMask(TRACE_ERRORS);
  DebugOutputCapture capture;
  TransferRegistryTable(1, "Measure", table);
  EXPECT_EQ(7, frames);
  EXPECT_EQ(1, capture.Lines());
  EXPECT_NE(std::string::npos, capture.Text().find("no application object"));
  capture.Clear();
  TransferRegistryTable(0, "Measure", table);  // writing without a profile: nothing at all
  EXPECT_EQ(0, capture.Lines());
  EXPECT_FALSE(std::filesystem::exists(sandbox.UserHive()));
}

}  // namespace
