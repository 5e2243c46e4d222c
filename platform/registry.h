// The registry: a persistent stand-in for the Windows registry kept in
// SQLite. Each hive is its own database file in the registry folder
// (VANTREL_REGISTRY, else $XDG_CONFIG_HOME/vantrel, else ~/.config/vantrel).
// Key paths and value names compare case-insensitively; values keep their
// raw bytes and type. Results are the Windows codes: ERROR_SUCCESS (0),
// ERROR_FILE_NOT_FOUND (2), ERROR_ACCESS_DENIED (5), ERROR_READ_FAULT (30),
// ERROR_BUSY (170), ERROR_ALREADY_EXISTS (183), ERROR_MORE_DATA (234). A
// read-only, locked or corrupt database is traced and behaves as access
// denied (writes), or busy (locked) or a read fault (reads), never as an
// absent value; the file itself is never replaced.
#pragma once

#include <string>

#include "platform/wintypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM access,
                     void* securityAttributes, PHKEY result, DWORD* disposition);
// data null: only type and size. *size in: buffer bytes; out: value bytes.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
// RegSetValueExA for a value only when the key has none of that name, the
// look and the write in one transaction (a default never replaces a value
// another process stored meanwhile): ERROR_ALREADY_EXISTS when one was there.
LONG RegSetValueIfAbsentA(HKEY key, const char* valueName, DWORD type, const BYTE* data, DWORD size);
LONG RegCloseKey(HKEY key);

// The registry folder and a hive's database file, as currently configured.
std::string RegistryStoreFolder();
std::string RegistryHiveFile(HKEY hive);

