// Internal: one hive database of the registry store. The hive's folder
// must be the user's own and closed to other writers (it is made 0700
// whatever the umask), and a link in a hive's place is not followed: a
// hive another user could plant or redirect is neither read nor written,
// also when a folder above it is theirs (registry_folder.h).
// Writes open the hive's SQLite file per operation; reads keep one
// connection per hive for the process once it has its tables (SQLite looks
// for other processes' writes at the start of every read, so they are seen
// at once). Both with a busy timeout so concurrent writers queue instead of
// failing.
// Every problem is traced on the debugger output with the file's name,
// whatever the trace mask, since it concerns the store itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wintypes.h"

namespace registry_store {

constexpr int kCurrentUserHive = 1;
constexpr int kLocalMachineHive = 2;

std::string Folder();
std::string HiveFile(int hive);

struct Value {
  DWORD type = 0;
  std::vector<uint8_t> data;
};

// Reads: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND for an absent key/value (or
// hive); for a hive that is there but cannot be read (traced) ERROR_BUSY
// when another process holds it past the busy timeout, else
// ERROR_READ_FAULT (corrupt, unreadable): a value that may be there is
// never reported absent.
LONG KeyExists(const std::string& file, const std::string& path);
LONG ReadValue(const std::string& file, const std::string& path, const std::string& name, Value* out);

// Writes, one transaction each: ERROR_SUCCESS, or ERROR_ACCESS_DENIED for a
// hive that cannot be written (read-only, locked, corrupt; traced).
LONG CreateKey(const std::string& file, const std::string& path, bool* created);
LONG WriteValue(const std::string& file, const std::string& path, const std::string& name, const Value& value);
// Writes the value only when the key has no value of that name, in the same
// transaction as the look: ERROR_SUCCESS when written, ERROR_ALREADY_EXISTS
// when a value was there (it stays), else as WriteValue.
LONG WriteValueIfAbsent(const std::string& file, const std::string& path, const std::string& name, const Value& value);

// True when the hive may be written: the file is absent (and will be
// created) or writable by permission bits. Write bits are honoured even
// for root, so a read-only hive stays read-only for every user.
bool HiveWritable(const std::string& file);

void SetBusyTimeout(int milliseconds);

}  // namespace registry_store
