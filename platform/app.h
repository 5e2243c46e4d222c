// The application object (CWinApp) and its thread base (CWinThread), with
// the profile functions kept in the registry store under
// HKEY_CURRENT_USER\Software\Vantrel\<application name>\<section>.
#pragma once

#include "platform/CString.h"
#include "platform/wintypes.h"

class CWnd;  // window class of the dialog layer

class CWinThread {
 public:
  CWinThread() = default;
  virtual ~CWinThread() = default;
  CWinThread(const CWinThread&) = delete;
  CWinThread& operator=(const CWinThread&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }

  CWnd* m_pMainWnd = nullptr;  // main window, none in the library
};

class CWinApp : public CWinThread {
 public:
  // Null name: "Vantrel", the library's module name.
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  BOOL InitInstance() override;
  int ExitInstance() override;

  // Profile values of section/entry; the default when absent or of
  // another type (an integer must be a 4-byte REG_DWORD).
  UINT GetProfileInt(const char* section, const char* entry, int defaultValue);
  BOOL WriteProfileInt(const char* section, const char* entry, int value);
  CString GetProfileString(const char* section, const char* entry, const char* defaultValue = nullptr);
  BOOL WriteProfileString(const char* section, const char* entry, const char* value);

  // "Software\Vantrel\<application name>\<section>", relative to HKEY_CURRENT_USER.
  CString ProfileKeyPath(const char* section) const;

  const char* m_pszAppName;

 private:
  CString m_appName;
};

// The application object of the library (the most recently constructed
// live CWinApp), or null.
CWinApp* AfxGetApp();
CWinThread* AfxGetThread();
