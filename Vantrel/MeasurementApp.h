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

// The library's one instance, alive while the library is loaded. Reached
// through this function only: the object itself is not exported, so a
// program's own global of the same name can neither replace nor overlay it.
// (AfxGetApp() gives the most recently constructed CWinApp, which may be a
// program's own.)
CMeasurementApp& GetMeasurementApp();

