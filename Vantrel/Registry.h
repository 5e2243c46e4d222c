// Typed access to registry values on a full key path written as text,
// "<hive>\<subkey path>", the hive being "HKEY_LOCAL_MACHINE" or "HKLM",
// "HKEY_CURRENT_USER" or "HKCU" (exactly so; anything else is result 1).
// The readers fall back to a default, which they store back when the value
// is absent, unless told not to. Results are traced under the trace mask.
#pragma once

#include <cstdint>
#include <string>

#include "platform/CString.h"
#include "platform/wintypes.h"

constexpr LONG REGISTRY_UNKNOWN_HIVE = 1;

// Reads the value's bytes into data (at most *size bytes; *size receives the
// length). Returns 0 or the registry's code (1 unknown hive, 2 not found,
// 5 access denied, 30 the store cannot be read, 170 the store is busy after
// a few tries, 234 buffer too small); on failure *size is 0.
LONG ReadFromRegistry(const char* keyPath, const char* valueName, void* data, DWORD* size);
// The same, also giving the value's registry type (REG_SZ, REG_DWORD, ...).
LONG ReadFromRegistryEx(const char* keyPath, const char* valueName, DWORD* type, void* data, DWORD* size);

// Whether the value exists; traces nothing.
bool RegistryValueExists(const char* keyPath, const char* valueName);

// Creates or opens the key and sets the value with the registry type
// (1 string, 4 32-bit number). Returns 0 or the registry's code (1 unknown hive).
LONG WriteToRegistry(const char* keyPath, const char* valueName, DWORD regType, const void* data, DWORD size);

// Typed readers: (key path, value name, out, default, noWriteBack); always 0.
// A value is taken only when it has the expected type (a 4-byte REG_DWORD
// for integers, REG_SZ text otherwise) and data; else the default is used,
// and written back only when noWriteBack is 0 and the value is really
// absent, still at the write; a store that cannot be read is traced and
// keeps what it holds.
LONG ReadFromRegistry(const char* keyPath, const char* valueName, int32_t& value, int32_t defaultValue,
                      int noWriteBack = 0);
LONG ReadFromRegistry(const char* keyPath, const char* valueName, uint32_t& value, uint32_t defaultValue,
                      int noWriteBack = 0);
LONG ReadFromRegistry(const char* keyPath, const char* valueName, double& value, double defaultValue,
                      int noWriteBack = 0);
LONG ReadFromRegistry(const char* keyPath, const char* valueName, float& value, float defaultValue,
                      int noWriteBack = 0);
// Into the caller's buffer of bufferSize bytes, always terminated.
LONG ReadFromRegistry(const char* keyPath, const char* valueName, char* buffer, DWORD bufferSize,
                      const char* defaultValue, int noWriteBack = 0);
LONG ReadFromRegistry(const char* keyPath, const char* valueName, CString& value, const char* defaultValue,
                      int noWriteBack = 0);
LONG ReadFromRegistry(const char* keyPath, const char* valueName, std::string& value, const char* defaultValue,
                      int noWriteBack = 0);
LONG ReadFromRegistry(const char* keyPath, const char* valueName, std::wstring& value, const wchar_t* defaultValue,
                      int noWriteBack = 0);
LONG ReadFromRegistry(const wchar_t* keyPath, const wchar_t* valueName, int32_t& value, int32_t defaultValue,
                      int noWriteBack = 0);
LONG ReadFromRegistry(const wchar_t* keyPath, const wchar_t* valueName, std::wstring& value,
                      const wchar_t* defaultValue, int noWriteBack = 0);

// Typed writers: integers as 4-byte REG_DWORD, text as REG_SZ with its
// terminator, a double as text with 20 significant digits.
LONG WriteToRegistry(const char* keyPath, const char* valueName, int32_t value);
LONG WriteToRegistry(const char* keyPath, const char* valueName, uint32_t value);
LONG WriteToRegistry(const char* keyPath, const char* valueName, double value);
LONG WriteToRegistry(const char* keyPath, const char* valueName, const char* value);
LONG WriteToRegistry(const char* keyPath, const char* valueName, const CString& value);
LONG WriteToRegistry(const char* keyPath, const char* valueName, const std::string& value);
LONG WriteToRegistry(const char* keyPath, const char* valueName, const std::wstring& value);
LONG WriteToRegistry(const wchar_t* keyPath, const wchar_t* valueName, int32_t value);
LONG WriteToRegistry(const wchar_t* keyPath, const wchar_t* valueName, const char* value);
LONG WriteToRegistry(const wchar_t* keyPath, const wchar_t* valueName, const std::wstring& value);
LONG WriteToRegistry(const wchar_t* keyPath, const wchar_t* valueName, double value);
