#include "Vantrel/Registry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "Vantrel/VantrelTrace.h"
#include "platform/registry.h"

namespace {

constexpr DWORD kTextLimit = 4096;   // text values
constexpr DWORD kNumberLimit = 256;  // doubles kept as text
// Reads of a busy store, and the pause between them.
constexpr int kReadAttempts = 3;
constexpr std::chrono::milliseconds kReadRetryPause{100};

const char* Safe(const char* text) { return text != nullptr ? text : ""; }

// Splits "<hive>\<subkey>" and maps the hive name (case-sensitive).
bool SplitKeyPath(const char* keyPath, HKEY* hive, std::string* subKey) {
  if (keyPath == nullptr) return false;
  const char* slash = strchr(keyPath, '\\');
  std::string name = slash != nullptr ? std::string(keyPath, slash) : std::string(keyPath);
  *subKey = slash != nullptr ? std::string(slash + 1) : std::string();
  if (name == "HKEY_LOCAL_MACHINE" || name == "HKLM") {
    *hive = HKEY_LOCAL_MACHINE;
    return true;
  }
  if (name == "HKEY_CURRENT_USER" || name == "HKCU") {
    *hive = HKEY_CURRENT_USER;
    return true;
  }
  return false;
}

// UTF-8 to and from wide text; the component itself stores narrow text.
std::string Narrow(const wchar_t* text) {
  std::string out;
  for (const wchar_t* p = text != nullptr ? text : L""; *p != L'\0'; ++p) {
    uint32_t c = static_cast<uint32_t>(*p);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring Widen(const std::string& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    uint32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    bool valid = true;
    for (int k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (next & 0x3F);
    }
    out += valid ? static_cast<wchar_t>(c) : L'\xFFFD';
    i += valid ? static_cast<size_t>(extra) + 1 : 1;
  }
  return out;
}

// Reads a text value (REG_SZ) of at most limit bytes into a buffer one byte
// longer; the result is cut at its first zero byte, so a value stored
// without terminator is safe. Returns the read's code; *ok tells whether
// text was taken.
LONG ReadText(const char* keyPath, const char* valueName, DWORD limit, std::string* text, bool* ok) {
  std::vector<char> buffer(static_cast<size_t>(limit) + 1, '\0');
  DWORD size = limit;
  DWORD type = REG_NONE;
  LONG rc = ReadFromRegistryEx(keyPath, valueName, &type, buffer.data(), &size);
  *ok = rc == ERROR_SUCCESS && size > 0 && (type == REG_SZ || type == REG_EXPAND_SZ);
  if (*ok) text->assign(buffer.data(), strnlen(buffer.data(), size));
  if (rc == ERROR_SUCCESS && size > 0 && !*ok)
    VANTREL_TRACE(TRACE_ERRORS, "ReadFromRegistry(Key=%s, value=%s) - ERROR: value is not a text (type %lu)\n",
                  Safe(keyPath), Safe(valueName), static_cast<unsigned long>(type));
  return rc;
}

// Creates or opens the key and sets the value; with onlyIfAbsent, only
// where the key has no value of that name (ERROR_ALREADY_EXISTS then).
LONG StoreValue(const char* keyPath, const char* valueName, DWORD regType, const void* data, DWORD size,
                bool onlyIfAbsent) {
  VANTREL_TRACE(TRACE_REGISTRY, "WriteToRegistry(key=%s, ValueName=%s)\n", Safe(keyPath), Safe(valueName));
  HKEY hive = nullptr;
  std::string subKey;
  HKEY key = nullptr;
  LONG rc = REGISTRY_UNKNOWN_HIVE;
  if (SplitKeyPath(keyPath, &hive, &subKey))
    rc = RegCreateKeyExA(hive, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                         nullptr);
  if (rc != ERROR_SUCCESS) {
    VANTREL_TRACE(TRACE_ERRORS,
                  "WriteToRegistry(key=%s, ValueName=%s) - ERROR %ld creating/opening the registry key...\n",
                  Safe(keyPath), Safe(valueName), static_cast<long>(rc));
    return rc;
  }
  const BYTE* bytes = static_cast<const BYTE*>(data);
  rc = onlyIfAbsent ? RegSetValueIfAbsentA(key, valueName, regType, bytes, size)
                    : RegSetValueExA(key, valueName, 0, regType, bytes, size);
  if (rc == ERROR_ALREADY_EXISTS && onlyIfAbsent)
    VANTREL_TRACE(TRACE_REGISTRY, "WriteToRegistry(key=%s, ValueName=%s) default not stored: a value is there\n",
                  Safe(keyPath), Safe(valueName));
  else if (rc != ERROR_SUCCESS)
    VANTREL_TRACE(TRACE_ERRORS, "WriteToRegistry(key=%s, ValueName=%s) - ERROR %ld writing to the registry...\n",
                  Safe(keyPath), Safe(valueName), static_cast<long>(rc));
  RegCloseKey(key);
  return rc;
}

LONG WriteText(const char* keyPath, const char* valueName, const std::string& text) {
  return WriteToRegistry(keyPath, valueName, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// Stores a reader's default: only after a read found the value really
// absent, and only while it still is (another process may have stored one
// since). A store that could not be read gets nothing: the default is used
// and the value there, if any, stays.
void WriteDefault(LONG readResult, const char* keyPath, const char* valueName, DWORD regType, const void* data,
                  DWORD size) {
  if (readResult == ERROR_READ_FAULT || readResult == ERROR_BUSY) {
    VANTREL_TRACE(TRACE_ERRORS,
                  "ReadFromRegistry(Key=%s, value=%s) - ERROR: the registry store cannot be read; the default is used "
                  "and not stored\n",
                  Safe(keyPath), Safe(valueName));
    return;
  }
  if (readResult == ERROR_FILE_NOT_FOUND) StoreValue(keyPath, valueName, regType, data, size, true);
}

void WriteDefaultText(LONG readResult, const char* keyPath, const char* valueName, const std::string& text) {
  WriteDefault(readResult, keyPath, valueName, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// Reads text; falls back to the default and stores it back when absent.
void ReadTextOrDefault(const char* keyPath, const char* valueName, DWORD limit, const std::string& defaultText,
                       int noWriteBack, std::string* out) {
  bool ok = false;
  LONG rc = ReadText(keyPath, valueName, limit, out, &ok);
  if (ok) return;
  *out = defaultText;
  if (noWriteBack == 0) WriteDefaultText(rc, keyPath, valueName, defaultText);
}

std::string FormatDouble(double value, int digits) {
  char text[64];
  snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

double ReadDoubleOrDefault(const char* keyPath, const char* valueName, double defaultValue, int noWriteBack) {
  bool ok = false;
  std::string text;
  LONG rc = ReadText(keyPath, valueName, kNumberLimit, &text, &ok);
  if (ok) return strtod(text.c_str(), nullptr);
  if (noWriteBack == 0) WriteDefaultText(rc, keyPath, valueName, FormatDouble(defaultValue, 16));
  return defaultValue;
}

uint32_t ReadNumberOrDefault(const char* keyPath, const char* valueName, uint32_t defaultValue, int noWriteBack) {
  uint32_t value = 0;
  DWORD size = sizeof value;
  DWORD type = REG_NONE;
  LONG rc = ReadFromRegistryEx(keyPath, valueName, &type, &value, &size);
  if (rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value) return value;
  // A value of another type or size is kept as it is, never replaced.
  if (rc == ERROR_SUCCESS)
    VANTREL_TRACE(TRACE_ERRORS,
                  "ReadFromRegistry(Key=%s, value=%s) - ERROR: value is not a 32-bit number (type %lu, %lu bytes)\n",
                  Safe(keyPath), Safe(valueName), static_cast<unsigned long>(type), static_cast<unsigned long>(size));
  if (noWriteBack == 0) WriteDefault(rc, keyPath, valueName, REG_DWORD, &defaultValue, sizeof defaultValue);
  return defaultValue;
}

}  // namespace

namespace {

// One read of the value; the store's own busy wait bounds each.
LONG ReadOnce(const char* keyPath, const char* valueName, DWORD* type, void* data, DWORD* size) {
  HKEY hive = nullptr;
  std::string subKey;
  LONG rc = REGISTRY_UNKNOWN_HIVE;
  if (!SplitKeyPath(keyPath, &hive, &subKey)) {
    VANTREL_TRACE(TRACE_ERRORS, "ReadFromRegistry() - ERROR opening the registry key!!\n");
  } else {
    HKEY key = nullptr;
    rc = RegOpenKeyExA(hive, subKey.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
      VANTREL_TRACE(TRACE_ERRORS, "ReadFromRegistry() - ERROR opening the registry key!!\n");
    } else {
      rc = RegQueryValueExA(key, valueName, nullptr, type, static_cast<BYTE*>(data), size);
      if (rc != ERROR_SUCCESS)
        VANTREL_TRACE(TRACE_ERRORS, "ReadFromRegistry() - ERROR %ld while retrieving data from the registry key!\n",
                      static_cast<long>(rc));
      RegCloseKey(key);
    }
  }
  if (rc != ERROR_SUCCESS) {
    if (size != nullptr) *size = 0;
    VANTREL_TRACE(TRACE_REGISTRY, "ReadFromRegistry(Key=%s, value=%s) error %ld\n", Safe(keyPath), Safe(valueName),
                  static_cast<long>(rc));
  } else {
    VANTREL_TRACE(TRACE_REGISTRY, "ReadFromRegistry(Key=%s, value=%s) success\n", Safe(keyPath), Safe(valueName));
  }
  return rc;
}

}  // namespace

LONG ReadFromRegistryEx(const char* keyPath, const char* valueName, DWORD* type, void* data, DWORD* size) {
  // A store another process holds past the busy timeout is tried again, a
  // bounded number of times; then busy is the answer, never "absent".
  const DWORD capacity = size != nullptr ? *size : 0;
  LONG rc = ERROR_BUSY;
  for (int attempt = 0; attempt < kReadAttempts && rc == ERROR_BUSY; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kReadRetryPause);
    if (size != nullptr) *size = capacity;
    rc = ReadOnce(keyPath, valueName, type, data, size);
  }
  return rc;
}

bool RegistryValueExists(const char* keyPath, const char* valueName) {
  HKEY hive = nullptr;
  std::string subKey;
  HKEY key = nullptr;
  if (!SplitKeyPath(keyPath, &hive, &subKey) ||
      RegOpenKeyExA(hive, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  DWORD size = 0;
  const LONG rc = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

LONG ReadFromRegistry(const char* keyPath, const char* valueName, void* data, DWORD* size) {
  return ReadFromRegistryEx(keyPath, valueName, nullptr, data, size);
}

LONG WriteToRegistry(const char* keyPath, const char* valueName, DWORD regType, const void* data, DWORD size) {
  return StoreValue(keyPath, valueName, regType, data, size, false);
}

LONG ReadFromRegistry(const char* keyPath, const char* valueName, int32_t& value, int32_t defaultValue,
                      int noWriteBack) {
  value =
      static_cast<int32_t>(ReadNumberOrDefault(keyPath, valueName, static_cast<uint32_t>(defaultValue), noWriteBack));
  return ERROR_SUCCESS;
}

LONG ReadFromRegistry(const char* keyPath, const char* valueName, uint32_t& value, uint32_t defaultValue,
                      int noWriteBack) {
  value = ReadNumberOrDefault(keyPath, valueName, defaultValue, noWriteBack);
  return ERROR_SUCCESS;
}

LONG ReadFromRegistry(const char* keyPath, const char* valueName, double& value, double defaultValue, int noWriteBack) {
  value = ReadDoubleOrDefault(keyPath, valueName, defaultValue, noWriteBack);
  return ERROR_SUCCESS;
}

LONG ReadFromRegistry(const char* keyPath, const char* valueName, float& value, float defaultValue, int noWriteBack) {
  value = static_cast<float>(ReadDoubleOrDefault(keyPath, valueName, defaultValue, noWriteBack));
  return ERROR_SUCCESS;
}

LONG ReadFromRegistry(const char* keyPath, const char* valueName, char* buffer, DWORD bufferSize,
                      const char* defaultValue, int noWriteBack) {
  std::string text;
  ReadTextOrDefault(keyPath, valueName, kTextLimit, Safe(defaultValue), noWriteBack, &text);
  if (buffer != nullptr && bufferSize > 0) {
    size_t length = std::min(text.size(), static_cast<size_t>(bufferSize) - 1);
    memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
  }
  return ERROR_SUCCESS;
}

LONG ReadFromRegistry(const char* keyPath, const char* valueName, CString& value, const char* defaultValue,
                      int noWriteBack) {
  std::string text;
  ReadTextOrDefault(keyPath, valueName, kTextLimit, Safe(defaultValue), noWriteBack, &text);
  value = text;
  return ERROR_SUCCESS;
}

LONG ReadFromRegistry(const char* keyPath, const char* valueName, std::string& value, const char* defaultValue,
                      int noWriteBack) {
  ReadTextOrDefault(keyPath, valueName, kTextLimit, Safe(defaultValue), noWriteBack, &value);
  return ERROR_SUCCESS;
}

LONG ReadFromRegistry(const char* keyPath, const char* valueName, std::wstring& value, const wchar_t* defaultValue,
                      int noWriteBack) {
  std::string text;
  ReadTextOrDefault(keyPath, valueName, kTextLimit, Narrow(defaultValue), noWriteBack, &text);
  value = Widen(text);
  return ERROR_SUCCESS;
}

LONG ReadFromRegistry(const wchar_t* keyPath, const wchar_t* valueName, int32_t& value, int32_t defaultValue,
                      int noWriteBack) {
  return ReadFromRegistry(Narrow(keyPath).c_str(), Narrow(valueName).c_str(), value, defaultValue, noWriteBack);
}

LONG ReadFromRegistry(const wchar_t* keyPath, const wchar_t* valueName, std::wstring& value,
                      const wchar_t* defaultValue, int noWriteBack) {
  return ReadFromRegistry(Narrow(keyPath).c_str(), Narrow(valueName).c_str(), value, defaultValue, noWriteBack);
}

LONG WriteToRegistry(const char* keyPath, const char* valueName, int32_t value) {
  return WriteToRegistry(keyPath, valueName, REG_DWORD, &value, sizeof value);
}

LONG WriteToRegistry(const char* keyPath, const char* valueName, uint32_t value) {
  return WriteToRegistry(keyPath, valueName, REG_DWORD, &value, sizeof value);
}

LONG WriteToRegistry(const char* keyPath, const char* valueName, double value) {
  return WriteText(keyPath, valueName, FormatDouble(value, 20));
}

LONG WriteToRegistry(const char* keyPath, const char* valueName, const char* value) {
  return WriteText(keyPath, valueName, Safe(value));
}

LONG WriteToRegistry(const char* keyPath, const char* valueName, const CString& value) {
  return WriteText(keyPath, valueName, value.str());
}

LONG WriteToRegistry(const char* keyPath, const char* valueName, const std::string& value) {
  return WriteText(keyPath, valueName, value);
}

LONG WriteToRegistry(const char* keyPath, const char* valueName, const std::wstring& value) {
  return WriteText(keyPath, valueName, Narrow(value.c_str()));
}

LONG WriteToRegistry(const wchar_t* keyPath, const wchar_t* valueName, int32_t value) {
  return WriteToRegistry(Narrow(keyPath).c_str(), Narrow(valueName).c_str(), value);
}

LONG WriteToRegistry(const wchar_t* keyPath, const wchar_t* valueName, const char* value) {
  return WriteToRegistry(Narrow(keyPath).c_str(), Narrow(valueName).c_str(), value);
}

LONG WriteToRegistry(const wchar_t* keyPath, const wchar_t* valueName, const std::wstring& value) {
  return WriteToRegistry(Narrow(keyPath).c_str(), Narrow(valueName).c_str(), value);
}

LONG WriteToRegistry(const wchar_t* keyPath, const wchar_t* valueName, double value) {
  return WriteToRegistry(Narrow(keyPath).c_str(), Narrow(valueName).c_str(), value);
}
