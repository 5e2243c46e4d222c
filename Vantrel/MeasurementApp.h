// The library's application object. Its one job: when the library is
// loaded, read the trace mask from the registry value "DebugTraceLevel".
#pragma once

#include "platform/app.h"

constexpr const char* TRACE_LEVEL_KEY = "HKEY_LOCAL_MACHINE\\SOFTWARE\\vestran\\TALVO";
constexpr const char* TRACE_LEVEL_VALUE = "DebugTraceLevel";

class CMeasurementApp : public CWinApp {
 public:
  CMeasurementApp();
  ~CMeasurementApp() override;

  // Reads "DebugTraceLevel" (default 0, created when absent) into the trace mask.
  BOOL InitInstance() override;

  // False when the last load found no "DebugTraceLevel" (the first run on
  // this machine): the read then traced "ReadFromRegistry() - ERROR ..."
  // under the mask before load, and 0 was stored.
  bool TraceLevelWasStored() const { return m_traceLevelWasStored; }

 private:
  bool m_traceLevelWasStored = false;
};

// The one instance, alive while the library is loaded.
extern CMeasurementApp theApp;

// What loading and unloading the library run; callable from tests.
BOOL VantrelLibraryLoad();
void VantrelLibraryUnload();
