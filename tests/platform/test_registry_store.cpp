// The registry store: Windows registry semantics over SQLite hive files,
// shared between processes, and safe with files it cannot use.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/registry.h"
#include "platform/registry_store.h"
#include "support/child_process.h"
#include "support/registry_sandbox.h"
#include "support/second_user.h"
#include "support/temp_dir.h"

namespace {

// Store faults are trace lines of the component: "<hh:mm:ss.mmm>(0xPID):n: Registry store ...\n".
bool EveryLineIsAStoreTraceLine(const std::string& text) {
  static const std::regex kLine(
      R"(<\d\d:\d\d:\d\d\.\d{3}>\(0x[0-9A-F]+\):\d+: Registry store [^\n]*, ERROR: [^\n]*\n)");
  std::smatch match;
  for (auto at = text.cbegin(); at != text.cend(); at = match[0].second)
    if (!std::regex_search(at, text.cend(), match, kLine, std::regex_constants::match_continuous)) return false;
  return !text.empty();
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

HKEY Create(HKEY hive, const char* path, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(hive, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr));
  return key;
}

LONG SetDword(HKEY hive, const char* path, const char* name, DWORD value) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(hive, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  return rc;
}

// Returns the query result; the value in *value when it is a 4-byte number.
LONG GetDword(HKEY hive, const char* path, const char* name, DWORD* value) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(hive, path, 0, KEY_QUERY_VALUE, &key);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD type = 0, size = sizeof *value;
  rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (rc == ERROR_SUCCESS && (type != REG_DWORD || size != 4)) return -1;
  return rc;
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  RegistrySandbox sandbox;
};

TEST_F(RegistryStoreTest, ValuesKeepTypeAndBytesAndReportSizes) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Vendor\\App");
  const DWORD number = 0xA1B2C3D4;
  const char text[] = "hello";
  const BYTE raw[3] = {0, 0xFF, 7};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Raw", 0, REG_BINARY, raw, sizeof raw));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Empty", 0, REG_SZ, nullptr, 0));

  struct Case {
    const char* name;
    DWORD type;
    std::vector<BYTE> bytes;
  } cases[] = {
      {"Number", REG_DWORD, {0xD4, 0xC3, 0xB2, 0xA1}},
      {"Text", REG_SZ, {'h', 'e', 'l', 'l', 'o', 0}},
      {"Raw", REG_BINARY, {0, 0xFF, 7}},
      {"Empty", REG_SZ, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DWORD type = 99, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, c.name, nullptr, &type, nullptr, &size));  // size only
    EXPECT_EQ(c.type, type);
    EXPECT_EQ(c.bytes.size(), size);
    BYTE buffer[16];
    memset(buffer, 0xEE, sizeof buffer);
    size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, c.name, nullptr, &type, buffer, &size));
    EXPECT_EQ(c.bytes, std::vector<BYTE>(buffer, buffer + size));
    EXPECT_EQ(0xEE, buffer[size]);  // nothing written past the value
  }

  BYTE small[2] = {0x55, 0x55};
  DWORD size = sizeof small;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Text", nullptr, nullptr, small, &size));
  EXPECT_EQ(6u, size);
  EXPECT_EQ(0x55, small[0]);
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryStoreTest, KeyPathsAndValueNamesIgnoreCase) {
  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\vestran\\TALVO", "DebugTraceLevel", 1));
  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, "software\\VESTRAN\\talvo\\", "DEBUGTRACELEVEL", 2));
  DWORD value = 0;
  EXPECT_EQ(ERROR_SUCCESS, GetDword(HKEY_LOCAL_MACHINE, "Software\\Vestran\\Talvo", "debugtracelevel", &value));
  EXPECT_EQ(2u, value);  // one value, overwritten

  // Creating a key creates the keys above it.
  HKEY parent = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\vestran", 0, KEY_READ, &parent));
  HKEY child = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(parent, "talvo", 0, KEY_READ, &child));
  DWORD size = sizeof value;
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(child, "DebugTraceLevel", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
  RegCloseKey(child);
  RegCloseKey(parent);
}

TEST_F(RegistryStoreTest, AbsentKeysAndValuesAreNotFoundAndReadsCreateNothing) {
  DWORD value = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CURRENT_USER, "Software\\Nothing", "x", &value));
  EXPECT_FALSE(std::filesystem::exists(sandbox.UserHive()));

  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, "Software\\Some", "x", 5));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CURRENT_USER, "Software\\Some", "y", &value));
  // Each hive is its own file.
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_LOCAL_MACHINE, "Software\\Some", "x", &value));
  EXPECT_TRUE(std::filesystem::exists(sandbox.UserHive()));
  EXPECT_FALSE(std::filesystem::exists(sandbox.MachineHive()));
  EXPECT_EQ(sandbox.UserHive(), RegistryHiveFile(HKEY_CURRENT_USER));
}

TEST_F(RegistryStoreTest, BadHandlesAndAccessAreRefused) {
  HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
  DWORD size = 0;
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(bogus, "x", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bogus));

  HKEY writable = Create(HKEY_CURRENT_USER, "Software\\A");
  HKEY readOnly = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_QUERY_VALUE, &readOnly));
  DWORD one = 1;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(readOnly, "x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4));
  BYTE buffer[4];
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(writable, "x", nullptr, nullptr, buffer, nullptr));
  RegCloseKey(readOnly);
  RegCloseKey(writable);
}

TEST_F(RegistryStoreTest, AValueWrittenByOneProcessIsReadByAnother) {
  int child = RunInChild([] { return SetDword(HKEY_CURRENT_USER, "Software\\Shared", "FromChild", 41) == 0 ? 0 : 1; });
  ASSERT_EQ(0, child);
  DWORD value = 0;
  ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, "Software\\Shared", "FromChild", &value));
  EXPECT_EQ(41u, value);

  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, "Software\\Shared", "FromParent", 42));
  EXPECT_EQ(0, RunInChild([] {
              DWORD seen = 0;
              return GetDword(HKEY_CURRENT_USER, "Software\\Shared", "FromParent", &seen) == 0 && seen == 42 ? 0 : 1;
            }));
}

// Reads keep the hive open between them; what they read stays what a fresh
// open would: another process's write, a hive put in the name's place, a
// removed hive, and the same in a forked child.
TEST_F(RegistryStoreTest, ReadsBetweenOpensSeeTheHiveAsItIsNow) {
  const char* key = "Software\\Kept";
  auto read = [&] {
    DWORD value = 0;
    const LONG rc = GetDword(HKEY_CURRENT_USER, key, "v", &value);
    return rc == ERROR_SUCCESS ? static_cast<LONG>(value) : -rc;
  };
  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, key, "v", 1));
  EXPECT_EQ(1, read());
  ASSERT_EQ(0, RunInChild([&] { return SetDword(HKEY_CURRENT_USER, key, "v", 2) == 0 ? 0 : 1; }));
  EXPECT_EQ(2, read());
  EXPECT_EQ(0, RunInChild([&] { return read() == 2 ? 0 : 1; }));
  const std::string other = sandbox.Folder() + "/other.db";
  std::filesystem::copy_file(sandbox.UserHive(), other);
  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, key, "v", 3));
  EXPECT_EQ(3, read());
  ASSERT_EQ(0, rename(other.c_str(), sandbox.UserHive().c_str()));
  EXPECT_EQ(2, read());
  ASSERT_EQ(0, unlink(sandbox.UserHive().c_str()));
  EXPECT_EQ(-ERROR_FILE_NOT_FOUND, read());
}

TEST_F(RegistryStoreTest, ConcurrentWritersFromSeveralProcessesLoseNothing) {
  constexpr int kWriters = 4;
  constexpr int kValuesEach = 30;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    children.push_back(StartChild([w] {
      for (int i = 0; i < kValuesEach; ++i) {
        std::string name = "w" + std::to_string(w) + "_" + std::to_string(i);
        if (SetDword(HKEY_LOCAL_MACHINE, "Software\\Busy", name.c_str(), static_cast<DWORD>(w * 1000 + i)) != 0)
          return 1;
      }
      return 0;
    }));
  }
  for (pid_t child : children) EXPECT_EQ(0, WaitChild(child));
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kValuesEach; ++i) {
      std::string name = "w" + std::to_string(w) + "_" + std::to_string(i);
      DWORD value = 0;
      ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_LOCAL_MACHINE, "Software\\Busy", name.c_str(), &value)) << name;
      EXPECT_EQ(static_cast<DWORD>(w * 1000 + i), value);
    }
  }
}

TEST_F(RegistryStoreTest, CorruptHiveIsTracedAndNeverOverwritten) {
  std::filesystem::create_directories(sandbox.Folder());
  std::string garbage;
  for (int i = 0; i < 200; ++i) garbage += "this is the user's file, not a database. ";
  { std::ofstream(sandbox.UserHive(), std::ios::binary) << garbage; }

  DebugOutputCapture capture;
  DWORD value = 0;
  // Not "absent": a reader must not take the file's place for a missing value.
  EXPECT_EQ(ERROR_READ_FAULT, GetDword(HKEY_CURRENT_USER, "Software\\A", "x", &value));
  EXPECT_NE(std::string::npos, capture.Text().find(sandbox.UserHive())) << capture.Text();
  EXPECT_TRUE(EveryLineIsAStoreTraceLine(capture.Text())) << capture.Text();
  capture.Clear();
  EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(HKEY_CURRENT_USER, "Software\\A", "x", 1));
  EXPECT_NE(std::string::npos, capture.Text().find("ERROR")) << capture.Text();
  EXPECT_EQ(garbage, ReadFileBytes(sandbox.UserHive()));
  // The other hive is unaffected.
  EXPECT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, "Software\\A", "x", 1));
}

TEST_F(RegistryStoreTest, ReadOnlyHiveCanBeReadButNotWritten) {
  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\vestran\\TALVO", "DebugTraceLevel", 7));
  ASSERT_EQ(0, chmod(sandbox.MachineHive().c_str(), 0444));
  const std::string before = ReadFileBytes(sandbox.MachineHive());

  DebugOutputCapture capture;
  DWORD value = 0;
  EXPECT_EQ(ERROR_SUCCESS, GetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\vestran\\TALVO", "DebugTraceLevel", &value));
  EXPECT_EQ(7u, value);
  EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\vestran\\TALVO", "DebugTraceLevel", 8));
  EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "x", 8));
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\vestran", 0, KEY_WRITE, &key));
  EXPECT_NE(std::string::npos, capture.Text().find("read-only")) << capture.Text();
  EXPECT_TRUE(EveryLineIsAStoreTraceLine(capture.Text())) << capture.Text();
  EXPECT_EQ(before, ReadFileBytes(sandbox.MachineHive()));
  EXPECT_EQ(ERROR_SUCCESS, GetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\vestran\\TALVO", "DebugTraceLevel", &value));
  EXPECT_EQ(7u, value);
}

TEST_F(RegistryStoreTest, LockedHiveGivesAccessDeniedAfterTheBusyTimeout) {
  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, "Software\\A", "x", 1));
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(sandbox.UserHive().c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));

  registry_store::SetBusyTimeout(50);
  DebugOutputCapture capture;
  EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(HKEY_CURRENT_USER, "Software\\A", "x", 2));
  EXPECT_NE(std::string::npos, capture.Text().find("locked")) << capture.Text();
  EXPECT_TRUE(EveryLineIsAStoreTraceLine(capture.Text())) << capture.Text();

  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr));
  sqlite3_close(other);
  registry_store::SetBusyTimeout(10000);
  EXPECT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, "Software\\A", "x", 3));
  DWORD value = 0;
  EXPECT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, "Software\\A", "x", &value));
  EXPECT_EQ(3u, value);
}

}  // namespace

namespace {

// The registry folder is the user's own and closed to others: made 0700
// whatever the umask; a folder open to other writers or of another user,
// and a link in a hive's place, are refused before anything is created.
TEST_F(RegistryStoreTest, AFolderOthersCouldPlantInIsRefusedAndANewOneIsClosed) {
  const mode_t previous = umask(0);
  const LONG written = SetDword(HKEY_CURRENT_USER, "Software\\A", "x", 1);
  umask(previous);
  ASSERT_EQ(ERROR_SUCCESS, written);
  struct stat info {};
  ASSERT_EQ(0, stat(sandbox.Folder().c_str(), &info));
  EXPECT_EQ(info.st_mode & 07777, 0700u);

  const std::string elsewhere = sandbox.Folder() + "-target";
  struct Case {
    const char* what;
    std::function<void()> plant;
    const char* says;
  } cases[] = {
      {"a link in the hive's place",
       [&] { std::filesystem::create_symlink(elsewhere + "/created.db", sandbox.MachineHive()); },
       "unable to open database file"},
      {"a folder open to others", [&] { chmod(sandbox.Folder().c_str(), 0777); }, "is open to other writers"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::create_directories(elsewhere);
    c.plant();
    DebugOutputCapture capture;
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(HKEY_LOCAL_MACHINE, "Software\\A", "x", 2));
    DWORD value = 0;
    EXPECT_NE(ERROR_SUCCESS, GetDword(HKEY_LOCAL_MACHINE, "Software\\A", "x", &value));
    EXPECT_NE(std::string::npos, capture.Text().find(c.says)) << capture.Text();
    EXPECT_TRUE(EveryLineIsAStoreTraceLine(capture.Text())) << capture.Text();
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
  }
  chmod(sandbox.Folder().c_str(), 0700);
  std::filesystem::remove_all(elsewhere);
}

// Run as root, the store never writes into a folder another user controls,
// where a planted link would make root create the link's target.
TEST_F(RegistryStoreTest, ARootRunRefusesAFolderAnotherUserControls) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
  const std::string elsewhere = sandbox.Folder() + "-target";
  std::filesystem::create_directories(sandbox.Folder());
  std::filesystem::create_directories(elsewhere);
  std::filesystem::create_symlink(elsewhere + "/created.db", sandbox.UserHive());
  ASSERT_EQ(0, lchown(sandbox.UserHive().c_str(), kNobody, kNobody));
  ASSERT_EQ(0, chown(sandbox.Folder().c_str(), kNobody, kNobody));
  ASSERT_EQ(0, chmod(sandbox.Folder().c_str(), 0755));
  DebugOutputCapture capture;
  EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(HKEY_CURRENT_USER, "Software\\A", "x", 1));
  EXPECT_NE(std::string::npos, capture.Text().find("is not the user's own")) << capture.Text();
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
  std::filesystem::remove_all(elsewhere);
}

// Run as root with the registry folder in a folder another user owns: that
// user exchanges the registry folder with one of their own, holding a hive
// of their making, again and again while root reads and writes its
// settings. Every read gives root's own value or fails, none gives theirs,
// and nothing is written into their hive. Judging the folder by one open
// and then opening the hive by its name again read theirs in 2 to 6 of
// 2000 reads and wrote into their hive in each of 4 tries (2000 reads and
// 200 writes take about a second).
TEST_F(RegistryStoreTest, ARootRunNeverReadsAHiveAnotherUserSwapsIn) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run a second user";
  constexpr int kReads = 2000;
  constexpr DWORD kOwn = 1, kTheirs = 666;
  TempDir base;
  ASSERT_EQ(chmod(base.Path().c_str(), 0711), 0);
  const std::string parent = base.File("theirs");
  const std::string registry = parent + "/registry", other = parent + "/other";
  std::filesystem::create_directory(parent);
  setenv("VANTREL_REGISTRY", other.c_str(), 1);
  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, "Software\\A", "x", kTheirs));
  setenv("VANTREL_REGISTRY", registry.c_str(), 1);
  ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, "Software\\A", "x", kOwn));
  for (const std::string& path : {parent, other, other + "/HKEY_CURRENT_USER.db"})
    ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0) << path;

  const pid_t swapper = StartAsAnotherUser([&] {
    for (;;) renameat2(AT_FDCWD, registry.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE);
    return 0;
  });
  ASSERT_GT(swapper, 0);
  int own = 0, theirs = 0;
  {
    DebugOutputCapture quiet;  // the refused reads are traced
    for (int read = 0; read < kReads; ++read) {
      if (read % 10 == 0) SetDword(HKEY_CURRENT_USER, "Software\\A", "written", kOwn);
      DWORD value = 0;
      if (GetDword(HKEY_CURRENT_USER, "Software\\A", "x", &value) != ERROR_SUCCESS) continue;
      own += value == kOwn;
      theirs += value == kTheirs;
    }
  }
  kill(swapper, SIGKILL);
  WaitChild(swapper);
  EXPECT_EQ(theirs, 0) << "of " << kReads << " reads";
  EXPECT_GT(own, 0);
  // Whichever place their folder ended in, their hive holds their value alone.
  struct stat info {};
  ASSERT_EQ(stat(other.c_str(), &info), 0);
  const std::string theirHive = (info.st_uid == kNobody ? other : registry) + "/HKEY_CURRENT_USER.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(theirHive.c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
  sqlite3_stmt* count = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "SELECT count(*) FROM reg_values", -1, &count, nullptr));
  ASSERT_EQ(SQLITE_ROW, sqlite3_step(count));
  EXPECT_EQ(1, sqlite3_column_int(count, 0));
  sqlite3_finalize(count);
  sqlite3_close(db);
}

}  // namespace
