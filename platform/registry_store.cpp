#include "platform/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#include "platform/registry_folder.h"
#include "platform/trace_line.h"

namespace registry_store {
namespace {

std::atomic<int> g_busyTimeoutMs{10000};

// A fault of the store itself: reported whatever the trace mask, with the
// component's trace prefix.
void Trace(const std::string& file, const std::string& what) {
  WriteComponentTraceLine("Registry store %s, ERROR: %s\n", file.c_str(), what.c_str());
}

std::string HomeFolder() {
  const char* home = getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid())) return entry->pw_dir;
  return "/tmp";
}

std::string FolderOf(const std::string& file) { return std::filesystem::path(file).parent_path().string(); }

// Makes the hive's folder and those above it that are missing, closed to
// others whatever the umask.
std::string MakeFolder(const std::string& file) {
  std::filesystem::path made;
  for (const auto& part : std::filesystem::path(FolderOf(file))) {
    made /= part;
    if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
      return "cannot create the registry folder " + made.string() + ": " + strerror(errno);
  }
  return {};
}

// A connection closed on every path out.
class Connection {
 public:
  ~Connection() {
    if (m_db != nullptr) sqlite3_close_v2(m_db);
  }
  bool Open(const HiveFolder& folder, int flags) {
    // A link in the hive's place is not followed.
    int rc = sqlite3_open_v2(folder.SqliteName().c_str(), &m_db, flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                             folder.SqliteVfs());
    if (rc != SQLITE_OK) return false;
    sqlite3_busy_timeout(m_db, g_busyTimeoutMs.load());
    sqlite3_extended_result_codes(m_db, 1);
    return true;
  }
  sqlite3* db() const { return m_db; }
  std::string Error() const { return m_db != nullptr ? sqlite3_errmsg(m_db) : "cannot open"; }
  bool Exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

 private:
  sqlite3* m_db = nullptr;
};

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
  ~Statement() { sqlite3_finalize(m_stmt); }
  bool Ok() const { return m_rc == SQLITE_OK; }
  void Bind(int index, const std::string& text) {
    sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void Bind(int index, int64_t number) { sqlite3_bind_int64(m_stmt, index, number); }
  void BindBlob(int index, const std::vector<uint8_t>& data) {
    sqlite3_bind_blob(m_stmt, index, data.empty() ? "" : static_cast<const void*>(data.data()),
                      static_cast<int>(data.size()), SQLITE_TRANSIENT);
  }
  int Step() { return sqlite3_step(m_stmt); }
  sqlite3_stmt* get() const { return m_stmt; }

 private:
  sqlite3_stmt* m_stmt = nullptr;
  int m_rc = SQLITE_ERROR;
};

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys(path TEXT NOT NULL PRIMARY KEY COLLATE NOCASE);"
    "CREATE TABLE IF NOT EXISTS reg_values(key TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, name));";

bool MissingTable(const Connection& db) { return strncmp(sqlite3_errmsg(db.db()), "no such table", 13) == 0; }

// Opens a hive for reading (`folder` must outlive `db`); ERROR_FILE_NOT_FOUND
// when it does not exist, ERROR_READ_FAULT when it cannot be opened.
LONG OpenForRead(const std::string& file, HiveFolder* folder, Connection* db) {
  if (const std::string why = folder->Open(file); !why.empty()) {
    Trace(file, "not read: " + why);
    return ERROR_READ_FAULT;
  }
  if (!folder->HiveExists()) return ERROR_FILE_NOT_FOUND;
  int flags = folder->HiveWritable() ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  if (!db->Open(*folder, flags)) {
    Trace(file, "cannot open for reading: " + db->Error());
    return ERROR_READ_FAULT;
  }
  return ERROR_SUCCESS;
}

// A read that failed with SQLite's `code`: busy (another process holds the
// hive past the timeout) or a fault.
LONG FailedRead(const std::string& file, const Connection& db, int code) {
  Trace(file, "cannot read: " + db.Error());
  const int primary = code & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? ERROR_BUSY : ERROR_READ_FAULT;
}

// A query that could not be prepared: absent when the hive has no tables
// yet (nothing was ever written), else a failure.
LONG UnpreparedRead(const std::string& file, const Connection& db) {
  if (MissingTable(db)) return ERROR_FILE_NOT_FOUND;
  return FailedRead(file, db, sqlite3_errcode(db.db()));
}

// A query step that gave no row: absent when it ran to its end, else a failure.
LONG RowlessRead(const std::string& file, const Connection& db, int step) {
  return step == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : FailedRead(file, db, step);
}

// Runs `work` in one immediate transaction on a writable hive.
template <typename Work>
LONG WriteTransaction(const std::string& file, const char* operation, Work work) {
  if (!HiveWritable(file)) {
    Trace(file, std::string("read-only, cannot ") + operation);
    return ERROR_ACCESS_DENIED;
  }
  HiveFolder folder;
  std::string why = MakeFolder(file);
  if (why.empty()) why = folder.Open(file);
  if (!why.empty()) {
    Trace(file, std::string("cannot ") + operation + ": " + why);
    return ERROR_ACCESS_DENIED;
  }
  // Judged again in the folder that will be written.
  if (!folder.HiveWritable()) {
    Trace(file, std::string("read-only, cannot ") + operation);
    return ERROR_ACCESS_DENIED;
  }
  Connection db;
  if (!db.Open(folder, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) {
    Trace(file, std::string("cannot open to ") + operation + ": " + db.Error());
    return ERROR_ACCESS_DENIED;
  }
  if (!db.Exec("BEGIN IMMEDIATE")) {
    Trace(file, std::string("cannot ") + operation + ": " + db.Error());
    return ERROR_ACCESS_DENIED;
  }
  LONG result = ERROR_ACCESS_DENIED;
  if (!db.Exec(kSchema)) {
    Trace(file, std::string("cannot ") + operation + ": " + db.Error());
  } else {
    result = work(db);
  }
  if (result == ERROR_SUCCESS && !db.Exec("COMMIT")) {
    Trace(file, std::string("cannot commit ") + operation + ": " + db.Error());
    result = ERROR_ACCESS_DENIED;
  }
  if (result != ERROR_SUCCESS) db.Exec("ROLLBACK");
  return result;
}

// Inserts the key and every key above it, as creating a key does.
bool InsertKeyChain(Connection& db, const std::string& path, bool* created) {
  Statement insert(db.db(), "INSERT OR IGNORE INTO reg_keys(path) VALUES(?)");
  if (!insert.Ok()) return false;
  bool any = false;
  size_t at = 0;
  while (!path.empty()) {
    at = path.find('\\', at);
    std::string prefix = path.substr(0, at);
    sqlite3_reset(insert.get());
    insert.Bind(1, prefix);
    if (insert.Step() != SQLITE_DONE) return false;
    if (at == std::string::npos) {
      any = sqlite3_changes(db.db()) > 0;
      break;
    }
    ++at;
  }
  if (created != nullptr) *created = any;
  return true;
}

}  // namespace

std::string Folder() {
  const char* configured = getenv("VANTREL_REGISTRY");
  if (configured != nullptr && *configured != '\0') return configured;
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg != '\0') return std::string(xdg) + "/vantrel";
  return HomeFolder() + "/.config/vantrel";
}

std::string HiveFile(int hive) {
  return Folder() + (hive == kLocalMachineHive ? "/HKEY_LOCAL_MACHINE.db" : "/HKEY_CURRENT_USER.db");
}

bool HiveWritable(const std::string& file) {
  struct stat info {};
  if (stat(file.c_str(), &info) != 0) return errno == ENOENT;
  return (info.st_mode & 0222) != 0 && access(file.c_str(), W_OK) == 0;
}

void SetBusyTimeout(int milliseconds) { g_busyTimeoutMs.store(milliseconds > 0 ? milliseconds : 0); }

namespace {

// A hive's connection for reading, kept for the process once a read found
// its tables, so that the reads of a run open and judge the hive once. It
// still sees every write at once: SQLite checks the file for changes at the
// start of each read. It serves while the hive's name still leads to the
// file it opened, in the process that opened it.
struct KeptReader {
  std::mutex lock;  // one read at a time on the connection
  HiveFolder folder;
  Connection db;
  pid_t process = 0;
  dev_t device = 0;
  ino_t inode = 0;
};

std::mutex g_readersLock;
std::map<std::string, std::shared_ptr<KeptReader>>& KeptReaders() {
  static auto* readers = new std::map<std::string, std::shared_ptr<KeptReader>>;  // outlives static destructors
  return *readers;
}

// Readers a forked child inherited, never used or closed there.
std::vector<std::shared_ptr<KeptReader>>& ForkedReaders() {
  static auto* readers = new std::vector<std::shared_ptr<KeptReader>>;
  return *readers;
}

// Runs `query` (Connection&, bool* keep) -> LONG on a reader of the hive
// `file`; the hive found by the name `named` (lstat). `query` sets *keep
// when the hive has its tables.
template <typename Query>
LONG Read(const std::string& file, const struct stat& named, Query query) {
  std::shared_ptr<KeptReader> reader;
  {
    std::lock_guard<std::mutex> guard(g_readersLock);
    auto it = KeptReaders().find(file);
    if (it != KeptReaders().end()) {
      const KeptReader& kept = *it->second;
      if (kept.process == getpid() && kept.device == named.st_dev && kept.inode == named.st_ino) {
        reader = it->second;
      } else {
        // A forked child leaves the parent's connection as it is, unclosed.
        if (kept.process != getpid()) ForkedReaders().push_back(it->second);
        KeptReaders().erase(it);
      }
    }
  }
  bool keep = false;
  if (reader != nullptr) {
    std::lock_guard<std::mutex> guard(reader->lock);
    const LONG rc = query(reader->db, &keep);
    if (keep) return rc;
    std::lock_guard<std::mutex> readers(g_readersLock);
    KeptReaders().erase(file);
    return rc;
  }
  reader = std::make_shared<KeptReader>();
  if (LONG rc = OpenForRead(file, &reader->folder, &reader->db); rc != ERROR_SUCCESS) return rc;
  const LONG rc = query(reader->db, &keep);
  struct stat opened {};
  if (keep && lstat(file.c_str(), &opened) == 0 && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
    reader->process = getpid();
    reader->device = named.st_dev;
    reader->inode = named.st_ino;
    std::lock_guard<std::mutex> guard(g_readersLock);
    KeptReaders()[file] = std::move(reader);
  }
  return rc;
}

}  // namespace

LONG KeyExists(const std::string& file, const std::string& path) {
  if (path.empty()) return ERROR_SUCCESS;  // the hive's root always exists
  // Looked for by name first, so that an absent store traces nothing.
  struct stat named {};
  if (lstat(file.c_str(), &named) != 0) return ERROR_FILE_NOT_FOUND;
  return Read(file, named, [&](Connection& db, bool* keep) -> LONG {
    Statement query(db.db(), "SELECT 1 FROM reg_keys WHERE path = ?");
    if (!query.Ok()) return UnpreparedRead(file, db);
    query.Bind(1, path);
    int step = query.Step();
    *keep = step == SQLITE_ROW || step == SQLITE_DONE;
    return step == SQLITE_ROW ? ERROR_SUCCESS : RowlessRead(file, db, step);
  });
}

LONG ReadValue(const std::string& file, const std::string& path, const std::string& name, Value* out) {
  struct stat named {};
  if (lstat(file.c_str(), &named) != 0) return ERROR_FILE_NOT_FOUND;
  return Read(file, named, [&](Connection& db, bool* keep) -> LONG {
    Statement query(db.db(), "SELECT type, data FROM reg_values WHERE key = ? AND name = ?");
    if (!query.Ok()) return UnpreparedRead(file, db);
    query.Bind(1, path);
    query.Bind(2, name);
    int step = query.Step();
    *keep = step == SQLITE_ROW || step == SQLITE_DONE;
    if (step != SQLITE_ROW) return RowlessRead(file, db, step);
    out->type = static_cast<DWORD>(sqlite3_column_int64(query.get(), 0));
    const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(query.get(), 1));
    int length = sqlite3_column_bytes(query.get(), 1);
    out->data.assign(bytes, bytes + (bytes != nullptr && length > 0 ? length : 0));
    return ERROR_SUCCESS;
  });
}

LONG CreateKey(const std::string& file, const std::string& path, bool* created) {
  return WriteTransaction(file, "create a key", [&](Connection& db) -> LONG {
    if (!InsertKeyChain(db, path, created)) {
      Trace(file, "cannot create key: " + db.Error());
      return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
  });
}

namespace {

// Stores the value by `sql` (an INSERT of key, name, type, data) in one
// transaction; `kept` (may be null) is set when the insert changed nothing.
LONG InsertValue(const std::string& file, const std::string& path, const std::string& name, const Value& value,
                 const char* sql, bool* kept) {
  return WriteTransaction(file, "write a value", [&](Connection& db) -> LONG {
    Statement write(db.db(), sql);
    if (!InsertKeyChain(db, path, nullptr) || !write.Ok()) {
      Trace(file, "cannot write value: " + db.Error());
      return ERROR_ACCESS_DENIED;
    }
    write.Bind(1, path);
    write.Bind(2, name);
    write.Bind(3, static_cast<int64_t>(value.type));
    write.BindBlob(4, value.data);
    if (write.Step() != SQLITE_DONE) {
      Trace(file, "cannot write value: " + db.Error());
      return ERROR_ACCESS_DENIED;
    }
    if (kept != nullptr) *kept = sqlite3_changes(db.db()) == 0;
    return ERROR_SUCCESS;
  });
}

}  // namespace

LONG WriteValue(const std::string& file, const std::string& path, const std::string& name, const Value& value) {
  return InsertValue(file, path, name, value,
                     "INSERT OR REPLACE INTO reg_values(key, name, type, data) VALUES(?, ?, ?, ?)", nullptr);
}

LONG WriteValueIfAbsent(const std::string& file, const std::string& path, const std::string& name, const Value& value) {
  bool kept = false;
  const LONG rc = InsertValue(file, path, name, value,
                              "INSERT OR IGNORE INTO reg_values(key, name, type, data) VALUES(?, ?, ?, ?)", &kept);
  return rc == ERROR_SUCCESS && kept ? ERROR_ALREADY_EXISTS : rc;
}

}  // namespace registry_store
