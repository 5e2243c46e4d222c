#include "platform/registry.h"

#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/registry_store.h"

// An open key: its hive, its normalised path and the access it was opened with.
struct HKEY__ {
  int hive;
  std::string path;
  REGSAM access;
};

namespace {

constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

std::mutex g_keysLock;
std::unordered_set<HKEY__*>& OpenKeys() {
  static auto* keys = new std::unordered_set<HKEY__*>;
  return *keys;
}

// Copies the key's state; false for an unknown handle.
bool Resolve(HKEY key, HKEY__* out) {
  if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) {
    *out = HKEY__{key == HKEY_LOCAL_MACHINE ? registry_store::kLocalMachineHive : registry_store::kCurrentUserHive, "",
                  KEY_ALL_ACCESS};
    return true;
  }
  std::lock_guard<std::mutex> guard(g_keysLock);
  if (OpenKeys().count(key) == 0) return false;
  *out = *key;
  return true;
}

// "a\\b\\\\c\\" below "x" -> "x\\a\\b\\c": empty segments dropped.
std::string JoinPath(const std::string& base, const char* subKey) {
  std::string path = base;
  const char* p = subKey != nullptr ? subKey : "";
  while (*p != '\0') {
    while (*p == '\\') ++p;
    const char* end = p;
    while (*end != '\0' && *end != '\\') ++end;
    if (end > p) {
      if (!path.empty()) path += '\\';
      path.append(p, end);
    }
    p = end;
  }
  return path;
}

HKEY NewKey(int hive, std::string path, REGSAM access) {
  auto* key = new HKEY__{hive, std::move(path), access};
  std::lock_guard<std::mutex> guard(g_keysLock);
  OpenKeys().insert(key);
  return key;
}

std::string FileOf(int hive) { return registry_store::HiveFile(hive); }

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM access, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  HKEY__ base{};
  if (!Resolve(key, &base)) return ERROR_INVALID_HANDLE;
  std::string path = JoinPath(base.path, subKey);
  const std::string file = FileOf(base.hive);
  if (LONG rc = registry_store::KeyExists(file, path); rc != ERROR_SUCCESS) return rc;
  if ((access & kWriteAccess) != 0 && !registry_store::HiveWritable(file)) return ERROR_ACCESS_DENIED;
  *result = NewKey(base.hive, std::move(path), access);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM access, void*, PHKEY result,
                     DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  HKEY__ base{};
  if (!Resolve(key, &base)) return ERROR_INVALID_HANDLE;
  std::string path = JoinPath(base.path, subKey);
  const std::string file = FileOf(base.hive);
  bool created = false;
  bool exists = registry_store::KeyExists(file, path) == ERROR_SUCCESS;
  bool refused = exists && (access & kWriteAccess) != 0 && !registry_store::HiveWritable(file);
  if (!exists || refused) {
    // Creating, or opening a read-only hive for writing (refused and traced there).
    if (LONG rc = registry_store::CreateKey(file, path, &created); rc != ERROR_SUCCESS) return rc;
  }
  if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewKey(base.hive, std::move(path), access);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  HKEY__ target{};
  if (!Resolve(key, &target)) return ERROR_INVALID_HANDLE;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  if ((target.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  registry_store::Value value;
  LONG rc = registry_store::ReadValue(FileOf(target.hive), target.path, valueName != nullptr ? valueName : "", &value);
  if (rc != ERROR_SUCCESS) return rc;
  if (type != nullptr) *type = value.type;
  const DWORD length = static_cast<DWORD>(value.data.size());
  if (data != nullptr) {
    if (*size < length) {
      *size = length;
      return ERROR_MORE_DATA;
    }
    if (length > 0) memcpy(data, value.data.data(), length);
  }
  if (size != nullptr) *size = length;
  return ERROR_SUCCESS;
}

namespace {

// RegSetValueExA and RegSetValueIfAbsentA: the checks, then `write`.
template <typename Write>
LONG SetValue(HKEY key, const char* valueName, DWORD type, const BYTE* data, DWORD size, Write write) {
  HKEY__ target{};
  if (!Resolve(key, &target)) return ERROR_INVALID_HANDLE;
  if (data == nullptr && size > 0) return ERROR_INVALID_PARAMETER;
  if ((target.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  registry_store::Value value;
  value.type = type;
  if (size > 0) value.data.assign(data, data + size);
  return write(FileOf(target.hive), target.path, std::string(valueName != nullptr ? valueName : ""), value);
}

}  // namespace

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  return SetValue(key, valueName, type, data, size, registry_store::WriteValue);
}

LONG RegSetValueIfAbsentA(HKEY key, const char* valueName, DWORD type, const BYTE* data, DWORD size) {
  return SetValue(key, valueName, type, data, size, registry_store::WriteValueIfAbsent);
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  {
    std::lock_guard<std::mutex> guard(g_keysLock);
    if (OpenKeys().erase(key) == 0) return ERROR_INVALID_HANDLE;
  }
  delete key;
  return ERROR_SUCCESS;
}

std::string RegistryStoreFolder() { return registry_store::Folder(); }

std::string RegistryHiveFile(HKEY hive) {
  HKEY__ target{};
  if (!Resolve(hive, &target)) return {};
  return FileOf(target.hive);
}

