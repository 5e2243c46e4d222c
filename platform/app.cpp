#include "platform/app.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "platform/registry.h"

namespace {

std::atomic<CWinApp*> g_currentApp{nullptr};

// Reads a value of the profile key; false when absent or unreadable.
bool ReadProfileValue(const CString& keyPath, const char* entry, DWORD* type, std::vector<BYTE>* data) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, entry, nullptr, type, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    data->resize(size);
    rc = RegQueryValueExA(key, entry, nullptr, type, data->empty() ? nullptr : data->data(), &size);
    data->resize(size);
  }
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

BOOL WriteProfileValue(const CString& keyPath, const char* entry, DWORD type, const BYTE* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return FALSE;
  LONG rc = RegSetValueExA(key, entry, 0, type, data, size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? TRUE : FALSE;
}

}  // namespace

CWinApp::CWinApp(const char* appName) : m_appName(appName != nullptr && *appName != '\0' ? appName : "Vantrel") {
  m_pszAppName = m_appName;
  g_currentApp.store(this);
}

CWinApp::~CWinApp() {
  CWinApp* self = this;
  g_currentApp.compare_exchange_strong(self, nullptr);
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

CString CWinApp::ProfileKeyPath(const char* section) const {
  CString path = "Software\\Vantrel\\" + m_appName;
  if (section != nullptr && *section != '\0') path += "\\" + CString(section);
  return path;
}

UINT CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (entry == nullptr || !ReadProfileValue(ProfileKeyPath(section), entry, &type, &data)) return defaultValue;
  if (type != REG_DWORD || data.size() != sizeof(DWORD)) return defaultValue;
  DWORD value = 0;
  memcpy(&value, data.data(), sizeof value);
  return value;
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value) {
  if (entry == nullptr) return FALSE;
  DWORD stored = static_cast<DWORD>(value);
  return WriteProfileValue(ProfileKeyPath(section), entry, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                           sizeof stored);
}

CString CWinApp::GetProfileString(const char* section, const char* entry, const char* defaultValue) {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (entry == nullptr || !ReadProfileValue(ProfileKeyPath(section), entry, &type, &data) ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return CString(defaultValue);
  // The stored text need not carry its terminator.
  return CString(reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()));
}

BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* value) {
  if (entry == nullptr) return FALSE;
  if (value == nullptr) value = "";  // MFC deletes the entry; an empty text keeps the row
  return WriteProfileValue(ProfileKeyPath(section), entry, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(strlen(value) + 1));
}

CWinApp* AfxGetApp() { return g_currentApp.load(); }

CWinThread* AfxGetThread() { return g_currentApp.load(); }
